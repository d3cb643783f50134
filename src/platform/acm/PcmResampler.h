#pragma once

// Sample-rate conversion of interleaved frames.
//
// zita-resampler converts every ratio it accepts (all the rate pairs the tutor meets,
// with a fixed polyphase filter per ratio); speexdsp converts the ratios it refuses
// (reduced ratios with more than 1000 output phases, such as 44100 to 47999 Hz).
// Both emit the filter's delay as leading output instead of holding frames back, so
// after N input frames exactly ceil(N * to / from) frames have come out: a stream that is
// opened for every buffer and never flushed keeps the right length.

#include <cstdint>
#include <memory>
#include <vector>

namespace acm {

class PcmResampler {
public:
    // The resampler for this ratio, or nothing when no engine can convert it.
    static std::unique_ptr<PcmResampler> create(uint16_t channels, uint32_t fromRate, uint32_t toRate);

    virtual ~PcmResampler() = default;
    PcmResampler(const PcmResampler&) = delete;
    PcmResampler& operator=(const PcmResampler&) = delete;

    // Converts up to inFrames frames into at most outFrames frames; returns the frames
    // consumed and produced.
    void process(const double* in, uint32_t& inFrames, double* out, uint32_t& outFrames);
    // Forgets the audio seen so far, as a fresh resampler.
    virtual void reset() = 0;

protected:
    explicit PcmResampler(uint16_t channels) : channels_(channels) {}
    virtual void processFloat(const float* in, uint32_t& inFrames, float* out, uint32_t& outFrames) = 0;

private:
    uint16_t channels_;
    std::vector<float> in_;
    std::vector<float> out_;
};

// The two engines behind create(); each gives nothing for a ratio it refuses.
std::unique_ptr<PcmResampler> makePolyphaseResampler(uint16_t channels, uint32_t fromRate, uint32_t toRate);
std::unique_ptr<PcmResampler> makeSpeexResampler(uint16_t channels, uint32_t fromRate, uint32_t toRate);

} // namespace acm
