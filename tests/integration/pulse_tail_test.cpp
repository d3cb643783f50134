// The end of a clip on a real PulseAudio daemon: buffers of an eighth of a second (22050 bytes
// of 44.1 kHz stereo, half a frame more than 5512 frames) written the way the output engine
// writes them, four held back and then one per completion until the data runs out. The last
// buffers must play whole and come back as soon as they have been heard, not when the
// watchdog gives up.

#include "pulse_support.h"

#include "platform/wave_support.h"

#include <algorithm>
#include <iostream>

using namespace pulsetest;
using wavetest::Buffer;
using wavetest::Recorder;

namespace {

constexpr size_t kEighth = 176400 / 8; // 22050 bytes: frames run on across headers
constexpr size_t kBufferCount = 4;
// How late the last completion may come after the clip's length has passed since the first
// write: stream start, the sink's latency (the fixture's keeper holds it at about 20 ms), the
// device's 5 ms polls and a loaded machine's scheduling, with room to spare. A tail left
// waiting for the watchdog comes 3 s late.
constexpr auto kTailBound = std::chrono::milliseconds(400);
// parec's delivery of what the monitor saw: its 10 ms fragments plus its own wake-ups. A
// buffer reported when handed to the server instead of when heard comes earlier than this
// before its end reaches the monitor (the server holds 50 ms ahead).
constexpr auto kMonitorDelivery = std::chrono::milliseconds(30);
// Samples at a stream's start that the null sink's monitor may miss (see pulse_wave_test.cpp).
constexpr size_t kMonitorStartLoss = 2 * 882;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

class PulseTailTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        useFixtureDaemon();
        platform::wave::UsePulseBackend();
    }
    void TearDown() override { rec.window.reset(); }

    struct Clip {
        Clock::time_point firstWrite;
        std::vector<Clock::time_point> done;
        size_t written = 0;
        bool closed = false;
    };

    // Plays bytes in buffers of kEighth: kBufferCount held back, written together with the
    // next one, then one more per completion; the device is closed at the last completion.
    Clip playLikeTheEngine(const std::vector<int16_t>& signal)
    {
        Clip c;
        const auto* bytes = reinterpret_cast<const char*>(signal.data());
        const size_t total = signal.size() * 2;
        HWAVEOUT h = nullptr;
        EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
        if (!h)
            return c;
        std::vector<std::unique_ptr<Buffer>> pool;
        size_t offset = 0;
        size_t held = 0;
        auto push = [&] {
            if (offset >= total)
                return false;
            const size_t n = std::min(kEighth, total - offset);
            pool.push_back(std::make_unique<Buffer>(n));
            std::memcpy(pool.back()->data.data(), bytes + offset, n);
            offset += n;
            EXPECT_EQ(waveOutPrepareHeader(h, &pool.back()->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            if (c.written == 0 && held < kBufferCount && offset < total) {
                ++held; // held back until the next one (or the end of the data) comes
                return true;
            }
            if (c.written == 0)
                c.firstWrite = Clock::now();
            for (size_t i = pool.size() - held - 1; i < pool.size(); ++i) {
                EXPECT_EQ(waveOutWrite(h, &pool[i]->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
                ++c.written;
            }
            held = 0;
            return true;
        };
        rec.onMessage = [&](uint32_t msg, WAVEHDR*) {
            if (msg != MM_WOM_DONE || c.closed)
                return;
            c.done.push_back(Clock::now());
            if (push() || c.done.size() < c.written)
                return;
            EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
            for (auto& b : pool)
                EXPECT_EQ(waveOutUnprepareHeader(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
            c.closed = true;
        };
        while (push() && c.written == 0) {
        }
        // A hang, not a timing expectation.
        EXPECT_TRUE(pumpUntil([&] { return c.closed; }, std::chrono::seconds(30)));
        rec.onMessage = nullptr;
        return c;
    }

    // Where the signal's whole frames sit in the capture, checked to have played whole.
    long locateWhole(const std::vector<int16_t>& capture, const std::vector<int16_t>& signal)
    {
        const long at = align(capture, signal);
        if (at < 0 || at + signal.size() > capture.size()) {
            ADD_FAILURE() << "the clip did not reach the monitor whole";
            return -1;
        }
        const size_t lost = leadingLoss(capture, at, signal);
        EXPECT_LE(lost, kMonitorStartLoss);
        const auto* cap = &capture[static_cast<size_t>(at)];
        EXPECT_TRUE(std::equal(signal.begin() + static_cast<long>(lost), signal.end(), cap + lost))
            << "bytes were lost or moved between the buffers";
        return at;
    }

    WAVEFORMATEX format = wavetest::pcm(2, 44100, 16);
    Recorder rec;
};

TEST_F(PulseTailTest, LastBuffersComeBackAsSoonAsTheClipHasPlayed)
{
    const size_t buffers = 24;
    const auto signal = noise(buffers * kEighth / 4, 41); // 3 s, ending on a whole frame
    MonitorRecorder monitor;
    ASSERT_TRUE(monitor.waitUntilRunning()); // also: the fixture's sink has settled
    const Clip c = playLikeTheEngine(signal);
    ASSERT_EQ(c.written, buffers);
    ASSERT_EQ(c.done.size(), buffers);
    pumpFor(std::chrono::milliseconds(200));
    monitor.stop();
    const auto length = std::chrono::milliseconds(3000);
    EXPECT_LE(c.done.back() - c.firstWrite, length + kTailBound)
        << "the last buffer came back " << ms(c.done.back() - c.firstWrite) << " ms after the first write";

    const auto capture = monitor.samples();
    const long at = locateWhole(capture, signal);
    ASSERT_GE(at, 0);
    const size_t endByte = (static_cast<size_t>(at) + signal.size()) * 2;
    const auto tailHeard = monitor.arrival(endByte - 1);
    EXPECT_LE(tailHeard, c.done.back() + kMonitorDelivery)
        << "the last buffer was reported " << ms(tailHeard - c.done.back())
        << " ms before its last 50 ms reached the monitor";
    std::vector<double> gaps;
    for (size_t i = 1; i < c.done.size(); ++i)
        gaps.push_back(ms(c.done[i] - c.done[i - 1]));
    std::cout << "[ figures  ] 24 x 125 ms: last completion " << ms(c.done.back() - c.firstWrite)
              << " ms after the first write; last two intervals " << gaps[gaps.size() - 2] << ", "
              << gaps.back() << " ms; end of the clip at the monitor " << ms(tailHeard - c.done.back())
              << " ms after the last completion\n";
}

TEST_F(PulseTailTest, ClipEndingInsideAFramePlaysToItsEndPromptly)
{
    // Three eighths: 16537.5 frames. The half frame at the end has no partner to come.
    const auto signal = noise(3 * kEighth / 4 + 1, 43);
    const std::vector<int16_t> body(signal.begin(), signal.end() - 2);
    std::vector<int16_t> clip(signal.begin(), signal.end() - 1); // its last sample: a left one
    MonitorRecorder monitor;
    ASSERT_TRUE(monitor.waitUntilRunning());
    const Clip c = playLikeTheEngine(clip);
    ASSERT_EQ(c.done.size(), 3u);
    pumpFor(std::chrono::milliseconds(200));
    monitor.stop();

    const auto capture = monitor.samples();
    const long at = locateWhole(capture, body);
    ASSERT_GE(at, 0);
    const size_t last = static_cast<size_t>(at) + body.size();
    ASSERT_LT(last + 1, capture.size());
    EXPECT_EQ(capture[last], clip.back()) << "the last half frame did not play";
    EXPECT_EQ(capture[last + 1], 0) << "the last frame was made whole with silence";
    EXPECT_LE(c.done.back() - c.firstWrite, std::chrono::milliseconds(375) + kTailBound)
        << "the half frame kept the clip waiting: " << ms(c.done.back() - c.firstWrite) << " ms";
    std::cout << "[ figures  ] 375 ms ending inside a frame: last completion "
              << ms(c.done.back() - c.firstWrite) << " ms after the first write\n";
}

TEST_F(PulseTailTest, BufferAfterAGapKeepsTheFramesOfTheStream)
{
    // A buffer ending inside a frame plays out before the next comes: its frame is closed
    // with silence that stands for the next buffer's first sample, so the next buffer keeps
    // the stream's frame boundaries (left stays left).
    const auto signal = noise(2 * kEighth / 4, 47); // two eighths, split half a frame off
    MonitorRecorder monitor;
    ASSERT_TRUE(monitor.waitUntilRunning());
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    Buffer first(kEighth), second(kEighth);
    std::memcpy(first.data.data(), signal.data(), kEighth);
    std::memcpy(second.data.data(), reinterpret_cast<const char*>(signal.data()) + kEighth, kEighth);
    ASSERT_EQ(waveOutPrepareHeader(h, &first.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutPrepareHeader(h, &second.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &first.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    const auto started = Clock::now();
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 1; }, std::chrono::seconds(10)));
    const auto firstDone = Clock::now() - started;
    pumpFor(std::chrono::milliseconds(150)); // the stream runs dry
    ASSERT_EQ(waveOutWrite(h, &second.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 2; }, std::chrono::seconds(10)));
    EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(h, &first.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(h, &second.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    pumpFor(std::chrono::milliseconds(200));
    monitor.stop();

    EXPECT_LE(firstDone, std::chrono::milliseconds(125) + kTailBound) << "the half frame kept it waiting";
    const auto capture = monitor.samples();
    const size_t half = kEighth / 2; // samples in one buffer
    const std::vector<int16_t> a(signal.begin(), signal.begin() + static_cast<long>(half) - 1);
    const std::vector<int16_t> b(signal.begin() + static_cast<long>(half) + 1, signal.end());
    const long atA = locateWhole(capture, a);
    ASSERT_GE(atA, 0);
    const size_t closed = static_cast<size_t>(atA) + a.size();
    EXPECT_EQ(capture[closed], signal[half - 1]);
    EXPECT_EQ(capture[closed + 1], 0);
    // The second buffer's whole frames, from its second sample on, in place: frame aligned.
    const long atB = align(capture, b, closed + 2);
    ASSERT_GE(atB, 0) << "the second buffer never played in the stream's frames";
    const size_t lost = leadingLoss(capture, atB, b);
    EXPECT_LE(lost, kMonitorStartLoss);
    EXPECT_TRUE(std::equal(b.begin() + static_cast<long>(lost), b.end(), capture.begin() + atB + lost));
}

} // namespace
