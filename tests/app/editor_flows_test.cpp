// The lesson editor driven as an adult would: new lessons, typing a word, Record, the
// virtual microphone saying it, Stop, replaying, the word list and its pop-up menu.

#include "clips_fixture.h"
#include "take_audio.h"

#include <QFocusEvent>
#include <QTimer>

#include <filesystem>

namespace {

using cliptest::ReadWaveInfo;
using cliptest::ToneWave;

class EditorTest : public ClipFormTest {
protected:
    void SetUp() override
    {
        ClipFormTest::SetUp();
        ShowEditor();
        // Half a second as the microphone's voice: a pause, as after pressing Record, then a tone.
        WriteFile("voice.wav", taketest::Audio().Silence(100).Tone(400, 0.25).Wave());
        ASSERT_TRUE(VirtualAudio::instance().setMicrophoneFile(Path("voice.wav")));
    }

    // Record (clicked), the microphone says its half second, Stop (clicked).
    void RecordWordByMouse(const QString& word)
    {
        TypeWord(word);
        QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
        ASSERT_EQ(form_->AudioMode, 1);
        ASSERT_TRUE(PumpRecorded(22050 * 4));
        QTest::mouseClick(form_->btnStop, Qt::LeftButton);
        ASSERT_EQ(form_->AudioMode, 0);
    }

    size_t FolderCount() const
    {
        size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            n += entry.is_directory();
        return n;
    }
};

// ---- Recording a word ---------------------------------------------------------------------

TEST_F(EditorTest, RecordSayStopLeavesAnUpperCasedCompleteClipAndTheBoxReadyForTheNext)
{
    ChooseLesson("Week_3");
    RecordWordByMouse("cat");

    const std::string clip = ReadFile("Week_3/CAT.wav");
    const auto info = ReadWaveInfo(clip);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.tag, 1);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.rate, 44100u);
    EXPECT_EQ(info.bits, 16);
    EXPECT_EQ(info.riffSize, clip.size() - 8);
    EXPECT_GE(info.dataSize, 22050u * 4);
    // What the microphone said is what the clip holds, from its first sample.
    const std::string voice = ReadFile("voice.wav");
    EXPECT_EQ(clip.substr(info.dataOffset, 22050 * 4), voice.substr(44, 22050 * 4));

    EXPECT_TRUE(form_->edSpellingword->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), form_->edSpellingword);
    EXPECT_FALSE(form_->btnRecord->isEnabled());
    EXPECT_FALSE(form_->btnStop->isEnabled());
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"CAT"});
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/cat.wav")));
}

TEST_F(EditorTest, RecordingShowsTheMicrophoneOnTheOscilloscopeAndPlayingShowsTheOutput)
{
    ChooseLesson("Week_3");
    TypeWord("sun");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_TRUE(PumpRecorded(22050 * 2));
    EXPECT_EQ(form_->kaAudioControlSource->AudioSource(), form_->kaAudioIn1);
    EXPECT_GT(form_->kaAudioControlSource->SampleCount(), 0);
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);

    ClickItem(0);
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    EXPECT_EQ(form_->kaAudioControlSource->AudioSource(), form_->kaAudioOut1);
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
    // The source stays on the output after the clip ends.
    EXPECT_EQ(form_->kaAudioControlSource->AudioSource(), form_->kaAudioOut1);
}

TEST_F(EditorTest, EnterStartsARecordingWithTheWordAsTyped)
{
    ChooseLesson("Week_3");
    TypeWord("dog");
    QTest::keyClick(form_->edSpellingword, Qt::Key_Return);
    ASSERT_EQ(form_->AudioMode, 1);
    EXPECT_EQ(QApplication::focusWidget(), form_->btnStop);
    // The box is upper-cased when the focus left it, after the file had been named.
    EXPECT_EQ(form_->edSpellingword->text(), "DOG");
    ASSERT_TRUE(PumpRecorded(22050));
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::exists(Path("Week_3/dog.wav")));
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/DOG.wav")));
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"dog"});
}

TEST_F(EditorTest, TheKeypadEnterStartsARecordingToo)
{
    ChooseLesson("Week_3");
    TypeWord("pig");
    QTest::keyClick(form_->edSpellingword, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form_->AudioMode, 1);
    ASSERT_TRUE(PumpRecorded(22050));
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::exists(Path("Week_3/pig.wav")));
}

TEST_F(EditorTest, EnterWhileRecordingOrPlayingDoesNothing)
{
    ChooseLesson("Week_3");
    TypeWord("hat");
    QTest::keyClick(form_->edSpellingword, Qt::Key_Return);
    ASSERT_EQ(form_->AudioMode, 1);
    form_->edSpellingword->setFocus();
    QTest::keyClicks(form_->edSpellingword, "S");
    QTest::keyClick(form_->edSpellingword, Qt::Key_Return);
    EXPECT_EQ(form_->AudioMode, 1);
    EXPECT_EQ(VirtualAudio::instance().openCount(Direction::Input), 1);
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/HATS.wav")));
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_EQ(form_->AudioMode, 0);
}

TEST_F(EditorTest, StopRightAfterRecordLeavesNoClipAndTheEditorRecordsAgain)
{
    ChooseLesson("Week_3");
    TypeWord("cow");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_EQ(Errors().size(), 1u); // nothing was heard
    EXPECT_TRUE(std::filesystem::is_empty(Path("Week_3")));
    EXPECT_TRUE(Items(form_->ListBox1).isEmpty());
    EXPECT_FALSE(form_->ClipFile);
    EXPECT_FALSE(form_->btnStop->isEnabled());

    TypeWord("cow");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_TRUE(PumpRecorded(22050));
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_TRUE(ReadWaveInfo(ReadFile("Week_3/COW.wav")).valid);
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"COW"});
}

TEST_F(EditorTest, RecordingAgainReplacesTheClip)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/CAT.wav", std::string(300000, 'x'));
    RecordWordByMouse("CAT");
    const auto info = ReadWaveInfo(ReadFile("Week_3/CAT.wav"));
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(std::filesystem::file_size(Path("Week_3/CAT.wav")), info.dataOffset + info.dataSize);
}

// ---- Replaying ------------------------------------------------------------------------------

TEST_F(EditorTest, SpeakerStartsTheClipAndStopEndsItAtOnceAndClearsTheBox)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/LONG.wav", ToneWave(2, 44100, 44100 * 3));
    TypeWord("LONG");
    ASSERT_TRUE(form_->btnPlay->isEnabled());
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    EXPECT_EQ(form_->AudioMode, 2);
    EXPECT_TRUE(form_->btnStop->isEnabled());
    EXPECT_FALSE(form_->btnRecord->isEnabled());
    EXPECT_FALSE(form_->btnPlay->isEnabled());
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->kaAudioOut1->Active());
    EXPECT_FALSE(form_->ClipReader);
    EXPECT_TRUE(form_->edSpellingword->text().isEmpty());
    EXPECT_LT(PlayedBytes(), 44100u * 4 * 3);
}

TEST_F(EditorTest, SpeakerWhileTheOutputIsOpenTogglesItsPause)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/LONG.wav", ToneWave(2, 44100, 44100 * 3));
    TypeWord("LONG");
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(form_->kaAudioOut1->Active());
    form_->btnPlayClick(form_->btnPlay);
    EXPECT_TRUE(form_->kaAudioOut1->Paused());
    form_->btnPlayClick(form_->btnPlay);
    EXPECT_FALSE(form_->kaAudioOut1->Paused());
    EXPECT_EQ(VirtualAudio::instance().played().size(), 1u);
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
}

TEST_F(EditorTest, ClickingAWordPutsItInTheBoxAndDoubleClickingPlaysItToItsEnd)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/CAT.wav", ToneWave(1, 22050, 11025));
    WriteFile("Week_3/DOG.wav", ToneWave(1, 22050, 5000));
    form_->FillWordList();
    ASSERT_EQ(Items(form_->ListBox1), (QStringList{"CAT", "DOG"}));
    ClickItem(1);
    EXPECT_EQ(form_->edSpellingword->text(), "DOG");
    EXPECT_TRUE(form_->btnPlay->isEnabled());
    DoubleClickItem(0);
    EXPECT_EQ(form_->AudioMode, 0);
    const auto played = VirtualAudio::instance().played();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].byteCount, 11025u * played[0].format.nBlockAlign);
    EXPECT_TRUE(form_->btnRecord->isEnabled());
}

TEST_F(EditorTest, KeyboardMovesInTheWordListFillTheWordBoxAsAClickDoes)
{
    ChooseLesson("Week_3");
    for (const char* clip : {"Week_3/ANT.wav", "Week_3/BEE.wav", "Week_3/CAT.wav", "Week_3/MR..wav"})
        WriteFile(clip, ToneWave(1, 22050, 2205));
    form_->FillWordList();
    ASSERT_EQ(Items(form_->ListBox1), (QStringList{"ANT", "BEE", "CAT", "MR"}));

    // The focus entering the list makes its first word the current one, and changes no word.
    form_->ListBox1->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(form_->ListBox1->currentRow(), 0);
    EXPECT_TRUE(form_->edSpellingword->text().isEmpty());

    // Each move puts the word in the box; the speaker follows the word's clip ("MR" has none
    // of that name: its clip is "MR..wav").
    const std::vector<std::pair<Qt::Key, QString>> moves = {
        {Qt::Key_Down, "BEE"},   {Qt::Key_End, "MR"},   {Qt::Key_Home, "ANT"}, {Qt::Key_PageDown, "MR"},
        {Qt::Key_PageUp, "ANT"}, {Qt::Key_Down, "BEE"}, {Qt::Key_C, "CAT"}, // typing the start of a word
        {Qt::Key_Up, "BEE"},
    };
    for (const auto& [key, word] : moves) {
        QTest::keyClick(form_->ListBox1, key);
        EXPECT_EQ(form_->edSpellingword->text(), word) << key;
        EXPECT_EQ(form_->btnPlay->isEnabled(), word != "MR") << word.toStdString();
        EXPECT_TRUE(form_->btnRecord->isEnabled());
    }

    // Refilling the list leaves the box as it is.
    TypeWord("OWL");
    form_->FillWordList();
    form_->ListBox1->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(form_->edSpellingword->text(), "OWL");
}

TEST_F(EditorTest, DoubleClickingAWordWhoseClipVanishedPlaysNothing)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/CAT.wav", ToneWave(1, 22050, 11025));
    form_->FillWordList();
    std::filesystem::remove(Path("Week_3/CAT.wav"));
    DoubleClickItem(0);
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_TRUE(VirtualAudio::instance().played().empty());
    EXPECT_TRUE(Errors().empty());
}

// ---- One clip at a time --------------------------------------------------------------------

TEST_F(EditorTest, DoubleClickWhileTheSpeakersClipPlaysStopsItFirst)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/LONG.wav", ToneWave(2, 44100, 44100 * 3));
    WriteFile("Week_3/SHORT.wav", ToneWave(1, 22050, 4410));
    form_->FillWordList();
    TypeWord("LONG");
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_EQ(form_->AudioMode, 2);
    DoubleClickItem(1);
    EXPECT_EQ(form_->AudioMode, 0);
    const auto played = VirtualAudio::instance().played();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_TRUE(played[0].closed);
    EXPECT_EQ(played[1].byteCount, 4410u * played[1].format.nBlockAlign);
    EXPECT_LE(VirtualAudio::instance().openCount(Direction::Output), 0);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(EditorTest, AWaitingClipReturnsWhenTheSpeakerStartsAnother)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/LONG.wav", ToneWave(2, 44100, 44100 * 20));
    WriteFile("Week_3/SHORT.wav", ToneWave(1, 22050, 4410));
    VirtualAudio::instance().setSpeed(1); // the long clip keeps playing while we wait
    form_->FillWordList();
    ClickItem(1);
    // Once the long clip sounds, the short one is double-clicked during the wait's next pass.
    auto played = form_->kaAudioOut1->OnAudioPlayed;
    bool clicked = false;
    form_->kaAudioOut1->OnAudioPlayed = [&](rtl::TComponent* sender, const void* data, int32_t size) {
        played(sender, data, size);
        if (!clicked) {
            clicked = true;
            QTimer::singleShot(0, form_.get(), [this] { form_->ListBox1DblClick(form_->ListBox1); });
        }
    };
    form_->PlayClipAndWait(form_->ExeDir + "Week_3/LONG.wav");
    EXPECT_TRUE(clicked);
    EXPECT_LT(form_->ClipWaitPasses, 600);
    EXPECT_EQ(form_->AudioMode, 0);
    const auto clips = VirtualAudio::instance().played();
    ASSERT_EQ(clips.size(), 2u);
    EXPECT_TRUE(clips[0].closed);
    EXPECT_LT(clips[0].byteCount, 44100u * 4 * 20);
    EXPECT_EQ(clips[1].byteCount, 4410u * clips[1].format.nBlockAlign);
    EXPECT_FALSE(form_->ClipReader);
}

TEST_F(EditorTest, RecordWhileAClipPlaysStopsTheClipFirst)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/LONG.wav", ToneWave(2, 44100, 44100 * 3));
    TypeWord("LONG");
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_EQ(form_->AudioMode, 2);
    form_->btnRecordClick(form_->btnRecord); // Record is disabled; a call anyway
    EXPECT_EQ(form_->AudioMode, 1);
    EXPECT_FALSE(form_->kaAudioOut1->Active());
    EXPECT_FALSE(form_->ClipReader);
    ASSERT_TRUE(PumpRecorded(22050));
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_TRUE(ReadWaveInfo(ReadFile("Week_3/LONG.wav")).valid);
}

TEST_F(EditorTest, ADoubleClickKeepsTheControlsBusyForTheWholeNewClipAndLeavesARecordingAlone)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/LONG.wav", ToneWave(2, 44100, 44100 * 3));
    WriteFile("Week_3/MID.wav", ToneWave(2, 44100, 44100));
    form_->FillWordList();
    TypeWord("LONG");
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_EQ(form_->AudioMode, 2);

    // Record, Stop and the speaker at every block of the double-clicked clip.
    struct Controls {
        bool record, stop, play;
    };
    std::vector<Controls> during;
    const uint64_t speakersClip = form_->ClipSerial;
    auto played = form_->kaAudioOut1->OnAudioPlayed;
    form_->kaAudioOut1->OnAudioPlayed = [&](rtl::TComponent* sender, const void* data, int32_t size) {
        if (form_->ClipSerial == speakersClip + 1)
            during.push_back(
                {form_->btnRecord->isEnabled(), form_->btnStop->isEnabled(), form_->btnPlay->isEnabled()});
        played(sender, data, size);
    };
    DoubleClickItem(1);
    EXPECT_EQ(form_->ClipSerial, speakersClip + 1);
    ASSERT_FALSE(during.empty());
    for (const Controls& state : during) {
        EXPECT_FALSE(state.record);
        EXPECT_TRUE(state.stop);
        EXPECT_FALSE(state.play);
    }
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_TRUE(form_->btnRecord->isEnabled()); // MID is in the box, and the clip is over

    TypeWord("HEN");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_EQ(form_->AudioMode, 1);
    ASSERT_TRUE(PumpRecorded(22050));
    const size_t clipsPlayed = VirtualAudio::instance().played().size();
    DoubleClickItem(0);
    EXPECT_EQ(form_->AudioMode, 1);
    EXPECT_TRUE(form_->kaAudioIn1->Active());
    EXPECT_EQ(VirtualAudio::instance().played().size(), clipsPlayed);
    ASSERT_TRUE(PumpRecorded(22050)); // the recording goes on
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    const auto info = ReadWaveInfo(ReadFile("Week_3/HEN.wav"));
    EXPECT_TRUE(info.valid);
    EXPECT_GE(info.dataSize, 22050u * 2);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(EditorTest, ATakeNeverReplacesAClipThisUserMayNotWrite)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/FROZEN.wav", "old clip");
    std::filesystem::permissions(Path("Week_3/FROZEN.wav"), std::filesystem::perms::owner_read);
    // Read-only on purpose (also for root); another account's (lent in the unprivileged run only).
    for (const auto& [clip, replaced] : {std::pair{"FROZEN", false}, {"THEIRS", false}, {"SHARED", true}}) {
        SCOPED_TRACE(clip);
        requests_.clear();
        const std::string file = std::string("Week_3/") + clip + ".wav";
        if (clip != std::string("FROZEN") &&
            !BorrowOtherAccountFile(replaced ? "writable" : "read-only", file))
            continue;
        const std::string before = ReadFile(file);
        const auto mode = std::filesystem::status(Path(file)).permissions();
        RecordWordByMouse(clip);
        EXPECT_EQ(Errors().size(), replaced ? 0u : 1u);
        EXPECT_TRUE(replaced ||
                    Errors()[0] == "Cannot create file \"" + Path(file).string() + "\". Permission denied");
        EXPECT_EQ(ReadFile(file) == before, !replaced);
        EXPECT_EQ(std::filesystem::status(Path(file)).permissions(), mode);
    }
    for (const auto& entry : std::filesystem::directory_iterator(Path("Week_3")))
        EXPECT_EQ(entry.path().extension(), ".wav") << "no take is left behind: " << entry.path();
}

// ---- Words that are not file names -----------------------------------------------------------

TEST_F(EditorTest, AWordTheListWouldShowAsAnotherWordOrThatNamesNoFileIsRefusedWithAPlainMessage)
{
    ChooseLesson("Week_3");
    // A clip already on disk with a dot in its name is listed, and played, as before.
    WriteFile("Week_3/ST. LOUIS.wav", ToneWave(1, 22050, 2205));
    form_->FillWordList();
    ASSERT_EQ(Items(form_->ListBox1), QStringList{"ST"});
    for (const auto& [word, reason] : {
             std::pair<QString, QString>{"a/b", "it holds \"/\""},
             {"..\\up", "it holds \"\\\""},
             {"../../x", "it holds \"/\""},
             {"x..y", "it holds \".\""},
             {"ST. LOUIS", "it holds \".\""},
             {QString("A") + QChar(1) + "B", "it holds a control character"},
             {QString(65, 'W'), "it is longer than 64 characters"},
         }) {
        SCOPED_TRACE(word.toStdString());
        form_->edSpellingword->setText(word);
        EXPECT_EQ(form_->lblTakeHint->text(), "Cannot be recorded: " + reason + ".");
        EXPECT_FALSE(form_->btnRecord->isEnabled());
        EXPECT_EQ(form_->btnPlay->isEnabled(), word == "ST. LOUIS"); // its clip exists
        QTest::keyClick(form_->edSpellingword, Qt::Key_Return);
        form_->btnRecordClick(form_->btnRecord);
        EXPECT_EQ(form_->AudioMode, 0);
        // The end of a clip elsewhere does not enable it either.
        form_->StopPlayback();
        EXPECT_FALSE(form_->btnRecord->isEnabled());
    }
    EXPECT_EQ(VirtualAudio::instance().openCount(Direction::Input), 0);
    EXPECT_TRUE(Errors().empty());
    EXPECT_FALSE(std::filesystem::exists(Path("x.wav")));
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/a")));
    TypeWord("fine");
    EXPECT_TRUE(form_->btnRecord->isEnabled());
    EXPECT_TRUE(form_->lblTakeHint->text().isEmpty());
}

// ---- New lessons ---------------------------------------------------------------------------

TEST_F(EditorTest, CancellingTheNameCreatesNoFolderAndLeavesNoLessonChosen)
{
    ChooseLesson("Week_3");
    TypeWord("CAT");
    const size_t before = FolderCount();
    CancelInput();
    QTest::mouseClick(form_->btnAddLesson, Qt::LeftButton);
    EXPECT_EQ(FolderCount(), before);
    EXPECT_EQ(form_->cbLessions->currentIndex(), -1);
    EXPECT_TRUE(form_->btnAddLesson->isEnabled());
    // With no lesson chosen the word controls are off: nothing is recorded into the
    // content folder itself.
    EXPECT_FALSE(form_->edSpellingword->isEnabled());
    EXPECT_FALSE(form_->btnRecord->isEnabled());
    EXPECT_FALSE(form_->btnPlay->isEnabled());
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Name of New Lesson");
    EXPECT_EQ(boxes[0].text, "Lesson Name");
    EXPECT_EQ(boxes[0].defaultText, "");
}

TEST_F(EditorTest, ConfirmingAnEmptyNameCreatesNoFolder)
{
    const size_t before = FolderCount();
    AnswerInput("");
    QTest::mouseClick(form_->btnAddLesson, Qt::LeftButton);
    EXPECT_EQ(FolderCount(), before);
    EXPECT_EQ(form_->cbLessions->currentIndex(), -1);
    EXPECT_FALSE(form_->edSpellingword->isEnabled());
}

TEST_F(EditorTest, AnExistingLessonInAnotherCaseIsChosenWithoutANewFolder)
{
    MakeFolder("SPRING_WORDS");
    const size_t before = FolderCount();
    AnswerInput("spring words");
    QTest::mouseClick(form_->btnAddLesson, Qt::LeftButton);
    EXPECT_EQ(FolderCount(), before);
    EXPECT_EQ(form_->cbLessions->currentText(), "SPRING_WORDS");
    EXPECT_TRUE(form_->edSpellingword->isEnabled());
    EXPECT_TRUE(form_->Label1->isEnabled());
}

TEST_F(EditorTest, ANameIsCleanedIntoAFolderAndChosen)
{
    AnswerInput("Tom's week 3.a");
    QTest::mouseClick(form_->btnAddLesson, Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::is_directory(Path("Tom_s_week_3_a")));
    EXPECT_EQ(form_->cbLessions->currentText(), "Tom_s_week_3_a");
    EXPECT_TRUE(form_->edSpellingword->isEnabled());
    EXPECT_FALSE(form_->btnRecord->isEnabled()); // no word yet
    EXPECT_TRUE(Items(form_->ListBox1).isEmpty());
    // The new lesson takes a recording at once.
    RecordWordByMouse("tree");
    EXPECT_TRUE(ReadWaveInfo(ReadFile("Tom_s_week_3_a/TREE.wav")).valid);
}

TEST_F(EditorTest, ANameTheFileSystemRefusesChoosesNothingAndReenablesTheButton)
{
    AnswerInput("Taken/sub");
    QTest::mouseClick(form_->btnAddLesson, Qt::LeftButton);
    // CleanName made it "Taken_sub": a fine folder.
    EXPECT_EQ(form_->cbLessions->currentText(), "Taken_sub");
    const size_t before = FolderCount();
    AnswerInput(std::string(300, 'x')); // longer than a file name may be
    QTest::mouseClick(form_->btnAddLesson, Qt::LeftButton);
    EXPECT_TRUE(form_->btnAddLesson->isEnabled());
    EXPECT_EQ(FolderCount(), before);
    EXPECT_EQ(form_->cbLessions->currentIndex(), -1);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(EditorTest, ARefilledListWithoutAChoiceTurnsTheWordControlsOff)
{
    ChooseLesson("Week_3");
    TypeWord("CAT");
    ASSERT_TRUE(form_->btnRecord->isEnabled());
    DropDown(form_->cbLessions);
    EXPECT_EQ(form_->cbLessions->currentIndex(), -1);
    EXPECT_FALSE(form_->edSpellingword->isEnabled());
    EXPECT_FALSE(form_->Label1->isEnabled());
    EXPECT_FALSE(form_->btnRecord->isEnabled());
    form_->btnRecordClick(form_->btnRecord);
    EXPECT_FALSE(std::filesystem::exists(Path("CAT.wav")));
    Choose(form_->cbLessions, 0);
    EXPECT_TRUE(form_->edSpellingword->isEnabled());
    EXPECT_TRUE(form_->btnRecord->isEnabled());
}

TEST_F(EditorTest, TheWordBoxIsUpperCasedOnlyWhenTheFocusMovesToAnotherControl)
{
    ChooseLesson("Week_3");
    TypeWord("bat");
    QApplication::setActiveWindow(nullptr); // the window loses activation
    QCoreApplication::processEvents();
    EXPECT_EQ(form_->edSpellingword->text(), "bat");
    Show();
    form_->edSpellingword->setFocus();
    QTest::keyClick(form_->edSpellingword, Qt::Key_Tab);
    EXPECT_EQ(form_->edSpellingword->text(), "BAT");
}

TEST_F(EditorTest, OnlyFocusMovingToAnotherControlUpperCasesTheWord)
{
    ChooseLesson("Week_3");
    TypeWord("bat");
    // A menu popping up, a dialog or another window taking the keyboard: no exit.
    for (const Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(form_->edSpellingword, &out);
        EXPECT_EQ(form_->edSpellingword->text(), "bat") << reason;
    }
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(form_->edSpellingword, &out);
    EXPECT_EQ(form_->edSpellingword->text(), "BAT");
}

// ---- The pop-up menu and Delete Word ---------------------------------------------------------

class EditorMenuTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        ChooseLesson("Week_3");
        WriteFile("Week_3/CAT.wav", ToneWave(1, 22050, 2205));
        WriteFile("Week_3/DOG.wav", ToneWave(1, 22050, 2205));
        form_->FillWordList();
        ASSERT_EQ(Items(form_->ListBox1), (QStringList{"CAT", "DOG"}));
    }
    // The right click's menu, opened and closed again.
    bool DeleteEnabledInMenu()
    {
        emit form_->ListBox1->customContextMenuRequested(ItemCentre(0));
        const bool enabled = form_->DeleteWord1->isEnabled();
        form_->PopupMenu->hide();
        return enabled;
    }
};

TEST_F(EditorMenuTest, DeleteWordIsEnabledForAnySelectedWordTheFirstIncluded)
{
    EXPECT_FALSE(DeleteEnabledInMenu()); // nothing selected
    ClickItem(0);
    EXPECT_TRUE(DeleteEnabledInMenu());
    ClickItem(1);
    EXPECT_TRUE(DeleteEnabledInMenu());
}

TEST_F(EditorMenuTest, DeleteWordAsksAndDeletesTheClipOnYes)
{
    ClickItem(0);
    ASSERT_TRUE(DeleteEnabledInMenu());
    form_->DeleteWord1->trigger(); // the fixture answers Yes
    const auto asked = BoxTexts(platform::DialogKind::Confirmation);
    EXPECT_EQ(asked, std::vector<std::string>{"Delete the word CAT from this lesson?"});
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/CAT.wav")));
    EXPECT_TRUE(std::filesystem::exists(Trashed("CAT.wav")));
    EXPECT_TRUE(std::filesystem::exists(Path("Week_3/DOG.wav")));
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"DOG"});
    // The word is still in the box; its clip has gone, so the speaker is off.
    EXPECT_EQ(form_->edSpellingword->text(), "CAT");
    EXPECT_FALSE(form_->btnPlay->isEnabled());
}

TEST_F(EditorMenuTest, DeleteWordOnNoKeepsTheClip)
{
    ClickItem(1);
    platform::ScopedDialogResponder no(
        [](const platform::DialogRequest&) { return platform::DialogAnswer{}; });
    form_->DeleteWord1->trigger();
    EXPECT_TRUE(std::filesystem::exists(Path("Week_3/DOG.wav")));
    EXPECT_EQ(Items(form_->ListBox1), (QStringList{"CAT", "DOG"}));
}

TEST_F(EditorMenuTest, DeletingTheClipThatPlaysStopsItFirst)
{
    WriteFile("Week_3/CAT.wav", ToneWave(2, 44100, 44100 * 3));
    ClickItem(0);
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_EQ(form_->AudioMode, 2);
    form_->DeleteWord1->trigger();
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->ClipFile);
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/CAT.wav")));
}

TEST_F(EditorTest, DeleteWordRemovesTheFileItsItemCameFromAndSaysWhyWhenItCannot)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/MR..wav", ToneWave(1, 22050, 2205)); // listed as "MR"
    WriteFile("Week_3/BOX.wav", ToneWave(1, 22050, 2205));
    form_->FillWordList();
    ASSERT_EQ(Items(form_->ListBox1), (QStringList{"BOX", "MR"}));
    ClickItem(1);
    form_->DeleteWord1->trigger();
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/MR..wav")));
    EXPECT_EQ(ReadFile("data/Trash/files/MR..wav"), ToneWave(1, 22050, 2205)) << "the parent can get it back";
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"BOX"});
    EXPECT_TRUE(Errors().empty());

    WriteFile("nowhere", "a file where the trash's folder would be");
    UseTrashIn("nowhere");
    ClickItem(0);
    form_->DeleteWord1->trigger();
    EXPECT_EQ(Errors(),
              std::vector<std::string>{"The word BOX could not be moved to the trash (this disk has "
                                       "none, as on a USB stick or a network share), so nothing was "
                                       "deleted."});
    EXPECT_TRUE(std::filesystem::exists(Path("Week_3/BOX.wav")));
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"BOX"});
    EXPECT_EQ(form_->AudioMode, 0);
}

TEST_F(ClipFormTest, DeleteWordWorksWhileTheGreetingStillPlays)
{
    VirtualAudio::instance().setSpeed(1);
    WriteFile("Alpha/welcome.wav", ToneWave(1, 22050, 22050));
    WriteFile("Week_3/CAT.wav", ToneWave(1, 22050, 2205));
    // Once the greeting sounds, the adult deletes a word in the editor.
    bool deleted = false;
    auto played = form_->kaAudioOut1->OnAudioPlayed;
    form_->kaAudioOut1->OnAudioPlayed = [&](rtl::TComponent* sender, const void* data, int32_t size) {
        played(sender, data, size);
        if (deleted)
            return;
        deleted = true;
        QTimer::singleShot(0, form_.get(), [this] {
            ASSERT_EQ(form_->AudioMode, 2);
            form_->PageControl1->setCurrentWidget(form_->TabSheet2);
            Choose(form_->cbLessions, 0);
            ASSERT_EQ(Items(form_->ListBox1), QStringList{"CAT"});
            ClickItem(0);
            form_->DeleteWord1->trigger();
            EXPECT_EQ(form_->AudioMode, 2); // the greeting plays on
        });
    };
    Show();
    ASSERT_TRUE(PumpUntil([&] { return deleted && form_->AudioMode == 0; }));
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/CAT.wav")));
    EXPECT_TRUE(Items(form_->ListBox1).isEmpty());
    EXPECT_TRUE(Errors().empty());
}

// ---- Failures ------------------------------------------------------------------------------

TEST_F(EditorTest, AMicrophoneThatCannotOpenReportsItAndTheEditorRecordsAgain)
{
    ChooseLesson("Week_3");
    TypeWord("FOX");
    VirtualAudio::instance().failNextOpen(Direction::Input, MMSYSERR_ALLOCATED);
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].rfind("Error opening audio device for input.", 0), 0u) << Errors()[0];
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->ClipWriter);
    EXPECT_FALSE(form_->RecordConvert->Active());
    EXPECT_TRUE(std::filesystem::is_empty(Path("Week_3"))); // neither a clip nor a take
    EXPECT_TRUE(form_->btnRecord->isEnabled());
    EXPECT_FALSE(form_->btnStop->isEnabled());

    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_EQ(form_->AudioMode, 1);
    ASSERT_TRUE(PumpRecorded(22050));
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_TRUE(ReadWaveInfo(ReadFile("Week_3/FOX.wav")).valid);
}

TEST_F(EditorTest, AMicrophoneThatFreezesEndsTheRecordingAsStopDoesWithOneError)
{
    ChooseLesson("Week_3");
    VirtualAudio::instance().setStallTimeout(std::chrono::milliseconds(300));
    const uint32_t heard = 22052 * 2 + 1000; // two whole buffers and a piece of the third
    VirtualAudio::instance().stallAfter(Direction::Input, heard);
    TypeWord("YAK");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_EQ(form_->AudioMode, 1);
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].rfind("Error adding input buffer.", 0), 0u) << Errors()[0];
    EXPECT_FALSE(form_->kaAudioIn1->Active());
    EXPECT_FALSE(form_->RecordConvert->Active());

    // Everything the microphone said before it froze is in the clip.
    const std::string clip = ReadFile("Week_3/YAK.wav");
    const auto info = ReadWaveInfo(clip);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.dataSize, heard);
    EXPECT_EQ(clip.substr(info.dataOffset), ReadFile("voice.wav").substr(44, heard));
    // The page is as Stop leaves it, and records again.
    EXPECT_TRUE(form_->edSpellingword->text().isEmpty());
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"YAK"});
    EXPECT_FALSE(form_->btnStop->isEnabled());
    VirtualAudio::instance().stallAfter(Direction::Input, UINT64_MAX);
    RecordWordByMouse("YAK");
    EXPECT_GE(ReadWaveInfo(ReadFile("Week_3/YAK.wav")).dataSize, 22050u * 4);
    EXPECT_EQ(Errors().size(), 1u);
}

TEST_F(EditorTest, AnOutputThatCannotOpenReportsItAndLeavesNothingOpen)
{
    ChooseLesson("Week_3");
    WriteFile("Week_3/CAT.wav", ToneWave(1, 22050, 11025));
    TypeWord("CAT");
    VirtualAudio::instance().failNextOpen(Direction::Output, MMSYSERR_ALLOCATED);
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].rfind("Error opening audio device for output.", 0), 0u) << Errors()[0];
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->PlayConvert->Active());
    EXPECT_FALSE(form_->ClipReader);
    EXPECT_TRUE(form_->btnPlay->isEnabled());
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
    EXPECT_EQ(PlayedBytes(), 11025u * VirtualAudio::instance().played().back().format.nBlockAlign);
}

// ---- Closing the window ----------------------------------------------------------------------

TEST_F(EditorTest, ClosingTheWindowCompletesARecordingInProgress)
{
    ChooseLesson("Week_3");
    TypeWord("OWL");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_TRUE(PumpRecorded(22050 * 2));
    form_->close();
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->kaAudioIn1->Active());
    const std::string clip = ReadFile("Week_3/OWL.wav");
    const auto info = ReadWaveInfo(clip);
    ASSERT_TRUE(info.valid) << clip.size() << " bytes, riff " << info.riffSize << ", data " << info.dataSize;
    EXPECT_EQ(info.riffSize, clip.size() - 8);
    EXPECT_EQ(info.dataOffset + info.dataSize, clip.size());
}

TEST_F(EditorTest, DestroyingTheWindowCompletesARecordingInProgress)
{
    ChooseLesson("Week_3");
    TypeWord("EMU");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_TRUE(PumpRecorded(22050 * 2));
    form_.reset();
    const auto info = ReadWaveInfo(ReadFile("Week_3/EMU.wav"));
    ASSERT_TRUE(info.valid);
    EXPECT_GE(info.dataSize, 22050u * 2);
}

} // namespace
