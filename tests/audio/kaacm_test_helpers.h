#pragma once

// Formats, signals and a codec-call override shared by the engine core's tests.

#include "audio/kaACM.h"
#include "audio/kaACMCalls.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace kaacm_test {

inline TkaWaveFormat Pcm(uint16_t channels, uint32_t rate, uint16_t bits)
{
    TkaWaveFormat f;
    f.SetFormatTag(WAVE_FORMAT_PCM);
    f.SetChannels(channels);
    f.SetSamplesPerSec(rate);
    f.SetBlockAlign(static_cast<uint16_t>(channels * bits / 8));
    f.SetAvgBytesPerSec(rate * channels * bits / 8);
    f.SetBitsPerSample(bits);
    f.SetExtraSize(0);
    return f;
}

// G.711 A-law (tag 6) or mu-law (tag 7): one byte per sample.
inline TkaWaveFormat G711(uint16_t tag, uint16_t channels, uint32_t rate)
{
    TkaWaveFormat f;
    f.SetFormatTag(tag);
    f.SetChannels(channels);
    f.SetSamplesPerSec(rate);
    f.SetBlockAlign(channels);
    f.SetAvgBytesPerSec(rate * channels);
    f.SetBitsPerSample(8);
    f.SetExtraSize(0);
    return f;
}

inline TkaWaveFormat Mp3(uint16_t channels, uint32_t rate, uint32_t bitRate)
{
    TkaWaveFormat f;
    f.SetFormatTag(WAVE_FORMAT_MPEGLAYER3);
    f.SetChannels(channels);
    f.SetSamplesPerSec(rate);
    f.SetAvgBytesPerSec(bitRate / 8);
    f.SetBlockAlign(1);
    f.SetBitsPerSample(0);
    f.SetExtraSize(MPEGLAYER3_WFX_EXTRA_BYTES);
    auto* m = reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(f.Buffer());
    m->wID = MPEGLAYER3_ID_MPEG;
    m->fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
    m->nBlockSize = static_cast<uint16_t>(144 * bitRate / rate);
    m->nFramesPerBlock = 1;
    m->nCodecDelay = 0;
    return f;
}

// Interleaved 16-bit samples of a sine on every channel.
inline std::vector<uint8_t> Sine16(uint32_t rate, uint16_t channels, double seconds, double hz = 440.0,
                                   double amplitude = 12000.0)
{
    const auto frames = static_cast<size_t>(rate * seconds);
    std::vector<uint8_t> bytes;
    bytes.reserve(frames * channels * 2);
    for (size_t i = 0; i < frames; ++i) {
        const auto s =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / rate)));
        for (uint16_t c = 0; c < channels; ++c) {
            bytes.push_back(static_cast<uint8_t>(s & 0xFF));
            bytes.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
        }
    }
    return bytes;
}

// Swaps entries of the codec-call table for one test and puts the real ones back.
class TCallsOverride {
public:
    TCallsOverride() : saved_(ACMCalls()) {}
    ~TCallsOverride() { ACMCalls() = saved_; }
    TCallsOverride(const TCallsOverride&) = delete;
    TCallsOverride& operator=(const TCallsOverride&) = delete;
    TkaACMCalls& operator*() { return ACMCalls(); }
    TkaACMCalls* operator->() { return &ACMCalls(); }
    const TkaACMCalls& Real() const { return saved_; }

private:
    TkaACMCalls saved_;
};

} // namespace kaacm_test
