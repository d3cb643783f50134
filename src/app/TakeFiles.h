#pragma once

// Takes: a word is recorded into a hidden temporary file in its lesson folder (the
// take), which replaces the word's clip in one rename only once it has been judged to
// hold sound and trimmed to it. Until then the clip stays as it was, also when the
// program stops in the middle of a take. Knows no window; the audio passes only
// through the engine's WAVE reader and writer.

#include <chrono>
#include <filesystem>

// What the take's sound asks of the next one.
enum class TakeHint { None, TooQuiet, TooLoud };

struct TakeOutcome {
    // False when nothing was heard: the take was dropped and the clip left as it was.
    bool kept = false;
    TakeHint hint = TakeHint::None;
};

// Under this peak a take holds nothing but the microphone's own noise.
inline constexpr double kNothingHeardDbfs = -45;
// Under this peak a kept take is too quiet.
inline constexpr double kTooQuietDbfs = -30;
// A kept take with more of its samples at full scale than this share is clipped.
inline constexpr double kClippedShare = 0.001;
// Silence kept before the first sound and after the last.
inline constexpr std::chrono::milliseconds kTakeMargin{250};
// A take left behind this long ago belongs to no recording that still runs.
inline constexpr std::chrono::minutes kStaleTakeAge{10};

// A new take's path in `folder`: hidden, unique, and never ending in ".wav" in any
// letter case, so no listing of a lesson's words ever shows it.
std::filesystem::path NewTakePath(const std::filesystem::path& folder);

// Removes the takes in `folder` last written longer than `age` ago. Never throws.
void RemoveStaleTakes(const std::filesystem::path& folder, std::chrono::seconds age = kStaleTakeAge);

// Judges a finished take: without sound (SoundMeter finds none, or its peak is under
// kNothingHeardDbfs) it is dropped; otherwise the silence before
// its first sound and after its last is cut down to the margin and it replaces
// `clip`. The take is gone afterwards, also when this raises (the clip then stays).
TakeOutcome CommitTake(const std::filesystem::path& take, const std::filesystem::path& clip);
