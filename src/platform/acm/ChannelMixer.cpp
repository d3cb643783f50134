#include "platform/acm/ChannelMixer.h"

namespace acm {

ChannelMixer::ChannelMixer(uint16_t from, uint16_t to)
    : from_(from), to_(to), identity_(from == to), weights_(size_t(from) * to, 0.0)
{
    auto w = [&](unsigned out, unsigned in) -> double& { return weights_[size_t(out) * from_ + in]; };
    if (identity_)
        return;
    if (from == 1) {
        for (unsigned o = 0; o < to && o < 2; ++o)
            w(o, 0) = 1.0; // mono onto the front pair
        return;
    }
    if (to < from) {
        // Fold input channel i onto output i % to, averaging what lands on each output.
        std::vector<unsigned> count(to, 0);
        for (unsigned i = 0; i < from; ++i)
            ++count[i % to];
        for (unsigned i = 0; i < from; ++i)
            w(i % to, i) = 1.0 / count[i % to];
        return;
    }
    for (unsigned i = 0; i < from; ++i)
        w(i, i) = 1.0; // more outputs: the extra ones stay silent
}

void ChannelMixer::mix(const double* in, double* out, size_t frames) const
{
    if (identity_) {
        for (size_t i = 0; i < frames * from_; ++i)
            out[i] = in[i];
        return;
    }
    if (from_ == 2 && to_ == 1) {
        for (size_t f = 0; f < frames; ++f)
            out[f] = 0.5 * (in[2 * f] + in[2 * f + 1]);
        return;
    }
    for (size_t f = 0; f < frames; ++f) {
        const double* src = in + f * from_;
        double* dst = out + f * to_;
        for (unsigned o = 0; o < to_; ++o) {
            const double* row = &weights_[size_t(o) * from_];
            double sum = 0;
            for (unsigned i = 0; i < from_; ++i)
                sum += row[i] * src[i];
            dst[o] = sum;
        }
    }
}

} // namespace acm
