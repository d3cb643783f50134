#include "platform/acm/PcmResampler.h"

namespace acm {

std::unique_ptr<PcmResampler> PcmResampler::create(uint16_t channels, uint32_t fromRate, uint32_t toRate)
{
    if (auto polyphase = makePolyphaseResampler(channels, fromRate, toRate))
        return polyphase;
    return makeSpeexResampler(channels, fromRate, toRate);
}

void PcmResampler::process(const double* in, uint32_t& inFrames, double* out, uint32_t& outFrames)
{
    in_.resize(size_t(inFrames) * channels_);
    out_.resize(size_t(outFrames) * channels_);
    for (size_t i = 0; i < in_.size(); ++i)
        in_[i] = float(in[i]);
    processFloat(in_.data(), inFrames, out_.data(), outFrames);
    for (size_t i = 0; i < size_t(outFrames) * channels_; ++i)
        out[i] = out_[i];
}

} // namespace acm
