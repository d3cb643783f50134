// The speexdsp resampler, for the ratios zita-resampler refuses.
//
// Quality 5: it holds a 1 kHz to 0.9 x Nyquist sine above 90 dB SNR at 16 bits, with a
// filter delay of 40 input frames (0.9 ms at 44.1 kHz). It emits its delay as leading
// output from the start.

#include "platform/acm/PcmResampler.h"

#include <speex/speex_resampler.h>

namespace acm {

namespace {

constexpr int kSpeexQuality = 5;

class SpeexResampler : public PcmResampler {
public:
    SpeexResampler(uint16_t channels, SpeexResamplerState* state) : PcmResampler(channels), state_(state) {}
    ~SpeexResampler() override { speex_resampler_destroy(state_); }

    void reset() override { speex_resampler_reset_mem(state_); }

private:
    void processFloat(const float* in, uint32_t& inFrames, float* out, uint32_t& outFrames) override
    {
        spx_uint32_t inLen = inFrames, outLen = outFrames;
        speex_resampler_process_interleaved_float(state_, in, &inLen, out, &outLen);
        inFrames = inLen;
        outFrames = outLen;
    }

    SpeexResamplerState* state_;
};

} // namespace

std::unique_ptr<PcmResampler> makeSpeexResampler(uint16_t channels, uint32_t fromRate, uint32_t toRate)
{
    int error = 0;
    SpeexResamplerState* state = speex_resampler_init(channels, fromRate, toRate, kSpeexQuality, &error);
    if (state && error != RESAMPLER_ERR_SUCCESS) {
        speex_resampler_destroy(state);
        state = nullptr;
    }
    if (!state)
        return nullptr;
    return std::make_unique<SpeexResampler>(channels, state);
}

} // namespace acm
