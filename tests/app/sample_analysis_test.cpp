// Where the sound of a take begins and ends, and how loud it is, on audio made here.

#include "take_audio.h"

#include "app/SampleAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace {

using taketest::Audio;
using taketest::kRate;

// Edges are found to within 10 ms.
constexpr std::uint64_t kSlack = kRate / 100;

void ExpectSpan(const std::optional<FrameSpan>& span, std::uint64_t begin, std::uint64_t end)
{
    ASSERT_TRUE(span);
    EXPECT_NEAR(static_cast<double>(span->begin), static_cast<double>(begin), kSlack);
    EXPECT_NEAR(static_cast<double>(span->end), static_cast<double>(end), kSlack);
}

TEST(SoundMeter, SoundIsFoundAboveTheAudiosOwnFloorQuietOrLoud)
{
    for (const double hiss : {0.0, 0.001, 0.005}) {
        for (const double amplitude : {0.05, 0.5}) {
            SCOPED_TRACE(testing::Message() << "hiss " << hiss << ", tone " << amplitude);
            Audio audio;
            audio.Hiss(hiss).Silence(700);
            const std::uint64_t begin = audio.FramesSoFar();
            // A word, a pause within it, and more of it.
            audio.Tone(300, amplitude).Silence(200).Tone(300, amplitude / 3, 200);
            const std::uint64_t end = audio.FramesSoFar();
            audio.Silence(900);
            ExpectSpan(audio.Measure().Sound(), begin, end);
        }
    }
}

TEST(SoundMeter, ShortClicksAtEitherEndAreNoSoundButLongerBurstsAre)
{
    Audio audio;
    audio.Silence(200).Tone(20, 0.9, 2000).Silence(300).Tone(40, 0.9, 1500).Silence(400);
    const std::uint64_t begin = audio.FramesSoFar();
    audio.Tone(500, 0.3);
    const std::uint64_t end = audio.FramesSoFar();
    audio.Silence(300).Tone(30, 0.9, 2000).Silence(200);
    ExpectSpan(audio.Measure().Sound(), begin, end);

    // A burst of 60 ms is sound, at the end as at the start.
    audio.Tone(60, 0.2).Silence(200);
    ExpectSpan(audio.Measure().Sound(), begin, audio.FramesSoFar() - Audio::Frames(200));

    // Clicks alone are no sound at all.
    EXPECT_FALSE(
        Audio().Silence(100).Tone(20, 0.9).Silence(500).Tone(10, 0.9).Silence(100).Measure().Sound());
}

TEST(SoundMeter, SteadyHissAtAnyLevelIsNoSoundEvenWithClicksButAVoiceOverItIs)
{
    for (const double hiss : {0.00316, 0.01, 0.0316, 0.126}) { // -50 to -18 dBFS
        SCOPED_TRACE(hiss);
        EXPECT_FALSE(Audio().Hiss(hiss).Silence(1600).Measure().Sound());
        Audio clicks;
        clicks.Hiss(hiss).Silence(300).Tone(20, 0.9, 2000).Silence(1200).Tone(15, 0.9, 2000).Silence(300);
        EXPECT_FALSE(clicks.Measure().Sound());
        Audio voice; // about 11 dB over the hiss
        voice.Hiss(hiss).Silence(600).Tone(400, 3 * hiss).Silence(600);
        ExpectSpan(voice.Measure().Sound(), Audio::Frames(600), Audio::Frames(1000));
    }
}

TEST(SoundMeter, LevelsGiveThePeakAndTheShareOfSamplesAtFullScale)
{
    Audio audio;
    audio.Tone(500, 0.1);
    const SoundMeter quiet = audio.Measure();
    EXPECT_NEAR(quiet.Levels().PeakDbfs(), -20, 0.1);
    EXPECT_EQ(quiet.Levels().fullScale, 0u);

    const std::uint64_t loud = audio.Overdriven(500, 2).FramesSoFar();
    const SoundMeter meter = audio.Measure();
    EXPECT_EQ(meter.Levels().peak, 32767);
    // Driven twice over full scale, a sine sits at full scale for two thirds of its time.
    const SampleLevels overdriven = meter.LevelsOf({Audio::Frames(500), loud});
    EXPECT_NEAR(overdriven.FullScaleShare(), 2.0 / 3, 0.02);
    // Stretches are measured to the window (2 ms).
    EXPECT_NEAR(meter.LevelsOf({0, Audio::Frames(496)}).PeakDbfs(), -20, 0.1);
}

} // namespace
