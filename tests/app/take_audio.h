#pragma once

// Stereo 44100 Hz 16-bit audio built piece by piece for the take tests: silence, tones,
// clicks, overdriven tones and microphone hiss, measured directly or written as the
// WAVE file a virtual microphone says.

#include "clips_wave.h"

#include "app/SampleAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace taketest {

constexpr std::uint32_t kRate = 44100;

class Audio {
public:
    static std::uint32_t Frames(int ms) { return static_cast<std::uint32_t>(ms) * kRate / 1000; }

    Audio& Silence(int ms) { return Tone(ms, 0); }
    // A sine of this amplitude (1 is full scale).
    Audio& Tone(int ms, double amplitude, double hertz = 330)
    {
        for (std::uint32_t i = 0; i < Frames(ms); ++i)
            Push(amplitude * std::sin(2 * M_PI * hertz * i / kRate));
        return *this;
    }
    // A sine driven this far over full scale and cut off there.
    Audio& Overdriven(int ms, double drive)
    {
        for (std::uint32_t i = 0; i < Frames(ms); ++i)
            Push(std::clamp(drive * std::sin(2 * M_PI * 330 * i / kRate), -1.0, 1.0));
        return *this;
    }
    // The hiss of a microphone at this level of full scale, under every piece after it.
    Audio& Hiss(double level)
    {
        hiss_ = level;
        return *this;
    }

    std::uint64_t FramesSoFar() const { return samples_.size() / 2; }
    const std::vector<std::int16_t>& Samples() const { return samples_; }

    // Measured in uneven blocks, as a file is read.
    SoundMeter Measure() const
    {
        SoundMeter meter(2, kRate);
        for (std::size_t at = 0; at < samples_.size(); at += 999)
            meter.Add(samples_.data() + at, std::min<std::size_t>(999, samples_.size() - at));
        return meter;
    }

    // The audio as a canonical WAVE file.
    std::string Wave() const
    {
        const auto dataSize = static_cast<std::uint32_t>(samples_.size() * 2);
        const std::uint32_t riffSize = 36 + dataSize;
        std::string out = cliptest::ToneWave(2, kRate, 0);
        std::memcpy(out.data() + 4, &riffSize, 4);
        std::memcpy(out.data() + 40, &dataSize, 4);
        out.append(reinterpret_cast<const char*>(samples_.data()), dataSize);
        return out;
    }

private:
    void Push(double value)
    {
        value += hiss_ * noise_(random_);
        const auto sample = static_cast<std::int16_t>(std::clamp(std::lround(value * 32767), -32768L, 32767L));
        samples_.push_back(sample);
        samples_.push_back(sample);
    }

    std::vector<std::int16_t> samples_;
    double hiss_ = 0;
    std::mt19937 random_{7};
    std::uniform_real_distribution<double> noise_{-1.0, 1.0};
};

} // namespace taketest
