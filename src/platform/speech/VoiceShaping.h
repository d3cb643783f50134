#pragma once

// The shaping every clip in the tutor's voice goes through, on mono samples in the range
// -1 to 1: rumble filtered off, silence trimmed off both ends, the ends faded so they do not
// click, the rate changed, the peak brought to a level.

#include <cstdint>
#include <vector>

namespace platform::speech {

using Samples = std::vector<float>;

// A second-order high-pass filter (Butterworth) at `hertz`.
void HighPass(Samples& samples, uint32_t rate, double hertz);

// Removes what lies before the first and after the last stretch of `windowSeconds` whose
// loudness (root mean square) reaches `thresholdDb` below full scale. All of it goes when
// nothing is that loud.
void TrimSilence(Samples& samples, uint32_t rate, double thresholdDb, double windowSeconds);

// Quarter-sine fades over the first `inSeconds` and the last `outSeconds`.
void FadeEnds(Samples& samples, uint32_t rate, double inSeconds, double outSeconds);

// Scales the samples so the largest magnitude is `peakDb` below full scale (nothing for silence).
void NormalizePeak(Samples& samples, double peakDb);

// The largest magnitude, in dB below full scale (-infinity for silence).
double PeakDb(const Samples& samples);

// The same sound at another sample rate.
Samples Resample(const Samples& samples, uint32_t fromRate, uint32_t toRate);

} // namespace platform::speech
