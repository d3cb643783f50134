#include "AppTestFixture.h"
#include "clips_wave.h"

#include "platform/wave/VirtualAudio.h"

namespace {

using platform::wave::VirtualAudio;

using cliptest::ToneWave;

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

TEST_F(ClipPlayback, AClipWhoseDataStopsWhileItPlaysEndsThereAndTheNextOnePlays)
{
    // The clip's file is cut while it streams, as a clip replaced or removed on a network share
    // stops reading (ESTALE): that clip ends where its data stopped, without an error.
    WriteFile("Alpha/Long.wav", ToneWave(1, 22050, 22050 * 3)); // 3 s
    WriteFile("Alpha/A.wav", ToneWave(1, 22050, 4410));
    const std::filesystem::path file = Path("Alpha/Long.wav");
    auto played = form_->kaAudioOut1->OnAudioPlayed;
    form_->kaAudioOut1->OnAudioPlayed = [&](rtl::TComponent* sender, const void* data, int32_t size) {
        if (std::filesystem::file_size(file) > 100)
            std::filesystem::resize_file(file, 100);
        played(sender, data, size);
    };
    form_->PlayClipAndWait(form_->ExeDir + "Alpha/Long.wav");
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_LT(form_->ClipWaitPasses, 600); // ended by its own events, not given up on
    EXPECT_TRUE(BoxTexts(platform::DialogKind::Error).empty());

    form_->kaAudioOut1->OnAudioPlayed = played;
    form_->PlayClipAndWait(form_->ExeDir + "Alpha/A.wav");
    const auto& clips = VirtualAudio::instance().played();
    ASSERT_EQ(clips.size(), 2u);
    EXPECT_LT(clips[0].byteCount, 22050u * 3 * clips[0].format.nBlockAlign);
    EXPECT_EQ(clips[1].byteCount, 4410u * clips[1].format.nBlockAlign);
}
