// The zita-resampler engine: a polyphase filter with one phase per output frame of the
// reduced ratio (160 phases for 44.1 to 48 kHz), computed once per ratio, so converting
// costs one dot product per output sample with no interpolation between table entries.
//
// Every ratio but 2:1: half-length 48 input frames when the rate goes up (stretched by the
// inverse ratio when it goes down) and the cutoff at 0.955 of the lower Nyquist frequency:
// flat within 0.005 dB up to 0.9 of it, more than 110 dB of the filter's own SNR there, so
// at 16 bits only the rounding of the samples is left; frequencies just above the output's
// Nyquist frequency (22.6 kHz from 48 kHz) are 86 dB down. zita-resampler's own cutoff for
// this length, 1 - 2.6 / 48 = 0.946, loses 0.08 dB at 0.9 and lets 22.6 kHz through at -80 dB.
//
// Halving the rate (44.1 to 22.05 kHz, the playback default): a half-band filter, half-length
// 56 frames of the lower rate and -6 dB exactly at its Nyquist frequency. It is flat to
// within 0.0003 dB up to 0.9 of that frequency, and its output samples fall on input
// samples, so a 16-bit sine comes out as its own samples less the upper half band: rounding
// adds no noise (97 dB for a sine at -1 dBFS up to 0.9, where the general filter ends at
// 95.5 dB). The price is aliasing in the top 5 % of the band: the band from the new Nyquist
// frequency up to 5 % above it folds back attenuated by 6 to 67 dB, beyond that by more
// than 67 dB (from 11025 Hz: 11.0 to 11.6 kHz, where speech has little to fold). It costs
// 6 % more than the general filter's 48 frames.
//
// The filter's delay appears as leading output: after each setup or reset the resampler
// is fed inpsize() - 1 zero frames, which fill its window all but one frame, so the first
// real input frame already yields output, and after N input frames exactly
// ceil(N * to / from) frames have come out. The delay is inpsize() / 2 input frames, which
// is also what a clip loses at its end:
//   rate up (44.1 to 48, 8 to 44.1, 22.05 to 44.1 kHz)   48 frames (1.1 ms at 44.1 kHz)
//   48 to 44.1 kHz                                         56 frames (1.2 ms)
//   44.1 to 22.05 kHz                                     112 frames (2.5 ms)
//   44.1 to 16 kHz                                        136 frames (3.1 ms)
// (The documented inpsize() / 2 - 1 zero frames would align the output with the input
// instead, holding inpsize() / 2 frames back until a flush that the engine's streams
// never get.)

#include "platform/acm/PcmResampler.h"

#include <zita-resampler/resampler.h>

#include <algorithm>
#include <deque>
#include <mutex>

namespace acm {

namespace {

struct FilterDesign {
    unsigned halfLength; // zita-resampler's hlen
    double cutoff;       // of the lower Nyquist frequency
};

FilterDesign DesignFor(uint32_t fromRate, uint32_t toRate)
{
    if (fromRate == 2 * uint64_t{toRate})
        return {56, 1.0}; // half-band
    return {48, 0.955};
}

// zita-resampler shares one filter table among the resamplers of a ratio and computes it
// again (0.2 to 0.6 ms) once the last of them is gone. The oscilloscope opens a stream
// for every buffer, so the tables of the last few ratios are kept alive here.
class FilterTableKeeper {
public:
    static void keep(uint32_t fromRate, uint32_t toRate)
    {
        static FilterTableKeeper keeper;
        keeper.hold(fromRate, toRate);
    }

private:
    static constexpr size_t kRatios = 4;

    struct Held {
        uint32_t from, to;
        std::unique_ptr<Resampler> owner;
    };

    void hold(uint32_t fromRate, uint32_t toRate)
    {
        const std::lock_guard lock(mutex_);
        const auto same = [&](const Held& h) { return h.from == fromRate && h.to == toRate; };
        if (auto it = std::find_if(held_.begin(), held_.end(), same); it != held_.end()) {
            std::rotate(held_.begin(), it, it + 1); // most recent first
            return;
        }
        auto owner = std::make_unique<Resampler>();
        const FilterDesign design = DesignFor(fromRate, toRate);
        if (owner->setup(fromRate, toRate, 1, design.halfLength, design.cutoff) != 0)
            return;
        held_.push_front({fromRate, toRate, std::move(owner)});
        if (held_.size() > kRatios)
            held_.pop_back();
    }

    std::mutex mutex_;
    std::deque<Held> held_;
};

class PolyphaseResampler : public PcmResampler {
public:
    explicit PolyphaseResampler(uint16_t channels) : PcmResampler(channels) {}

    bool setup(uint16_t channels, uint32_t fromRate, uint32_t toRate)
    {
        const FilterDesign design = DesignFor(fromRate, toRate);
        if (zita_.setup(fromRate, toRate, channels, design.halfLength, design.cutoff) != 0)
            return false;
        FilterTableKeeper::keep(fromRate, toRate);
        primeWithZeros();
        return true;
    }

    void reset() override
    {
        zita_.reset();
        primeWithZeros();
    }

private:
    void primeWithZeros()
    {
        float unused[1] = {};
        zita_.inp_count = unsigned(zita_.inpsize() - 1);
        zita_.inp_data = nullptr; // zero frames
        zita_.out_count = 1;      // room the window never fills before the last frame
        zita_.out_data = unused;
        zita_.process();
    }

    void processFloat(const float* in, uint32_t& inFrames, float* out, uint32_t& outFrames) override
    {
        if (inFrames == 0 || outFrames == 0) {
            inFrames = outFrames = 0;
            return;
        }
        zita_.inp_count = inFrames;
        zita_.inp_data = const_cast<float*>(in); // read only
        zita_.out_count = outFrames;
        zita_.out_data = out;
        zita_.process();
        inFrames -= zita_.inp_count;
        outFrames -= zita_.out_count;
    }

    Resampler zita_;
};

} // namespace

std::unique_ptr<PcmResampler> makePolyphaseResampler(uint16_t channels, uint32_t fromRate, uint32_t toRate)
{
    auto resampler = std::make_unique<PolyphaseResampler>(channels);
    if (!resampler->setup(channels, fromRate, toRate))
        return nullptr;
    return resampler;
}

} // namespace acm
