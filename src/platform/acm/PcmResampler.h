#pragma once

// Sample-rate conversion of interleaved frames through the speexdsp resampler.
//
// Quality 5: it holds a 1 kHz to 0.9 x Nyquist sine above 90 dB SNR at 16 bits for the
// rate pairs the tutor meets, with a filter delay of 40 input frames (0.9 ms at 44.1 kHz),
// and it emits the filter's delay as leading output instead of holding frames back, so
// after N input frames exactly round(N * out / in) frames have come out: a stream that is
// opened for every buffer and never flushed keeps the right length.

#include <cstddef>
#include <cstdint>
#include <vector>

struct SpeexResamplerState_;

namespace acm {

constexpr int kResamplerQuality = 5;

class PcmResampler {
public:
    PcmResampler(uint16_t channels, uint32_t fromRate, uint32_t toRate);
    ~PcmResampler();
    PcmResampler(const PcmResampler&) = delete;
    PcmResampler& operator=(const PcmResampler&) = delete;

    bool ok() const { return state_ != nullptr; }
    // Converts up to inFrames frames into at most outFrames frames; returns the frames
    // consumed and produced.
    void process(const double* in, uint32_t& inFrames, double* out, uint32_t& outFrames);
    void reset();
    // Input frames of filter delay.
    int delayFrames() const;

private:
    SpeexResamplerState_* state_ = nullptr;
    uint16_t channels_;
    std::vector<float> in_;
    std::vector<float> out_;
};

} // namespace acm
