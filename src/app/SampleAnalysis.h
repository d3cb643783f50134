#pragma once

// How loud 16-bit PCM audio is, and where its sound begins and ends. Knows no file and
// no window: the audio is fed in blocks of interleaved samples, as read.
//
// The audio is measured in windows of 2 ms. Sound is a window clearly above the
// audio's own noise floor (the level of its quietest tenth); a burst of sound shorter
// than 50 ms at either end, such as the click of a key or button, is not sound. Steady
// noise with nothing clearly louder in it, such as the hiss of an open microphone, holds
// no sound at any level.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A stretch of audio in frames: [begin, end).
struct FrameSpan {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::uint64_t size() const { return end - begin; }
    bool operator==(const FrameSpan&) const = default;
};

// Loudness of a stretch: its highest sample and how many samples sit at full scale.
struct SampleLevels {
    std::uint64_t samples = 0;
    std::int32_t peak = 0; // highest |sample|, 0 to 32768
    std::uint64_t fullScale = 0;
    // The peak in dB below full scale (-infinity for silence).
    double PeakDbfs() const;
    // The share of samples at full scale, 0 to 1.
    double FullScaleShare() const;
};

class SoundMeter {
public:
    SoundMeter(int channels, std::uint32_t framesPerSecond);

    // Measures the next `count` interleaved samples (a block may end inside a frame).
    void Add(const std::int16_t* samples, std::size_t count);

    std::uint64_t Frames() const { return samples_ / static_cast<std::uint64_t>(channels_); }
    std::uint32_t FramesPerSecond() const { return rate_; }
    // Levels of everything measured.
    SampleLevels Levels() const { return LevelsOf({0, Frames()}); }
    // Levels of a stretch, to the nearest window.
    SampleLevels LevelsOf(FrameSpan span) const;
    // From the first sound to the end of the last, or nothing when the audio holds no sound.
    std::optional<FrameSpan> Sound() const;

private:
    struct Window {
        double energy = 0; // sum of squared samples
        std::uint64_t samples = 0;
        std::int32_t peak = 0;
        std::uint64_t fullScale = 0;
    };
    double NoiseFloor() const;
    std::vector<bool> LoudWindows() const;

    int channels_;
    std::uint32_t rate_;
    std::uint64_t windowSamples_;
    std::uint64_t samples_ = 0;
    std::vector<Window> windows_;
};

// `span` widened by `margin` frames on each side, within [0, frames).
FrameSpan WithMargin(FrameSpan span, std::uint64_t margin, std::uint64_t frames);
