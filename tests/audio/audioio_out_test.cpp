#include "audioio_support.h"

#include "rtl/Component.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

using namespace audioio_test;

namespace {

class AudioOutTest : public VirtualDeviceTest {
protected:
    void SetUp() override
    {
        VirtualDeviceTest::SetUp();
        out = std::make_unique<TestAudioOut>(nullptr);
        SetPcm(*out->Format(), 2, 44100, 16);
        out->OnAudioPlayed = [this](rtl::TComponent* sender, const void* data, int32_t size) {
            EXPECT_EQ(sender, out.get());
            played.emplace_back(static_cast<const char*>(data), static_cast<const char*>(data) + size);
            queuedInEvent.push_back(out->QueuedBuffers());
        };
    }
    void TearDown() override
    {
        out.reset();
        VirtualDeviceTest::TearDown();
    }
    void Play(const std::vector<char>& data)
    {
        out->PlayData(data.data(), static_cast<int32_t>(data.size()));
    }
    uint64_t DeviceBytes() const
    {
        const auto clips = platform::wave::VirtualAudio::instance().played();
        return clips.empty() ? 0 : clips.back().byteCount;
    }

    std::unique_ptr<TestAudioOut> out;
    std::vector<std::vector<char>> played;
    std::vector<int32_t> queuedInEvent;
};

} // namespace

TEST_F(AudioOutTest, StartsClosedWithDefaults)
{
    TkaAudioOut plain(nullptr);
    EXPECT_FALSE(plain.Active());
    EXPECT_TRUE(plain.AutoOpen());
    EXPECT_EQ(plain.BufferCount(), 0);
    EXPECT_EQ(plain.MaximumBuffers(), 0u);
    EXPECT_EQ(plain.DeviceID(), 255);
    EXPECT_EQ(plain.Format()->Channels(), 2);
    EXPECT_EQ(plain.Format()->SamplesPerSec(), 11025u);
    EXPECT_EQ(plain.Format()->BitsPerSample(), 8);
    EXPECT_NE(QueryAudioSubject(&plain), nullptr);
    EXPECT_NE(QueryAudioObserver(&plain), nullptr);
}

TEST_F(AudioOutTest, PrebufferingHoldsFourAndTheFifthWritesFiveInOrder)
{
    out->SetBufferCount(4);
    out->Open();
    std::vector<std::vector<char>> blocks;
    for (int i = 0; i < 5; ++i)
        blocks.push_back(Pattern(1000 + 4 * i, i));
    for (int i = 0; i < 4; ++i)
        Play(blocks[i]);
    EXPECT_EQ(out->QueuedBuffers(), 0);
    EXPECT_EQ(out->PendingCount(), 4);
    PumpFor(30);
    EXPECT_EQ(DeviceBytes(), 0u);
    EXPECT_TRUE(played.empty());

    Play(blocks[4]);
    EXPECT_EQ(out->QueuedBuffers(), 5);
    EXPECT_EQ(out->PendingCount(), 0);
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 5; }));
    EXPECT_EQ(played, blocks);
    EXPECT_EQ(queuedInEvent, (std::vector<int32_t>{4, 3, 2, 1, 0}));
    const auto clip = Device().played().back();
    std::vector<char> all;
    for (const auto& b : blocks)
        all.insert(all.end(), b.begin(), b.end());
    EXPECT_EQ(clip.bytes, std::vector<uint8_t>(all.begin(), all.end()));
    EXPECT_EQ(out->HeaderCount(), 0);
}

TEST_F(AudioOutTest, ThreeHeldBuffersNeverPlayAndAreReleasedAtClose)
{
    out->SetBufferCount(4);
    out->Open();
    for (int i = 0; i < 3; ++i)
        Play(Pattern(800, i));
    PumpFor(30);
    EXPECT_TRUE(played.empty());
    EXPECT_EQ(out->HeaderCount(), 3);
    EXPECT_GT(out->Pool().AllocationCount(), 0u);
    out->Close();
    PumpFor(30);
    EXPECT_TRUE(played.empty());
    EXPECT_EQ(out->HeaderCount(), 0);
    EXPECT_EQ(out->PendingCount(), 0);
    EXPECT_EQ(out->Pool().AllocationCount(), 0u);
    EXPECT_EQ(Device().played().back().byteCount, 0u);
}

TEST_F(AudioOutTest, FlushPlaysAClipShorterThanThePrebuffer)
{
    out->SetBufferCount(4);
    out->Open();
    const auto a = Pattern(600, 1), b = Pattern(700, 2);
    Play(a);
    Play(b);
    out->Flush();
    EXPECT_EQ(out->QueuedBuffers(), 2);
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 2; }));
    EXPECT_EQ(played[0], a);
    EXPECT_EQ(played[1], b);
    // Pre-buffering is over for this open: the next buffer goes straight out.
    Play(a);
    EXPECT_EQ(out->QueuedBuffers(), 1);
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 3; }));
    // A new open pre-buffers again.
    out->Close();
    out->Open();
    Play(a);
    EXPECT_EQ(out->PendingCount(), 1);
    out->Flush();
    out->Flush(); // nothing held: nothing happens
    EXPECT_EQ(out->QueuedBuffers(), 1);
    out->Close();
    out->Flush(); // closed: nothing happens
}

TEST_F(AudioOutTest, EmptyBuffersNeitherPlayNorCountTowardThePrebuffer)
{
    out->SetBufferCount(2);
    out->Open();
    const char byte = 1;
    out->PlayData(&byte, 0);
    out->PlayData(nullptr, 0);
    out->PlayData(&byte, -5);
    EXPECT_EQ(out->PendingCount(), 0);
    EXPECT_EQ(out->PrebufferCount(), 2);
    EXPECT_EQ(out->HeaderCount(), 0);
    Play(Pattern(10, 1));
    Play(Pattern(10, 2));
    EXPECT_EQ(out->QueuedBuffers(), 0);
    Play(Pattern(10, 3));
    EXPECT_EQ(out->QueuedBuffers(), 3);
}

TEST_F(AudioOutTest, MaximumBuffersDropsDataUntilOneCompletes)
{
    out->SetMaximumBuffers(2);
    out->Open();
    Play(Pattern(100, 1));
    Play(Pattern(100, 2));
    Play(Pattern(100, 3)); // dropped
    EXPECT_EQ(out->QueuedBuffers(), 2);
    EXPECT_EQ(out->HeaderCount(), 2);
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 2; }));
    Play(Pattern(100, 4));
    EXPECT_EQ(out->QueuedBuffers(), 1);
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 3; }));
    EXPECT_EQ(played[2], Pattern(100, 4));
    PumpFor(20);
    EXPECT_EQ(played.size(), 3u);
}

TEST_F(AudioOutTest, MaximumBuffersDoesNotLimitThePrebuffer)
{
    out->SetMaximumBuffers(2);
    out->SetBufferCount(3);
    out->Open();
    for (int i = 0; i < 4; ++i)
        Play(Pattern(100, i));
    EXPECT_EQ(out->QueuedBuffers(), 4); // the release writes them all
    Play(Pattern(100, 9));              // now the limit applies
    EXPECT_EQ(out->QueuedBuffers(), 4);
}

TEST_F(AudioOutTest, SettingsOnlyWhileClosed)
{
    out->Open();
    try {
        out->SetMaximumBuffers(3);
        FAIL();
    } catch (const EACMAudioIOError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this action while active.");
    }
    EXPECT_EQ(out->MaximumBuffers(), 0u);
    EXPECT_THROW(out->SetDeviceID(0), EACMAudioIOError);
    out->Close();
    try {
        Play(Pattern(10, 1));
        FAIL();
    } catch (const EACMAudioIOError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this action while not active.");
    }
}

TEST_F(AudioOutTest, CloseWithFiveQueuedIgnoresTheLateCompletions)
{
    Device().setSpeed(1);
    out->Open();
    for (int i = 0; i < 5; ++i)
        Play(Pattern(44100, i)); // a quarter of a second each
    EXPECT_EQ(out->QueuedBuffers(), 5);
    out->Close();
    EXPECT_EQ(out->HeaderCount(), 0);
    EXPECT_EQ(out->Pool().AllocationCount(), 0u);
    PumpFor(50);
    EXPECT_TRUE(played.empty());

    // A new open starts from nothing, and a completion from the old one cannot pass for a
    // header of the new one.
    Device().setSpeed(0);
    out->Open();
    EXPECT_EQ(out->QueuedBuffers(), 0);
    Play(Pattern(400, 7));
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 1; }));
    PumpFor(30);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0], Pattern(400, 7));
}

TEST_F(AudioOutTest, LateCompletionsAfterReopenAreNotTakenForNewHeaders)
{
    Device().setSpeed(1);
    out->Open();
    for (int i = 0; i < 5; ++i)
        Play(Pattern(4410, i));
    out->Close();
    out->Open();              // before any of the reset's completions was handled
    Play(Pattern(176400, 9)); // one second: cannot be done within the pump below
    PumpFor(60);
    EXPECT_TRUE(played.empty());
    EXPECT_EQ(out->QueuedBuffers(), 1);
    EXPECT_EQ(out->HeaderCount(), 1);
}

TEST_F(AudioOutTest, PauseWhileClosedDoesNothingAndCloseClearsPause)
{
    out->SetPaused(true);
    EXPECT_FALSE(out->Paused());
    Device().setSpeed(1);
    out->Open();
    out->SetPaused(true);
    EXPECT_TRUE(out->Paused());
    Play(Pattern(4410, 1)); // 25 ms
    PumpFor(150);
    EXPECT_TRUE(played.empty());
    out->SetPaused(false);
    EXPECT_FALSE(out->Paused());
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 1; }));
    out->SetPaused(true);
    out->Close();
    EXPECT_FALSE(out->Paused());
}

TEST_F(AudioOutTest, OpenAndCloseAreIdempotentAndRaiseTheirEventsOnce)
{
    std::vector<std::string> events;
    out->BeforeOpen = [&](rtl::TComponent*) {
        events.push_back("BeforeOpen:" + std::to_string(out->Active()));
    };
    out->AfterOpen = [&](rtl::TComponent*) {
        events.push_back("AfterOpen:" + std::to_string(out->Active()));
    };
    out->BeforeClose = [&](rtl::TComponent*) {
        events.push_back("BeforeClose:" + std::to_string(out->Active()));
    };
    out->AfterClose = [&](rtl::TComponent*) {
        events.push_back("AfterClose:" + std::to_string(out->Active()));
    };
    out->Close();
    out->Open();
    out->Open();
    out->SetActive(true);
    out->SetActive(false);
    out->Close();
    EXPECT_EQ(events,
              (std::vector<std::string>{"BeforeOpen:0", "AfterOpen:1", "BeforeClose:1", "AfterClose:0"}));
}

TEST_F(AudioOutTest, FailedOpenReportsTheReasonAndLeavesTheComponentReusable)
{
    bool afterOpen = false;
    out->AfterOpen = [&](rtl::TComponent*) { afterOpen = true; };
    Device().failNextOpen(platform::wave::Direction::Output, MMSYSERR_ALLOCATED);
    try {
        out->Open();
        FAIL();
    } catch (const EACMAudioOutError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Error opening audio device for output.\r\nDevice already allocated.");
    }
    EXPECT_FALSE(out->Active());
    EXPECT_FALSE(afterOpen);
    out->Open();
    EXPECT_TRUE(out->Active());
}

TEST_F(AudioOutTest, UnsupportedFormatIsRefused)
{
    out->Format()->SetBitsPerSample(12);
    out->Format()->SetBlockAlign(3);
    try {
        out->Open();
        FAIL();
    } catch (const EACMAudioOutError& e) {
        EXPECT_EQ(std::string(e.what()), "Error opening audio device for output.\r\nThe selected audio "
                                         "format is not supported on this machine.");
    }
    EXPECT_FALSE(out->Active());
}

TEST_F(AudioOutTest, ClosingInsideThePlayedEventEndsTheClipCleanly)
{
    out->Open();
    out->OnAudioPlayed = [&](rtl::TComponent*, const void*, int32_t) {
        played.emplace_back();
        if (out->QueuedBuffers() == 0)
            out->Close();
    };
    Play(Pattern(300, 1));
    Play(Pattern(300, 2));
    ASSERT_TRUE(PumpUntil([&] { return !out->Active(); }));
    EXPECT_EQ(played.size(), 2u);
    EXPECT_EQ(out->HeaderCount(), 0);
    EXPECT_EQ(out->Pool().AllocationCount(), 0u);
}

TEST_F(AudioOutTest, AFailingHandlerStillReleasesTheFinishedBuffer)
{
    Device().setSpeed(1);
    out->Open();
    Play(Pattern(4410, 1));
    ASSERT_EQ(out->Headers().size(), 1u);
    WAVEHDR* hdr = out->Headers()[0];
    // Wait for the device to finish it without handling its message, then handle it by hand
    // so the handler's exception comes to the test.
    for (int i = 0; i < 5000 && !(hdr->dwFlags & WHDR_DONE); ++i)
        QThread::usleep(1000);
    ASSERT_TRUE(hdr->dwFlags & WHDR_DONE);
    out->OnAudioPlayed = [](rtl::TComponent*, const void*, int32_t) { throw std::runtime_error("handler"); };
    EXPECT_THROW(out->WndProc(MM_WOM_DONE, hdr), std::runtime_error);
    EXPECT_EQ(out->HeaderCount(), 0);
    EXPECT_EQ(out->QueuedBuffers(), 0);
    EXPECT_EQ(out->Pool().FreeCount(), 2u); // the audio block and the header block
    out->WndProc(MM_WOM_DONE, hdr);         // its real message, or any repeat, is ignored
    PumpFor(20);
}

TEST_F(AudioOutTest, PlaysWhatItsAudioSourceDeliversOnlyWhileOpen)
{
    rtl::TComponent owner(nullptr);
    auto* source = new TestSource(&owner);
    out->SetAudioSource(source);
    EXPECT_EQ(out->AudioSource(), source);
    source->Push(Pattern(50, 1)); // closed: dropped, no error
    out->Open();
    source->Push(Pattern(60, 2));
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 1; }));
    EXPECT_EQ(played[0], Pattern(60, 2));
    EXPECT_THROW(out->SetAudioSource(out.get()), EACMError);
    delete source;
    EXPECT_EQ(out->AudioSource(), nullptr);
}

TEST_F(AudioOutTest, ObserversGetEachFinishedBufferBeforeTheEvent)
{
    struct Listener : TkaAudioComponent {
        explicit Listener(rtl::TComponent* o) : TkaAudioComponent(o), observer(new TkaAudioObserver(this)) {}
        IkaAudioObserver* QueryAudioObserver() override { return observer; }
        TkaAudioObserver* observer;
    };
    rtl::TComponent owner(nullptr);
    auto* listener = new Listener(&owner);
    std::vector<std::string> order;
    listener->observer->OnReceive = [&](IkaAudioSubject* sender, const void*, int32_t size) {
        EXPECT_EQ(sender->GetFormat(), out->Format());
        order.push_back("observer " + std::to_string(size));
    };
    listener->observer->SetAudioSource(out.get());
    out->OnAudioPlayed = [&](rtl::TComponent*, const void*, int32_t size) {
        order.push_back("event " + std::to_string(size));
    };
    out->Open();
    Play(Pattern(40, 1));
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"observer 40", "event 40"}));
}

TEST_F(AudioOutTest, VanishedDeviceReturnsItsBuffersAndReportsTheNextWrite)
{
    Device().setSpeed(1);
    out->Open();
    for (int i = 0; i < 3; ++i)
        Play(Pattern(44100, i));
    Device().vanishNow();
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 3; }));
    EXPECT_EQ(out->QueuedBuffers(), 0);
    EXPECT_EQ(out->HeaderCount(), 0);
    try {
        Play(Pattern(100, 5));
        FAIL();
    } catch (const EACMAudioOutError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error playing buffer.\r\n", 0), 0u) << e.what();
    }
    out->Close(); // still closes cleanly, every block back
    EXPECT_FALSE(out->Active());
    EXPECT_EQ(out->HeaderCount(), 0);
    EXPECT_EQ(out->Pool().AllocationCount(), 0u);
    out->Open(); // the device is back for the next open
    Play(Pattern(100, 6));
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 4; }));
}

TEST_F(AudioOutTest, DestroyingAnOpenComponentClosesTheDevice)
{
    out->SetBufferCount(2);
    out->Open();
    Play(Pattern(100, 1));
    EXPECT_EQ(Device().openCount(platform::wave::Direction::Output), 1);
    out.reset();
    EXPECT_EQ(Device().openCount(platform::wave::Direction::Output), 0);
    PumpFor(20);
}

TEST_F(AudioOutTest, FrozenDeviceStillEndsTheClipAndCloses)
{
    Device().setStallTimeout(std::chrono::milliseconds(100));
    Device().stallAfter(platform::wave::Direction::Output, 1000);
    Device().setSpeed(1);
    out->Open();
    for (int i = 0; i < 3; ++i)
        Play(Pattern(4410, i));
    // The device stops moving; once it notices, every queued buffer comes back as finished, so
    // a clip waiting for its last buffer ends instead of hanging.
    ASSERT_TRUE(PumpUntil([&] { return played.size() == 3; }));
    EXPECT_EQ(queuedInEvent.back(), 0);
    EXPECT_THROW(Play(Pattern(100, 4)), EACMAudioOutError);
    out->Close();
    EXPECT_EQ(out->HeaderCount(), 0);
    EXPECT_EQ(out->Pool().AllocationCount(), 0u);
}
