// waveOut*/waveIn* on a real PulseAudio daemon (started by pulse_fixture.sh): what is
// played arrives whole at the speakers' monitor, what the microphone hears is recorded,
// and a daemon that dies or freezes mid-clip ends the clip with a result code, never a hang.

#include "pulse_support.h"

#include "platform/wave_support.h"

#include "platform/wave/NotifyChannel.h"

#include <algorithm>
#include <iostream>
#include <numeric>

using namespace pulsetest;
using wavetest::Buffer;
using wavetest::Recorder;

namespace {

constexpr size_t kChunk = 22048; // an eighth of a second at 44100 Hz stereo 16-bit, whole frames
constexpr double kThreshold = 0.99;
// Samples at a stream's start that the null sink's monitor may miss: the sink rewinds to mix
// a starting stream in at once, and what its monitor had already handed out stays as it
// was. A rewind reaches back at most the sink's latency, which the keeper holds at 20 ms.
constexpr size_t kMonitorStartLoss = 2 * 882;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

class PulseWaveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        useFixtureDaemon();
        platform::wave::UsePulseBackend();
    }
    void TearDown() override { rec.window.reset(); }

    // Plays a signal the way the engine does: BufferCount + 1 buffers at once, then one more
    // per completion; closes the device as soon as the last one is reported.
    struct Playback {
        Clock::time_point firstWrite;
        std::vector<Clock::time_point> done;
        std::vector<size_t> sizes;
        size_t written = 0;
        MMRESULT failure = 0;                // the first failing call
        uint64_t eventsAfterFirstSecond = 0; // completion events taken from the heap by then
        uint64_t eventsAtEnd = 0;
        HWAVEOUT handle = nullptr;
    };
    Playback play(const std::vector<int16_t>& signal, size_t killAfter = SIZE_MAX,
                  const std::function<void()>& onKill = {})
    {
        Playback p;
        const auto* bytes = reinterpret_cast<const char*>(signal.data());
        const size_t total = signal.size() * 2;
        EXPECT_EQ(waveOutOpen(&p.handle, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
        if (!p.handle)
            return p;
        std::vector<std::unique_ptr<Buffer>> pool;
        size_t offset = 0;
        auto writeNext = [&] {
            if (offset >= total || p.failure)
                return;
            const size_t n = std::min(kChunk, total - offset);
            pool.push_back(std::make_unique<Buffer>(n));
            Buffer& b = *pool.back();
            std::memcpy(b.data.data(), bytes + offset, n);
            offset += n;
            EXPECT_EQ(waveOutPrepareHeader(p.handle, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            if (p.written == 0)
                p.firstWrite = Clock::now();
            const MMRESULT rc = waveOutWrite(p.handle, &b.hdr, sizeof(WAVEHDR));
            if (rc) {
                p.failure = rc;
                return;
            }
            ++p.written;
            p.sizes.push_back(n);
        };
        bool closed = false;
        rec.onMessage = [&](uint32_t msg, WAVEHDR*) {
            if (msg != MM_WOM_DONE || closed)
                return;
            p.done.push_back(Clock::now());
            if (p.done.size() == 8)
                p.eventsAfterFirstSecond = platform::wave::NotifyEventAllocations();
            if (p.done.size() == killAfter && onKill)
                onKill();
            writeNext();
            if (p.done.size() == p.written) { // the last one: close at once, as the tutor does
                p.eventsAtEnd = platform::wave::NotifyEventAllocations();
                EXPECT_EQ(waveOutReset(p.handle), MMSYSERR_NOERROR);
                for (auto& b : pool)
                    EXPECT_EQ(waveOutUnprepareHeader(p.handle, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
                EXPECT_EQ(waveOutClose(p.handle), MMSYSERR_NOERROR);
                closed = true;
            }
        };
        for (int i = 0; i < 5; ++i)
            writeNext();
        // A hang, not a timing expectation: the clip is 3 s, the watchdog gives up after 3 more.
        EXPECT_TRUE(pumpUntil([&] { return closed; }, std::chrono::seconds(30)));
        rec.onMessage = nullptr;
        return p;
    }

    WAVEFORMATEX format = wavetest::pcm(2, 44100, 16);
    Recorder rec;
};

TEST_F(PulseWaveTest, KnownSignalArrivesWholeAtTheMonitor)
{
    const auto signal = noise(3 * 44100 + 12, 7); // 3 s and a last buffer of 48 bytes
    MonitorRecorder monitor;
    ASSERT_TRUE(monitor.waitUntilRunning());
    const Playback p = play(signal);
    ASSERT_EQ(p.failure, 0u);
    ASSERT_EQ(p.done.size(), p.written);
    pumpFor(std::chrono::milliseconds(300)); // let parec catch up with the monitor
    monitor.stop();

    const auto capture = monitor.samples();
    const long at = align(capture, signal); // silence before it: no false match
    ASSERT_GE(at, 0) << "the signal's start never reached the monitor";
    ASSERT_LE(at + signal.size(), capture.size()) << "the end of the clip was cut off";
    const double whole = correlation(&capture[at], signal.data(), signal.size());
    const size_t tail = 44100 / 20 * 2; // the last 50 ms
    const double last = correlation(&capture[at + signal.size() - tail], &signal[signal.size() - tail], tail);
    EXPECT_GT(whole, kThreshold);
    EXPECT_GT(last, kThreshold) << "the last 50 ms are missing: the last buffer was reported early";

    const size_t lost = leadingLoss(capture, at, signal);
    EXPECT_LE(lost, kMonitorStartLoss);
    EXPECT_EQ(p.eventsAtEnd, p.eventsAfterFirstSecond) << "steady playback went to the heap";

    // Figures for the report (not asserted: tests never assert wall-clock times).
    const double latency = ms(monitor.arrival((static_cast<size_t>(at) + lost) * 2) - p.firstWrite);
    std::vector<double> error;
    for (size_t i = 1; i < p.done.size(); ++i) {
        const double expected = p.sizes[i] * 1000.0 / format.nAvgBytesPerSec;
        error.push_back(ms(p.done[i] - p.done[i - 1]) - expected);
    }
    const double mean = std::accumulate(error.begin(), error.end(), 0.0) / error.size();
    double var = 0, worst = 0;
    for (double e : error) {
        var += (e - mean) * (e - mean);
        worst = std::max(worst, std::abs(e));
    }
    const double jitter = std::sqrt(var / error.size());
    std::cout << "[ figures  ] correlation " << whole << ", last 50 ms " << last << ", first " << lost / 2
              << " frames missed by the monitor"
              << "; first write to first sample at the monitor " << latency
              << " ms (parec's 10 ms fragments included); completion jitter " << jitter << " ms rms, "
              << worst << " ms worst, over " << error.size() << " buffers\n";
    RecordProperty("latency_ms", std::to_string(latency));
    RecordProperty("jitter_ms", std::to_string(jitter));
}

TEST_F(PulseWaveTest, BuffersWrittenWithGapsEachPlayWholeAndInOrder)
{
    // The tutor's clips start and stop all the time: the device runs dry between buffers.
    MonitorRecorder monitor;
    ASSERT_TRUE(monitor.waitUntilRunning());
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    const size_t frames[] = {4410, 882, 2205, 441, 4410}; // 100, 20, 50, 10 and 100 ms
    std::vector<std::vector<int16_t>> pieces;
    std::vector<std::unique_ptr<Buffer>> bufs;
    for (size_t i = 0; i < std::size(frames); ++i) {
        pieces.push_back(noise(frames[i], 100 + static_cast<uint32_t>(i)));
        bufs.push_back(std::make_unique<Buffer>(frames[i] * 4));
        std::memcpy(bufs[i]->data.data(), pieces[i].data(), frames[i] * 4);
        ASSERT_EQ(waveOutPrepareHeader(h, &bufs[i]->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(h, &bufs[i]->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == i + 1; }, std::chrono::seconds(10)));
        pumpFor(std::chrono::milliseconds(150)); // a gap: the stream underruns
    }
    EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    for (auto& b : bufs)
        EXPECT_EQ(waveOutUnprepareHeader(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    pumpFor(std::chrono::milliseconds(200));
    monitor.stop();

    const auto capture = monitor.samples();
    size_t from = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const auto& piece = pieces[i];
        const long at = align(capture, piece, from);
        ASSERT_GE(at, 0) << "buffer " << i << " never played";
        ASSERT_LE(at + piece.size(), capture.size());
        const size_t lost = leadingLoss(capture, at, piece);
        EXPECT_LE(lost, kMonitorStartLoss) << "buffer " << i << " lost its start";
        EXPECT_TRUE(std::equal(piece.begin() + lost, piece.end(), capture.begin() + at + lost))
            << "buffer " << i << " did not play whole to its end";
        std::cout << "[ figures  ] buffer " << i << ": " << lost / 2
                  << " frames missed at its start by the monitor\n";
        from = at + piece.size();
    }
}

TEST_F(PulseWaveTest, ShortClipsOneAfterAnotherEachPlayToTheirEnd)
{
    // Spelling a word: a letter clip after another, each on a freshly opened device that is
    // closed as soon as its last buffer is reported.
    MonitorRecorder monitor;
    ASSERT_TRUE(monitor.waitUntilRunning());
    std::vector<std::vector<int16_t>> clips;
    std::vector<double> spans;
    for (uint32_t i = 0; i < 8; ++i) {
        clips.push_back(noise(2205 + 441 * i, 300 + i)); // 50 to 120 ms
        const auto started = Clock::now();
        const Playback p = play(clips.back());
        ASSERT_EQ(p.failure, 0u);
        ASSERT_EQ(p.done.size(), p.written);
        spans.push_back(ms(Clock::now() - started) - clips.back().size() * 1000.0 / 2 / 44100);
    }
    pumpFor(std::chrono::milliseconds(200));
    monitor.stop();
    const auto capture = monitor.samples();
    size_t from = 0;
    for (size_t i = 0; i < clips.size(); ++i) {
        const long at = align(capture, clips[i], from);
        ASSERT_GE(at, 0) << "clip " << i << " never played";
        ASSERT_LE(at + clips[i].size(), capture.size());
        const size_t lost = leadingLoss(capture, at, clips[i]);
        EXPECT_LE(lost, kMonitorStartLoss);
        EXPECT_TRUE(std::equal(clips[i].begin() + lost, clips[i].end(), capture.begin() + at + lost))
            << "clip " << i << " was cut short";
        from = at + clips[i].size();
    }
    std::sort(spans.begin(), spans.end());
    std::cout << "[ figures  ] open, play and close of a short clip takes its length + "
              << spans[spans.size() / 2] << " ms (median of " << spans.size() << ")\n";
}

TEST_F(PulseWaveTest, RecordingOfTheFedMicrophoneMatchesTheFile)
{
    const auto signal = noise(2 * 44100, 11);
    const std::string file = pulseDir() + "/mic_signal.wav";
    {
        std::ofstream out(file, std::ios::binary);
        auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
        out.write("RIFF", 4);
        put32(static_cast<uint32_t>(36 + signal.size() * 2));
        out.write("WAVEfmt ", 8);
        put32(16);
        out.write(reinterpret_cast<const char*>(&format), 16);
        out.write("data", 4);
        put32(static_cast<uint32_t>(signal.size() * 2));
        out.write(reinterpret_cast<const char*>(signal.data()),
                  static_cast<std::streamsize>(signal.size() * 2));
    }
    HWAVEIN h = nullptr;
    ASSERT_EQ(waveInOpen(&h, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    std::vector<std::unique_ptr<Buffer>> bufs;
    for (int i = 0; i < 4; ++i) {
        bufs.push_back(std::make_unique<Buffer>(22052));
        ASSERT_EQ(waveInPrepareHeader(h, &bufs.back()->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(h, &bufs.back()->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    std::vector<int16_t> recorded;
    bool recording = true;
    size_t shortBuffers = 0;
    rec.onMessage = [&](uint32_t msg, WAVEHDR* hdr) {
        if (msg != MM_WIM_DATA || !recording)
            return;
        if (hdr->dwBytesRecorded != hdr->dwBufferLength)
            ++shortBuffers;
        const auto* s = reinterpret_cast<const int16_t*>(hdr->lpData);
        recorded.insert(recorded.end(), s, s + hdr->dwBytesRecorded / 2);
        EXPECT_EQ(waveInAddBuffer(h, hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    };
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    pumpFor(std::chrono::milliseconds(200));
    const pid_t feeder = spawn({"paplay", "-d", "lexorin_mic_feed", file}, nullptr);
    ASSERT_TRUE(
        pumpUntil([&] { return waitpid(feeder, nullptr, WNOHANG) == feeder; }, std::chrono::seconds(20)));
    pumpFor(std::chrono::milliseconds(500));
    recording = false;
    EXPECT_EQ(waveInReset(h), MMSYSERR_NOERROR);
    for (auto& b : bufs)
        EXPECT_EQ(waveInUnprepareHeader(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);

    EXPECT_EQ(shortBuffers, 0u) << "every delivered buffer holds exactly the size asked";
    const long at = align(recorded, signal);
    ASSERT_GE(at, 0) << "the fed file was not recorded";
    ASSERT_LE(at + signal.size(), recorded.size());
    const double c = correlation(&recorded[at], signal.data(), signal.size());
    std::cout << "[ figures  ] recording correlation " << c << "\n";
    EXPECT_GT(c, kThreshold);
}

TEST_F(PulseWaveTest, FrozenDaemonIsDetectedAndTheClipEnds)
{
    const auto signal = noise(44100, 3); // 1 s
    const pid_t daemon = daemonPid();
    ASSERT_GT(daemon, 0);
    Clock::time_point frozenAt;
    const Playback p = play(signal, 2, [&] {
        frozenAt = Clock::now();
        kill(daemon, SIGSTOP);
    });
    kill(daemon, SIGCONT);
    ASSERT_FALSE(p.done.empty());
    EXPECT_EQ(p.done.size(), p.written) << "every buffer came back";
    std::cout << "[ figures  ] frozen daemon noticed after " << ms(p.done.back() - frozenAt) << " ms\n";
    // The device vanished: a new open goes to the (thawed) daemon again.
    pumpFor(std::chrono::milliseconds(200));
    const Playback again = play(noise(4410, 5));
    EXPECT_EQ(again.failure, 0u);
    EXPECT_EQ(again.done.size(), again.written);
}

TEST_F(PulseWaveTest, KilledDaemonEndsTheClipWithAResultCodeAndARestartedOneIsUsed)
{
    const auto signal = noise(3 * 44100, 9);
    const pid_t daemon = daemonPid();
    ASSERT_GT(daemon, 0);
    Clock::time_point killedAt;
    const Playback p = play(signal, 4, [&] {
        killedAt = Clock::now();
        kill(daemon, SIGKILL);
    });
    ASSERT_GE(p.done.size(), 4u);
    EXPECT_EQ(p.done.size(), p.written) << "every queued buffer came back as finished";
    EXPECT_EQ(p.failure, MMSYSERR_NODRIVER) << "the next write names the lost device";
    std::cout << "[ figures  ] killed daemon: buffers back after " << ms(p.done.back() - killedAt) << " ms\n";
    waitpid(daemon, nullptr, WNOHANG);

    // No server: open says so at once.
    HWAVEOUT h = nullptr;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);
    HWAVEIN hi = nullptr;
    EXPECT_EQ(waveInOpen(&hi, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);

    // A server that comes back is used by the next open.
    ASSERT_EQ(runFixture("start"), 0);
    MonitorRecorder monitor;
    ASSERT_TRUE(monitor.waitUntilRunning());
    const auto clip = noise(11025, 21); // 250 ms
    const Playback again = play(clip);
    EXPECT_EQ(again.failure, 0u);
    EXPECT_EQ(again.done.size(), again.written);
    pumpFor(std::chrono::milliseconds(200));
    monitor.stop();
    EXPECT_GE(align(monitor.samples(), clip), 0);
}

TEST_F(PulseWaveTest, KilledDaemonEndsTheRecordingWithEveryBufferBack)
{
    HWAVEIN h = nullptr;
    ASSERT_EQ(waveInOpen(&h, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    std::vector<std::unique_ptr<Buffer>> bufs;
    for (int i = 0; i < 4; ++i) {
        bufs.push_back(std::make_unique<Buffer>(22052));
        ASSERT_EQ(waveInPrepareHeader(h, &bufs.back()->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(h, &bufs.back()->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    const pid_t daemon = daemonPid();
    ASSERT_GT(daemon, 0);
    size_t filled = 0;
    MMRESULT requeue = 0;
    rec.onMessage = [&](uint32_t msg, WAVEHDR* hdr) {
        if (msg != MM_WIM_DATA)
            return;
        if (++filled == 3)
            kill(daemon, SIGKILL);
        if (!requeue)
            requeue = waveInAddBuffer(h, hdr, sizeof(WAVEHDR));
    };
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    // Every buffer comes back: three delivered and re-queued, then the four in the device.
    ASSERT_TRUE(pumpUntil([&] { return requeue != 0; }, std::chrono::seconds(20)));
    pumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(requeue, MMSYSERR_NODRIVER);
    for (auto& b : bufs)
        EXPECT_FALSE(b->hdr.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveInStart(h), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInReset(h), MMSYSERR_NOERROR);
    for (auto& b : bufs)
        EXPECT_EQ(waveInUnprepareHeader(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
    rec.onMessage = nullptr;
    waitpid(daemon, nullptr, WNOHANG);
    ASSERT_EQ(runFixture("start"), 0);
    // The next open reaches the new daemon.
    ASSERT_EQ(waveInOpen(&h, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
}

TEST_F(PulseWaveTest, UnsupportedFormatIsRefusedAtOpen)
{
    HWAVEOUT h = nullptr;
    WAVEFORMATEX f = wavetest::pcm(2, 44100, 12);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, rec.callback(), 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    f = wavetest::pcm(2, 1000000, 16);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, rec.callback(), 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    // 8-bit mono at 8 kHz is a format the server converts: it opens.
    f = wavetest::pcm(1, 8000, 8);
    ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

} // namespace
