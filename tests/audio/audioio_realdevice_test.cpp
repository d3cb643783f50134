// Playback and recording through the desktop's sound server, for measuring on a machine that
// has one. Opt-in: LEXORIN_IO_REAL_DEVICE=1 (with PULSE_SERVER / XDG_RUNTIME_DIR pointing at a
// server, e.g. the integration fixture's daemon); skipped otherwise, since the suite must not
// need a sound server.

#include "audioio_support.h"

#include <QElapsedTimer>

#include <cmath>
#include <cstdlib>
#include <iostream>

using namespace audioio_test;

namespace {

class RealDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* flag = std::getenv("LEXORIN_IO_REAL_DEVICE");
        if (!flag || std::string(flag) != "1")
            GTEST_SKIP() << "set LEXORIN_IO_REAL_DEVICE=1 to run against the sound server";
        platform::wave::UsePulseBackend();
    }
    void TearDown() override { platform::wave::UseVirtualBackend(); }
};

} // namespace

TEST_F(RealDeviceTest, ThreeSecondsPlayInOrderWithSteadyCompletions)
{
    constexpr int32_t kEighth = 176400 / 8;
    constexpr int kChunks = 24;
    TkaAudioOut out(nullptr);
    SetPcm(*out.Format(), 2, 44100, 16);
    out.SetBufferCount(4);
    std::vector<int16_t> tone(kEighth / 2);
    for (size_t i = 0; i < tone.size(); i += 2)
        tone[i] = tone[i + 1] =
            static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * double(i / 2) / 44100));
    QElapsedTimer clock;
    std::vector<qint64> doneAt;
    int pushed = 0;
    qint64 releasedAt = 0;
    uint64_t afterFirstSecond = 0;
    auto push = [&] {
        out.PlayData(tone.data(), kEighth);
        if (++pushed == 5)
            releasedAt = clock.nsecsElapsed();
        if (pushed == 8)
            afterFirstSecond = out.Pool().TotalAllocations();
    };
    out.OnAudioPlayed = [&](rtl::TComponent*, const void* data, int32_t size) {
        EXPECT_EQ(size, kEighth);
        EXPECT_EQ(std::memcmp(data, tone.data(), kEighth), 0);
        doneAt.push_back(clock.nsecsElapsed());
        if (pushed < kChunks)
            push();
        else if (out.QueuedBuffers() == 0)
            out.Close();
    };
    out.Open();
    clock.start();
    for (int i = 0; i < 5; ++i)
        push();
    ASSERT_TRUE(PumpUntil([&] { return !out.Active(); }, 15000));
    ASSERT_EQ(doneAt.size(), static_cast<size_t>(kChunks));
    double sum = 0, sq = 0;
    for (size_t i = 1; i < doneAt.size(); ++i) {
        const double d = (doneAt[i] - doneAt[i - 1]) / 1e6;
        sum += d;
        sq += d * d;
    }
    std::cout << "[ measured ] completion intervals (ms):";
    for (size_t i = 1; i < doneAt.size(); ++i)
        std::cout << ' ' << (doneAt[i] - doneAt[i - 1]) / 1000000;
    std::cout << '\n';
    const double n = static_cast<double>(doneAt.size() - 1);
    const double mean = sum / n;
    std::cout << "[ measured ] first completion " << (doneAt[0] - releasedAt) / 1e6
              << " ms after the pre-buffer's release (one buffer is 125 ms); completions every " << mean
              << " ms, jitter (std dev) " << std::sqrt(sq / n - mean * mean) << " ms; total "
              << (doneAt.back() - releasedAt) / 1e6 << " ms for 3000 ms of audio; pool allocations "
              << afterFirstSecond << " after 1 s, " << out.Pool().TotalAllocations() << " at the end\n";
    EXPECT_EQ(afterFirstSecond, 12u);
}

TEST_F(RealDeviceTest, RecordingDeliversWholeBuffers)
{
    TkaAudioIn in(nullptr);
    SetPcm(*in.Format(), 2, 44100, 16);
    in.SetBufferSize(176400 / 8 + 4);
    QElapsedTimer clock;
    std::vector<qint64> doneAt;
    in.OnAudioRecorded = [&](rtl::TComponent*, const void*, int32_t size) {
        EXPECT_EQ(size, 22052);
        doneAt.push_back(clock.nsecsElapsed());
    };
    clock.start();
    in.Open();
    ASSERT_TRUE(PumpUntil([&] { return doneAt.size() >= 16; }, 15000));
    in.Close();
    std::cout << "[ measured ] 16 recorded buffers in " << doneAt.back() / 1e6 << " ms; pool allocations "
              << in.Pool().TotalAllocations() << "\n";
    EXPECT_EQ(in.Pool().TotalAllocations(), 8u);
}
