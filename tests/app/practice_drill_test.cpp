// The practice drill on the real window: a practice run over a lesson, and the drill of
// a missed test word, typed and confirmed as a child does.

#include "test_child_fixture.h"

#include "app/progress/AttemptHistory.h"
#include "app/progress/MarkedLetters.h"
#include "app/progress/TrickyWords.h"

#include <QLabel>
#include <QTimer>

namespace {

using Clips = std::vector<std::string>;
using platform::DialogKind;

class PracticeDrill : public ChildTest {
protected:
    Clips Letters(const std::string& word)
    {
        Clips letters;
        for (char c : word)
            letters.push_back(std::string(1, c));
        return letters;
    }
    Clips WordAndLetters(const std::string& word)
    {
        Clips clips{"word:" + word};
        const Clips letters = Letters(word);
        clips.insert(clips.end(), letters.begin(), letters.end());
        return clips;
    }
    void Type(QLineEdit* box, const QString& text, Qt::Key enter = Qt::Key_Return)
    {
        QTest::keyClicks(box, text);
        QTest::keyClick(box, enter);
    }
    bool Open(QWidget* w) const { return w->isEnabled(); }
    const std::string kRecord =
        "<CHILD name=\"Ann\"><Week><DOG word=\"DOG\" trys=\"3\" correct=\"1\"/></Week></CHILD>";
};

TEST_F(PracticeDrill, APracticeRunDrillsEveryWordOnceInListOrderAndNeverWritesTheRecord)
{
    MakeLesson("Week", {"CAT", "DOG", "SUN"});
    WritePlayer("Ann", kRecord);
    StartPractice();
    ASSERT_EQ(form_->RunMode, 3);
    EXPECT_EQ(Page(), form_->T4abSheet);
    EXPECT_FALSE(form_->PracticeFromTest);
    EXPECT_FALSE(form_->btnReturnToTest->isVisibleTo(form_->T4abSheet));
    EXPECT_TRUE(form_->btnForward->isVisibleTo(form_->T4abSheet));
    ASSERT_EQ(form_->Words.size(), 3u);
    std::vector<std::string> order;
    for (const auto& record : form_->Words)
        order.push_back(record->Word);

    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::string word = order[i];
        EXPECT_EQ(form_->PracticeIndex, static_cast<int>(i));
        EXPECT_EQ(form_->lblPracticeWord->text().toStdString(), word);
        EXPECT_EQ(Heard(), WordAndLetters(word)); // the word, then its letters
        EXPECT_TRUE(form_->edWord1->hasFocus());
        EXPECT_FALSE(Open(form_->btnNext2));
        EXPECT_FALSE(Open(form_->btnForward));
        for (QLineEdit* box : {form_->edWord1, form_->edWord2, form_->edWord3}) {
            Type(box, QString::fromStdString(word).toLower());
            EXPECT_EQ(Heard(), Letters(word));
        }
        EXPECT_TRUE(Open(form_->btnForward));
        EXPECT_TRUE(form_->btnForward->hasFocus());
        QTest::keyClick(form_->btnForward, Qt::Key_Enter);
    }
    EXPECT_EQ(Heard(), Clips{"PRACTICECOMPLETE"});
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
    EXPECT_EQ(ReadFile("Children/Ann.xml"), kRecord);
    EXPECT_EQ(form_->TotalTried, 3); // reset, then the stored sums
}

TEST_F(PracticeDrill, BoxStatesRightAndWrongEntries)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", kRecord);
    StartPractice();
    Heard();
    // Right in the first box: it keeps its text, the letters play, the second box opens.
    Type(form_->edWord1, "cat");
    EXPECT_EQ(Heard(), Letters("CAT"));
    EXPECT_EQ(form_->edWord1->text(), "cat");
    EXPECT_TRUE(Open(form_->edWord2));
    EXPECT_TRUE(Open(form_->btnNext2));
    EXPECT_FALSE(Open(form_->btnNext3));
    EXPECT_TRUE(form_->edWord2->hasFocus());
    // Wrong in the second: "try again", only that box is emptied.
    Type(form_->edWord2, "CAR");
    EXPECT_EQ(Heard(), Clips{"tryagain"});
    EXPECT_TRUE(form_->edWord2->text().isEmpty());
    EXPECT_EQ(form_->edWord1->text(), "cat");
    EXPECT_TRUE(form_->edWord2->hasFocus());
    EXPECT_FALSE(Open(form_->btnNext3));
    // Next on the accepted first box judges it again.
    QTest::mouseClick(form_->btnNext, Qt::LeftButton);
    EXPECT_EQ(Heard(), Letters("CAT"));
    EXPECT_TRUE(form_->edWord2->hasFocus());
    // A blank inside the word is wrong; Next buttons judge like Enter.
    QTest::keyClicks(form_->edWord2, "CA T");
    QTest::mouseClick(form_->btnNext2, Qt::LeftButton);
    EXPECT_EQ(Heard(), Clips{"tryagain"});
    // Blanks around it do not count.
    Type(form_->edWord2, " CAT ", Qt::Key_Enter);
    EXPECT_EQ(Heard(), Letters("CAT"));
    EXPECT_TRUE(Open(form_->btnNext3));
    EXPECT_TRUE(form_->edWord3->hasFocus());
    Type(form_->edWord3, "CAT");
    EXPECT_TRUE(Open(form_->btnForward));
    EXPECT_FALSE(Open(form_->btnReturnToTest));
    // Say It Again: the word, and the focus on the box to type in next.
    Heard();
    QTest::mouseClick(form_->SayItAgain, Qt::LeftButton);
    EXPECT_EQ(Heard(), Clips{"word:CAT"});
    EXPECT_TRUE(form_->edWord3->hasFocus());
    EXPECT_EQ(ReadFile("Children/Ann.xml"), kRecord);
}

TEST_F(PracticeDrill, EachEnterJudgesOnce)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", kRecord);
    StartPractice();
    Heard();
    Type(form_->edWord1, "X", Qt::Key_Enter);
    EXPECT_EQ(Heard(), Clips{"tryagain"});
    Type(form_->edWord1, "X", Qt::Key_Return);
    EXPECT_EQ(Heard(), Clips{"tryagain"});
}

TEST_F(PracticeDrill, CtrlAltShiftF12SkipsSilentlyAndEndsTheRunOnTheLastWord)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", kRecord);
    StartPractice();
    Heard();
    const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
    QTest::keyClick(form_->edWord1, Qt::Key_F12, Qt::ControlModifier | Qt::AltModifier); // not all three
    EXPECT_EQ(form_->PracticeIndex, 0);
    QTest::keyClick(form_->edWord1, Qt::Key_F12, all);
    EXPECT_EQ(form_->PracticeIndex, 1);
    EXPECT_EQ(form_->lblPracticeWord->text().toStdString(), form_->Words[1]->Word);
    EXPECT_TRUE(Heard().empty());
    EXPECT_FALSE(Open(form_->edWord2));
    QTest::keyClick(form_->edWord1, Qt::Key_F12, all);
    EXPECT_EQ(Heard(), Clips{"PRACTICECOMPLETE"});
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
}

TEST_F(PracticeDrill, APracticeRunOnALessonWithoutWordsEndsAtOnce)
{
    MakeLesson("Week", {});
    WritePlayer("Ann", kRecord);
    StartPractice();
    EXPECT_EQ(Heard(), Clips{"PRACTICECOMPLETE"});
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
    EXPECT_TRUE(BoxTexts(DialogKind::Information).empty());
}

TEST_F(PracticeDrill, ADrillFromTheTestReturnsToTheTestWithANewDraw)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    const std::string word = Current();
    QTest::mouseClick(form_->btnPractice, Qt::LeftButton);
    EXPECT_TRUE(form_->PracticeFromTest);
    EXPECT_EQ(form_->RunMode, 3);
    Heard();
    for (QLineEdit* box : {form_->edWord1, form_->edWord2, form_->edWord3})
        Type(box, QString::fromStdString(word));
    EXPECT_TRUE(Open(form_->btnReturnToTest));
    EXPECT_TRUE(form_->btnReturnToTest->hasFocus());
    EXPECT_FALSE(form_->btnForward->isVisibleTo(form_->T4abSheet));
    Heard();
    QTest::keyClick(form_->btnReturnToTest, Qt::Key_Return);
    EXPECT_EQ(form_->RunMode, 2);
    EXPECT_EQ(Page(), form_->TabSheet3);
    EXPECT_EQ(Heard(), Clips{"word:" + Current()});
    EXPECT_EQ(form_->TotalTried, 0);
}

TEST_F(PracticeDrill, TheSilentSkipInADrillFromTheTestGoesOnFromThePracticeIndex)
{
    MakeLesson("Week", {"CAT", "DOG", "SUN"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    ASSERT_EQ(form_->PracticeIndex, 0); // as the window was created
    QTest::mouseClick(form_->btnPractice, Qt::LeftButton);
    Heard();
    const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
    QTest::keyClick(form_->edWord1, Qt::Key_F12, all);
    EXPECT_EQ(form_->PracticeIndex, 1);
    EXPECT_EQ(form_->lblPracticeWord->text().toStdString(), form_->Words[1]->Word);
    EXPECT_TRUE(form_->btnReturnToTest->isVisibleTo(form_->T4abSheet));
    EXPECT_TRUE(Heard().empty());
    QTest::keyClick(form_->edWord1, Qt::Key_F12, all);
    QTest::keyClick(form_->edWord1, Qt::Key_F12, all); // past the end: the run ends
    EXPECT_EQ(Heard(), Clips{"PRACTICECOMPLETE"});
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
    EXPECT_EQ(form_->TotalTried, 0);
}

TEST_F(PracticeDrill, ExitDuringADrillFromTheTestLeavesTheRun)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    Answer("WRONG");
    ASSERT_EQ(form_->RunMode, 3);
    QTest::mouseClick(form_->ExitPractice, Qt::LeftButton);
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
}

TEST_F(PracticeDrill, NextWaitsForThePlayingClip)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", kRecord);
    StartPractice();
    // Real-time pace: Next pressed while the word plays judges once it has ended.
    platform::wave::VirtualAudio::instance().setSpeed(1);
    QTimer presser;
    bool pressed = false;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (!pressed && form_->AudioMode == 2) {
            pressed = true;
            form_->edWord1->setText("CAT");
            form_->btnNextClick(form_->btnNext);
        }
    });
    presser.start(0);
    Heard();
    form_->SayItAgainClick(form_->SayItAgain);
    presser.stop();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(Heard(), (Clips{"word:CAT", "C", "A", "T"}));
    EXPECT_TRUE(Open(form_->btnNext2));
}

TEST_F(PracticeDrill, ARecordThatFailsToLoadAfterAFinishedDrillLeavesNoRunBehind)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    const std::string broken = "<CHILD name=\"Bob\"><Week>";
    WritePlayer("Bob", broken);
    // Ann's test: a wrong answer, the drill of the word, Return To Test, then the exit.
    StartTest();
    Answer("WRONG");
    ASSERT_EQ(form_->RunMode, 3);
    DrillAndReturn();
    ASSERT_EQ(form_->RunMode, 2);
    QTest::mouseClick(form_->JvXPToolButton, Qt::LeftButton);
    const std::string annAfterRun = ReadFile("Children/Ann.xml");
    ASSERT_TRUE(form_->btnReturnToTest->isEnabled()); // left live by the finished drill

    // Bob's record cannot be read: neither start leaves anything that could draw or save.
    Choose(form_->ComboBox3, 1);
    ASSERT_EQ(form_->ComboBox3->currentText(), "Bob");
    Heard();
    for (QPushButton* start : {form_->btnStartPractice, form_->btnStartTest}) {
        QTest::mouseClick(start, Qt::LeftButton);
        EXPECT_EQ(form_->RunMode, 0);
        EXPECT_EQ(form_->PlayerDoc, nullptr);
        EXPECT_FALSE(form_->LessonNode);
        EXPECT_TRUE(form_->Words.empty());
        EXPECT_EQ(form_->CurrentWord, nullptr);
        EXPECT_FALSE(form_->btnReturnToTest->isEnabled());
        EXPECT_FALSE(form_->btnForward->isEnabled());
        EXPECT_EQ(Page(), form_->TabSheet1);
        // The keys that reached the old run's controls do nothing now.
        QTest::keyClick(form_->btnReturnToTest, Qt::Key_Return);
        QTest::keyClicks(form_->edWord1, "CAT");
        QTest::keyClick(form_->edWord1, Qt::Key_Return);
        Answer("CAT");
        QTest::mouseClick(form_->ExitPractice, Qt::LeftButton);
        EXPECT_EQ(form_->RunMode, 0);
        EXPECT_TRUE(Heard().empty());
    }
    EXPECT_EQ(BoxTexts(DialogKind::Error).size(), 2u);
    EXPECT_EQ(ReadFile("Children/Bob.xml"), broken);
    EXPECT_EQ(ReadFile("Children/Ann.xml"), annAfterRun);
    // The window goes on: Ann's next test starts from her saved counts.
    Choose(form_->ComboBox3, 0);
    QTest::mouseClick(form_->btnStartTest, Qt::LeftButton);
    EXPECT_EQ(form_->RunMode, 2);
    EXPECT_EQ(form_->TotalTried, 1);
}

// ---- Practice from memory ------------------------------------------------------------------

TEST(MarkedLetters, TheWordMarksTheLettersAnAnswerGotWrongLeftOutOrSwapped)
{
    const QString red = QStringLiteral("<span style=\"color:#c00000\"><u>%1</u></span>");
    struct Row {
        const char* typed;
        const char* word;
        QString marked;
    };
    const Row rows[] = {
        {"KAT", "CAT", red.arg("C") + "AT"},
        {"CTA", "CAT", "C" + red.arg("A") + red.arg("T")},
        {"CT", "CAT", "C" + red.arg("A") + "T"},
        {"CATT", "CAT", "CAT"}, // an added letter marks nothing of the word
        {"", "CAT", red.arg("C") + red.arg("A") + red.arg("T")},
        {"R&B", "R&B", "R&amp;B"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.typed) + " / " + row.word);
        EXPECT_EQ(app::progress::MarkedWord(row.typed, row.word), row.marked);
    }
    EXPECT_EQ(app::progress::MarkedTyped("CTA", "CAT"), "C<b style=\"color:#d07000\">TA</b>");
}

class RecallPage : public PracticeDrill {
protected:
    void SetUp() override
    {
        PracticeDrill::SetUp();
        form_->RecallLookTime = std::chrono::milliseconds(0);
        WriteFile("Children/Ann.settings", "practice_from_memory=on\n");
    }
    bool Shown(QWidget* w) const { return w->isVisibleTo(form_->T4abSheet); }
    app::learning::RecallDrill::Step Step() const { return form_->Recall->CurrentStep(); }
    void Ready()
    {
        QTRY_VERIFY(form_->btnReady->isEnabled());
        EXPECT_TRUE(form_->btnReady->hasFocus());
        QTest::mouseClick(form_->btnReady, Qt::LeftButton);
    }
    void Write(const QString& text) { Type(form_->edRecall, text); }
    // The history's lines as "typed right try phase".
    std::vector<std::string> HistoryLines()
    {
        std::vector<std::string> lines;
        for (const auto& a : app::progress::ReadHistory(Path("Children/Ann.history")).attempts)
            lines.push_back(a.typed + (a.right ? " right " : " wrong ") + std::to_string(a.tries) + " " +
                            a.phase);
        return lines;
    }
};

TEST_F(RecallPage, AfterATestMissTheWordIsLookedAtCoveredWrittenAndCheckedWithoutWritingTheRecord)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    ASSERT_TRUE(form_->RunRecalls);
    Heard();
    form_->RecallLookTime = std::chrono::hours(1);
    Answer("KAT");
    ASSERT_EQ(form_->RunMode, 3);
    const std::string recordAfterMiss = ReadFile("Children/Ann.xml");
    // Look: the spoken correction as before, then the word's clip; the word in view with the
    // missed letter marked, and no copy boxes.
    EXPECT_EQ(Heard(), (Clips{"word:CAT", "IsSpelled", "C", "A", "T", "word:CAT"}));
    ASSERT_TRUE(form_->Recall);
    EXPECT_EQ(Step(), app::learning::RecallDrill::Step::Look);
    EXPECT_EQ(form_->lblRecallWord->text(), app::progress::MarkedWord("KAT", "CAT"));
    for (QWidget* copy :
         {static_cast<QWidget*>(form_->edWord1), static_cast<QWidget*>(form_->btnNext),
          static_cast<QWidget*>(form_->lblPracticeWord), static_cast<QWidget*>(form_->edRecall)})
        EXPECT_FALSE(Shown(copy)) << copy->objectName().toStdString();
    // "Ready" waits for the look time; nothing hides by itself.
    EXPECT_TRUE(Shown(form_->btnReady));
    EXPECT_FALSE(form_->btnReady->isEnabled());
    EXPECT_TRUE(form_->RecallReadyTimer->isActive());
    EXPECT_EQ(form_->RecallReadyTimer->interval(), 3600 * 1000);
    form_->RecallReadyTimer->setInterval(0);
    Ready();
    // Cover: the word goes, one empty box; Show Me Again looks again with the clip.
    EXPECT_EQ(Step(), app::learning::RecallDrill::Step::Cover);
    EXPECT_TRUE(form_->lblRecallWord->text().isEmpty());
    EXPECT_TRUE(Shown(form_->edRecall));
    EXPECT_TRUE(form_->edRecall->hasFocus());
    EXPECT_FALSE(Shown(form_->btnReady));
    QTest::mouseClick(form_->btnShowMeAgain, Qt::LeftButton);
    EXPECT_EQ(Heard(), Clips{"word:CAT"});
    EXPECT_EQ(Step(), app::learning::RecallDrill::Step::Look);
    form_->RecallLookTime = std::chrono::milliseconds(0);
    form_->RecallReadyTimer->setInterval(0);
    Ready();
    // Wrong: the difference, "try again", and back to the look with the word's clip.
    Write("CTA");
    EXPECT_EQ(Heard(), (Clips{"tryagain", "word:CAT"}));
    EXPECT_EQ(Step(), app::learning::RecallDrill::Step::Look);
    EXPECT_TRUE(Shown(form_->lblRecallDiff));
    EXPECT_EQ(form_->lblRecallDiff->text(), app::progress::MarkedTyped("CTA", "CAT"));
    EXPECT_EQ(form_->lblRecallWord->text(), app::progress::MarkedWord("CTA", "CAT"));
    Ready();
    EXPECT_FALSE(Shown(form_->lblRecallDiff)) << "covered, the difference would give the word away";
    // Right: the praise, and the test goes on from the continue button.
    Write("cat");
    EXPECT_EQ(Heard(), Clips{"Correct"});
    EXPECT_EQ(Step(), app::learning::RecallDrill::Step::Done);
    EXPECT_TRUE(form_->btnReturnToTest->isEnabled());
    EXPECT_TRUE(form_->btnReturnToTest->hasFocus());
    EXPECT_EQ(ReadFile("Children/Ann.xml"), recordAfterMiss);
    EXPECT_EQ(HistoryLines(),
              (std::vector<std::string>{"KAT wrong 1 ", "CTA wrong 1 drill", "cat right 1 drill"}));
    QTest::keyClick(form_->btnReturnToTest, Qt::Key_Return);
    EXPECT_EQ(form_->RunMode, 2);
    EXPECT_EQ(form_->TotalTried, 1);

    // Practice Word drills the word from memory too, with nothing marked.
    Heard();
    QTest::mouseClick(form_->btnPractice, Qt::LeftButton);
    EXPECT_EQ(Heard(), Clips{"word:CAT"});
    EXPECT_EQ(form_->lblRecallWord->text(), "CAT");
    EXPECT_FALSE(Shown(form_->edWord1));

    // A clip gone meanwhile is skipped without a word, and the drill goes on.
    std::filesystem::remove(Path("Week/CAT.wav"));
    Ready();
    QTest::mouseClick(form_->btnShowMeAgain, Qt::LeftButton);
    EXPECT_TRUE(Heard().empty());
    Ready();
    Write("CAT");
    EXPECT_EQ(Heard(), Clips{"Correct"});
    EXPECT_TRUE(BoxTexts(platform::DialogKind::Error).empty());
}

TEST_F(RecallPage, ThreeCoveredMissesEndInOneCopyAndMakeTheWordTricky)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", kRecord);
    StartPractice();
    const std::string run = form_->RunStarted;
    EXPECT_FALSE(run.empty());
    // A practice run looks at each word: its clip, its letters not spelled.
    ASSERT_EQ(form_->CurrentWord->Word, "CAT");
    EXPECT_EQ(Heard(), Clips{"word:CAT"});
    EXPECT_EQ(form_->lblRecallWord->text(), "CAT");
    EXPECT_FALSE(form_->btnForward->isEnabled());
    for (const char* typed : {"KAT", "CT", "CATS"}) {
        Ready();
        Write(typed);
    }
    EXPECT_EQ(Heard(), (Clips{"tryagain", "word:CAT", "tryagain", "word:CAT", "tryagain"}));
    // The copy: the word in view, one box; a wrong copy is tried again and counts nowhere.
    EXPECT_EQ(Step(), app::learning::RecallDrill::Step::Copy);
    EXPECT_TRUE(form_->lblRecallWord->text().startsWith("CAT"));
    EXPECT_TRUE(Shown(form_->edRecall));
    EXPECT_FALSE(Shown(form_->btnShowMeAgain));
    Write("CAX");
    EXPECT_EQ(Heard(), Clips{"tryagain"});
    EXPECT_TRUE(form_->edRecall->text().isEmpty());
    EXPECT_EQ(Step(), app::learning::RecallDrill::Step::Copy);
    Write("CAT");
    EXPECT_EQ(Heard(), Clips{"Correct"});
    EXPECT_TRUE(form_->btnForward->isEnabled());
    EXPECT_TRUE(form_->btnForward->hasFocus());
    EXPECT_EQ(HistoryLines(),
              (std::vector<std::string>{"KAT wrong 0 drill", "CT wrong 0 drill", "CATS wrong 0 drill"}));
    const auto history = app::progress::ReadHistory(Path("Children/Ann.history")).attempts;
    for (const auto& attempt : history)
        EXPECT_EQ(attempt.run, run);
    EXPECT_EQ(app::progress::TrickyWords(history), (std::set<app::progress::LessonWord>{{"Week", "CAT"}}));

    QTest::keyClick(form_->btnForward, Qt::Key_Return);
    EXPECT_EQ(Heard(), Clips{"PRACTICECOMPLETE"});
    EXPECT_EQ(ReadFile("Children/Ann.xml"), kRecord);
}

} // namespace
