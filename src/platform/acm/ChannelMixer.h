#pragma once

// Maps frames of one channel count onto another: copies when the counts are equal,
// averages when folding channels together (so a mix never exceeds full scale), and
// duplicates mono onto the front pair.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace acm {

class ChannelMixer {
public:
    ChannelMixer(uint16_t from, uint16_t to);
    bool identity() const { return identity_; }
    // in: frames * from samples; out: frames * to samples.
    void mix(const double* in, double* out, size_t frames) const;

private:
    uint16_t from_;
    uint16_t to_;
    bool identity_;
    std::vector<double> weights_; // to_ rows of from_ weights
};

} // namespace acm
