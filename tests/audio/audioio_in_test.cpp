#include "audioio_support.h"

#include "rtl/Component.h"

#include <QTemporaryDir>

#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

using namespace audioio_test;

namespace {

// A PCM WAVE file for the virtual microphone.
void WriteWave(const std::string& path, uint16_t channels, uint32_t rate, uint16_t bits,
               const std::vector<char>& data)
{
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + static_cast<uint32_t>(data.size()));
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * bits / 8);
    u16(static_cast<uint16_t>(channels * bits / 8));
    u16(bits);
    f.write("data", 4);
    u32(static_cast<uint32_t>(data.size()));
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

class AudioInTest : public VirtualDeviceTest {
protected:
    void SetUp() override
    {
        VirtualDeviceTest::SetUp();
        in = std::make_unique<TestAudioIn>(nullptr);
        SetPcm(*in->Format(), 2, 44100, 16);
        in->OnAudioRecorded = [this](rtl::TComponent* sender, const void* data, int32_t size) {
            EXPECT_EQ(sender, in.get());
            recorded.emplace_back(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        };
    }
    void TearDown() override
    {
        in.reset();
        VirtualDeviceTest::TearDown();
    }
    std::unique_ptr<TestAudioIn> in;
    std::vector<std::vector<char>> recorded;
};

// A component that only observes an audio source.
struct Listener : TkaAudioComponent {
    explicit Listener(rtl::TComponent* o) : TkaAudioComponent(o), observer(new TkaAudioObserver(this)) {}
    IkaAudioObserver* QueryAudioObserver() override { return observer; }
    TkaAudioObserver* observer;
};

template <class E> std::string MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "no exception";
}

} // namespace

TEST_F(AudioInTest, StartsClosedWithDefaults)
{
    TkaAudioIn plain(nullptr);
    EXPECT_FALSE(plain.Active());
    EXPECT_EQ(plain.BufferCount(), 4);
    EXPECT_EQ(plain.BufferSize(), 22050u);
    EXPECT_TRUE(plain.AutoAdjustBufferSize());
    EXPECT_TRUE(plain.AutoOpen());
    EXPECT_NE(QueryAudioSubject(&plain), nullptr);
    EXPECT_EQ(QueryAudioObserver(&plain), nullptr);
}

TEST_F(AudioInTest, TrimsTheBufferSizeToWholeFramesAtOpen)
{
    in->SetBufferSize(22054);
    in->Open();
    EXPECT_EQ(in->BufferSize(), 22052u);
    in->Close();
    EXPECT_EQ(in->BufferSize(), 22052u); // stays trimmed
    in->SetBufferSize(22050);
    in->Open();
    EXPECT_EQ(in->BufferSize(), 22048u);
    in->Close();

    SetPcm(*in->Format(), 1, 22050, 8); // one byte per frame: nothing to trim
    in->SetBufferSize(1001);
    in->Open();
    EXPECT_EQ(in->BufferSize(), 1001u);
}

TEST_F(AudioInTest, UntrimmedOddSizeIsRefusedAndTheDeviceStaysClosed)
{
    in->SetAutoAdjustBufferSize(false);
    in->SetBufferSize(1001);
    EXPECT_EQ(MessageOf<EACMAudioInError>([&] { in->Open(); }), "Invalid input buffer size.");
    EXPECT_FALSE(in->Active());
    EXPECT_EQ(Device().openCount(platform::wave::Direction::Input), 0);
    EXPECT_EQ(in->BufferSize(), 1001u);
}

TEST_F(AudioInTest, FourBitSamplesPassEverySize)
{
    // F is 0 for 4-bit samples: nothing is trimmed and (size * 8) is a multiple of 4. The
    // device then refuses the format, which shows the size check passed.
    in->Format()->SetBitsPerSample(4);
    in->SetBufferSize(1001);
    const std::string message = MessageOf<EACMAudioInError>([&] { in->Open(); });
    EXPECT_EQ(message.rfind("Error opening audio device for input.\r\n", 0), 0u) << message;
    EXPECT_EQ(in->BufferSize(), 1001u);
}

TEST_F(AudioInTest, BufferCountAndSizeSettersCheckTheirValues)
{
    EXPECT_EQ(MessageOf<EACMAudioIOError>([&] { in->SetBufferCount(1); }), "Invalid input buffer size.");
    EXPECT_EQ(in->BufferCount(), 4);
    in->SetBufferCount(2);
    EXPECT_EQ(in->BufferCount(), 2);
    in->Open();
    EXPECT_EQ(MessageOf<EACMAudioIOError>([&] { in->SetBufferSize(100); }),
              "Cannot perform this action while active.");
    EXPECT_EQ(in->BufferSize(), 22048u);
}

TEST_F(AudioInTest, ZeroBufferSizeIsRefused)
{
    in->SetBufferSize(3); // trimmed to 0 for 4-byte frames
    EXPECT_EQ(MessageOf<EACMAudioInError>([&] { in->Open(); }), "Invalid input buffer size.");
    EXPECT_FALSE(in->Active());
}

TEST_F(AudioInTest, QueuesBufferCountBuffersAndRecordsTheMicrophoneInOrder)
{
    QTemporaryDir dir;
    const auto source = Pattern(4 * 8000, 3);
    const std::string path = dir.filePath("mic.wav").toStdString();
    WriteWave(path, 2, 44100, 16, source);
    ASSERT_TRUE(Device().setMicrophoneFile(path));
    Device().setSpeed(1);
    in->SetBufferSize(4000);
    in->Open();
    ASSERT_EQ(in->Headers().size(), 4u);
    for (WAVEHDR* h : in->Headers()) {
        EXPECT_EQ(h->dwBufferLength, 4000u);
        EXPECT_TRUE(h->dwFlags & WHDR_PREPARED);
    }
    Device().setSpeed(0);
    ASSERT_TRUE(PumpUntil([&] { return recorded.size() >= 10; }));
    in->Close();
    std::vector<char> all;
    for (const auto& r : recorded) {
        EXPECT_EQ(r.size(), 4000u);
        all.insert(all.end(), r.begin(), r.end());
    }
    ASSERT_GE(all.size(), source.size());
    EXPECT_TRUE(std::equal(source.begin(), source.end(), all.begin()));
    // Then silence.
    EXPECT_TRUE(std::all_of(all.begin() + static_cast<long>(source.size()), all.end(),
                            [](char c) { return c == 0; }));
}

TEST_F(AudioInTest, DeliversTheBytesRecordedAndRequeuesTheWholeBuffer)
{
    in->SetBufferSize(4000);
    bool shortened = false;
    in->BeforeWndProc = [&](uint32_t msg, WAVEHDR* hdr) {
        if (msg == MM_WIM_DATA && !shortened) {
            shortened = true;
            hdr->dwBytesRecorded = 1000; // a device may return a buffer partly filled
        }
    };
    std::vector<int32_t> observerSizes;
    rtl::TComponent owner(nullptr);
    auto* listener = new Listener(&owner);
    listener->observer->OnReceive = [&](IkaAudioSubject*, const void*, int32_t size) {
        observerSizes.push_back(size);
        EXPECT_EQ(observerSizes.size(), recorded.size() + 1); // observers come first
    };
    listener->observer->SetAudioSource(in.get());
    in->Open();
    ASSERT_TRUE(PumpUntil([&] { return recorded.size() >= 6; }));
    EXPECT_EQ(recorded[0].size(), 1000u);
    EXPECT_EQ(observerSizes[0], 1000);
    for (size_t i = 1; i < recorded.size(); ++i)
        EXPECT_EQ(recorded[i].size(), 4000u);
    for (WAVEHDR* h : in->Headers())
        EXPECT_EQ(h->dwBufferLength, 4000u);
    EXPECT_EQ(in->HeaderCount(), 4);
}

TEST_F(AudioInTest, CloseDuringRecordingDeliversNothingMore)
{
    Device().setSpeed(1);
    in->SetBufferSize(176400); // a second each
    in->Open();
    PumpFor(40); // the first buffer partly filled
    in->Close();
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(in->HeaderCount(), 0);
    EXPECT_EQ(in->Pool().AllocationCount(), 0u);
    PumpFor(50); // the reset's returns arrive and are ignored
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(Device().openCount(platform::wave::Direction::Input), 0);
}

TEST_F(AudioInTest, ClosingInsideTheRecordedEventStopsCleanly)
{
    in->SetBufferSize(400);
    in->OnAudioRecorded = [&](rtl::TComponent*, const void*, int32_t) {
        recorded.emplace_back();
        in->Close();
    };
    in->Open();
    ASSERT_TRUE(PumpUntil([&] { return !in->Active(); }));
    PumpFor(30);
    EXPECT_EQ(recorded.size(), 1u);
    EXPECT_EQ(in->HeaderCount(), 0);
}

// An observer that closes the input gives its buffer back: nobody after it is handed it.
TEST_F(AudioInTest, AnObserverThatClosesTheInputKeepsItsBufferFromTheRest)
{
    rtl::TComponent owner(nullptr);
    std::vector<int> got(3, 0);
    for (size_t i = 0; i < got.size(); ++i) {
        auto* listener = new Listener(&owner);
        listener->observer->OnReceive = [&, i](IkaAudioSubject*, const void*, int32_t) {
            if (++got[i] && i == 1)
                in->Close();
        };
        listener->observer->SetAudioSource(in.get());
    }
    in->SetBufferSize(400);
    in->Open();
    ASSERT_TRUE(PumpUntil([&] { return !in->Active(); }));
    PumpFor(30);
    EXPECT_EQ(got, (std::vector<int>{1, 1, 0}));
    EXPECT_TRUE(recorded.empty()); // nor is OnAudioRecorded
    EXPECT_EQ(in->Pool().AllocationCount(), 0u);
}

// A close that fails still lets go of the device and raises AfterClose, once.
TEST_F(AudioInTest, AQuietCloseThatFailsStillEndsTheInputWithAfterClose)
{
    int closes = 0;
    in->BeforeClose = [](rtl::TComponent*) { throw std::runtime_error("close refused"); };
    in->AfterClose = [&](rtl::TComponent*) { ++closes; };
    Device().setSpeed(1);
    in->SetBufferSize(44100);
    in->Open();
    Device().vanishNow(); // no buffer goes back: the input closes itself
    EXPECT_THROW(PumpUntil([&] { return !in->Active(); }), EACMAudioInError);
    PumpFor(30);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(in->Pool().AllocationCount(), 0u);
    EXPECT_EQ(Device().openCount(platform::wave::Direction::Input), 0);
}

TEST_F(AudioInTest, AFailingHandlerKeepsThatBufferOutOfTheDevice)
{
    in->SetBufferSize(400);
    in->Open();
    ASSERT_EQ(in->Headers().size(), 4u);
    WAVEHDR* first = in->Headers()[0];
    // Wait for the device to fill it without handling its message, then handle it by hand so
    // the handler's exception comes to the test.
    for (int i = 0; i < 5000 && !(first->dwFlags & WHDR_DONE); ++i)
        QThread::usleep(1000);
    ASSERT_TRUE(first->dwFlags & WHDR_DONE);
    in->OnAudioRecorded = [](rtl::TComponent*, const void*, int32_t) {
        throw std::runtime_error("disk full");
    };
    EXPECT_THROW(in->WndProc(MM_WIM_DATA, first), std::runtime_error);
    EXPECT_EQ(in->HeaderCount(), 4);              // still listed
    EXPECT_FALSE(first->dwFlags & WHDR_PREPARED); // but not back in the device
    EXPECT_FALSE(first->dwFlags & WHDR_INQUEUE);
    in->Close(); // releases it with the others
    EXPECT_FALSE(in->Active());
    EXPECT_EQ(in->HeaderCount(), 0);
    EXPECT_EQ(in->Pool().AllocationCount(), 0u);
}

// The handler's error is the one reported when giving the buffer back fails as well: here
// a message for a buffer the device still holds, which the device refuses to hand back.
TEST_F(AudioInTest, AFailingHandlersErrorWinsOverAFailedGiveBack)
{
    struct TDiskFull : std::runtime_error {
        TDiskFull() : std::runtime_error("disk full") {}
    };
    Device().setSpeed(1);
    in->SetBufferSize(44100); // a quarter of a second each: the last one stays queued a while
    in->Open();
    WAVEHDR* queued = in->Headers()[3];
    ASSERT_TRUE(queued->dwFlags & WHDR_INQUEUE);
    in->OnAudioRecorded = [](rtl::TComponent*, const void*, int32_t) { throw TDiskFull(); };
    EXPECT_THROW(in->WndProc(MM_WIM_DATA, queued), TDiskFull);
    in->OnAudioRecorded = nullptr;
    in->Close();
    EXPECT_EQ(in->HeaderCount(), 0);
    EXPECT_EQ(in->Pool().AllocationCount(), 0u);
}

TEST_F(AudioInTest, FailedOpenReportsTheReasonAndReleasesEverything)
{
    Device().failNextOpen(platform::wave::Direction::Input, WAVERR_BADFORMAT);
    EXPECT_EQ(MessageOf<EACMAudioInError>([&] { in->Open(); }),
              "Error opening audio device for input.\r\nThe selected audio format is not supported on this "
              "machine.");
    EXPECT_FALSE(in->Active());
    EXPECT_EQ(in->HeaderCount(), 0);
    in->Open();
    EXPECT_TRUE(in->Active());
}

TEST_F(AudioInTest, AllocationFailureAfterTheDeviceOpenedClosesTheDevice)
{
    in->SetAutoAdjustBufferSize(false);
    SetPcm(*in->Format(), 1, 8000, 8);
    in->SetBufferSize(0x7FFFFFFFu); // cannot be allocated: fails while adding buffers
    EXPECT_EQ(MessageOf<EACMAudioOutError>([&] { in->Open(); }), "Cannot allocate global memory.");
    EXPECT_FALSE(in->Active());
    EXPECT_EQ(in->HeaderCount(), 0);
    EXPECT_EQ(in->Pool().AllocationCount(), 0u);
    EXPECT_EQ(Device().openCount(platform::wave::Direction::Input), 0); // not left open
    in->SetBufferSize(800);
    in->Open();
    EXPECT_TRUE(in->Active());
}

TEST_F(AudioInTest, VanishedMicrophoneReportsTheFailureOnceAndClosesItself)
{
    Device().setSpeed(1);
    in->SetBufferSize(44100);
    int closes = 0;
    in->AfterClose = [&](rtl::TComponent*) { ++closes; };
    in->Open();
    Device().vanishNow();
    // The device returns its buffers; giving the first back fails, the input closes, and
    // that error leaves the message handling, as an error of any event handler does.
    std::vector<std::string> errors;
    QElapsedTimer timer;
    timer.start();
    while (errors.empty() && timer.elapsed() < 5000) {
        try {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        } catch (const EACMAudioInError& e) {
            errors.push_back(e.what());
        }
    }
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors[0].find("\r\nA suitable driver is not available"), std::string::npos) << errors[0];
    EXPECT_FALSE(in->Active());
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(in->HeaderCount(), 0);
    EXPECT_EQ(in->Pool().AllocationCount(), 0u);
    for (int i = 0; i < 20; ++i) { // the other returned buffers are ignored
        try {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        } catch (...) {
            ADD_FAILURE() << "a closed input raised";
        }
    }
    in->Open(); // the device is back for the next open
    EXPECT_TRUE(in->Active());
}
