// The spelling test on the real window: a child chooses a lesson and a player, starts
// the test, hears each word, types answers and presses Enter.

#include "test_child_fixture.h"

#include "app/progress/AttemptHistory.h"

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>

namespace {

using platform::DialogKind;

class SpellingTest : public ChildTest {
protected:
    // Answers every drawn word right until the run ends; returns the words asked.
    std::vector<std::string> AnswerAllRight(int limit = 50)
    {
        std::vector<std::string> asked;
        while (form_->RunMode == 2 && limit-- > 0) {
            const auto heard = Heard();
            EXPECT_FALSE(heard.empty());
            if (!heard.empty()) {
                EXPECT_EQ(heard.back(), "word:" + Current()); // the child heard the word
            }
            asked.push_back(Current());
            Answer(QString::fromStdString(Current()));
        }
        return asked;
    }
};

TEST_F(SpellingTest, NewPlayerOnThreeWordsFinishesAfterSixRightAnswersEachWordTwice)
{
    MakeLesson("Week", {"CAT", "DOG", "SUN"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    ASSERT_EQ(form_->RunMode, 2);
    EXPECT_EQ(Page(), form_->TabSheet3);
    EXPECT_EQ(form_->DrawCeiling, 2);
    EXPECT_FALSE(form_->LastDraw);

    const auto asked = AnswerAllRight();
    ASSERT_EQ(asked.size(), 6u);
    for (const char* word : {"CAT", "DOG", "SUN"})
        EXPECT_EQ(std::count(asked.begin(), asked.end(), word), 2) << word;
    EXPECT_TRUE(form_->LastDraw);
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
    const auto tail = Heard();
    ASSERT_EQ(tail.size(), 2u);
    EXPECT_EQ(tail[0], "Correct");
    EXPECT_EQ(tail[1], "LESSON");

    const std::string record = ReadFile("Children/Ann.xml");
    for (const char* word : {"CAT", "DOG", "SUN"})
        EXPECT_NE(record.find(std::string("<") + word + " word=\"" + word + "\" trys=\"2\" correct=\"2\"/>"),
                  std::string::npos)
            << record;
    EXPECT_NE(record.find("<Week>"), std::string::npos);
}

TEST_F(SpellingTest, StoredCounts013AskOnlyTheFirstTwoWordsAndEndAfterThreeRightAnswers)
{
    MakeLesson("Week", {"CAT", "DOG", "SUN"});
    WritePlayer("Ann",
                "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"0\" correct=\"0\"/>"
                "<DOG word=\"DOG\" trys=\"1\" correct=\"1\"/><SUN word=\"SUN\" trys=\"3\" correct=\"3\"/>"
                "</Week></CHILD>");
    StartTest();
    EXPECT_EQ(form_->DrawCeiling, 2);
    const auto asked = AnswerAllRight();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "CAT"), 2);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "DOG"), 1);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "SUN"), 0);
    EXPECT_EQ(form_->RunMode, 0);
}

TEST_F(SpellingTest, StoredCounts11EndAfterTwoRightAnswers)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"3\" correct=\"1\"/>"
                       "<DOG word=\"DOG\" trys=\"1\" correct=\"1\"/></Week></CHILD>");
    StartTest();
    EXPECT_EQ(form_->DrawCeiling, 2);
    EXPECT_FALSE(form_->LastDraw);
    const std::string first = Current();
    Answer(QString::fromStdString(first));
    EXPECT_TRUE(form_->LastDraw);
    EXPECT_NE(Current(), first);
    EXPECT_EQ(form_->RunMode, 2);
    Answer(QString::fromStdString(Current()));
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
}

TEST_F(SpellingTest, SingleWordWithAnOddCountEndsAtTheFirstRightAnswer)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann",
                "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"4\" correct=\"3\"/></Week></CHILD>");
    StartTest();
    EXPECT_EQ(form_->DrawCeiling, 4);
    EXPECT_TRUE(form_->LastDraw);
    Answer("cat");
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_NE(ReadFile("Children/Ann.xml").find("trys=\"5\" correct=\"4\""), std::string::npos);
}

TEST_F(SpellingTest, BlanksAroundTheAnswerOrTheWordDoNotCountButBlanksInsideDo)
{
    // A clip recorded with a trailing blank before words were trimmed keeps its name.
    MakeLesson("Week", {"DOG "});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    ASSERT_EQ(Current(), "DOG ");
    Answer("D OG");
    EXPECT_EQ(form_->RunMode, 3);
    EXPECT_EQ(form_->CurrentWord->Correct, 0);
    DrillAndReturn();
    ASSERT_EQ(form_->RunMode, 2);
    Answer(" dog\t");
    ASSERT_EQ(form_->RunMode, 2);
    EXPECT_EQ(form_->Words[0]->Correct, 1);
    Answer("dog");
    EXPECT_EQ(form_->RunMode, 0); // the second right answer ends the run
    EXPECT_EQ(form_->Words[0]->Trys, 3);
    EXPECT_EQ(form_->TotalCorrect, 2);
    EXPECT_NE(ReadFile("Children/Ann.xml").find("trys=\"3\" correct=\"2\""), std::string::npos);
}

TEST_F(SpellingTest, WrongAnswerRaisesOnlyTheTriesAndShowsAfterReturnToTest)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    EXPECT_EQ(form_->lblNumberTied->text(), "Number tried:0");
    const std::string word = Current();
    Answer("XYZ");
    EXPECT_EQ(form_->RunMode, 3);
    EXPECT_TRUE(form_->PracticeFromTest);
    EXPECT_EQ(form_->lblPracticeWord->text().toStdString(), word);
    EXPECT_TRUE(form_->edWord1->hasFocus()); // where the child types next
    EXPECT_TRUE(form_->edWord1->isEnabled());
    EXPECT_TRUE(form_->Edit2->text().isEmpty());
    EXPECT_EQ(form_->TotalTried, 1);
    EXPECT_EQ(form_->TotalCorrect, 0);
    // Not shown until the next draw.
    EXPECT_EQ(form_->lblNumberTied->text(), "Number tried:0");
    EXPECT_NE(
        ReadFile("Children/Ann.xml").find("<" + word + " word=\"" + word + "\" trys=\"1\" correct=\"0\"/>"),
        std::string::npos);
    DrillAndReturn();
    EXPECT_EQ(form_->RunMode, 2);
    EXPECT_EQ(Page(), form_->TabSheet3);
    EXPECT_EQ(form_->lblNumberTied->text(), "Number tried:1");
    EXPECT_EQ(form_->lblcorrect->text(), "Number correct:0");
    EXPECT_EQ(form_->lblwrong->text(), "Number wrong:1");
    EXPECT_TRUE(form_->Edit2->hasFocus());
}

TEST_F(SpellingTest, StoredSumsShowInTheTalliesOfTheFirstDraw)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"6\" correct=\"4\"/>"
                       "<DOG word=\"DOG\" trys=\"4\" correct=\"3\"/></Week></CHILD>");
    StartTest();
    EXPECT_EQ(form_->lblNumberTied->text(), "Number tried:10");
    EXPECT_EQ(form_->lblcorrect->text(), "Number correct:7");
    EXPECT_EQ(form_->lblwrong->text(), "Number wrong:3");
}

TEST_F(SpellingTest, SayItAgainAndPracticeWordChangeNoCountAndSaveNothing)
{
    MakeLesson("Week", {"CAT", "DOG"});
    const std::string xml =
        "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"2\" correct=\"1\"/></Week></CHILD>";
    WritePlayer("Ann", xml);
    StartTest();
    const std::string word = Current();
    Heard();
    QTest::mouseClick(form_->btnSay, Qt::LeftButton);
    EXPECT_EQ(Heard(), std::vector<std::string>{"word:" + word});
    QTest::mouseClick(form_->btnPractice, Qt::LeftButton);
    EXPECT_EQ(form_->RunMode, 3);
    EXPECT_EQ(Page(), form_->T4abSheet);
    EXPECT_TRUE(form_->btnReturnToTest->isVisibleTo(form_->T4abSheet));
    EXPECT_FALSE(form_->btnForward->isVisibleTo(form_->T4abSheet));
    EXPECT_EQ(Heard(), std::vector<std::string>{"word:" + word});
    EXPECT_EQ(form_->TotalTried, 2);
    EXPECT_EQ(form_->TotalCorrect, 1);
    for (const auto& record : form_->Words)
        EXPECT_EQ(record->Trys, record->Word == "CAT" ? 2 : 0);
    EXPECT_EQ(ReadFile("Children/Ann.xml"), xml);
}

TEST_F(SpellingTest, EachEnterJudgesExactlyOnceReturnAndKeypadAlike)
{
    MakeLesson("Week", {"CAT", "DOG", "SUN"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    Answer(QString::fromStdString(Current()), Qt::Key_Enter);
    EXPECT_EQ(form_->TotalTried, 1);
    EXPECT_EQ(form_->TotalCorrect, 1);
    EXPECT_TRUE(form_->Edit2->hasFocus());
    EXPECT_TRUE(form_->Edit2->text().isEmpty());
    Answer(QString::fromStdString(Current()), Qt::Key_Return);
    EXPECT_EQ(form_->TotalTried, 2);
    EXPECT_EQ(form_->TotalCorrect, 2);
    // Enter again on an empty box is one more (wrong) judgement.
    QTest::keyClick(form_->Edit2, Qt::Key_Enter);
    EXPECT_EQ(form_->TotalTried, 3);
    EXPECT_EQ(form_->TotalCorrect, 2);
}

TEST_F(SpellingTest, EnterPressedDuringTheFeedbackStartsNoSecondJudgement)
{
    MakeLesson("Week", {"CAT", "DOG", "SUN"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    // The praise plays in real time (about 45 ms), so the presses surely fall within it even
    // on a busy machine; at full speed it could end before the first press.
    platform::wave::VirtualAudio::instance().setSpeed(1.0);
    // Presses queued while the praise plays reach a box that is locked and detached.
    QTimer presser;
    int presses = 0;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (form_->AudioMode == 2 && presses < 5) {
            ++presses;
            QTest::keyClick(form_->Edit2, Qt::Key_Enter);
            QTest::mouseClick(form_->btnCheckIt, Qt::LeftButton);
        }
    });
    presser.start(0);
    Answer(QString::fromStdString(Current()));
    presser.stop();
    EXPECT_GT(presses, 0);
    EXPECT_EQ(form_->TotalTried, 1);
    EXPECT_EQ(form_->TotalCorrect, 1);
}

TEST_F(SpellingTest, StartingAgainBeginsFromTheStoredCounts)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    Answer(QString::fromStdString(Current()));
    Answer("nothing like it");
    QTest::mouseClick(form_->ExitPractice, Qt::LeftButton);
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
    QTest::mouseClick(form_->btnStartTest, Qt::LeftButton);
    EXPECT_EQ(form_->RunMode, 2);
    EXPECT_EQ(form_->lblNumberTied->text(), "Number tried:2");
    EXPECT_EQ(form_->lblcorrect->text(), "Number correct:1");
    EXPECT_EQ(form_->DrawCeiling, 2);
}

TEST_F(SpellingTest, TheRightAnswerPausesARealSecondOnTheDesktop)
{
    form_->RightAnswerPause = std::chrono::milliseconds(1000); // the desktop's pause
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann",
                "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"1\" correct=\"1\"/></Week></CHILD>");
    StartTest();
    const auto before = std::chrono::steady_clock::now();
    Answer("CAT");
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1000));
    EXPECT_EQ(form_->RunMode, 0);
}

TEST_F(SpellingTest, TheSeedDecidesTheDraws)
{
    MakeLesson("Week", {"A1", "B1", "C1", "D1"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    std::vector<std::string> first;
    for (int i = 0; i < 4; ++i) {
        first.push_back(Current());
        Answer(QString::fromStdString(Current()));
    }
    // The same seed on the same counts draws the same words: start over from a fresh record.
    QTest::mouseClick(form_->JvXPToolButton, Qt::LeftButton);
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    QTest::mouseClick(form_->btnStartTest, Qt::LeftButton);
    std::vector<std::string> second;
    for (int i = 0; i < 4; ++i) {
        second.push_back(Current());
        Answer(QString::fromStdString(Current()));
    }
    EXPECT_EQ(first, second);
    // The generator's own steps.
    form_->RandSeed = 0;
    EXPECT_EQ(form_->RandomPosition(8), 0u); // seed 1
    EXPECT_EQ(form_->RandSeed, 1u);
    EXPECT_EQ(form_->RandomPosition(1u << 31), 134775814u >> 1);
    EXPECT_EQ(form_->RandSeed, 134775814u);
}

// The draw walks (ceiling - correct) entries per word in list order; words at or above the
// ceiling have none. Worked out by hand from the generator, seed := seed * 134775813 + 1
// (mod 2^32), then position := seed * n div 2^32, one step per draw:
//
//  Draw1: CAT DOG SUN, a new player (ceiling 2), seed 1.
//    n  entries CAT DOG SUN  seed        position  word
//    6  2 2 2                134775814   0         CAT
//    5  1 2 2                3698175007  4         SUN  (0 CAT, 1-2 DOG, 3-4 SUN)
//    4  1 2 1                870078620   0         CAT
//    3  0 2 1                1172187917  0         DOG  (CAT has no entry left)
//    2  0 1 1                2884733762  1         SUN
//    1  0 1 0                1368768587  0         DOG  (a one-entry draw: its right answer ends the run)
//  Draw2: ANT BEE COW DOG, correct 0 1 0 3 (ceiling 2: DOG is never asked), seed 13.
//    5  2 1 2 0              1752085570  2         BEE  (the first entry after ANT's two)
//    4  2 0 2 0              3509292363  3         COW  (BEE has none left: 0-1 ANT, 2-3 COW)
//    3  2 0 1 0              1292660344  0         ANT
//    2  1 0 1 0              502532185   0         ANT
//    1  0 0 1 0              1960447422  0         COW
//  Draw3: CAT DOG SUN, correct 0 1 3 (ceiling 2), seed 7.
//    3  2 1 0                943430692   0         CAT
//    2  1 1 0                3603733685  1         DOG  (the first entry after CAT's one)
//    1  1 0 0                1081369482  0         CAT
// A walk off by one entry, or one that counted a word at the ceiling, draws other words.
TEST_F(SpellingTest, TheWeightedDrawIsPinnedBySeedCountsAndListOrder)
{
    struct Row {
        const char* lesson;
        std::uint32_t seed;
        std::vector<std::string> words; // in list order
        std::string storedCounts;       // the lesson element's content in the record
        std::vector<std::string> drawn;
    };
    const Row rows[] = {
        {"Draw1", 1, {"CAT", "DOG", "SUN"}, "", {"CAT", "SUN", "CAT", "DOG", "SUN", "DOG"}},
        {"Draw2",
         13,
         {"ANT", "BEE", "COW", "DOG"},
         R"(<BEE word="BEE" trys="2" correct="1"/><DOG word="DOG" trys="3" correct="3"/>)",
         {"BEE", "COW", "ANT", "ANT", "COW"}},
        {"Draw3",
         7,
         {"CAT", "DOG", "SUN"},
         R"(<DOG word="DOG" trys="1" correct="1"/><SUN word="SUN" trys="3" correct="3"/>)",
         {"CAT", "DOG", "CAT"}},
        // The seed of the child fixture.
        {"Draw4",
         20261208,
         {"CAT", "DOG", "FISH", "SUN"},
         R"(<DOG word="DOG" trys="1" correct="1"/><FISH word="FISH" trys="2" correct="2"/>)",
         {"DOG", "SUN", "SUN", "CAT", "CAT"}},
    };
    for (const Row& row : rows)
        MakeLesson(row.lesson, row.words);
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    Show();
    for (int i = 0; i < 4; ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.lesson);
        WritePlayer("Ann", std::string("<CHILD name=\"Ann\"><") + row.lesson + ">" + row.storedCounts + "</" +
                               row.lesson + "></CHILD>");
        form_->FixedRandomSeed = row.seed;
        Choose(form_->ComboBox2, i);
        ASSERT_EQ(form_->ComboBox2->currentText().toStdString(), row.lesson);
        Choose(form_->ComboBox3, 0);
        QTest::mouseClick(form_->btnStartTest, Qt::LeftButton);
        EXPECT_EQ(AnswerAllRight(), row.drawn);
        EXPECT_EQ(form_->RunMode, 0);
    }
}

// ---- Bad input -----------------------------------------------------------------------

TEST_F(SpellingTest, ALessonWithoutWordsStartsNoTest)
{
    MakeLesson("Week", {});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    EXPECT_EQ(BoxTexts(DialogKind::Information),
              std::vector<std::string>{"This lesson has no words to ask yet."});
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
    EXPECT_TRUE(Heard().empty());
}

TEST_F(SpellingTest, ALessonWhoseWordsAreAllDoneStartsNoTest)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer(
        "Ann", "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"3000\" correct=\"2002\"/></Week></CHILD>");
    StartTest();
    EXPECT_EQ(BoxTexts(DialogKind::Information),
              std::vector<std::string>{"This lesson has no words to ask yet."});
    EXPECT_EQ(form_->RunMode, 0);
}

TEST_F(SpellingTest, ARecordThatFailsToLoadStartsNoRun)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"><Week>");
    StartTest();
    EXPECT_EQ(BoxTexts(DialogKind::Error).size(), 1u);
    EXPECT_EQ(form_->CurrentWord, nullptr);
    EXPECT_TRUE(Heard().empty());
    Answer("CAT"); // nothing to judge
    EXPECT_EQ(form_->TotalTried, 0);
    QTest::mouseClick(form_->JvXPToolButton, Qt::LeftButton);
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
}

TEST_F(SpellingTest, ASaveThatFailsShowsItsErrorAndKeepsTheCounts)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    // The record's place is taken by a folder: every save fails.
    std::filesystem::remove(Path("Children/Ann.xml"));
    MakeFolder("Children/Ann.xml");
    TWordHandler* word = form_->CurrentWord;
    Answer(QString::fromStdString(word->Word));
    EXPECT_EQ(BoxTexts(DialogKind::Error).size(), 1u);
    EXPECT_EQ(word->Trys, 1);
    EXPECT_EQ(word->Correct, 1);
    EXPECT_EQ(form_->TotalCorrect, 1);
    EXPECT_EQ(form_->CurrentWord, word); // no new draw
    EXPECT_EQ(form_->Edit2->text().toStdString(), word->Word);
    EXPECT_EQ(Page(), form_->TabSheet3);
    // The controls are usable again and Enter judges again.
    EXPECT_TRUE(form_->btnCheckIt->isEnabled());
    EXPECT_TRUE(form_->Edit2->isEnabled());
    QTest::keyClick(form_->Edit2, Qt::Key_Return);
    EXPECT_EQ(word->Trys, 2);
}

TEST_F(SpellingTest, ARunWritesOnlyTheFilesItOpenedAndOnlyWhereThisUserMayWrite)
{
    MakeLesson("Week", {"CAT", "DOG"});
    MakeLesson("Zoo", {"CAT"});
    WritePlayer("Bob", "<CHILD name=\"Bob\"/>");
    const auto freeze = [this](const std::string& file) {
        WriteFile(file, ReadFile(file) + "\n");
        std::filesystem::permissions(Path(file), std::filesystem::perms::owner_read);
        return true;
    };
    const auto choose = [this](int index) {
        form_->ComboBox2->setCurrentIndex(index);
        form_->ComboBox3->setCurrentIndex(index);
        return true;
    };
    const std::vector<std::string> refusal{"Cannot create file \"" + Path("Children/Ann.xml").string() +
                                           "\". Permission denied"};
    struct Row {
        const char* change;
        std::function<bool()> meanwhile; // while the praise plays, before the save; false: no row
        bool refused;                    // the record's save
        bool appended;
    };
    for (const Row& row : {
             Row{"other player and lesson chosen", [&] { return choose(1); }, false, true},
             Row{"no player nor lesson chosen", [&] { return choose(-1); }, false, true},
             Row{"history frozen", [&] { return freeze("Children/Ann.history"); }, false, false},
             Row{"record frozen", [&] { return freeze("Children/Ann.xml"); }, true, false},
             Row{"record of another account", // lent in the unprivileged run only
                 [this] { return BorrowOtherAccountFile("read-only", "Children/Ann.xml"); }, true, false},
             Row{"record anyone may write", // another test may have lent it as a clip: written anew
                 [this] {
                     const bool lent = BorrowOtherAccountFile("writable", "Children/Ann.xml");
                     if (lent)
                         WriteFile("Children/Ann.xml", "<CHILD name=\"Ann\"/>");
                     return lent;
                 },
                 false, true},
         }) {
        SCOPED_TRACE(row.change);
        requests_.clear();
        // Answers a refused save kept would go out with the next row's run: each row starts anew.
        form_->RecordSave = app::MergingSave();
        for (const char* file : {"Children/Ann.xml", "Children/Ann.history"})
            std::filesystem::remove(Path(file));
        WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
        StartTest();
        ASSERT_EQ(form_->RunMode, 2);
        std::optional<bool> happened;
        auto played = form_->kaAudioOut1->OnAudioPlayed;
        form_->kaAudioOut1->OnAudioPlayed = [&](rtl::TComponent* sender, const void* data, int32_t size) {
            if (!happened)
                happened = row.meanwhile();
            played(sender, data, size);
        };
        Answer(QString::fromStdString(Current()));
        form_->kaAudioOut1->OnAudioPlayed = played;
        ASSERT_TRUE(happened.has_value());
        if (*happened) {
            const std::string record = ReadFile("Children/Ann.xml");
            EXPECT_EQ(record.find("<Week><CAT ") != std::string::npos, !row.refused) << record;
            EXPECT_EQ(record.find("<Zoo>"), std::string::npos) << record;
            EXPECT_EQ(BoxTexts(DialogKind::Error), row.refused ? refusal : std::vector<std::string>{});
            const auto history = app::progress::ReadHistory(Path("Children/Ann.history"));
            EXPECT_EQ(history.attempts.size(), row.appended ? 1u : 0u);
            EXPECT_TRUE(!row.appended || history.attempts.back().lesson == "Week");
        }
        EXPECT_EQ(ReadFile("Children/Bob.xml"), "<CHILD name=\"Bob\"/>");
        EXPECT_FALSE(std::filesystem::exists(Path("Children/Bob.history")));
        GiveBackOtherAccountFiles();
        QTest::mouseClick(form_->JvXPToolButton, Qt::LeftButton); // back to the start page
    }
}

TEST_F(SpellingTest, AMissingWordClipIsSkipped)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    Heard();
    std::filesystem::remove(Path("Week/CAT.wav"));
    QTest::mouseClick(form_->btnSay, Qt::LeftButton);
    EXPECT_TRUE(Heard().empty());
    EXPECT_TRUE(BoxTexts(DialogKind::Error).empty());
    EXPECT_TRUE(form_->btnSay->isEnabled());
}

TEST_F(SpellingTest, AWordClipThatIsNotWaveEndsItsSequenceAndTheChildGoesOn)
{
    MakeLesson("Week", {"CAT"});
    WriteFile("Week/CAT.wav", "This is not a WAVE file, only some text.");
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    EXPECT_EQ(BoxTexts(DialogKind::Error), std::vector<std::string>{"Invalid file format."});
    ASSERT_NE(form_->CurrentWord, nullptr);
    EXPECT_EQ(form_->lblNumberTied->text(), "Number tried:0");
    EXPECT_TRUE(form_->Edit2->isEnabled());
    // A wrong answer: the correction stops at the word clip, the drill and the save go on.
    Answer("CAR");
    EXPECT_EQ(form_->RunMode, 3);
    EXPECT_NE(ReadFile("Children/Ann.xml").find("trys=\"1\" correct=\"0\""), std::string::npos);
    EXPECT_GE(BoxTexts(DialogKind::Error).size(), 2u);
    EXPECT_TRUE(form_->edWord1->isEnabled());
}

} // namespace
