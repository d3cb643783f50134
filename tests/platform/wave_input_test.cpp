// waveIn* on the virtual device: exact buffers in order, the microphone's file, reset with
// a partly filled buffer, stop, close, failures and a device that vanishes mid-recording.

#include "wave_support.h"

#include "platform/wave/NotifyChannel.h"
#include "platform/wave/PcmFile.h"

#include <QTemporaryDir>

#include <fstream>

using namespace wavetest;

namespace {

std::vector<char> waveFile(const WAVEFORMATEX& f, const std::vector<char>& data)
{
    std::vector<char> out;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto put = [&](const char* s) { out.insert(out.end(), s, s + 4); };
    put("RIFF");
    put32(static_cast<uint32_t>(36 + data.size()));
    put("WAVE");
    put("fmt ");
    put32(16);
    const auto* fb = reinterpret_cast<const char*>(&f);
    out.insert(out.end(), fb, fb + 16);
    put("data");
    put32(static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// A ramp that never repeats within the test's length.
std::vector<char> ramp16(size_t frames, uint16_t channels)
{
    std::vector<char> d(frames * channels * 2);
    for (size_t i = 0; i < frames * channels; ++i) {
        const auto v = static_cast<int16_t>((i * 7) % 60000 - 30000);
        d[2 * i] = static_cast<char>(v & 0xFF);
        d[2 * i + 1] = static_cast<char>((v >> 8) & 0xFF);
    }
    return d;
}

class WaveInTest : public VirtualWaveTest {
protected:
    HWAVEIN open()
    {
        HWAVEIN h = nullptr;
        EXPECT_EQ(waveInOpen(&h, WAVE_MAPPER, &format, rec.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
        return h;
    }
    std::string writeMic(const WAVEFORMATEX& f, const std::vector<char>& data)
    {
        const std::string path = dir.filePath("mic.wav").toStdString();
        const auto bytes = waveFile(f, data);
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    void add(HWAVEIN h, std::vector<std::unique_ptr<Buffer>>& bufs)
    {
        for (auto& b : bufs) {
            ASSERT_EQ(waveInPrepareHeader(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            ASSERT_EQ(waveInAddBuffer(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
    }
    void closeAll(HWAVEIN h, std::vector<std::unique_ptr<Buffer>>& bufs)
    {
        EXPECT_EQ(waveInReset(h), MMSYSERR_NOERROR);
        for (auto& b : bufs)
            EXPECT_EQ(waveInUnprepareHeader(h, &b->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
    }
    static std::vector<std::unique_ptr<Buffer>> buffers(int n, size_t size)
    {
        std::vector<std::unique_ptr<Buffer>> v;
        for (int i = 0; i < n; ++i)
            v.push_back(std::make_unique<Buffer>(size, '?'));
        return v;
    }
    QTemporaryDir dir;
};

TEST_F(WaveInTest, RecordsTheMicrophoneFileInExactBuffersThenSilence)
{
    const auto data = ramp16(3000, 2); // 12000 bytes
    ASSERT_TRUE(va().setMicrophoneFile(writeMic(format, data)));
    va().setSpeed(0);
    const HWAVEIN h = open();
    auto bufs = buffers(4, 1000);
    std::vector<char> recorded;
    rec.onMessage = [&](uint32_t msg, WAVEHDR* hdr) {
        if (msg != MM_WIM_DATA)
            return;
        EXPECT_EQ(hdr->dwBytesRecorded, 1000u); // exact buffers, never short
        recorded.insert(recorded.end(), hdr->lpData, hdr->lpData + hdr->dwBytesRecorded);
        if (recorded.size() < 16000) {
            EXPECT_EQ(waveInAddBuffer(h, hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
    };
    add(h, bufs);
    pumpFor(std::chrono::milliseconds(10));
    EXPECT_EQ(rec.count(MM_WIM_DATA), 0u); // nothing before start
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return recorded.size() >= 16000; }));
    ASSERT_GE(recorded.size(), 16000u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), recorded.begin()));
    EXPECT_TRUE(
        std::all_of(recorded.begin() + 12000, recorded.begin() + 16000, [](char c) { return c == 0; }));
    closeAll(h, bufs);
}

TEST_F(WaveInTest, MicrophoneFileIsConvertedToTheFormatAsked)
{
    const WAVEFORMATEX mono = pcm(1, 22050, 16);
    ASSERT_TRUE(va().setMicrophoneFile(writeMic(mono, ramp16(2205, 1))));
    va().setSpeed(0);
    const HWAVEIN h = open(); // stereo 44100
    auto bufs = buffers(1, 4 * 4410);
    add(h, bufs);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WIM_DATA) == 1; }));
    const auto* s = reinterpret_cast<const int16_t*>(bufs[0]->data.data());
    const size_t frames = bufs[0]->data.size() / 4;
    for (size_t i = 0; i + 2 < frames; i += 97) {
        EXPECT_EQ(s[2 * i], s[2 * i + 1]) << "both channels carry the mono source";
        // Every second frame is an original sample.
        if (i % 2 == 0 && i / 2 < 2205) {
            EXPECT_EQ(s[2 * i], static_cast<int16_t>((i / 2 * 7) % 60000 - 30000));
        }
    }
    closeAll(h, bufs);
}

TEST_F(WaveInTest, ResetReturnsEveryBufferWithThePartlyFilledOne)
{
    va().setSpeed(0);
    va().stallAfter(Direction::Input, 300);
    va().setStallTimeout(std::chrono::hours(1));
    const uint64_t before = va().bytesMoved(Direction::Input);
    const HWAVEIN h = open();
    auto bufs = buffers(3, 1000);
    add(h, bufs);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return va().bytesMoved(Direction::Input) - before == 300; }));
    EXPECT_EQ(waveInClose(h), WAVERR_STILLPLAYING);
    ASSERT_EQ(waveInReset(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WIM_DATA) == 3; }));
    const auto data = rec.of(MM_WIM_DATA);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(data[i], &bufs[i]->hdr);
        EXPECT_TRUE(bufs[i]->hdr.dwFlags & WHDR_DONE);
    }
    EXPECT_EQ(bufs[0]->hdr.dwBytesRecorded, 300u);
    EXPECT_EQ(bufs[1]->hdr.dwBytesRecorded, 0u);
    EXPECT_EQ(bufs[2]->hdr.dwBytesRecorded, 0u);
    closeAll(h, bufs);
}

TEST_F(WaveInTest, StopReturnsOnlyThePartlyFilledBuffer)
{
    va().setSpeed(0);
    va().stallAfter(Direction::Input, 200);
    va().setStallTimeout(std::chrono::hours(1));
    const uint64_t before = va().bytesMoved(Direction::Input);
    const HWAVEIN h = open();
    auto bufs = buffers(2, 1000);
    add(h, bufs);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return va().bytesMoved(Direction::Input) - before == 200; }));
    ASSERT_EQ(waveInStop(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WIM_DATA) == 1; }));
    EXPECT_EQ(rec.of(MM_WIM_DATA)[0], &bufs[0]->hdr);
    EXPECT_EQ(bufs[0]->hdr.dwBytesRecorded, 200u);
    EXPECT_TRUE(bufs[1]->hdr.dwFlags & WHDR_INQUEUE);
    closeAll(h, bufs);
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(rec.count(MM_WIM_DATA), 1u); // the empty one came back with the close: dropped
}

TEST_F(WaveInTest, CompletionsOfAClosedDeviceAreDropped)
{
    const HWAVEIN h = open();
    {
        auto bufs = buffers(4, 22052);
        add(h, bufs);
        ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
        closeAll(h, bufs); // the reset returns all four, the close follows at once
    }                      // freed
    pumpFor(std::chrono::milliseconds(30));
    EXPECT_EQ(rec.count(MM_WIM_DATA), 0u);
    EXPECT_EQ(rec.count(MM_WIM_CLOSE), 1u);
    EXPECT_EQ(waveInStart(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(va().openCount(Direction::Input), 0);
}

TEST_F(WaveInTest, OpenFailuresAndHeaderMisuse)
{
    HWAVEIN h = nullptr;
    const DWORD_PTR cb = rec.callback();
    EXPECT_EQ(waveInOpen(&h, 3, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_BADDEVICEID);
    WAVEFORMATEX gsm = format;
    gsm.wFormatTag = WAVE_FORMAT_GSM610;
    EXPECT_EQ(waveInOpen(&h, 0, &gsm, cb, 0, CALLBACK_WINDOW | WAVE_MAPPED), WAVERR_BADFORMAT);
    va().failNextOpen(Direction::Input, MMSYSERR_ALLOCATED);
    EXPECT_EQ(waveInOpen(&h, WAVE_MAPPER, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_ALLOCATED);

    h = open();
    HWAVEIN second = nullptr;
    EXPECT_EQ(waveInOpen(&second, WAVE_MAPPER, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_ALLOCATED);
    Buffer b(100);
    EXPECT_EQ(waveInAddBuffer(h, &b.hdr, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
    ASSERT_EQ(waveInPrepareHeader(h, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(h, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInAddBuffer(h, &b.hdr, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInUnprepareHeader(h, &b.hdr, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInUnprepareHeader(h, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInOpen(&second, WAVE_MAPPER, &format, cb, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(second), MMSYSERR_NOERROR);
}

TEST_F(WaveInTest, DeviceVanishingMidRecordingReturnsEverythingAndFailsLaterCalls)
{
    va().setSpeed(0);
    va().vanishAfter(Direction::Input, 2500);
    const HWAVEIN h = open();
    auto bufs = buffers(4, 1000);
    add(h, bufs);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WIM_DATA) == 4; }));
    EXPECT_EQ(bufs[0]->hdr.dwBytesRecorded, 1000u);
    EXPECT_EQ(bufs[1]->hdr.dwBytesRecorded, 1000u);
    EXPECT_EQ(bufs[2]->hdr.dwBytesRecorded, 500u);
    EXPECT_EQ(bufs[3]->hdr.dwBytesRecorded, 0u);
    EXPECT_EQ(waveInAddBuffer(h, &bufs[0]->hdr, sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInStart(h), MMSYSERR_NODRIVER);
    closeAll(h, bufs);
}

TEST_F(WaveInTest, SteadyRecordingAllocatesNoMoreEvents)
{
    va().setSpeed(0);
    const HWAVEIN h = open();
    auto bufs = buffers(4, 2205);
    int filled = 0;
    uint64_t afterWarmUp = 0;
    rec.onMessage = [&](uint32_t msg, WAVEHDR* hdr) {
        if (msg != MM_WIM_DATA)
            return;
        if (++filled == 40)
            afterWarmUp = NotifyEventAllocations();
        if (filled <= 300) {
            EXPECT_EQ(waveInAddBuffer(h, hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
    };
    add(h, bufs);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return filled >= 304; }));
    EXPECT_EQ(NotifyEventAllocations(), afterWarmUp);
    closeAll(h, bufs);
}

TEST_F(WaveInTest, ToneMicrophoneRunsWithoutASeam)
{
    va().setMicrophoneTone(441, 0.5);
    va().setSpeed(0);
    format = pcm(1, 44100, 16);
    const HWAVEIN h = open();
    auto bufs = buffers(1, 2 * 44100 * 2); // two seconds: across the loop of the tone's second
    add(h, bufs);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(pumpUntil([&] { return rec.count(MM_WIM_DATA) == 1; }));
    const auto* s = reinterpret_cast<const int16_t*>(bufs[0]->data.data());
    const size_t n = bufs[0]->data.size() / 2;
    int16_t peak = 0;
    for (size_t i = 0; i + 100 < n; ++i) {
        ASSERT_EQ(s[i], s[i + 100]) << "441 Hz repeats every 100 samples, at " << i;
        peak = std::max(peak, s[i]);
    }
    EXPECT_NEAR(peak, 16384, 2);
    closeAll(h, bufs);
}

TEST(WaveFileParse, RejectsWhatIsNotPlayablePcm)
{
    WAVEFORMATEX f{};
    std::vector<char> data;
    const WAVEFORMATEX stereo = pcm(2, 44100, 16);
    const auto good = waveFile(stereo, std::vector<char>(400, 1));
    ASSERT_TRUE(ParsePcmWave(good.data(), good.size(), f, data));
    EXPECT_EQ(data.size(), 400u);

    // Cut off inside the data: what is there, in whole frames.
    ASSERT_TRUE(ParsePcmWave(good.data(), 44 + 203, f, data));
    EXPECT_EQ(data.size(), 200u);
    // Cut off inside the header, garbage, empty.
    EXPECT_FALSE(ParsePcmWave(good.data(), 30, f, data));
    const std::string junk = "RIFX\x10\0\0\0WAVEjunkjunkjunk";
    EXPECT_FALSE(ParsePcmWave(junk.data(), junk.size(), f, data));
    EXPECT_FALSE(ParsePcmWave(good.data(), 0, f, data));
    // A huge chunk size before the data is a forward skip past the end, not a wrap.
    auto huge = good;
    huge[16] = huge[17] = huge[18] = huge[19] = '\xFF';
    EXPECT_FALSE(ParsePcmWave(huge.data(), huge.size(), f, data));
    // Compressed or inconsistent formats are refused.
    WAVEFORMATEX adpcm = stereo;
    adpcm.wFormatTag = WAVE_FORMAT_IMA_ADPCM;
    const auto compressed = waveFile(adpcm, std::vector<char>(400));
    EXPECT_FALSE(ParsePcmWave(compressed.data(), compressed.size(), f, data));
    WAVEFORMATEX zero = stereo;
    zero.nBlockAlign = 0;
    const auto broken = waveFile(zero, std::vector<char>(400));
    EXPECT_FALSE(ParsePcmWave(broken.data(), broken.size(), f, data));
}

TEST(WaveFileParse, UnreadableMicrophoneFileGivesSilence)
{
    EXPECT_FALSE(VirtualAudio::instance().setMicrophoneFile("/nonexistent/none.wav"));
}

} // namespace
