#include "platform/acm/PcmResampler.h"

#include <speex/speex_resampler.h>

namespace acm {

PcmResampler::PcmResampler(uint16_t channels, uint32_t fromRate, uint32_t toRate) : channels_(channels)
{
    int error = 0;
    state_ = speex_resampler_init(channels, fromRate, toRate, kResamplerQuality, &error);
    if (error != RESAMPLER_ERR_SUCCESS && state_) {
        speex_resampler_destroy(state_);
        state_ = nullptr;
    }
}

PcmResampler::~PcmResampler()
{
    if (state_)
        speex_resampler_destroy(state_);
}

void PcmResampler::process(const double* in, uint32_t& inFrames, double* out, uint32_t& outFrames)
{
    in_.resize(size_t(inFrames) * channels_);
    out_.resize(size_t(outFrames) * channels_);
    for (size_t i = 0; i < in_.size(); ++i)
        in_[i] = float(in[i]);
    spx_uint32_t inLen = inFrames, outLen = outFrames;
    speex_resampler_process_interleaved_float(state_, in_.data(), &inLen, out_.data(), &outLen);
    for (size_t i = 0; i < size_t(outLen) * channels_; ++i)
        out[i] = out_[i];
    inFrames = inLen;
    outFrames = outLen;
}

void PcmResampler::reset()
{
    speex_resampler_reset_mem(state_);
}

int PcmResampler::delayFrames() const
{
    return speex_resampler_get_input_latency(state_);
}

} // namespace acm
