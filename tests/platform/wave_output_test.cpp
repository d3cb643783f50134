// waveOut* on the virtual device: order, once-only completion, reset, pause, close,
// failures at open and a device that vanishes or freezes mid-clip.

#include "wave_support.h"

#include "platform/wave/NotifyChannel.h"

#include <numeric>

using namespace wavetest;

namespace {

class WaveOutTest : public VirtualWaveTest {
protected:
    HWAVEOUT open()
    {
        HWAVEOUT h = nullptr;
        EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
        return h;
    }
    // n buffers of distinct sizes and contents.
    static std::vector<std::unique_ptr<Buffer>> makeBuffers(int n, size_t base = 400)
    {
        std::vector<std::unique_ptr<Buffer>> v;
        for (int i = 0; i < n; ++i)
            v.push_back(std::make_unique<Buffer>(base + 4 * i, static_cast<char>('a' + i)));
        return v;
    }
    static void prepareAndWrite(HWAVEOUT h, std::vector<std::unique_ptr<Buffer>>& bufs)
    {
        for (auto& b : bufs) {
            ASSERT_EQ(waveOutPrepareHeader(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            ASSERT_EQ(waveOutWrite(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
    }
    static void closeAll(HWAVEOUT h, std::vector<std::unique_ptr<Buffer>>& bufs)
    {
        EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
        for (auto& b : bufs)
            EXPECT_EQ(waveOutUnprepareHeader(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    }
};

TEST_F(WaveOutTest, BuffersPlayBackToBackAndEachIsReportedOnceInOrder)
{
    va().setSpeed(0);
    const HWAVEOUT h = open();
    auto bufs = makeBuffers(12);
    prepareAndWrite(h, bufs);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == bufs.size(); }));
    pumpFor(std::chrono::milliseconds(20)); // nothing more may come

    const auto done = rec.of(MM_WOM_DONE);
    ASSERT_EQ(done.size(), bufs.size());
    std::vector<char> expected;
    for (size_t i = 0; i < bufs.size(); ++i) {
        EXPECT_EQ(done[i], &bufs[i]->hdr) << "completion " << i << " out of order";
        EXPECT_TRUE(bufs[i]->hdr.dwFlags & WHDR_DONE);
        EXPECT_FALSE(bufs[i]->hdr.dwFlags & WHDR_INQUEUE);
        expected.insert(expected.end(), bufs[i]->data.begin(), bufs[i]->data.end());
    }
    closeAll(h, bufs);

    const auto played = va().played();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_TRUE(played[0].closed);
    EXPECT_EQ(std::memcmp(&played[0].format, &format, sizeof format), 0);
    ASSERT_EQ(played[0].bytes.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played[0].bytes.begin(),
                           [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
    EXPECT_EQ(rec.count(MM_WOM_OPEN), 1u);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_CLOSE) == 1; }));
}

TEST_F(WaveOutTest, BuffersWrittenAfterGapsEachPlayWhole)
{
    va().setSpeed(20);
    const HWAVEOUT h = open();
    auto bufs = makeBuffers(4, 1764); // 10 ms each
    for (size_t i = 0; i < bufs.size(); ++i) {
        ASSERT_EQ(waveOutPrepareHeader(h, &bufs[i]->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(h, &bufs[i]->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == i + 1; }));
        pumpFor(std::chrono::milliseconds(5)); // the device runs dry between buffers
    }
    closeAll(h, bufs);
    size_t total = 0;
    for (auto& b : bufs)
        total += b->data.size();
    EXPECT_EQ(va().played().at(0).bytes.size(), total);
}

TEST_F(WaveOutTest, ZeroLengthBufferIsReportedInItsPlace)
{
    va().setSpeed(0);
    const HWAVEOUT h = open();
    std::vector<std::unique_ptr<Buffer>> bufs;
    bufs.push_back(std::make_unique<Buffer>(100, 'x'));
    bufs.push_back(std::make_unique<Buffer>(0));
    bufs.push_back(std::make_unique<Buffer>(100, 'y'));
    bufs.push_back(std::make_unique<Buffer>(0));
    prepareAndWrite(h, bufs);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 4; }));
    const auto done = rec.of(MM_WOM_DONE);
    for (size_t i = 0; i < bufs.size(); ++i)
        EXPECT_EQ(done[i], &bufs[i]->hdr);
    closeAll(h, bufs);
    EXPECT_EQ(va().played().at(0).bytes.size(), 200u);
}

TEST_F(WaveOutTest, PausedDevicePlaysNothingUntilRestarted)
{
    va().setSpeed(0);
    const HWAVEOUT h = open();
    ASSERT_EQ(waveOutPause(h), MMSYSERR_NOERROR);
    auto bufs = makeBuffers(3);
    prepareAndWrite(h, bufs);
    pumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(rec.count(MM_WOM_DONE), 0u);
    EXPECT_EQ(va().played().at(0).byteCount, 0u);
    ASSERT_EQ(waveOutRestart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 3; }));
    closeAll(h, bufs);
}

TEST_F(WaveOutTest, ResetReturnsEveryQueuedBufferInOrderAndStopsPlaying)
{
    const HWAVEOUT h = open();
    ASSERT_EQ(waveOutPause(h), MMSYSERR_NOERROR);
    auto bufs = makeBuffers(5);
    prepareAndWrite(h, bufs);
    EXPECT_EQ(waveOutUnprepareHeader(h, &bufs[0]->hdr, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(h), WAVERR_STILLPLAYING);
    ASSERT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    for (auto& b : bufs) {
        EXPECT_TRUE(b->hdr.dwFlags & WHDR_DONE);
        EXPECT_FALSE(b->hdr.dwFlags & WHDR_INQUEUE);
    }
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 5; }));
    const auto done = rec.of(MM_WOM_DONE);
    for (size_t i = 0; i < bufs.size(); ++i)
        EXPECT_EQ(done[i], &bufs[i]->hdr);

    // The device is usable after a reset: new buffers play from the start.
    va().setSpeed(0);
    ASSERT_EQ(waveOutRestart(h), MMSYSERR_NOERROR);
    Buffer more(64, 'z');
    ASSERT_EQ(waveOutPrepareHeader(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 6; }));
    EXPECT_EQ(va().played().at(0).bytes, std::vector<uint8_t>(64, 'z'));
    EXPECT_EQ(waveOutUnprepareHeader(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    closeAll(h, bufs);
}

TEST_F(WaveOutTest, LateCompletionsOfAClosedDeviceNeverReachTheNextOne)
{
    // Stopping a clip resets and closes with buffers queued; the caller frees its headers and
    // the next clip's headers may well get the same addresses. The reset's completions must
    // not pass for the new headers' (nor be read through: the memory is gone).
    va().setSpeed(0);
    HWAVEOUT h = open();
    ASSERT_EQ(waveOutPause(h), MMSYSERR_NOERROR);
    auto bufs = makeBuffers(5);
    prepareAndWrite(h, bufs);
    closeAll(h, bufs);
    EXPECT_EQ(waveOutWrite(h, &bufs[0]->hdr, sizeof(WAVEHDR)), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(va().openCount(Direction::Output), 0);

    // Same headers, same addresses, a new device; nothing was pumped in between.
    h = open();
    ASSERT_EQ(waveOutPause(h), MMSYSERR_NOERROR);
    prepareAndWrite(h, bufs);
    pumpFor(std::chrono::milliseconds(30));
    EXPECT_EQ(rec.count(MM_WOM_DONE), 0u) << "a completion of the closed device arrived";
    EXPECT_EQ(rec.count(MM_WOM_CLOSE), 1u);
    ASSERT_EQ(waveOutRestart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 5; }));
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(rec.count(MM_WOM_DONE), 5u);
    closeAll(h, bufs);
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(rec.count(MM_WOM_DONE), 5u);
}

TEST_F(WaveOutTest, WindowDestroyedWhileOpenDropsItsMessages)
{
    va().setSpeed(0);
    const HWAVEOUT h = open();
    auto bufs = makeBuffers(3);
    prepareAndWrite(h, bufs);
    rec.window.reset(); // pending and later messages go nowhere
    Buffer more(100);
    ASSERT_EQ(waveOutPrepareHeader(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, HeaderMisuseIsRefused)
{
    const HWAVEOUT h = open();
    ASSERT_EQ(waveOutPause(h), MMSYSERR_NOERROR);
    Buffer b(100);
    EXPECT_EQ(waveOutWrite(h, &b.hdr, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
    EXPECT_EQ(waveOutPrepareHeader(h, &b.hdr, sizeof(WAVEHDR) - 1), MMSYSERR_INVALPARAM);
    ASSERT_EQ(waveOutPrepareHeader(h, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(h, &b.hdr, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutPrepareHeader(h, &b.hdr, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutWrite(h, nullptr, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);
    Buffer nodata(0);
    nodata.hdr.lpData = nullptr;
    nodata.hdr.dwBufferLength = 10;
    EXPECT_EQ(waveOutPrepareHeader(h, &nodata.hdr, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(h, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_FALSE(b.hdr.dwFlags & WHDR_PREPARED);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutReset(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutPause(nullptr), MMSYSERR_INVALHANDLE);
}

TEST_F(WaveOutTest, OpenFailuresAreResultCodes)
{
    HWAVEOUT h = nullptr;
    const DWORD_PTR cb = rec.callback();
    EXPECT_EQ(waveOutOpen(&h, 7, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_BADDEVICEID);
    WAVEFORMATEX adpcm = format;
    adpcm.wFormatTag = WAVE_FORMAT_ADPCM;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &adpcm, cb, 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    EXPECT_EQ(waveOutOpen(&h, 0, &adpcm, cb, 0, CALLBACK_WINDOW | WAVE_MAPPED), WAVERR_BADFORMAT);
    for (auto bad : {pcm(0, 44100, 16), pcm(2, 0, 16), pcm(2, 44100, 12), pcm(40, 44100, 16)})
        EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &bad, cb, 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    WAVEFORMATEX badAlign = format;
    badAlign.nBlockAlign = 3;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &badAlign, cb, 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, nullptr, cb, 0, CALLBACK_WINDOW), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, 0, 0, CALLBACK_WINDOW), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, cb, 0, 0x00030000), MMSYSERR_INVALFLAG);
    EXPECT_EQ(va().openCount(Direction::Output), 0);

    // A query opens nothing.
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(va().openCount(Direction::Output), 0);

    // A one-off failure belongs to the next open, not to a query; a device that is gone
    // fails queries too.
    va().failNextOpen(Direction::Output, MMSYSERR_ALLOCATED);
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_ALLOCATED);
    va().failOpens(Direction::Output, MMSYSERR_NODRIVER);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    va().failOpens(Direction::Output, 0);
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);

    // The device is in use until closed, and free again after.
    ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    HWAVEOUT second = nullptr;
    EXPECT_EQ(waveOutOpen(&second, 0, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_ALLOCATED);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutOpen(&second, 0, &format, cb, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_NE(second, h); // handles are never reused
    EXPECT_EQ(waveOutClose(second), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, DeviceVanishingMidClipReturnsEverythingAndFailsLaterCalls)
{
    va().setSpeed(0);
    va().vanishAfter(Direction::Output, 1000);
    const HWAVEOUT h = open();
    // Held while queueing: a fast device could otherwise vanish before the last write.
    ASSERT_EQ(waveOutPause(h), MMSYSERR_NOERROR);
    auto bufs = makeBuffers(4, 400);
    prepareAndWrite(h, bufs);
    ASSERT_EQ(waveOutRestart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 4; }));
    const auto done = rec.of(MM_WOM_DONE);
    for (size_t i = 0; i < bufs.size(); ++i)
        EXPECT_EQ(done[i], &bufs[i]->hdr);
    EXPECT_EQ(va().played().at(0).bytes.size(), 1000u);

    Buffer more(100);
    ASSERT_EQ(waveOutPrepareHeader(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveOutPause(h), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveOutRestart(h), MMSYSERR_NODRIVER);
    // What frees resources still works, so the caller can close cleanly.
    EXPECT_EQ(waveOutUnprepareHeader(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    closeAll(h, bufs);

    // A device that comes back is used by the next open.
    va().vanishAfter(Direction::Output, UINT64_MAX);
    const HWAVEOUT again = open();
    ASSERT_EQ(waveOutPrepareHeader(again, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(again, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 5; }));
    EXPECT_EQ(waveOutUnprepareHeader(again, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(again), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, VanishWhilePausedReturnsTheQueue)
{
    const HWAVEOUT h = open();
    ASSERT_EQ(waveOutPause(h), MMSYSERR_NOERROR);
    auto bufs = makeBuffers(3);
    prepareAndWrite(h, bufs);
    va().vanishNow();
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 3; }));
    EXPECT_EQ(waveOutRestart(h), MMSYSERR_NODRIVER);
    closeAll(h, bufs);
}

TEST_F(WaveOutTest, FrozenDeviceIsDetectedAndReturnsTheQueue)
{
    va().setSpeed(0);
    va().stallAfter(Direction::Output, 500);
    va().setStallTimeout(std::chrono::milliseconds(50));
    const HWAVEOUT h = open();
    ASSERT_EQ(waveOutPause(h), MMSYSERR_NOERROR); // freezing is not due while queueing
    auto bufs = makeBuffers(4, 400);
    prepareAndWrite(h, bufs);
    ASSERT_EQ(waveOutRestart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WOM_DONE) == 4; }));
    EXPECT_EQ(va().played().at(0).bytes.size(), 500u);
    Buffer more(10);
    ASSERT_EQ(waveOutPrepareHeader(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveOutUnprepareHeader(h, &more.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    closeAll(h, bufs);
}

TEST_F(WaveOutTest, SteadyPlaybackAllocatesNoMoreEvents)
{
    // Four buffers cycling as the engine cycles them; after the first rounds the
    // completion events come from recycled blocks.
    va().setSpeed(0);
    va().setKeepPlayed(false);
    const HWAVEOUT h = open();
    auto bufs = makeBuffers(4, 1000);
    int completions = 0;
    uint64_t allocationsAfterWarmUp = 0;
    rec.onMessage = [&](uint32_t msg, WAVEHDR* hdr) {
        if (msg != MM_WOM_DONE)
            return;
        if (++completions == 40)
            allocationsAfterWarmUp = NotifyEventAllocations();
        if (completions <= 400 - 4) {
            EXPECT_EQ(waveOutWrite(h, hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
    };
    prepareAndWrite(h, bufs);
    ASSERT_TRUE(pumpUntil([&] { return completions == 400; }));
    EXPECT_EQ(NotifyEventAllocations(), allocationsAfterWarmUp);
    uint64_t expected = 0;
    for (auto& b : bufs)
        expected += 100 * b->data.size(); // each buffer went round 100 times
    EXPECT_EQ(va().played().at(0).byteCount, expected);
    closeAll(h, bufs);
}

} // namespace

namespace {

// The real backend on a machine without a sound server: a result code at once, no hang.
TEST(WavePulseWithoutServer, OpenSaysThereIsNoDriver)
{
    const char* old = std::getenv("PULSE_SERVER");
    const std::string saved = old ? old : "";
    setenv("PULSE_SERVER", "unix:/nonexistent/lexorin/native", 1);
    UsePulseBackend();
    Recorder rec;
    const WAVEFORMATEX format = pcm(2, 44100, 16);
    HWAVEOUT out = nullptr;
    HWAVEIN in = nullptr;
    EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);
    EXPECT_EQ(out, nullptr);
    // A query asks the server too.
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NODRIVER);
    // Format checks come first and need no server.
    WAVEFORMATEX adpcm = format;
    adpcm.wFormatTag = WAVE_FORMAT_ADPCM;
    EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &adpcm, rec.callback(), 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    UseVirtualBackend();
    if (old)
        setenv("PULSE_SERVER", saved.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
}

} // namespace
