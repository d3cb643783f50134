#include "AppTestFixture.h"

#include "platform/wave/VirtualAudio.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

using platform::wave::VirtualAudio;

// A PCM WAVE file of `frames` frames of a 440 Hz tone.
std::string ToneWave(uint16_t channels, uint32_t rate, uint32_t frames)
{
    const uint32_t dataSize = frames * channels * 2;
    std::string out;
    auto u32 = [&](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); };
    out += "RIFF";
    u32(36 + dataSize);
    out += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * 2);
    u16(static_cast<uint16_t>(channels * 2));
    u16(16);
    out += "data";
    u32(dataSize);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c)
            u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / rate))));
    return out;
}

class ClipPlayback : public FormTest {
protected:
    void SetUp() override
    {
        VirtualAudio::instance().reset();
        VirtualAudio::instance().setSpeed(0);
        FormTest::SetUp();
        form_->ClipWaitPassSleep = std::chrono::milliseconds(1);
    }
    uint64_t PlayedBytes() const
    {
        uint64_t total = 0;
        for (const auto& clip : VirtualAudio::instance().played())
            total += clip.byteCount;
        return total;
    }
};

} // namespace

TEST_F(ClipPlayback, ShortClipPlaysWholeAndEndsByItsPlayedEvents)
{
    WriteFile("Alpha/A.wav", ToneWave(1, 22050, 4410)); // 0.2 s
    form_->PlayClipAndWait(form_->ExeDir + "alpha\\a.wav");
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_LT(form_->ClipWaitPasses, 600);
    // Played in the device format SuggestPCM picked for the clip: all 4410 frames.
    const auto played = VirtualAudio::instance().played();
    ASSERT_EQ(played.size(), 1u);
    const auto& clip = played[0];
    EXPECT_EQ(clip.byteCount, 4410u * clip.format.nBlockAlign);
    EXPECT_FALSE(form_->ClipFile);
}

TEST_F(ClipPlayback, EmptyClipEndsAtOnce)
{
    WriteFile("Alpha/B.wav", ToneWave(2, 44100, 0).substr(0, 44));
    // An empty data chunk: the reader may refuse it, or it plays nothing and ends.
    try {
        form_->PlayClipAndWait(form_->ExeDir + "Alpha/B.wav");
    } catch (const std::exception&) {
    }
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_LE(form_->ClipWaitPasses, 1);
}

TEST_F(ClipPlayback, MissingClipIsSkippedSilently)
{
    form_->PlayClipAndWait(form_->ExeDir + "Alpha/nothing.wav");
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_TRUE(VirtualAudio::instance().played().empty());
}
