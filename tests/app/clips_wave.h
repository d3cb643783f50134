#pragma once

// WAVE files made in memory for the clip and editor tests, and a small reader for what
// the tutor writes.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace cliptest {

// A 16-bit PCM WAVE file of `frames` frames of a 440 Hz tone (both channels alike).
inline std::string ToneWave(uint16_t channels, uint32_t rate, uint32_t frames, double hertz = 440)
{
    const uint32_t dataSize = frames * channels * 2;
    std::string out;
    auto u32 = [&](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); };
    out += "RIFF";
    u32(36 + dataSize);
    out += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * 2);
    u16(static_cast<uint16_t>(channels * 2));
    u16(16);
    out += "data";
    u32(dataSize);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c)
            u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * hertz / rate))));
    return out;
}

// A WAVE file whose data chunk holds exactly `dataBytes` bytes of the recorded format
// (2 channels, 44100 Hz, 16 bits); the bytes are a quiet ramp.
inline std::string CdWave(uint32_t dataBytes)
{
    std::string out = ToneWave(2, 44100, 0);
    const uint32_t riffSize = 36 + dataBytes;
    std::memcpy(out.data() + 4, &riffSize, 4);
    std::memcpy(out.data() + 40, &dataBytes, 4);
    for (uint32_t i = 0; i < dataBytes; ++i)
        out.push_back(static_cast<char>((i / 4) % 64));
    return out;
}

// The format fields and data size of a canonical WAVE file as the tutor writes it.
struct WaveInfo {
    bool valid = false;
    uint16_t tag = 0, channels = 0, bits = 0, blockAlign = 0;
    uint32_t rate = 0, riffSize = 0, dataSize = 0;
    size_t dataOffset = 0;
};

inline WaveInfo ReadWaveInfo(const std::string& bytes)
{
    WaveInfo info;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return info;
    std::memcpy(&info.riffSize, bytes.data() + 4, 4);
    size_t at = 12;
    bool fmt = false;
    while (at + 8 <= bytes.size()) {
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        if (bytes.compare(at, 4, "fmt ") == 0 && at + 8 + 16 <= bytes.size()) {
            std::memcpy(&info.tag, bytes.data() + at + 8, 2);
            std::memcpy(&info.channels, bytes.data() + at + 10, 2);
            std::memcpy(&info.rate, bytes.data() + at + 12, 4);
            std::memcpy(&info.blockAlign, bytes.data() + at + 20, 2);
            std::memcpy(&info.bits, bytes.data() + at + 22, 2);
            fmt = true;
        } else if (bytes.compare(at, 4, "data") == 0) {
            info.dataSize = size;
            info.dataOffset = at + 8;
            info.valid = fmt && at + 8 + size <= bytes.size();
            return info;
        }
        at += 8 + size + (size & 1);
    }
    return info;
}

} // namespace cliptest
