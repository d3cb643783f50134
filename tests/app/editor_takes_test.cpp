// Recording a word as a parent does, with the virtual microphone saying what each case
// needs: blanks typed around a word, takes that hear nothing, takes trimmed to their
// sound, and the hints on takes too quiet or too loud.

#include "clips_fixture.h"
#include "take_audio.h"

#include "app/TakeFiles.h"
#include "platform/fs/Files.h"

#include <QFontMetrics>
#include <QMenu>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using cliptest::ReadWaveInfo;
using taketest::Audio;

const std::string kNothingHeard =
    "Nothing was heard from the microphone. Check that it is plugged in and not muted, then record again.";
const std::string kNotWritten =
    "The recording could not be saved: the disk is full or is no longer there.\n"
    "The word keeps the recording it had. Make room on the disk or put it back, then record again.";

// While it lives no file of this process grows past `bytes`, as on a full disk: a write
// past it fails instead of stopping the process.
struct FullDisk {
    explicit FullDisk(rlim_t bytes) : signal(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit full{bytes, before.rlim_max};
        setrlimit(RLIMIT_FSIZE, &full);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, signal);
    }
    rlimit before{};
    void (*signal)(int);
};

class EditorTakeTest : public ClipFormTest {
protected:
    void SetUp() override
    {
        ClipFormTest::SetUp();
        ShowEditor();
        ChooseLesson("Week_3");
    }

    // The microphone says this audio, then silence.
    void Say(const Audio& audio)
    {
        WriteFile("voice.wav", audio.Wave());
        ASSERT_TRUE(VirtualAudio::instance().setMicrophoneFile(Path("voice.wav")));
    }

    // Record (clicked), `ms` of the microphone, Stop (clicked).
    void RecordFor(const QString& word, int ms)
    {
        TypeWord(word);
        QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
        ASSERT_EQ(form_->AudioMode, 1);
        ASSERT_TRUE(PumpRecorded(Audio::Frames(ms) * 4ull));
        QTest::mouseClick(form_->btnStop, Qt::LeftButton);
        ASSERT_EQ(form_->AudioMode, 0);
    }

    // Every name in the lesson folder.
    std::vector<std::string> LessonFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Path("Week_3")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    QString Hint() const { return form_->lblTakeHint->text(); }

    // A right click on `control` opens `menu`; true when `item` is enabled in it.
    static bool Offered(QWidget* control, QMenu* menu, QAction* item)
    {
        emit control->customContextMenuRequested(QPoint(5, 5));
        menu->hide();
        return item->isEnabled();
    }
};

// Only Stop tells that nothing was heard: another action stops a take quietly, and no word
// or lesson is deleted under a take.
TEST_F(EditorTakeTest, StoppingASilentTakeForAnotherActionIsNoError)
{
    WriteFile("Week_3/CAT.wav", Audio().Tone(300, 0.3).Wave());
    WriteFile("Children/Sam.xml", "<CHILD name=\"Sam\"/>");
    form_->FillWordList();
    VirtualAudio::instance().setMicrophoneSilence();
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "Stop" : "a test started");
        ClickItem(0);
        QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
        ASSERT_TRUE(PumpRecorded(Audio::Frames(200) * 4ull));
        EXPECT_FALSE(Offered(form_->ListBox1, form_->PopupMenu, form_->DeleteWord1));
        EXPECT_FALSE(Offered(form_->cbLessions, form_->LessonMenu, form_->DeleteLesson1));
        form_->DeleteWord1Click(form_->DeleteWord1); // a call anyway
        form_->DeleteLesson1Click(form_->DeleteLesson1);
        EXPECT_EQ(form_->AudioMode, 1);
        if (stop) {
            QTest::mouseClick(form_->btnStop, Qt::LeftButton);
            continue;
        }
        form_->PageControl1->setCurrentWidget(form_->TabSheet1);
        for (QComboBox* list : {form_->ComboBox2, form_->ComboBox3}) {
            DropDown(list);
            Choose(list, 0);
        }
        QTest::mouseClick(form_->btnStartTest, Qt::LeftButton);
        ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
        EXPECT_EQ(VirtualAudio::instance().played().size(), 1u); // the word was asked
    }
    EXPECT_EQ(Errors(), std::vector<std::string>{kNothingHeard});
    EXPECT_TRUE(BoxTexts(platform::DialogKind::Confirmation).empty());
    EXPECT_EQ(LessonFiles(), std::vector<std::string>{"CAT.wav"});
    EXPECT_FALSE(form_->btnStop->isEnabled());
    EXPECT_TRUE(Offered(form_->cbLessions, form_->LessonMenu, form_->DeleteLesson1));
}

// A disk that fills during a take: the first failed write ends it, once, and the clip stays.
TEST_F(EditorTakeTest, AFailedWriteEndsTheTakeOnceAndKeepsTheClip)
{
    const std::string old = Audio().Tone(300, 0.3).Wave();
    WriteFile("Week_3/CAT.wav", old);
    VirtualAudio::instance().setSpeed(2);
    Say(Audio().Silence(100).Tone(300, 0.3).Silence(3000));
    TypeWord("CAT");
    {
        const FullDisk full(100000); // half a second of the take
        QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
        ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
        PumpUntil([] { return false; }, 50);
    }
    EXPECT_EQ(Errors(), std::vector<std::string>{kNotWritten});
    EXPECT_EQ(ReadFile("Week_3/CAT.wav"), old);
    EXPECT_EQ(LessonFiles(), std::vector<std::string>{"CAT.wav"});
    EXPECT_FALSE(form_->kaAudioIn1->Active());
    EXPECT_EQ(form_->kaAudioIn1->Pool().AllocationCount(), 0u);
    EXPECT_FALSE(form_->btnStop->isEnabled());
    // With room again, the word in the box records as ever.
    RecordFor(form_->edSpellingword->text(), 400);
    EXPECT_NE(ReadFile("Week_3/CAT.wav"), old);
}

TEST_F(EditorTakeTest, BlanksTypedAroundAWordAreNoPartOfItsClip)
{
    Say(Audio().Silence(100).Tone(400, 0.3));
    // Clicking Record: upper-cased and trimmed.
    RecordFor("dog ", 300);
    EXPECT_EQ(LessonFiles(), std::vector<std::string>{"DOG.wav"});
    // Enter: trimmed, as typed.
    TypeWord("  cat ");
    QTest::keyClick(form_->edSpellingword, Qt::Key_Return);
    ASSERT_EQ(form_->AudioMode, 1);
    ASSERT_TRUE(PumpRecorded(Audio::Frames(300) * 4ull));
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_EQ(LessonFiles(), (std::vector<std::string>{"DOG.wav", "cat.wav"}));
    EXPECT_EQ(Items(form_->ListBox1), (QStringList{"cat", "DOG"}));
    // Blanks alone are no word.
    TypeWord("   ");
    EXPECT_FALSE(form_->btnRecord->isEnabled());
    QTest::keyClick(form_->edSpellingword, Qt::Key_Return);
    EXPECT_EQ(form_->AudioMode, 0);
    // Leaving the box trims it as it upper-cases it; a blank inside stays.
    TypeWord(" ice cream ");
    QTest::keyClick(form_->edSpellingword, Qt::Key_Tab);
    EXPECT_EQ(form_->edSpellingword->text(), "ICE CREAM");
    EXPECT_TRUE(Errors().empty());
}

TEST_F(EditorTakeTest, ATakeThatHearsNothingKeepsTheOldClipAndSaysSo)
{
    const std::string old = Audio().Tone(300, 0.3).Wave();
    WriteFile("Week_3/CAT.wav", old);
    form_->FillWordList();
    // No audio at all: Stop right after Record.
    TypeWord("CAT");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    // A silent microphone, and one whose sound stays under the noise floor.
    VirtualAudio::instance().setMicrophoneSilence();
    RecordFor("CAT", 300);
    VirtualAudio::instance().setMicrophoneTone(440, 0.005); // -46 dBFS
    RecordFor("CAT", 300);
    // The clicks of Record and Stop, alone and in steady hiss of any level (half a second of
    // the four said is recorded at twice the real pace).
    VirtualAudio::instance().setSpeed(2);
    for (const double hiss : {0.0, 0.01, 0.0316, 0.126}) {
        Say(Audio().Hiss(hiss).Tone(20, 0.9, 2000).Silence(400).Tone(15, 0.9, 2000).Silence(3565));
        RecordFor("CAT", 400);
    }
    VirtualAudio::instance().setSpeed(0);
    EXPECT_EQ(Errors(), std::vector<std::string>(7, kNothingHeard));
    EXPECT_EQ(ReadFile("Week_3/CAT.wav"), old);
    EXPECT_EQ(LessonFiles(), std::vector<std::string>{"CAT.wav"}); // no take left behind
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"CAT"});
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->btnStop->isEnabled());

    // A silent microphone that freezes: its error is the one box.
    VirtualAudio::instance().setStallTimeout(std::chrono::milliseconds(300));
    VirtualAudio::instance().stallAfter(Direction::Input, 22052 * 2);
    TypeWord("CAT");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
    ASSERT_EQ(Errors().size(), 8u);
    EXPECT_EQ(Errors()[7].rfind("Error adding input buffer.", 0), 0u) << Errors()[7];
    EXPECT_EQ(ReadFile("Week_3/CAT.wav"), old);
    EXPECT_EQ(LessonFiles(), std::vector<std::string>{"CAT.wav"});
    VirtualAudio::instance().stallAfter(Direction::Input, UINT64_MAX);

    // Closing the window in the middle of a silent take: the take ends as Stop ends it,
    // without a box after the window has gone.
    VirtualAudio::instance().setMicrophoneSilence();
    TypeWord("CAT");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_TRUE(PumpRecorded(Audio::Frames(200) * 4ull));
    form_->close();
    EXPECT_EQ(Errors().size(), 8u);
    EXPECT_EQ(ReadFile("Week_3/CAT.wav"), old);
    EXPECT_EQ(LessonFiles(), std::vector<std::string>{"CAT.wav"});
}

TEST_F(EditorTakeTest, ATakeGoesToAHiddenFileAndReplacesTheClipOfAnyCaseAtStop)
{
    const std::string old = Audio().Tone(300, 0.3).Wave();
    WriteFile("Week_3/dog.wav", old);
    Say(Audio().Tone(500, 0.3, 440));
    TypeWord("DOG");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_TRUE(PumpRecorded(Audio::Frames(300) * 4ull));
    // While recording the clip is untouched, and the take is listed nowhere.
    EXPECT_EQ(ReadFile("Week_3/dog.wav"), old);
    const auto files = LessonFiles();
    ASSERT_EQ(files.size(), 2u);
    const std::string take = files[0] == "dog.wav" ? files[1] : files[0];
    EXPECT_EQ(take[0], '.');
    std::string lower = take;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    EXPECT_FALSE(lower.ends_with(".wav")) << take;
    form_->FillWordList();
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"dog"});

    ASSERT_TRUE(PumpRecorded(Audio::Frames(300) * 4ull));
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_EQ(LessonFiles(), std::vector<std::string>{"dog.wav"});
    const std::string clip = ReadFile("Week_3/dog.wav");
    const auto info = ReadWaveInfo(clip);
    ASSERT_TRUE(info.valid);
    EXPECT_NE(clip, old);
    const std::string voice = ReadFile("voice.wav");
    EXPECT_EQ(clip.substr(info.dataOffset, 4 * Audio::Frames(500)), voice.substr(44, 4 * Audio::Frames(500)));
}

TEST_F(EditorTakeTest, RecordRemovesTakesLeftBehindMoreThanTenMinutesAgo)
{
    const auto now = std::filesystem::file_time_type::clock::now();
    const std::filesystem::path stale = NewTakePath(Path("Week_3"));
    WriteFile("Week_3/" + stale.filename().string(), "RIFF");
    std::filesystem::last_write_time(stale, now - std::chrono::minutes(11));
    const std::filesystem::path recent = NewTakePath(Path("Week_3"));
    WriteFile("Week_3/" + recent.filename().string(), "RIFF");
    std::filesystem::last_write_time(recent, now - std::chrono::minutes(9));
    WriteFile("Week_3/notes.txt", "mine");
    std::filesystem::last_write_time(Path("Week_3/notes.txt"), now - std::chrono::hours(24));

    Say(Audio().Silence(100).Tone(300, 0.3));
    RecordFor("CAT", 300);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(recent));
    EXPECT_TRUE(std::filesystem::exists(Path("Week_3/notes.txt")));
    EXPECT_TRUE(ReadWaveInfo(ReadFile("Week_3/CAT.wav")).valid);
}

TEST_F(EditorTakeTest, SilenceAroundTheWordIsTrimmedToAQuarterSecondClicksIncluded)
{
    // The click of Record, a pause, the word, a pause, the click of Stop.
    Audio said;
    said.Hiss(0.0005).Silence(200).Tone(20, 0.8, 2000).Silence(580);
    const std::uint64_t word = said.FramesSoFar();
    said.Tone(600, 0.3).Silence(300).Tone(20, 0.8, 2000).Silence(200);
    Say(said);
    RecordFor("CAT", 1950);

    const std::string clip = ReadFile("Week_3/CAT.wav");
    const auto info = ReadWaveInfo(clip);
    ASSERT_TRUE(info.valid);
    const double seconds = info.dataSize / 4.0 / 44100;
    EXPECT_NEAR(seconds, 0.25 + 0.6 + 0.25, 0.01);
    // The clip is the microphone's audio from a quarter second before the word on.
    const std::string voice = ReadFile("voice.wav").substr(44);
    const auto at = voice.find(clip.substr(info.dataOffset, 4000));
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(static_cast<double>(at / 4), static_cast<double>(word - Audio::Frames(250)), 441);
    EXPECT_EQ(voice.compare(at, info.dataSize, clip, info.dataOffset, info.dataSize), 0);
    EXPECT_TRUE(Hint().isEmpty());
}

TEST_F(EditorTakeTest, QuietAndClippedTakesAreKeptWithAHintUntilTheWordOrLessonChanges)
{
    const int strip = form_->lblTakeHint->width();
    auto expectHint = [&](const char* text) {
        EXPECT_EQ(Hint().toStdString(), text);
        EXPECT_TRUE(form_->lblTakeHint->isVisible());
        EXPECT_LE(QFontMetrics(form_->lblTakeHint->font()).horizontalAdvance(Hint()), strip);
    };

    Say(Audio().Silence(100).Tone(500, 0.025)); // -32 dBFS
    RecordFor("CAT", 400);
    expectHint("Very quiet: next time, speak closer to the microphone.");
    EXPECT_TRUE(ReadWaveInfo(ReadFile("Week_3/CAT.wav")).valid);
    TypeWord("D"); // another word
    EXPECT_TRUE(Hint().isEmpty());

    Say(Audio().Silence(100).Overdriven(500, 1.5));
    RecordFor("DOG", 400);
    expectHint("Too loud: next time, speak a little softer.");
    ClickItem(1); // DOG: picking a word changes the box
    EXPECT_TRUE(Hint().isEmpty());

    // Cleared by another lesson.
    RecordFor("DOG", 400);
    ASSERT_FALSE(Hint().isEmpty());
    ChooseLesson("Week_4");
    EXPECT_TRUE(Hint().isEmpty());

    // A clear take leaves no hint.
    Say(Audio().Silence(100).Tone(500, 0.3));
    RecordFor("SUN", 400);
    EXPECT_TRUE(Hint().isEmpty());
    EXPECT_TRUE(Errors().empty());
}

// The tutor stops dead in the middle of a take, once the take holds audio.
void CrashMidTake(const std::filesystem::path& dir)
{
    platform::wave::VirtualAudio::instance().reset();
    platform::wave::VirtualAudio::instance().setSpeed(0);
    platform::wave::VirtualAudio::instance().setMicrophoneTone(440, 0.3);
    TForm1 form(dir);
    form.StartRecording(form.ExeDir + "Week_3/CAT.wav");
    for (;;) {
        QCoreApplication::processEvents();
        for (const auto& entry : std::filesystem::directory_iterator(dir / "Week_3"))
            if (entry.path().filename().string()[0] == '.' && entry.file_size() > 44100)
                std::_Exit(0);
    }
}

TEST(TakeCrashTest, ATakeCutOffByACrashLeavesTheClipAsItWas)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The crashing process runs this test again from its start: it finds the folder in
    // its environment.
    QTemporaryDir temp;
    const char* given = std::getenv("LEXORIN_TAKE_CRASH_DIR");
    const std::filesystem::path dir(given ? given : temp.path().toStdString());
    const std::string old = Audio().Tone(300, 0.3).Wave();
    if (!given) {
        std::filesystem::create_directories(dir / "Week_3");
        std::ofstream(dir / "Week_3" / "CAT.wav", std::ios::binary) << old;
        setenv("LEXORIN_TAKE_CRASH_DIR", dir.c_str(), 1);
    }
    EXPECT_EXIT(CrashMidTake(dir), ::testing::ExitedWithCode(0), "");
    unsetenv("LEXORIN_TAKE_CRASH_DIR");

    std::ifstream in(dir / "Week_3" / "CAT.wav", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), old);
    const auto words = platform::ListFolder(dir / "Week_3", "*.wav");
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].name, "CAT.wav");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "Week_3"), {}), 2); // and the take
}

} // namespace
