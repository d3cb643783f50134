// A lesson's test date on the real window: "Test Date..." on the start page's lesson list,
// Start Test running today's session of the plan (with its retests, its end message, and
// the days with nothing due), and the retests of a plain run for a child who practises
// from memory.

#include "test_child_fixture.h"

#include "app/LessonSettings.h"
#include "app/TestDateDialog.h"
#include "app/learning/TestPlan.h"
#include "app/progress/AttemptHistory.h"

#include <QDateEdit>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace {

using app::learning::DateOfDay;
using app::learning::Day;
using platform::DialogKind;

const std::vector<std::string> kSix{"ANT", "BEE", "COW", "DOG", "EEL", "FOX"};

class PlannedRunTest : public ChildTest {
protected:
    static Day RealToday() { return *app::learning::DayOfDate(app::progress::LocalTimestampNow()); }

    void SetTestDay(const std::string& lesson, Day day)
    {
        WriteFile(lesson + "/" + std::string(app::kLessonSettingsName), "test_date=" + DateOfDay(day) + "\n");
    }

    // A history line of Ann's on `day`.
    void AddHistory(Day day, const std::string& word, bool right)
    {
        const std::string stamp = DateOfDay(day) + "T08:00:00.000+01:00";
        std::ofstream(Path("Children/Ann.history"), std::ios::app)
            << app::progress::AttemptToLine({stamp, stamp, "Week", word, right ? word : "X", right, 1})
            << '\n';
    }

    // Opens "Test Date..." from the lesson list's menu and lets `act` answer the dialog.
    void WithTestDateDialog(const std::function<void(app::TestDateDialog&)>& act)
    {
        emit form_->ComboBox2->customContextMenuRequested(QPoint(5, 5));
        const bool offered = form_->TestDate1->isEnabled();
        form_->LessonListMenu->hide();
        ASSERT_TRUE(offered);
        bool opened = false;
        QTimer::singleShot(0, form_.get(), [&] {
            if (auto* dialog = qobject_cast<app::TestDateDialog*>(QApplication::activeModalWidget()))
                opened = true, act(*dialog);
        });
        form_->TestDate1->trigger();
        EXPECT_TRUE(opened) << "no test date dialog";
    }

    // The words the session asks, each answered as `right` says, the practice page left
    // with Return To Test after a miss; stops when the run ends.
    std::vector<std::string> AnswerRun(const std::function<bool(const std::string&, bool retest)>& right)
    {
        std::vector<std::string> asked;
        for (int limit = 40; form_->RunMode == 2 && limit > 0; --limit) {
            const auto heard = Heard(); // each question is spoken
            EXPECT_EQ(heard.empty() ? "" : heard.back(), "word:" + Current());
            const bool retest = form_->AskingRetest;
            asked.push_back(Current() + (retest ? "+" : ""));
            const bool answersRight = right(Current(), retest);
            Answer(answersRight ? QString::fromStdString(Current()) : QStringLiteral("xx"));
            if (!answersRight && form_->RunMode == 3)
                form_->btnReturnToTestClick(form_->btnReturnToTest); // whatever the drill asks
        }
        return asked;
    }

    // Ann's history lines by word, a retest's marked "+".
    std::vector<std::string> HistoryLines()
    {
        std::vector<std::string> lines;
        for (const auto& attempt : app::progress::ReadHistory(Path("Children/Ann.history")).attempts)
            lines.push_back(attempt.word + (attempt.phase == "retest" ? "+" : attempt.phase));
        return lines;
    }
};

TEST_F(PlannedRunTest, TheMenuSetsShowsAndClearsTheLessonsTestDate)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    form_->FixedToday = *app::learning::DayOfDate("2026-12-10");
    const Day today = *form_->FixedToday;
    ChooseLessonAndPlayer();
    const std::string settings = "Week/" + std::string(app::kLessonSettingsName);
    constexpr int kClear = 100, kCancel = 101;
    struct Row {
        const char* what;
        std::optional<std::string> before; // the settings file's content; none: no file
        std::optional<Day> shown;          // the date the dialog shows; none: "No Test Date"
        int act;                           // days added to the date shown, kClear or kCancel
        std::string after;
    };
    for (const Row& row : {
             Row{"none set: a week ahead is offered", std::nullopt, std::nullopt, 2,
                 "test_date=2026-12-19\n"},
             Row{"a date set is shown and cleared", "test_date=2026-12-19\n", today + 9, kClear, ""},
             Row{"other choices are kept", "colour=red\ntest_date=2026-12-11\n", today + 1, 1,
                 "colour=red\ntest_date=2026-12-12\n"},
             Row{"a past date shows as none", "test_date=2026-12-09\n", std::nullopt, kCancel,
                 "test_date=2026-12-09\n"},
             Row{"a damaged file shows as none", "test_date\n", std::nullopt, kCancel, "test_date\n"},
             Row{"the picker stops 30 days ahead", std::nullopt, std::nullopt, 40, "test_date=2027-01-09\n"},
         }) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(Path(settings));
        if (row.before)
            WriteFile(settings, *row.before);
        WithTestDateDialog([&](app::TestDateDialog& dialog) {
            EXPECT_EQ(dialog.Chosen(), row.shown);
            EXPECT_EQ(dialog.DatePicker->minimumDate(), app::TestDateDialog::DateOf(today));
            EXPECT_EQ(dialog.DatePicker->maximumDate(), app::TestDateDialog::DateOf(today + 30));
            if (row.act == kCancel)
                return dialog.reject();
            (row.act == kClear ? dialog.NoTestDate : dialog.OnDate)->click();
            dialog.DatePicker->setDate(dialog.DatePicker->date().addDays(row.act == kClear ? 0 : row.act));
            dialog.accept();
        });
        EXPECT_EQ(ReadFile(settings), row.after);
    }
    EXPECT_TRUE(BoxTexts(DialogKind::Error).empty());

    // The hidden file is no word: neither the editor's list nor the run takes it.
    SetTestDay("Week", today + 3);
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    Choose(form_->cbLessions, 0);
    EXPECT_EQ(Items(form_->ListBox1).size(), 2);
    EXPECT_FALSE(Items(form_->ListBox1).contains(QString()));
    form_->PageControl1->setCurrentWidget(form_->TabSheet1);
    StartTest();
    EXPECT_EQ(form_->Words.size(), 2u);
}

TEST_F(PlannedRunTest, ALessonFolderThatCannotBeWrittenIsRefusedWithTheSystemsReason)
{
    WriteFile("Week"); // a plain file is listed as a lesson; root cannot write inside it either
    Show();
    Choose(form_->ComboBox2, 0);
    WithTestDateDialog([](app::TestDateDialog& dialog) { dialog.OnDate->click(), dialog.accept(); });
    const auto errors = BoxTexts(DialogKind::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Not a directory"), std::string::npos) << errors[0];
    EXPECT_EQ(ReadFile("Week"), "RIFF");
}

TEST_F(PlannedRunTest, WithoutADateToComeOrWithNothingDueStartTestRunsPlainly)
{
    MakeLesson("Week", {"CAT", "DOG"});
    const std::string nothingDue = "Your words are all done for today! Let's play a spelling game.";
    for (const auto& [date, doneToday] :
         std::vector<std::pair<std::string, bool>>{{"2026-13-01", false},
                                                   {"", false},
                                                   {"", true},
                                                   {DateOfDay(RealToday() - 1), false},
                                                   {DateOfDay(RealToday()), false},
                                                   {DateOfDay(RealToday() + 6), true}}) {
        SCOPED_TRACE(date + (doneToday ? " done today" : ""));
        requests_.clear();
        WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
        WriteFile("Week/" + std::string(app::kLessonSettingsName),
                  date.empty() ? "test_date\n" : "test_date=" + date);
        std::filesystem::remove(Path("Children/Ann.history"));
        for (const char* word : {"CAT", "DOG"})
            doneToday ? AddHistory(RealToday(), word, true) : void();
        StartTest();
        ASSERT_EQ(form_->RunMode, 2);
        EXPECT_FALSE(form_->RunSession.has_value());
        EXPECT_EQ(BoxTexts(DialogKind::Information), doneToday && !date.empty()
                                                         ? std::vector<std::string>{nothingDue}
                                                         : std::vector<std::string>{});
        for (int answers = 0; form_->RunMode == 2 && answers < 4; ++answers)
            Answer(QString::fromStdString(Current()));
        EXPECT_EQ(form_->RunMode, 0); // the draw's four right answers
        EXPECT_EQ(Heard().back(), "LESSON");
    }
}

TEST_F(PlannedRunTest, ASessionAsksThePlansWordsWithItsRetestsAndEndsWithItsMessage)
{
    struct Row {
        const char* what;
        std::size_t words; // the first of ANT, BEE, COW, DOG, EEL, FOX
        int daysAhead;
        std::string missed; // answered wrong at its first question; "*" for every word
        const char* mustAsk;
        const char* message;
    };
    const char* const ready = " Your next practice is ready tomorrow.";
    for (const Row& row : {
             Row{"one miss", 6, 5, "BEE", "BEE+", "You got 6 words right!"},
             Row{"the day before the test: two rounds", 6, 1, "", "FOX", "You got 6 words right!"},
             Row{"every word missed: FOX's retest would come too soon", 6, 5, "*", "EEL+",
                 "You got 5 words right!"},
             Row{"three words: no retest within four answers", 3, 5, "BEE", "COW", "You got 2 words right!"},
         }) {
        SCOPED_TRACE(row.what);
        requests_.clear();
        std::filesystem::remove_all(Path("Week"));
        std::filesystem::remove(Path("Children/Ann.history"));
        MakeLesson("Week", std::vector<std::string>(kSix.begin(), kSix.begin() + row.words));
        WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
        SetTestDay("Week", RealToday() + row.daysAhead);
        StartTest();
        ASSERT_TRUE(form_->RunSession.has_value());
        std::vector<std::string> lessonWords;
        for (const auto& word : form_->Words)
            lessonWords.push_back(word->Word);
        std::map<std::string, std::pair<int, int>> counts; // the plan's answers: tries, right
        const auto rightly = [&](const std::string& word, bool retest) {
            const bool right = retest || counts[word].first > 0 || (row.missed != "*" && word != row.missed);
            if (!retest)
                ++counts[word].first, counts[word].second += right ? 1 : 0;
            return right;
        };
        const auto asked = AnswerRun(rightly);
        // The window asks what the plan's session gives, retests marked "+".
        const auto plan =
            app::learning::MakeTestPlan({}, "Week", lessonWords, RealToday() + row.daysAhead, RealToday());
        app::learning::PlanSession session(plan.session, lessonWords.size(), "");
        std::vector<std::string> expected;
        counts.clear();
        while (const auto question = session.Next()) {
            expected.push_back(question->word + (question->retest ? "+" : ""));
            session.Judged(rightly(question->word, question->retest));
        }
        EXPECT_EQ(asked, expected);
        EXPECT_NE(std::find(asked.begin(), asked.end(), row.mustAsk), asked.end());
        EXPECT_EQ(Page(), form_->TabSheet1);
        EXPECT_EQ(BoxTexts(DialogKind::Information),
                  std::vector<std::string>{
                      row.message +
                      std::string(row.daysAhead == 1 ? " Your test is tomorrow. Good luck!" : ready)});
        const auto tail = Heard();
        EXPECT_EQ(std::count(tail.begin(), tail.end(), "LESSON"), 0);

        // Retests are history lines with their phase; the record counts the plan's answers only.
        EXPECT_EQ(HistoryLines(), expected);
        const std::string record = ReadFile("Children/Ann.xml");
        int tried = 0;
        for (const auto& [word, count] : counts) {
            tried += count.first;
            EXPECT_NE(record.find("word=\"" + word + "\" trys=\"" + std::to_string(count.first) +
                                  "\" correct=\"" + std::to_string(count.second) + "\""),
                      std::string::npos)
                << word << " in " << record;
        }
        EXPECT_EQ(form_->TotalTried, tried);
    }
}

TEST_F(PlannedRunTest, AClockSetBackNeitherSkipsTheSessionNorRepeatsTheLastWord)
{
    MakeLesson("Week", kSix);
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    SetTestDay("Week", RealToday() + 6);
    for (const char* word : {"BEE", "COW", "DOG", "EEL", "FOX", "ANT"})
        AddHistory(RealToday(), word, true); // done "today", but the clock now says yesterday
    form_->FixedToday = RealToday() - 1;
    StartTest();
    ASSERT_TRUE(form_->RunSession.has_value());
    EXPECT_NE(Current(), "ANT");
    // Practice Word leaves the question unanswered: back on the test page it is asked again.
    const std::string first = Current();
    QTest::mouseClick(form_->btnPractice, Qt::LeftButton);
    ASSERT_EQ(form_->RunMode, 3);
    form_->btnReturnToTestClick(form_->btnReturnToTest);
    EXPECT_EQ(Current(), first);
    const auto asked = AnswerRun([](const std::string&, bool) { return true; });
    EXPECT_EQ(asked.size(), 6u);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "ANT"), 1);
}

TEST_F(PlannedRunTest, APlainRunAsksAMissedWordOnceMoreWhenThePlayerPractisesFromMemory)
{
    struct Row {
        std::size_t words;
        bool fromMemory;
        std::ptrdiff_t gapAtLeast; // answers between the miss and its retest
        bool retestLast;           // the retest is the run's last question
    };
    for (const Row& row : {Row{6, true, 4, false}, Row{2, true, 1, true}, Row{6, false, 0, false}}) {
        SCOPED_TRACE(std::to_string(row.words) + (row.fromMemory ? " words, from memory" : " words"));
        std::filesystem::remove_all(Path("Week"));
        std::filesystem::remove(Path("Children/Ann.history"));
        MakeLesson("Week", std::vector<std::string>(kSix.begin(), kSix.begin() + row.words));
        WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
        WriteFile("Children/Ann.settings", row.fromMemory ? "practice_from_memory=on\n" : "");
        StartTest();
        ASSERT_EQ(form_->RunRecalls, row.fromMemory);
        const std::string missed = Current();
        bool missedOnce = false;
        const auto asked = AnswerRun(
            [&](const std::string& word, bool) { return word != missed || std::exchange(missedOnce, true); });
        EXPECT_EQ(form_->RunMode, 0);
        EXPECT_EQ(Heard().back(), "LESSON");
        const auto retest = std::find(asked.begin(), asked.end(), missed + "+");
        ASSERT_EQ(retest != asked.end(), row.fromMemory);
        const auto retests =
            std::count_if(asked.begin(), asked.end(), [](auto& w) { return w.back() == '+'; });
        EXPECT_EQ(retests, row.fromMemory ? 1 : 0);
        const std::size_t plainAnswers = asked.size() - static_cast<std::size_t>(retests);
        EXPECT_EQ(plainAnswers, row.words * 2 + 1); // the draw asks what it always asked
        if (row.fromMemory) {
            EXPECT_GE(retest - asked.begin() - 1, row.gapAtLeast);
            EXPECT_EQ(retest + 1 == asked.end(), row.retestLast);
        }
        // The retest is in the history with its phase, not in the record nor the tallies.
        EXPECT_EQ(HistoryLines(), asked);
        EXPECT_NE(ReadFile("Children/Ann.xml").find("word=\"" + missed + "\" trys=\"3\" correct=\"2\""),
                  std::string::npos);
        EXPECT_EQ(form_->TotalTried, static_cast<std::int32_t>(plainAnswers));
        EXPECT_EQ(form_->TotalCorrect, static_cast<std::int32_t>(row.words * 2));
    }
}

} // namespace
