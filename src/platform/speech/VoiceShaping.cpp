#include "platform/speech/VoiceShaping.h"

#include "platform/acm/PcmResampler.h"
#include "rtl/Exception.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>

namespace platform::speech {

namespace {

double FromDb(double db)
{
    return std::pow(10.0, db / 20.0);
}

// The first sample of the first window, scanning from `begin`, whose loudness reaches
// `threshold`; `end` when there is none. Windows are summed as they slide, one sample at a time.
template <class It> It FirstLoudWindow(It begin, It end, size_t window, double threshold)
{
    const double needed = threshold * threshold * static_cast<double>(window);
    double sum = 0;
    size_t filled = 0;
    const auto width = static_cast<std::ptrdiff_t>(window);
    for (It at = begin; at != end; ++at) {
        sum += static_cast<double>(*at) * *at;
        if (++filled > window) {
            const double leaving = *(at - width);
            sum -= leaving * leaving;
        }
        if (filled >= window && sum >= needed)
            return at - (width - 1);
    }
    return end;
}

} // namespace

void HighPass(Samples& samples, uint32_t rate, double hertz)
{
    // The usual biquad of the audio cookbook, Q = 1/sqrt(2).
    const double w0 = 2 * std::numbers::pi * hertz / rate;
    const double alpha = std::sin(w0) / std::numbers::sqrt2;
    const double cosw = std::cos(w0);
    const double a0 = 1 + alpha;
    const double b0 = (1 + cosw) / 2 / a0, b1 = -(1 + cosw) / a0, b2 = b0;
    const double a1 = -2 * cosw / a0, a2 = (1 - alpha) / a0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (float& s : samples) {
        const double x = s;
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        s = static_cast<float>(y);
    }
}

void TrimSilence(Samples& samples, uint32_t rate, double thresholdDb, double windowSeconds)
{
    const size_t window = std::max<size_t>(1, static_cast<size_t>(windowSeconds * rate));
    const double threshold = FromDb(thresholdDb);
    const auto first = FirstLoudWindow(samples.begin(), samples.end(), window, threshold);
    if (first == samples.end()) {
        samples.clear();
        return;
    }
    const auto lastFromEnd = FirstLoudWindow(samples.rbegin(), samples.rend(), window, threshold);
    const auto last = lastFromEnd.base(); // one past the last loud sample
    samples = Samples(first, last);
}

void FadeEnds(Samples& samples, uint32_t rate, double inSeconds, double outSeconds)
{
    const size_t fadeIn = std::min(samples.size(), static_cast<size_t>(inSeconds * rate));
    const size_t fadeOut = std::min(samples.size(), static_cast<size_t>(outSeconds * rate));
    for (size_t i = 0; i < fadeIn; ++i)
        samples[i] *= static_cast<float>(std::sin(std::numbers::pi / 2 * i / fadeIn));
    for (size_t i = 0; i < fadeOut; ++i)
        samples[samples.size() - 1 - i] *= static_cast<float>(std::sin(std::numbers::pi / 2 * i / fadeOut));
}

double PeakDb(const Samples& samples)
{
    float peak = 0;
    for (const float s : samples)
        peak = std::max(peak, std::fabs(s));
    return peak > 0 ? 20 * std::log10(peak) : -std::numeric_limits<double>::infinity();
}

void NormalizePeak(Samples& samples, double peakDb)
{
    const double now = PeakDb(samples);
    if (!std::isfinite(now))
        return;
    const auto gain = static_cast<float>(FromDb(peakDb - now));
    for (float& s : samples)
        s *= gain;
}

Samples Resample(const Samples& samples, uint32_t fromRate, uint32_t toRate)
{
    if (fromRate == toRate || samples.empty())
        return samples;
    const std::unique_ptr<acm::PcmResampler> resampler = acm::PcmResampler::create(1, fromRate, toRate);
    if (!resampler)
        throw rtl::Exception("The voice's sound cannot be converted to the clip's rate.");
    // Silence behind the sound (a tenth of a second, far longer than the filter) pushes the
    // filter's last output through.
    std::vector<double> in(samples.begin(), samples.end());
    in.resize(in.size() + fromRate / 10, 0.0);
    std::vector<double> out(in.size() * toRate / fromRate + 16);
    size_t taken = 0, made = 0;
    while (taken < in.size() && made < out.size()) {
        auto inFrames = static_cast<uint32_t>(in.size() - taken);
        auto outFrames = static_cast<uint32_t>(out.size() - made);
        resampler->process(in.data() + taken, inFrames, out.data() + made, outFrames);
        if (inFrames == 0 && outFrames == 0)
            break;
        taken += inFrames;
        made += outFrames;
    }
    return Samples(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(made));
}

} // namespace platform::speech
