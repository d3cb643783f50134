#pragma once

// Whether there is sound at all. With no sound output the tutor says so once, in plain words,
// and then skips clips as it skips missing ones, asking the output again before a clip at
// most every few seconds until it answers. The questions are the wave service's format
// queries, which open nothing.

#include <chrono>
#include <functional>

namespace app {

// A parent reads these, not a programmer.
extern const char kNoSoundOutput[];        // at start, or when the output goes away
extern const char kNoSoundOutputForWord[]; // the editor's speaker, a double click on a word
extern const char kNoMicrophone[];         // Record

// True unless the wave service reports no output (or input) device at all.
bool SoundOutputAnswers();
bool MicrophoneAnswers();

class SoundOutputWatch {
public:
    using Clock = std::chrono::steady_clock;

    explicit SoundOutputWatch(std::function<bool()> probe = SoundOutputAnswers) : probe_(std::move(probe)) {}

    // Asks the output now; true when it answered.
    bool Probe();
    // Before a clip: true when the output is there. While it is missing, it is asked again
    // once Interval has passed since the last question.
    bool ReadyForClip();
    bool Missing() const { return missing_; }

    std::chrono::milliseconds Interval{5000};

private:
    std::function<bool()> probe_;
    bool missing_ = false;
    Clock::time_point asked_{};
};

} // namespace app
