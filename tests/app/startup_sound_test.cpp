// The first seconds and the sound output: the window is painted before the greeting sounds,
// the greeting locks only what a playing clip locks and gives way to a clip the user starts,
// and without a sound output the parent is told once in plain words and the tutor goes on
// silently until the output answers again.

#include "clips_fixture.h"

#include "app/SoundDevices.h"

#include <QEvent>
#include <QTabBar>

#include <utility>

namespace {

using cliptest::ToneWave;

class StartUpSoundTest : public ClipFormTest {
protected:
    void WriteGreeting(uint32_t seconds) { WriteFile("Alpha/welcome.wav", ToneWave(1, 22050, 22050 * seconds)); }

    // Whether anything had reached the sound output when the window was first painted.
    class FirstPaintWatch : public QObject {
    public:
        explicit FirstPaintWatch(QWidget* window) : bytesBefore_(Moved()) { window->installEventFilter(this); }
        bool painted = false;
        bool soundBeforePaint = false;

    protected:
        bool eventFilter(QObject* /*watched*/, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && !painted) {
                painted = true;
                soundBeforePaint = Moved() != bytesBefore_ ||
                                   VirtualAudio::instance().openCount(Direction::Output) > 0;
            }
            return false;
        }

    private:
        static uint64_t Moved() { return VirtualAudio::instance().bytesMoved(Direction::Output); }
        uint64_t bytesBefore_;
    };

    std::vector<QWidget*> LockedWhilePlaying() const
    {
        return {form_->btnRecord, form_->btnPlay, form_->btnSay,   form_->SayItAgain, form_->btnCheckIt,
                form_->btnPractice, form_->Edit2, form_->edWord1, form_->edWord2,     form_->edWord3};
    }
    bool AnyUnlocked() const
    {
        for (QWidget* control : LockedWhilePlaying())
            if (control->isEnabled())
                return true;
        return false;
    }
};

TEST_F(StartUpSoundTest, TheWindowIsPaintedBeforeTheGreetingSoundsAndOnlyTheAudioControlsWait)
{
    VirtualAudio::instance().setSpeed(1);
    WriteGreeting(2);
    MakeFolder("Week_3");
    FirstPaintWatch watch(form_.get());
    Show();
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 2; }));
    EXPECT_TRUE(watch.painted);
    EXPECT_FALSE(watch.soundBeforePaint);

    // While it plays, what a playing clip locks is locked; Stop, the tabs and the lists work.
    EXPECT_FALSE(AnyUnlocked());
    EXPECT_TRUE(form_->btnStop->isEnabled());
    QTabBar* tabs = form_->PageControl1->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(form_->PageControl1->currentWidget(), form_->TabSheet2);
    ChooseLesson("Week_3");
    EXPECT_EQ(form_->AudioMode, 2);
    EXPECT_FALSE(AnyUnlocked());

    // Its end frees them, the whole greeting played once.
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
    const auto played = VirtualAudio::instance().played();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].byteCount, 2u * 22050 * played[0].format.nBlockAlign);
    EXPECT_TRUE(form_->Edit2->isEnabled());
    EXPECT_FALSE(form_->btnStop->isEnabled());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartUpSoundTest, AWordTheUserPlaysEndsTheGreetingAndStaysLockedUntilItEnds)
{
    VirtualAudio::instance().setSpeed(1);
    WriteGreeting(20);
    WriteFile("Week_3/CAT.wav", ToneWave(1, 22050, 11025));
    Show();
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 2; }));
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    ChooseLesson("Week_3");

    // Sampled at every buffer the word plays: the greeting's end must not have freed them.
    bool unlockedDuringWord = false;
    auto played = form_->kaAudioOut1->OnAudioPlayed;
    form_->kaAudioOut1->OnAudioPlayed = [&](rtl::TComponent* sender, const void* data, int32_t size) {
        if (form_->ClipPath.find("CAT") != std::string::npos && form_->AudioMode == 2)
            unlockedDuringWord |= AnyUnlocked();
        played(sender, data, size);
    };
    ASSERT_EQ(form_->ListBox1->count(), 1);
    DoubleClickItem(0);
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
    EXPECT_FALSE(unlockedDuringWord);

    const auto clips = VirtualAudio::instance().played();
    ASSERT_EQ(clips.size(), 2u);
    EXPECT_LT(clips[0].byteCount, 20u * 22050 * clips[0].format.nBlockAlign); // cut short
    EXPECT_EQ(clips[1].byteCount, 11025u * clips[1].format.nBlockAlign);
    EXPECT_TRUE(form_->btnRecord->isEnabled());
    EXPECT_TRUE(Errors().empty());
}

TEST_F(StartUpSoundTest, NoSoundOutputAtStartIsToldOnceAndClipsAreSkippedUntilItAnswers)
{
    VirtualAudio::instance().failOpens(Direction::Output, MMSYSERR_NODRIVER);
    WriteGreeting(1);
    WriteFile("Week_3/CAT.wav", ToneWave(1, 22050, 11025));
    Show();
    ASSERT_TRUE(PumpUntil([&] { return !Errors().empty(); }));
    EXPECT_EQ(Errors(), std::vector<std::string>{app::kNoSoundOutput});
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_TRUE(form_->Edit2->isEnabled()); // the greeting's lock is gone with it

    // A spoken sequence says nothing and shows nothing.
    for (int i = 0; i < 3; ++i)
        form_->RunHandler([&] { form_->PlayClipAndWait(form_->ExeDir + "Week_3/CAT.wav"); });
    EXPECT_EQ(Errors().size(), 1u);

    // The editor's speaker and a double click on a word say why nothing is heard.
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    ChooseLesson("Week_3");
    DoubleClickItem(0);
    ASSERT_EQ(Errors().size(), 2u);
    EXPECT_EQ(Errors()[1], app::kNoSoundOutputForWord);
    ASSERT_EQ(form_->edSpellingword->text(), "CAT");
    ASSERT_TRUE(form_->btnPlay->isEnabled()); // its clip exists
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_EQ(Errors().size(), 3u);
    EXPECT_EQ(Errors()[2], app::kNoSoundOutputForWord);
    EXPECT_TRUE(VirtualAudio::instance().played().empty());

    // The output is back: it is not asked again before the interval has passed...
    VirtualAudio::instance().failOpens(Direction::Output, 0);
    form_->SoundOutput.Interval = std::chrono::hours(1);
    form_->PlayClipAndWait(form_->ExeDir + "Week_3/CAT.wav");
    EXPECT_TRUE(VirtualAudio::instance().played().empty());
    // ...and once it has, the clip plays.
    form_->SoundOutput.Interval = std::chrono::milliseconds(0);
    form_->PlayClipAndWait(form_->ExeDir + "Week_3/CAT.wav");
    ASSERT_EQ(VirtualAudio::instance().played().size(), 1u);
    EXPECT_EQ(Errors().size(), 3u);
}

TEST_F(StartUpSoundTest, AnOutputGoneBeforeAClipIsToldOnceThenItsClipsAreSkipped)
{
    WriteFile("Week_3/CAT.wav", ToneWave(1, 22050, 11025));
    WriteGreeting(1);
    ShowEditor();
    // The output answered at start: the greeting has played.
    ASSERT_TRUE(PumpUntil([&] { return VirtualAudio::instance().played().size() == 1 && form_->AudioMode == 0; }));
    VirtualAudio::instance().failOpens(Direction::Output, MMSYSERR_NODRIVER);
    for (int i = 0; i < 3; ++i)
        form_->RunHandler([&] { form_->PlayClipAndWait(form_->ExeDir + "Week_3/CAT.wav"); });
    EXPECT_EQ(Errors(), std::vector<std::string>{app::kNoSoundOutput});
    EXPECT_TRUE(form_->SoundOutput.Missing());
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->ClipFile);
}

TEST_F(StartUpSoundTest, AnOutputLostMidClipIsReportedOnceThenItsClipsAreSkipped)
{
    WriteFile("Week_3/CAT.wav", ToneWave(1, 22050, 22050));
    WriteGreeting(1);
    ShowEditor();
    ASSERT_TRUE(PumpUntil([&] { return VirtualAudio::instance().played().size() == 1 && form_->AudioMode == 0; }));
    // Once the clip has sounded, the output goes away and stays away; losing it after a
    // count of bytes could come before any buffer had sounded on a slow machine.
    auto played = form_->kaAudioOut1->OnAudioPlayed;
    bool lost = false;
    form_->kaAudioOut1->OnAudioPlayed = [&](rtl::TComponent* sender, const void* data, int32_t size) {
        if (!std::exchange(lost, true)) {
            VirtualAudio::instance().failOpens(Direction::Output, MMSYSERR_NODRIVER);
            VirtualAudio::instance().vanishNow();
        }
        played(sender, data, size);
    };
    form_->RunHandler([&] { form_->PlayClipAndWait(form_->ExeDir + "Week_3/CAT.wav"); });
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0 && !Errors().empty(); }));
    const size_t boxes = Errors().size();
    EXPECT_TRUE(form_->SoundOutput.Missing());
    for (int i = 0; i < 3; ++i)
        form_->RunHandler([&] { form_->PlayClipAndWait(form_->ExeDir + "Week_3/CAT.wav"); });
    EXPECT_EQ(Errors().size(), boxes);
    EXPECT_EQ(VirtualAudio::instance().played().size(), 2u); // the greeting and the one cut off
}

TEST_F(StartUpSoundTest, RecordWithoutAMicrophoneSaysSoInPlainWords)
{
    VirtualAudio::instance().failOpens(Direction::Input, MMSYSERR_NODRIVER);
    ShowEditor();
    ChooseLesson("Week_3");
    TypeWord("FOX");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    EXPECT_EQ(Errors(), std::vector<std::string>{app::kNoMicrophone});
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->ClipWriter);
    EXPECT_TRUE(form_->btnRecord->isEnabled());
}

} // namespace
