#include "audioio_support.h"

#include "audio/kaAudioControlSource.h"
#include "platform/wave/NotifyChannel.h"

#include <iostream>
#include <memory>

using namespace audioio_test;

namespace {

constexpr int32_t kEighth = 176400 / 8; // an eighth of a second of 44.1 kHz 16-bit stereo
constexpr int kChunks = 24;             // three seconds

class SteadyTest : public VirtualDeviceTest {};

} // namespace

// Playback as the window drives it: BufferCount + 1 chunks in a row, then one more from each
// played event. After the first second the pool holds all it needs.
TEST_F(SteadyTest, PlaybackAllocatesNothingAfterItsFirstSecond)
{
    Device().setKeepPlayed(false);
    TkaAudioOut out(nullptr);
    SetPcm(*out.Format(), 2, 44100, 16);
    out.SetBufferCount(4);
    // The oscilloscope's source watches the playback, as in the editor.
    rtl::TComponent owner(nullptr);
    auto* scopeSource = new TkaAudioControlSource(&owner);
    scopeSource->SetAudioSource(&out);
    const int16_t* samplesAfterFirstSecond = nullptr;
    const auto chunk = Pattern(kEighth, 1);
    int pushed = 0;
    int done = 0;
    uint64_t afterFirstSecond = 0;
    uint64_t eventsAfterFirstSecond = 0;
    auto push = [&] {
        out.PlayData(chunk.data(), kEighth);
        if (++pushed == 8) {
            afterFirstSecond = out.Pool().TotalAllocations();
            eventsAfterFirstSecond = platform::wave::NotifyEventAllocations();
        }
    };
    out.OnAudioPlayed = [&](rtl::TComponent*, const void*, int32_t) {
        if (++done == 8)
            samplesAfterFirstSecond = scopeSource->LeftSamples();
        if (pushed < kChunks)
            push();
        else if (out.QueuedBuffers() == 0)
            out.Close();
    };
    out.Open();
    for (int i = 0; i < 5; ++i)
        push();
    ASSERT_TRUE(PumpUntil([&] { return !out.Active(); }, 20000));
    EXPECT_EQ(done, kChunks);
    const uint64_t total = out.Pool().TotalAllocations();
    std::cout << "[ measured ] playback pool allocations: " << afterFirstSecond << " in the first second, "
              << total << " after three seconds; completion events allocated after the first second: "
              << platform::wave::NotifyEventAllocations() - eventsAfterFirstSecond << "\n";
    EXPECT_EQ(total, afterFirstSecond);
    EXPECT_EQ(out.HeaderCount(), 0);
    // The source's sample arrays were made for the first buffer and kept.
    EXPECT_EQ(scopeSource->LeftSamples(), samplesAfterFirstSecond);
    EXPECT_EQ(scopeSource->Capacity(), 6000); // an eighth of a second at 48 kHz
    // Six headers and six audio blocks: the five the pre-buffer releases, and the one pushed
    // from a played event while the finished buffer is still held.
    EXPECT_EQ(total, 12u);
}

TEST_F(SteadyTest, RecordingAllocatesNothingAfterOpen)
{
    TkaAudioIn in(nullptr);
    SetPcm(*in.Format(), 2, 44100, 16);
    in.SetBufferSize(kEighth + 4);
    int buffers = 0;
    uint64_t afterFirstSecond = 0;
    uint64_t eventsAfterFirstSecond = 0;
    in.OnAudioRecorded = [&](rtl::TComponent*, const void*, int32_t size) {
        EXPECT_EQ(size, 22052);
        if (++buffers == 8) {
            afterFirstSecond = in.Pool().TotalAllocations();
            eventsAfterFirstSecond = platform::wave::NotifyEventAllocations();
        }
    };
    in.Open();
    const uint64_t atOpen = in.Pool().TotalAllocations();
    ASSERT_TRUE(PumpUntil([&] { return buffers >= kChunks; }, 20000));
    const uint64_t total = in.Pool().TotalAllocations();
    in.Close();
    std::cout << "[ measured ] recording pool allocations: " << atOpen << " at open, " << afterFirstSecond
              << " after the first second, " << total
              << " after three seconds; completion events allocated after the first second: "
              << platform::wave::NotifyEventAllocations() - eventsAfterFirstSecond << "\n";
    EXPECT_EQ(atOpen, 8u); // four headers, four buffers
    EXPECT_EQ(total, atOpen);
}
