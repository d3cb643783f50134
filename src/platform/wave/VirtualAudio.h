#pragma once

// The virtual sound device: an output that plays at real-time pace (or as fast as a test
// asks) and keeps what it played, and a microphone that delivers a WAVE file or silence.
// Tests steer it through VirtualAudio::instance(); UseVirtualBackend() (WaveBackend.h) or
// LEXORIN_AUDIO=virtual selects it.

#include "platform/MMSystem.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <vector>

namespace platform::wave {

void UseVirtualBackend();

enum class Direction { Output, Input };

// What one open of the output played, in order.
struct PlayedClip {
    WAVEFORMATEX format{};
    std::vector<uint8_t> bytes;
    uint64_t byteCount = 0; // also counted when bytes are not kept
    bool closed = false;
    uint64_t openId = 0; // which open it was, counted from start-up
};

class VirtualAudio {
public:
    static VirtualAudio& instance();

    // Back to the defaults: real-time pace, a silent microphone, played audio kept, one
    // device per direction, no failures planned, the record of played clips emptied.
    void reset();

    // Pace: 1 is real time, 4 four times faster, 0 as fast as possible.
    void setSpeed(double factor);
    double speed() const;

    // The microphone plays this PCM (or float) WAVE file from its start at every
    // waveInStart, converted to the format asked, then silence. False (and silence) when
    // the file cannot be read.
    bool setMicrophoneFile(const std::filesystem::path& file);
    void setMicrophoneSilence();
    // The microphone hears a steady sine (whole hertz, amplitude 0..1) for as long as it runs.
    void setMicrophoneTone(uint32_t hertz, double amplitude);

    // Played audio: one clip per output open.
    void setKeepPlayed(bool keep);
    std::vector<PlayedClip> played() const;
    void clearPlayed();

    // A second open of a direction already open fails with MMSYSERR_ALLOCATED (default on).
    void setExclusive(bool exclusive);
    int openCount(Direction d) const;
    // Bytes played / recorded by all devices of that direction since start-up.
    uint64_t bytesMoved(Direction d) const { return moved_[static_cast<int>(d)].load(); }

    // Failure injection. The next open of that direction fails with the code.
    void failNextOpen(Direction d, MMRESULT code);
    // Every open of that direction fails with the code until cleared with 0; a format query
    // (WAVE_FORMAT_QUERY) fails with it too.
    void failOpens(Direction d, MMRESULT code);
    MMRESULT openFailure(Direction d) const;
    // Devices opened from now on vanish after moving that many bytes (as a server that dies).
    void vanishAfter(Direction d, uint64_t bytes);
    // Every open device vanishes now.
    void vanishNow();
    // Devices opened from now on stop making progress after that many bytes, without a
    // word, as a frozen server; the device notices after stallTimeout and vanishes.
    void stallAfter(Direction d, uint64_t bytes);
    void setStallTimeout(std::chrono::milliseconds timeout);

    // --- for the backend ---
    struct OpenPlan {
        MMRESULT fail = 0;
        uint64_t vanishAt = UINT64_MAX;
        uint64_t stallAt = UINT64_MAX;
        std::chrono::milliseconds stallTimeout{3000};
        uint64_t clip = 0;            // output: openId of its entry in played()
        std::vector<char> microphone; // input: the file in the format asked
        bool loopMicrophone = false;  // input: a tone repeats its second of audio
    };
    OpenPlan beginOpen(Direction d, const WAVEFORMATEX& format);
    void endOpen(Direction d, uint64_t clip);
    void recordPlayed(uint64_t clip, const char* data, size_t n);
    void countMoved(Direction d, uint64_t n) { moved_[static_cast<int>(d)] += n; }

private:
    VirtualAudio() = default;

    mutable std::mutex mutex_;
    double speed_ = 1.0;
    bool keepPlayed_ = true;
    bool exclusive_ = true;
    int open_[2] = {0, 0};
    std::atomic<uint64_t> moved_[2] = {0, 0};
    MMRESULT failNext_[2] = {0, 0};
    MMRESULT failAll_[2] = {0, 0};
    uint64_t vanishAt_[2] = {UINT64_MAX, UINT64_MAX};
    uint64_t stallAt_[2] = {UINT64_MAX, UINT64_MAX};
    std::chrono::milliseconds stallTimeout_{3000};
    WAVEFORMATEX micFormat_{};
    uint32_t toneHertz_ = 0;
    double toneAmplitude_ = 0;
    std::vector<char> micData_;
    std::vector<PlayedClip> played_;
    uint64_t nextOpenId_ = 1;
    PlayedClip* findClip(uint64_t id);
};

} // namespace platform::wave
