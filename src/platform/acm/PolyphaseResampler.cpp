// The zita-resampler engine: a polyphase filter with one phase per output frame of the
// reduced ratio (160 phases for 44.1 to 48 kHz), computed once per ratio, so converting
// costs one dot product per output sample with no interpolation between table entries.
//
// Half-length 32 (the filter spans 64 input frames when the rate goes up; when it goes
// down it is stretched by the inverse ratio: 128 frames for 44.1 to 22.05 kHz): at 16
// bits it keeps sines up to 0.9 of the lower Nyquist frequency above 90 dB SNR.
//
// The filter's delay appears as leading output: after each setup or reset the resampler
// is fed inpsize() - 1 zero frames, which fill its window all but one frame, so the first
// real input frame already yields output. The delay is then inpsize() / 2 input frames
// (32 when the rate goes up, 64 for 44.1 to 22.05 kHz, 36 for 48 to 44.1 kHz), and after
// N input frames exactly ceil(N * to / from) frames have come out. (The documented
// inpsize() / 2 - 1 zero frames would align the output with the input instead, holding
// inpsize() / 2 frames back until a flush that the engine's streams never get.)

#include "platform/acm/PcmResampler.h"

#include <zita-resampler/resampler.h>

#include <algorithm>
#include <deque>
#include <mutex>

namespace acm {

namespace {

constexpr unsigned kHalfLength = 32;

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
        if (owner->setup(fromRate, toRate, 1, kHalfLength) != 0)
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
        if (zita_.setup(fromRate, toRate, channels, kHalfLength) != 0)
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
