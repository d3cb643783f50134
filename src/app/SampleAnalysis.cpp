#include "app/SampleAnalysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::uint32_t kWindowsPerSecond = 500; // 2 ms
// Sound stands 12 dB above the noise floor, or half as far (in dB) as the loudest
// window when that is less, but never less than 6 dB: steady noise, at any level, has
// nothing that far above its own quietest tenth, while a quiet voice over a quieter floor
// does.
constexpr double kAboveFloor = 15.85;
constexpr double kClearlyAboveFloor = 3.98;
// A floor never counts as quieter than -80 dBFS, so dither on digital silence is no sound.
constexpr double kQuietestFloor = 32768.0 * 32768.0 * 1e-8;
// Sound broken by less than this is one stretch of sound.
constexpr std::uint64_t kJoinGapMs = 30;
// A stretch shorter than this at either end is a click.
constexpr std::uint64_t kShortestSoundMs = 50;

double Energy(double sumOfSquares, std::uint64_t samples)
{
    return samples ? sumOfSquares / static_cast<double>(samples) : 0;
}

} // namespace

double SampleLevels::PeakDbfs() const
{
    if (peak == 0)
        return -std::numeric_limits<double>::infinity();
    return 20 * std::log10(peak / 32768.0);
}

double SampleLevels::FullScaleShare() const
{
    return samples ? static_cast<double>(fullScale) / static_cast<double>(samples) : 0;
}

SoundMeter::SoundMeter(int channels, std::uint32_t framesPerSecond)
    : channels_(std::max(channels, 1)), rate_(std::max<std::uint32_t>(framesPerSecond, 1)),
      windowSamples_(std::max<std::uint64_t>(rate_ / kWindowsPerSecond, 1) * static_cast<std::uint64_t>(channels_))
{
}

void SoundMeter::Add(const std::int16_t* samples, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, ++samples_) {
        if (samples_ % windowSamples_ == 0)
            windows_.emplace_back();
        Window& window = windows_.back();
        const std::int32_t value = samples[i];
        const std::int32_t size = value < 0 ? -value : value;
        window.energy += static_cast<double>(value) * value;
        ++window.samples;
        window.peak = std::max(window.peak, size);
        window.fullScale += size >= 32767 ? 1 : 0;
    }
}

SampleLevels SoundMeter::LevelsOf(FrameSpan span) const
{
    const std::uint64_t windowFrames = windowSamples_ / static_cast<std::uint64_t>(channels_);
    SampleLevels levels;
    const std::size_t last = std::min<std::size_t>(windows_.size(), (span.end + windowFrames - 1) / windowFrames);
    for (std::size_t i = span.begin / windowFrames; i < last; ++i) {
        levels.samples += windows_[i].samples;
        levels.peak = std::max(levels.peak, windows_[i].peak);
        levels.fullScale += windows_[i].fullScale;
    }
    return levels;
}

double SoundMeter::NoiseFloor() const
{
    std::vector<double> energies;
    energies.reserve(windows_.size());
    for (const Window& window : windows_)
        energies.push_back(Energy(window.energy, window.samples));
    if (energies.empty())
        return 0;
    auto tenth = energies.begin() + static_cast<std::ptrdiff_t>(energies.size() / 10);
    std::nth_element(energies.begin(), tenth, energies.end());
    return *tenth;
}

std::vector<bool> SoundMeter::LoudWindows() const
{
    double loudest = 0;
    for (const Window& window : windows_)
        loudest = std::max(loudest, Energy(window.energy, window.samples));
    const double noise = std::max(NoiseFloor(), kQuietestFloor);
    const double threshold =
        std::clamp(std::sqrt(noise * loudest), noise * kClearlyAboveFloor, noise * kAboveFloor);
    std::vector<bool> loud;
    loud.reserve(windows_.size());
    for (const Window& window : windows_) {
        const double energy = Energy(window.energy, window.samples);
        loud.push_back(energy > 0 && energy >= threshold);
    }
    return loud;
}

std::optional<FrameSpan> SoundMeter::Sound() const
{
    const std::uint64_t windowFrames = windowSamples_ / static_cast<std::uint64_t>(channels_);
    const auto windowsOf = [&](std::uint64_t ms) {
        return std::max<std::uint64_t>(ms * rate_ / 1000 / windowFrames, 1);
    };
    // Stretches of loud windows, joined across short breaks.
    std::vector<FrameSpan> stretches; // in windows
    const std::vector<bool> loud = LoudWindows();
    for (std::uint64_t i = 0; i < loud.size(); ++i) {
        if (!loud[i])
            continue;
        if (!stretches.empty() && i - stretches.back().end < windowsOf(kJoinGapMs))
            stretches.back().end = i + 1;
        else
            stretches.push_back({i, i + 1});
    }
    const auto isSound = [&](const FrameSpan& stretch) { return stretch.size() >= windowsOf(kShortestSoundMs); };
    const auto first = std::find_if(stretches.begin(), stretches.end(), isSound);
    if (first == stretches.end())
        return std::nullopt;
    const auto last = std::find_if(stretches.rbegin(), stretches.rend(), isSound);
    return FrameSpan{first->begin * windowFrames, std::min(last->end * windowFrames, Frames())};
}

FrameSpan WithMargin(FrameSpan span, std::uint64_t margin, std::uint64_t frames)
{
    return {span.begin > margin ? span.begin - margin : 0, std::min(span.end + margin, frames)};
}
