// "Add Words" on the editor's word list, driven on the real window: a pasted list with new,
// existing and refused words, clips made in the tutor's voice that play through the engine
// and carry the mark, the list showing them apart until a person records the word.

#include "clips_fixture.h"
#include "take_audio.h"

#include "app/AddWordsDialog.h"
#include "platform/fs/Files.h"
#include "platform/speech/VoiceClipFile.h"
#include "platform/xml/AtomicFile.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <cmath>
#include <filesystem>
#include <functional>

namespace {

using cliptest::ReadWaveInfo;
using cliptest::ToneWave;

class AddWordsTest : public ClipFormTest {
protected:
    void SetUp() override
    {
        ClipFormTest::SetUp();
        ShowEditor();
        ChooseLesson("Week_3");
        WriteFile("Week_3/CAT.wav", ToneWave(2, 44100, 44100 * 3));
        form_->FillWordList();
    }

    // Opens the word list's menu as a right click does; true when "Add Words..." is enabled.
    bool AddWordsEnabled()
    {
        emit form_->ListBox1->customContextMenuRequested(QPoint(5, 5));
        const bool enabled = form_->AddWords1->isEnabled();
        form_->PopupMenu->hide();
        return enabled;
    }

    // Chooses "Add Words..." and runs `act` on the dialog once it is open; a dialog that is
    // still open afterwards is closed.
    void AddWords(const std::function<void(app::AddWordsDialog&)>& act)
    {
        ASSERT_TRUE(AddWordsEnabled());
        bool ran = false;
        QTimer::singleShot(0, form_.get(), [&] {
            auto* dialog = qobject_cast<app::AddWordsDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            ran = true;
            act(*dialog);
            if (dialog->isVisible())
                dialog->done(QDialog::Rejected);
        });
        form_->AddWords1->trigger();
        EXPECT_TRUE(ran);
    }

    static QStringList Rows(const app::AddWordsDialog& dialog)
    {
        QStringList rows;
        for (int i = 0; i < dialog.Preview->topLevelItemCount(); ++i)
            rows << dialog.Preview->topLevelItem(i)->text(0) + ": " +
                        dialog.Preview->topLevelItem(i)->text(1);
        return rows;
    }

    static void Ok(app::AddWordsDialog& dialog) { dialog.Buttons->button(QDialogButtonBox::Ok)->click(); }

    QListWidgetItem* Item(const QString& word) const
    {
        const auto found = form_->ListBox1->findItems(word, Qt::MatchExactly);
        return found.size() == 1 ? found[0] : nullptr;
    }
    bool ShownAsTutorVoice(const QString& word) const
    {
        const QListWidgetItem* item = Item(word);
        return item && item->font().italic() && !item->toolTip().isEmpty();
    }
};

TEST_F(AddWordsTest, NewWordsGetMarkedSpokenClipsExistingAndRefusedOnesAreLeftAlone)
{
    const std::string cat = ReadFile("Week_3/CAT.wav");
    AddWords([&](app::AddWordsDialog& dialog) {
        dialog.WordsBox->setPlainText(" kite , Moon\n\ncat\nKITE\n../x\nsun.\n" +
                                      QString(65, QLatin1Char('a')));
        EXPECT_EQ(Rows(dialog),
                  (QStringList{
                      "KITE: new: a clip will be made",
                      "MOON: new: a clip will be made",
                      "CAT: has a clip already",
                      "KITE: listed twice",
                      "../X: refused: it holds \"/\"",
                      "SUN.: refused: it holds \".\"",
                      QString(65, QLatin1Char('A')) + ": refused: it is longer than 64 characters",
                  }));
        EXPECT_EQ(dialog.Summary->text(), "2 new, 1 with a clip already, 1 listed twice, 3 refused");
        EXPECT_TRUE(std::filesystem::exists(Path("Week_3/CAT.wav")));
        EXPECT_FALSE(std::filesystem::exists(Path("Week_3/KITE.wav"))) << "nothing is written before OK";
        Ok(dialog);
        EXPECT_FALSE(dialog.isVisible()) << "all made: the dialog closes";
    });

    EXPECT_EQ(Items(form_->ListBox1), (QStringList{"CAT", "KITE", "MOON"}));
    EXPECT_EQ(ReadFile("Week_3/CAT.wav"), cat);
    for (const char* word : {"KITE", "MOON"}) {
        const std::string clip = ReadFile(std::string("Week_3/") + word + ".wav");
        const auto info = ReadWaveInfo(clip);
        ASSERT_TRUE(info.valid) << word;
        EXPECT_EQ(info.tag, 1);
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.rate, 44100u);
        EXPECT_EQ(info.bits, 16);
        EXPECT_EQ(info.riffSize, clip.size() - 8);
        EXPECT_GT(info.dataSize, 44100u * 4) << "the word twice takes more than a second";
        EXPECT_TRUE(platform::speech::HasTutorVoiceMark(clip)) << word;
        EXPECT_TRUE(ShownAsTutorVoice(word)) << word;
    }
    EXPECT_FALSE(ShownAsTutorVoice("CAT"));
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/X.wav")));
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Path("Week_3")))
        ++files;
    EXPECT_EQ(files, 3u) << "no temporary file is left";

    // The engine plays the made clip to its end: the sound device gets all of its frames.
    const uint64_t before = PlayedBytes();
    DoubleClickItem(1);
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_TRUE(Errors().empty());
    EXPECT_GE(PlayedBytes() - before, ReadWaveInfo(ReadFile("Week_3/KITE.wav")).dataSize);
}

TEST_F(AddWordsTest, ARecordingOverAMadeWordTakesTheMarkAway)
{
    AddWords([&](app::AddWordsDialog& dialog) {
        dialog.WordsBox->setPlainText("kite");
        Ok(dialog);
    });
    ASSERT_TRUE(ShownAsTutorVoice("KITE"));

    WriteFile("voice.wav", taketest::Audio().Silence(100).Tone(400, 0.25).Wave());
    ASSERT_TRUE(VirtualAudio::instance().setMicrophoneFile(Path("voice.wav")));
    ClickItem(1);
    ASSERT_EQ(form_->edSpellingword->text(), "KITE");
    QTest::mouseClick(form_->btnRecord, Qt::LeftButton);
    ASSERT_TRUE(PumpRecorded(22050 * 4));
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);

    EXPECT_FALSE(platform::speech::IsTutorVoiceClip(Path("Week_3/KITE.wav")));
    ASSERT_NE(Item("KITE"), nullptr);
    EXPECT_FALSE(ShownAsTutorVoice("KITE"));
}

TEST_F(AddWordsTest, AWordTheVoiceCannotSayIsReportedAndTheOthersAreMade)
{
    AddWords([&](app::AddWordsDialog& dialog) {
        dialog.WordsBox->setPlainText("kite\n--\nmoon");
        Ok(dialog);
        ASSERT_TRUE(dialog.isVisible()) << "a failure keeps the dialog open to show it";
        const QStringList rows = Rows(dialog);
        EXPECT_EQ(rows[0], "KITE: clip made");
        EXPECT_TRUE(rows[1].startsWith("--: not made: ")) << rows[1].toStdString();
        EXPECT_EQ(rows[2], "MOON: clip made");
        EXPECT_EQ(dialog.Summary->text(), "2 clips made; 1 words could not be made (see the list).");
        dialog.Buttons->button(QDialogButtonBox::Cancel)->click(); // now "Close"
    });
    EXPECT_EQ(Items(form_->ListBox1), (QStringList{"CAT", "KITE", "MOON"}));
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3/--.wav")));
}

TEST_F(AddWordsTest, ARecordingMadeMeanwhileIsNeverReplacedAndItsWordIsReportedAsExisting)
{
    // Recordings made after the list was read, two of them while the clip is written, once
    // where the file system refuses RENAME_NOREPLACE (as NFS does).
    int writes = 0;
    platform::SetAtomicWriteHook([&](platform::AtomicWriteStage stage) {
        if (stage != platform::AtomicWriteStage::Flushed || ++writes > 2)
            return; // DOG, the third, is then made through the fallback
        platform::SetRenameNoReplaceRefused(writes == 2);
        WriteFile(writes == 1 ? "Week_3/SUN.wav" : "Week_3/STAR.wav", "recorded");
    });
    AddWords([&](app::AddWordsDialog& dialog) {
        dialog.WordsBox->setPlainText("kite, moon, sun, star, dog");
        WriteFile("Week_3/kite.wav", "recorded");
        WriteFile("Week_3/Moon.take 2.wav", "recorded");
        Ok(dialog);
        EXPECT_EQ(Rows(dialog),
                  (QStringList{"KITE: has a clip already", "MOON: has a clip already",
                               "SUN: has a clip already", "STAR: has a clip already", "DOG: clip made"}));
        EXPECT_EQ(dialog.Summary->text(), "1 clips made; 4 words had a clip already (see the list).");
    });
    platform::SetAtomicWriteHook({});
    platform::SetRenameNoReplaceRefused(false);
    for (const char* clip : {"kite.wav", "Moon.take 2.wav", "SUN.wav", "STAR.wav"})
        EXPECT_EQ(ReadFile(std::string("Week_3/") + clip), "recorded") << clip;
    EXPECT_TRUE(platform::speech::IsTutorVoiceClip(Path("Week_3/DOG.wav")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("Week_3")), {}), 6)
        << "no temporary file";
}

TEST_F(AddWordsTest, CancelDuringMakingKeepsWhatIsDoneAndMakesNoMore)
{
    AddWords([&](app::AddWordsDialog& dialog) {
        dialog.WordsBox->setPlainText("kite, moon, sun, star");
        QObject::connect(&dialog, &app::AddWordsDialog::WordMade, &dialog,
                         [&] { dialog.Buttons->button(QDialogButtonBox::Cancel)->click(); });
        Ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.MadeCount(), 1);
    });
    EXPECT_EQ(Items(form_->ListBox1), (QStringList{"CAT", "KITE"}));
    EXPECT_TRUE(ShownAsTutorVoice("KITE"));
}

TEST_F(AddWordsTest, AWordFileIsLoadedIntoTheBoxAndABadOneIsRefusedWithItsReason)
{
    WriteFile("words.txt", "kite\nmoon\n");
    WriteFile("huge.txt", std::string(2 * 1024 * 1024, 'a'));
    WriteFile("picture.txt", std::string("\x89PNG\r\n\x1A\n\0\0", 10));
    AddWords([&](app::AddWordsDialog& dialog) {
        EXPECT_TRUE(dialog.LoadWordFile(Path("words.txt")));
        EXPECT_EQ(dialog.Preview->topLevelItemCount(), 2);
        EXPECT_FALSE(dialog.LoadWordFile(Path("huge.txt")));
        EXPECT_FALSE(dialog.LoadWordFile(Path("picture.txt")));
        EXPECT_EQ(dialog.WordsBox->toPlainText(), "kite\nmoon\n") << "a refused file changes nothing";
        dialog.reject();
    });
    EXPECT_EQ(Errors(),
              (std::vector<std::string>{
                  "The file \"huge.txt\" cannot be used: it is larger than 1 MiB; a list of words is "
                  "much smaller.",
                  "The file \"picture.txt\" cannot be used: it is not plain text (UTF-8).",
              }));
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"CAT"}) << "Cancel writes nothing";
}

TEST_F(AddWordsTest, AddWordsNeedsALessonAndNoClipPlayingAndTheListSaysWhereItIs)
{
    EXPECT_EQ(form_->ListBox1->toolTip(), "Right-click to add or delete words");
    EXPECT_TRUE(AddWordsEnabled());
    ClickItem(0);
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_EQ(form_->AudioMode, 2);
    EXPECT_FALSE(AddWordsEnabled());
    QTest::mouseClick(form_->btnStop, Qt::LeftButton);
    EXPECT_TRUE(AddWordsEnabled());
    DropDown(form_->cbLessions); // the refilled list has no lesson chosen
    EXPECT_FALSE(AddWordsEnabled());
}

} // namespace
