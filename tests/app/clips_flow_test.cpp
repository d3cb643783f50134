// The window's clip operations on the virtual device: the six components as the layout
// makes them, the chunks a clip is fed in, how clips end, the wait's limit, failures, and
// closing the window.

#include "clips_fixture.h"
#include "take_audio.h"

#include "audio/kaACMCalls.h"
#include "audio/kaErrors.h"

#include <QColor>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <fstream>

namespace {

using cliptest::CdWave;
using cliptest::ToneWave;

class ClipFlowTest : public ClipFormTest {
protected:
    void SetUp() override
    {
        ClipFormTest::SetUp();
        Show();
        // The position of the clip's data at each push into the playback convertor.
        form_->PlayConvert->OnAudioConverted = [this](rtl::TComponent*, const void*, int32_t, bool&) {
            if (form_->ClipData)
                positions_.push_back(form_->ClipData->Position());
        };
    }
    std::vector<int64_t> ChunkSizes() const
    {
        std::vector<int64_t> sizes;
        int64_t last = 0;
        for (const int64_t at : positions_) {
            sizes.push_back(at - last);
            last = at;
        }
        return sizes;
    }
    std::vector<int64_t> positions_;
};

// ---- The six components ---------------------------------------------------------------------

void ExpectPcm(const TkaWaveFormat& format, int channels, int rate, int bits, const char* what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(format.FormatTag(), WAVE_FORMAT_PCM);
    EXPECT_EQ(format.Channels(), channels);
    EXPECT_EQ(format.SamplesPerSec(), static_cast<uint32_t>(rate));
    EXPECT_EQ(format.BitsPerSample(), bits);
    EXPECT_EQ(format.BlockAlign(), channels * bits / 8);
    EXPECT_EQ(format.AvgBytesPerSec(), static_cast<uint32_t>(rate * channels * bits / 8));
}

TEST_F(ClipFormTest, TheSixComponentsComeFromTheirStoredLayoutClosedAndWired)
{
    ExpectPcm(*form_->kaAudioIn1->Format(), 2, 44100, 16, "kaAudioIn1.Format");
    ExpectPcm(*form_->kaAudioOut1->Format(), 2, 44100, 16, "kaAudioOut1.Format");
    ExpectPcm(form_->RecordConvert->FormatIn(), 2, 44100, 16, "RecordConvert.FormatIn");
    ExpectPcm(form_->RecordConvert->FormatOut(), 2, 44100, 16, "RecordConvert.FormatOut");
    ExpectPcm(form_->PlayConvert->FormatIn(), 2, 44100, 16, "PlayConvert.FormatIn");
    ExpectPcm(form_->PlayConvert->FormatOut(), 1, 22050, 8, "PlayConvert.FormatOut");

    EXPECT_FALSE(form_->kaAudioIn1->AutoOpen());
    EXPECT_FALSE(form_->kaAudioOut1->AutoOpen());
    EXPECT_EQ(form_->kaAudioIn1->BufferSize(), 22050u);
    EXPECT_EQ(form_->kaAudioOut1->BufferCount(), 4);
    for (bool active : {form_->kaAudioIn1->Active(), form_->kaAudioOut1->Active(),
                        form_->RecordConvert->Active(), form_->PlayConvert->Active()})
        EXPECT_FALSE(active);
    EXPECT_EQ(VirtualAudio::instance().openCount(Direction::Input), 0);
    EXPECT_EQ(VirtualAudio::instance().openCount(Direction::Output), 0);

    EXPECT_EQ(form_->RecordConvert->AudioSource(), form_->kaAudioIn1);
    EXPECT_EQ(form_->kaAudioOut1->AudioSource(), form_->PlayConvert);
    EXPECT_EQ(form_->PlayConvert->AudioSource(), nullptr);
    EXPECT_EQ(form_->kaAudioControlSource->AudioSource(), nullptr);
    EXPECT_TRUE(form_->RecordConvert->OnAudioConverted);
    EXPECT_TRUE(form_->kaAudioOut1->OnAudioPlayed);

    TkaOscilloscope* scope = form_->kaOscilloscope;
    EXPECT_EQ(scope->AudioControlSource(), form_->kaAudioControlSource);
    EXPECT_EQ(scope->parentWidget(), form_->TabSheet2);
    EXPECT_EQ(scope->geometry(), QRect(88, 49, 219, 54));
    EXPECT_EQ(scope->Layout(), olOverlay);
    EXPECT_EQ(scope->NumberOfPoints(), 200);
    EXPECT_EQ(scope->PenLeft().Color, QColor(0, 255, 0));
    EXPECT_EQ(scope->PenRight().Color, QColor(255, 255, 0));
    EXPECT_FALSE(scope->ParentColor());
    EXPECT_FALSE(scope->Transparent());
    EXPECT_EQ(scope->objectName(), "kaOscilloscope");
}

// ---- Chunks -------------------------------------------------------------------------------

TEST_F(ClipFlowTest, AThreeSecondClipIsFedInEighthsFiveAtOnceThenOnePerPlayedBlock)
{
    WriteFile("L/THREE.wav", CdWave(176400 * 3));
    form_->StartPlayback(form_->ExeDir + "L/THREE.wav");
    EXPECT_EQ(form_->AudioMode, 2);
    EXPECT_EQ(form_->ClipData->Position(), 5 * 22050);
    EXPECT_EQ(positions_.size(), 5u);
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
    EXPECT_EQ(ChunkSizes(), std::vector<int64_t>(24, 22050));
    EXPECT_EQ(PlayedBytes(), 176400u * 3);
}

TEST_F(ClipFlowTest, TheLastChunkTakesTheRestOnceFewerThanTwoChunksRemain)
{
    WriteFile("L/ODD.wav", CdWave(176400 * 3 + 10000));
    form_->PlayClipAndWait(form_->ExeDir + "L/ODD.wav");
    std::vector<int64_t> expected(23, 22050);
    expected.push_back(32050);
    EXPECT_EQ(ChunkSizes(), expected);
    EXPECT_EQ(PlayedBytes(), 176400u * 3 + 10000);
}

TEST_F(ClipFlowTest, A50000ByteClipIsOneFullChunkAndTheRestAndStillSounds)
{
    WriteFile("L/SHORT.wav", CdWave(50000));
    form_->StartPlayback(form_->ExeDir + "L/SHORT.wav");
    EXPECT_EQ(ChunkSizes(), (std::vector<int64_t>{22050, 27950}));
    EXPECT_EQ(form_->ClipData->Position(), 50000);
    // Fewer blocks than the output holds back: they are released once the data is exhausted.
    ASSERT_TRUE(PumpUntil([&] { return form_->AudioMode == 0; }));
    EXPECT_EQ(PlayedBytes(), 50000u);
    EXPECT_FALSE(form_->ClipFile);
}

TEST_F(ClipFlowTest, ASecondClipRightAfterTheFirstPlaysFromItsStart)
{
    WriteFile("L/ONE.wav", CdWave(60000));
    WriteFile("L/TWO.wav", ToneWave(2, 44100, 20000, 880));
    form_->PlayClipAndWait(form_->ExeDir + "L/ONE.wav");
    form_->PlayClipAndWait(form_->ExeDir + "L/TWO.wav");
    const auto played = VirtualAudio::instance().played();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_TRUE(played[0].closed);
    EXPECT_EQ(played[0].byteCount, 60000u);
    EXPECT_EQ(played[1].byteCount, 80000u);
    const std::string two = ReadFile("L/TWO.wav");
    EXPECT_EQ(std::string(played[1].bytes.begin(), played[1].bytes.end()), two.substr(44));
    EXPECT_FALSE(form_->PlayConvert->Active());
    EXPECT_FALSE(form_->kaAudioOut1->Active());
}

// ---- How clips end ------------------------------------------------------------------------

TEST_F(ClipFlowTest, AFifthOfASecondEndsByItsPlayedEventsAtRealPace)
{
    VirtualAudio::instance().setSpeed(4);
    WriteFile("Alpha/A.wav", ToneWave(1, 22050, 4410));
    form_->PlayClipAndWait(form_->ExeDir + "Alpha/A.wav");
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_LT(form_->ClipWaitPasses, 600);
    ASSERT_EQ(VirtualAudio::instance().played().size(), 1u);
    EXPECT_EQ(PlayedBytes(), 4410u * VirtualAudio::instance().played()[0].format.nBlockAlign);
    EXPECT_TRUE(VirtualAudio::instance().played()[0].closed);
}

TEST_F(ClipFlowTest, ATwentySecondClipIsCutAtThe601stPass)
{
    VirtualAudio::instance().setSpeed(1);
    form_->ClipWaitPassSleep = std::chrono::milliseconds(0);
    WriteFile("L/LONG.wav", ToneWave(1, 22050, 22050 * 20));
    form_->PlayClipAndWait(form_->ExeDir + "L/LONG.wav");
    EXPECT_EQ(form_->ClipWaitPasses, 601);
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->kaAudioOut1->Active());
    EXPECT_FALSE(form_->ClipReader);
    EXPECT_LT(PlayedBytes(), 22050u * 20 * 2);
    EXPECT_TRUE(form_->btnRecord->isEnabled() || form_->edSpellingword->text().isEmpty());
}

TEST_F(ClipFlowTest, AClipWithNoAudioEndsAtOnce)
{
    WriteFile("L/EMPTY.wav", CdWave(0));
    WriteFile("L/CRUMB.wav", CdWave(2)); // half a frame: the convertor keeps it to the end
    for (const char* clip : {"L/EMPTY.wav", "L/CRUMB.wav"}) {
        SCOPED_TRACE(clip);
        form_->PlayClipAndWait(form_->ExeDir + clip);
        EXPECT_EQ(form_->AudioMode, 0);
        EXPECT_EQ(form_->ClipWaitPasses, 0);
        EXPECT_FALSE(form_->ClipFile);
        EXPECT_FALSE(form_->kaAudioOut1->Active());
    }
}

TEST_F(ClipFlowTest, AHeaderUnderstatingItsRateStillPlaysTheWholeClipInEighths)
{
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    ChooseLesson("L");
    // Bytes per second below 8, and far below what the rate and block size say.
    const uint32_t understated[] = {4, 800};
    for (size_t i = 0; i < std::size(understated); ++i) {
        std::string clip = CdWave(176400);
        std::memcpy(clip.data() + 28, &understated[i], 4);
        WriteFile("L/LIAR" + std::to_string(i) + ".wav", clip);
    }
    form_->FillWordList();
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(understated[row]);
        positions_.clear();
        VirtualAudio::instance().clearPlayed();
        DoubleClickItem(row);
        EXPECT_EQ(form_->AudioMode, 0);
        EXPECT_LT(form_->ClipWaitPasses, 600);
        EXPECT_EQ(PlayedBytes(), 176400u);
        EXPECT_EQ(ChunkSizes(), std::vector<int64_t>(8, 22050));
    }
    EXPECT_TRUE(Errors().empty());

    // A clip whose data stops converting half-way ends at once, with its one error.
    static int convertsLeft = 0;
    convertsLeft = 6; // the five chunks the output starts with, and one more
    const auto convert = ACMCalls().StreamConvert;
    ACMCalls().StreamConvert = [](HACMSTREAM stream, LPACMSTREAMHEADER header, uint32_t flags) {
        return --convertsLeft < 0 ? MMRESULT{ACMERR_NOTPOSSIBLE} : acmStreamConvert(stream, header, flags);
    };
    DoubleClickItem(0);
    ACMCalls().StreamConvert = convert;
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0], "The requested operation cannot be performed.");
    EXPECT_LT(form_->ClipWaitPasses, 600);
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->PlayConvert->Active());
}

TEST_F(ClipFlowTest, AMissingClipIsSkippedWithoutAnyChange)
{
    form_->ClipWaitPasses = 7;
    form_->PlayClipAndWait(form_->ExeDir + "Alpha/nothing.wav");
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_EQ(form_->ClipWaitPasses, 7);
    EXPECT_TRUE(VirtualAudio::instance().played().empty());
}

// ---- Failures ----------------------------------------------------------------------------

TEST_F(ClipFlowTest, AFileThatIsNotAWaveFileRaisesInvalidFileFormatAndLeavesAllIdle)
{
    WriteFile("L/JUNK.wav", std::string(200, '\x5a'));
    form_->SetUiState(2);
    try {
        form_->PlayClipAndWait(form_->ExeDir + "L/JUNK.wav");
        ADD_FAILURE() << "no error";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Invalid file format.");
    }
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->ClipFile);
    EXPECT_FALSE(form_->ClipReader);
    EXPECT_EQ(form_->ClipData, nullptr);
    EXPECT_FALSE(form_->btnStop->isEnabled()); // StopPlayback applied the idle state
    EXPECT_EQ(VirtualAudio::instance().openCount(Direction::Output), 0);
}

TEST_F(ClipFlowTest, AFormatTheCodecServiceCannotPlayRaisesConversionNotPossible)
{
    std::string clip = ToneWave(1, 22050, 1000);
    clip[20] = '\x34'; // format tag 0x1234: no driver knows it
    clip[21] = '\x12';
    WriteFile("L/ODD.wav", clip);
    try {
        form_->StartPlayback(form_->ExeDir + "L/ODD.wav");
        ADD_FAILURE() << "no error";
    } catch (const EACMConversionError& error) {
        // The codec service refuses the suggestion ("The requested operation cannot be
        // performed.") or suggests a format it then cannot convert to ("Conversion not possible.").
        const std::string message = error.what();
        EXPECT_TRUE(message == "Conversion not possible." ||
                    message == "The requested operation cannot be performed.")
            << message;
    }
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->ClipFile);
}

TEST_F(ClipFlowTest, AWelcomeClipThatIsNotAWaveFileIsReportedInTheErrorBox)
{
    form_.reset();
    requests_.clear();
    WriteFile("Alpha/welcome.wav", "RIFF....WAVEjunk");
    form_ = std::make_unique<TForm1>(dir_);
    Show();
    ASSERT_TRUE(PumpUntil([&] { return !Errors().empty(); }));
    EXPECT_EQ(Errors(), std::vector<std::string>{"Invalid file format."});
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_EQ(form_->PageControl1->currentWidget(), form_->TabSheet1);
}

TEST_F(ClipFlowTest, AnOutputLostMidClipEndsItAtOnceWithOneError)
{
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    ChooseLesson("L");
    WriteFile("L/LONG.wav", CdWave(176400 * 4));
    form_->FillWordList();
    form_->ClipWaitPassSleep = std::chrono::milliseconds(25);
    // Gone at once, and frozen until the device gives it up.
    for (const bool freezes : {false, true}) {
        SCOPED_TRACE(freezes ? "frozen" : "vanished");
        requests_.clear();
        VirtualAudio::instance().reset();
        VirtualAudio::instance().setSpeed(1);
        VirtualAudio::instance().setStallTimeout(std::chrono::milliseconds(300));
        if (freezes)
            VirtualAudio::instance().stallAfter(Direction::Output, 40000);
        else
            VirtualAudio::instance().vanishAfter(Direction::Output, 40000);
        DoubleClickItem(0);
        ASSERT_EQ(Errors().size(), 1u);
        EXPECT_EQ(Errors()[0].rfind("Error playing buffer.", 0), 0u) << Errors()[0];
        // About a second (the frozen device's 300 ms and the passes' own lag), not 600 passes.
        EXPECT_LT(form_->ClipWaitPasses, 60);
        EXPECT_EQ(form_->AudioMode, 0);
        EXPECT_FALSE(form_->ClipFile);
        EXPECT_FALSE(form_->kaAudioOut1->Active());
        EXPECT_TRUE(form_->btnPlay->isEnabled());
        EXPECT_FALSE(form_->btnStop->isEnabled());
    }
}

// ---- Start-up and closing -----------------------------------------------------------------

TEST_F(ClipFormTest, TheWelcomeClipPlaysAtStartUpFoundWithoutRegardToCase)
{
    WriteFile("alpha/WELCOME.WAV", ToneWave(1, 22050, 8000));
    Show();
    ASSERT_TRUE(PumpUntil([&] { return !VirtualAudio::instance().played().empty() && form_->AudioMode == 0; }));
    const auto played = VirtualAudio::instance().played();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].byteCount, 8000u * played[0].format.nBlockAlign);
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->btnStop->isEnabled());
}

TEST_F(ClipFlowTest, ClosingTheWindowEndsAWaitAndEveryWaitAfterIt)
{
    VirtualAudio::instance().setSpeed(1);
    WriteFile("L/LONG.wav", ToneWave(1, 22050, 22050 * 20));
    // The window is closed during the wait, once the clip sounds.
    auto played = form_->kaAudioOut1->OnAudioPlayed;
    bool closed = false;
    form_->kaAudioOut1->OnAudioPlayed = [&](rtl::TComponent* sender, const void* data, int32_t size) {
        played(sender, data, size);
        if (!closed) {
            closed = true;
            QTimer::singleShot(0, form_.get(), [this] { form_->close(); });
        }
    };
    form_->PlayClipAndWait(form_->ExeDir + "L/LONG.wav");
    EXPECT_LT(form_->ClipWaitPasses, 600);
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->kaAudioOut1->Active());
    // A spoken sequence going on after the close says nothing more.
    form_->PlayClipAndWait(form_->ExeDir + "L/LONG.wav");
    EXPECT_EQ(VirtualAudio::instance().played().size(), 1u);
}

TEST_F(ClipFlowTest, RecordingSizesTheInputBufferToAnEighthOfASecond)
{
    MakeFolder("L");
    WriteFile("voice.wav", taketest::Audio().Silence(100).Tone(400, 0.5).Wave());
    ASSERT_TRUE(VirtualAudio::instance().setMicrophoneFile(Path("voice.wav")));
    form_->StartRecording(form_->ExeDir + "L/REC.wav");
    EXPECT_EQ(form_->AudioMode, 1);
    EXPECT_TRUE(form_->kaAudioIn1->Active());
    EXPECT_TRUE(form_->RecordConvert->Active());
    EXPECT_GE(form_->kaAudioIn1->BufferSize(), 22050u);
    EXPECT_LE(form_->kaAudioIn1->BufferSize(), 22054u);
    EXPECT_EQ(form_->kaAudioIn1->BufferSize() % 4, 0u);
    ASSERT_TRUE(PumpRecorded(22050 * 4));
    form_->StopRecording();
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->kaAudioIn1->Active());
    EXPECT_FALSE(form_->RecordConvert->Active());
}

TEST_F(ClipFlowTest, AFileThatCannotBeCreatedLeavesRecordingIdle)
{
    try {
        form_->StartRecording(form_->ExeDir + "NoSuchLesson/REC.wav");
        ADD_FAILURE() << "no error";
    } catch (const std::exception&) {
    }
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->RecordConvert->Active());
    EXPECT_FALSE(form_->kaAudioIn1->Active());
    EXPECT_FALSE(form_->ClipWriter);
}

TEST_F(ClipFlowTest, StopOperationsRunInAnyState)
{
    form_->StopPlayback();
    form_->StopRecording();
    form_->StopPlayback();
    EXPECT_EQ(form_->AudioMode, 0);
}

// The whole program: closing the window while the greeting plays ends the program at once
// instead of leaving it running windowless.
void CloseDuringTheGreetingThenRunTheLoop(const std::filesystem::path& dir)
{
    platform::wave::VirtualAudio::instance().reset();
    platform::wave::VirtualAudio::instance().setSpeed(1);
    int code = 0;
    {
        TForm1 form(dir);
        form.ClipWaitPassSleep = std::chrono::milliseconds(1);
        auto played = form.kaAudioOut1->OnAudioPlayed;
        bool closing = false;
        form.kaAudioOut1->OnAudioPlayed = [&](rtl::TComponent* sender, const void* data, int32_t size) {
            played(sender, data, size);
            if (!closing) {
                closing = true;
                QTimer::singleShot(0, &form, [&form] { form.close(); });
            }
        };
        form.show();
        QTimer::singleShot(10000, [] { std::_Exit(3); }); // still running: the fault
        code = QApplication::exec();
    }
    // Straight out, as the program's main returns: no leak report of the shared application.
    std::_Exit(code);
}

TEST(ClipProgramTest, ClosingTheWindowDuringTheGreetingEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir temp;
    const std::filesystem::path dir(temp.path().toStdString());
    std::filesystem::create_directories(dir / "Alpha");
    std::ofstream(dir / "Alpha" / "welcome.wav", std::ios::binary) << ToneWave(1, 22050, 22050 * 20);
    EXPECT_EXIT(CloseDuringTheGreetingThenRunTheLoop(dir), ::testing::ExitedWithCode(0), "");
}

} // namespace
