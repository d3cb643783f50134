// The practice drill on the real window: a practice run over a lesson, and the drill of
// a missed test word, typed and confirmed as a child does.

#include "test_child_fixture.h"

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

} // namespace
