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
#include <QDialogButtonBox>
#include <QRadioButton>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

namespace {

using app::learning::Day;
using platform::DialogKind;

class PlannedRunTest : public ChildTest {
protected:
    static Day RealToday() { return *app::learning::DayOfDate(app::progress::LocalTimestampNow()); }

    void SetTestDay(const std::string& lesson, Day day)
    {
        WriteFile(lesson + "/" + std::string(app::kLessonSettingsName),
                  "test_date=" + app::learning::DateOfDay(day) + "\n");
    }

    // A history line of Ann's on `day`.
    void AddHistory(Day day, const std::string& word, bool right)
    {
        const std::string stamp = app::learning::DateOfDay(day) + "T08:00:00.000+01:00";
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
            auto* dialog = qobject_cast<app::TestDateDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            opened = true;
            act(*dialog);
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
            const auto heard = Heard();
            EXPECT_FALSE(heard.empty());
            if (!heard.empty()) {
                EXPECT_EQ(heard.back(), "word:" + Current()); // each question is spoken
            }
            const bool retest = form_->AskingRetest;
            asked.push_back(Current() + (retest ? "+" : ""));
            const bool answersRight = right(Current(), retest);
            Answer(answersRight ? QString::fromStdString(Current()) : QStringLiteral("xx"));
            if (!answersRight && form_->RunMode == 3)
                form_->btnReturnToTestClick(form_->btnReturnToTest); // whatever the drill asks
        }
        return asked;
    }

    std::vector<app::progress::Attempt> History()
    {
        return app::progress::ReadHistory(Path("Children/Ann.history")).attempts;
    }
};

// ---- "Test Date..." ---------------------------------------------------------------------------

TEST_F(PlannedRunTest, TheMenuSetsShowsAndClearsTheLessonsTestDate)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    form_->FixedToday = *app::learning::DayOfDate("2026-12-10");
    const Day today = *form_->FixedToday;
    ChooseLessonAndPlayer();
    const std::string settings = "Week/" + std::string(app::kLessonSettingsName);
    struct Row {
        const char* what;
        std::optional<std::string> before; // the settings file's content; none: no file
        std::optional<Day> shown;          // the date the dialog shows; none: "No Test Date"
        std::function<void(app::TestDateDialog&)> act;
        std::optional<std::string> after;
    };
    const auto choose = [](int daysAhead) {
        return [daysAhead](app::TestDateDialog& dialog) {
            dialog.OnDate->click();
            dialog.DatePicker->setDate(dialog.DatePicker->date().addDays(daysAhead));
            dialog.Buttons->button(QDialogButtonBox::Ok)->click();
        };
    };
    const auto none = [](app::TestDateDialog& dialog) {
        dialog.NoTestDate->click();
        dialog.Buttons->button(QDialogButtonBox::Ok)->click();
    };
    const auto cancel = [](app::TestDateDialog& dialog) { dialog.reject(); };
    for (const Row& row : {
             Row{"none set: a week ahead is offered, two more chosen", std::nullopt, std::nullopt, choose(2),
                 "test_date=2026-12-19\n"},
             Row{"a date set is shown and cleared", "test_date=2026-12-19\n", today + 9, none, ""},
             Row{"other choices are kept", "colour=red\ntest_date=2026-12-11\n", today + 1, choose(1),
                 "colour=red\ntest_date=2026-12-12\n"},
             Row{"a past date shows as none", "test_date=2026-12-09\n", std::nullopt, cancel,
                 "test_date=2026-12-09\n"},
             Row{"a damaged file shows as none", "test_date\n", std::nullopt, cancel, "test_date\n"},
             Row{"an impossible date shows as none", "test_date=2026-02-30\n", std::nullopt, cancel,
                 "test_date=2026-02-30\n"},
             Row{"the picker stops 30 days ahead", std::nullopt, std::nullopt, choose(40),
                 "test_date=2027-01-09\n"},
             Row{"the picker starts today", "test_date=2026-12-12\n", today + 2, choose(-10),
                 "test_date=2026-12-10\n"},
         }) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(Path(settings));
        if (row.before)
            WriteFile(settings, *row.before);
        WithTestDateDialog([&](app::TestDateDialog& dialog) {
            EXPECT_EQ(dialog.Chosen(), row.shown);
            EXPECT_EQ(dialog.DatePicker->minimumDate(), app::TestDateDialog::DateOf(today));
            EXPECT_EQ(dialog.DatePicker->maximumDate(), app::TestDateDialog::DateOf(today + 30));
            row.act(dialog);
        });
        EXPECT_EQ(ReadFile(settings), row.after.value_or(""));
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
    struct Row {
        const char* what;
        std::function<bool()> make; // false: not on this account
        const char* reason;
    };
    for (const Row& row : {
             Row{"a plain file listed as a lesson", [this] { return WriteFile("Week"), true; },
                 "Not a directory"},
             Row{"a folder without write permission (not for root)",
                 [this] {
                     MakeFolder("Week");
                     std::filesystem::permissions(Path("Week"), std::filesystem::perms::owner_read |
                                                                    std::filesystem::perms::owner_exec);
                     return ::geteuid() != 0;
                 },
                 "Permission denied"},
         }) {
        SCOPED_TRACE(row.what);
        requests_.clear();
        form_ = std::make_unique<TForm1>(dir_);
        const bool applies = row.make();
        Show();
        Choose(form_->ComboBox2, 0);
        if (applies) {
            WithTestDateDialog([](app::TestDateDialog& dialog) {
                dialog.OnDate->click();
                dialog.Buttons->button(QDialogButtonBox::Ok)->click();
            });
            const auto errors = BoxTexts(DialogKind::Error);
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_NE(errors[0].find(row.reason), std::string::npos) << errors[0];
            EXPECT_FALSE(app::ReadTestDay(Path("Week")).has_value());
        }
        std::filesystem::permissions(Path("Week"), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        std::filesystem::remove_all(Path("Week"));
    }
}

// ---- Start Test with a test date ---------------------------------------------------------------

TEST_F(PlannedRunTest, ADateThatIsNoneToComeRunsPlainly)
{
    MakeLesson("Week", {"CAT", "DOG"});
    const std::string settings = "Week/" + std::string(app::kLessonSettingsName);
    for (const std::string& content : {std::string("test_date=2026-13-01\n"), std::string("test_date\n"),
                                       "test_date=" + app::learning::DateOfDay(RealToday() - 1) + "\n",
                                       "test_date=" + app::learning::DateOfDay(RealToday()) + "\n"}) {
        SCOPED_TRACE(content);
        WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
        WriteFile(settings, content);
        StartTest();
        ASSERT_EQ(form_->RunMode, 2);
        EXPECT_FALSE(form_->RunSession.has_value());
        EXPECT_EQ(form_->DrawCeiling, 2);
        for (int answers = 0; form_->RunMode == 2 && answers < 4; ++answers)
            Answer(QString::fromStdString(Current()));
        EXPECT_EQ(form_->RunMode, 0);
        EXPECT_EQ(Heard().back(), "LESSON");
        EXPECT_TRUE(BoxTexts(DialogKind::Information).empty());
    }
}

TEST_F(PlannedRunTest, ASessionAsksThePlansWordsWithItsRetestsAndEndsWithItsMessage)
{
    const std::vector<std::string> six{"ANT", "BEE", "COW", "DOG", "EEL", "FOX"};
    struct Row {
        const char* what;
        std::vector<std::string> words;
        int daysAhead;
        const char* missed; // answered wrong at its first question; "" for none, "*" for every word
        std::vector<std::string> mustAsk;
        const char* message;
    };
    for (const Row& row : {
             Row{"a week ahead, one miss",
                 six,
                 5,
                 "BEE",
                 {"BEE+"},
                 "You got 6 words right! Your next practice is ready tomorrow."},
             Row{"the day before the test: two rounds",
                 six,
                 1,
                 "",
                 {},
                 "You got 6 words right! Your test is tomorrow. Good luck!"},
             Row{"every word missed: the last one's retest would come too soon",
                 six,
                 5,
                 "*",
                 {"ANT+", "EEL+"},
                 "You got 5 words right! Your next practice is ready tomorrow."},
             Row{"three words: no retest within four answers",
                 {"ANT", "BEE", "COW"},
                 5,
                 "BEE",
                 {},
                 "You got 2 words right! Your next practice is ready tomorrow."},
         }) {
        SCOPED_TRACE(row.what);
        requests_.clear();
        std::filesystem::remove_all(Path("Week"));
        std::filesystem::remove(Path("Children/Ann.history"));
        MakeLesson("Week", row.words);
        WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
        SetTestDay("Week", RealToday() + row.daysAhead);
        const std::string missed = row.missed;
        StartTest();
        ASSERT_EQ(form_->RunMode, 2);
        ASSERT_TRUE(form_->RunSession.has_value());
        std::vector<std::string> lessonWords;
        for (const auto& word : form_->Words)
            lessonWords.push_back(word->Word);
        const auto plan =
            app::learning::MakeTestPlan({}, "Week", lessonWords, RealToday() + row.daysAhead, RealToday());
        std::map<std::string, std::pair<int, int>> counts; // the plan's answers: tries, right
        const auto rightly = [&](const std::string& word, bool retest) {
            const bool right = retest || counts[word].first > 0 || (missed != "*" && word != missed);
            if (!retest)
                ++counts[word].first, counts[word].second += right ? 1 : 0;
            return right;
        };
        const auto asked = AnswerRun(rightly);
        // The window asks what the plan's session gives, retests marked "+".
        app::learning::PlanSession session(plan.session, lessonWords.size(), "");
        std::vector<std::string> expected;
        counts.clear();
        while (const auto question = session.Next()) {
            expected.push_back(question->word + (question->retest ? "+" : ""));
            session.Judged(rightly(question->word, question->retest));
        }
        EXPECT_EQ(asked, expected);
        for (const std::string& word : row.mustAsk)
            EXPECT_NE(std::find(asked.begin(), asked.end(), word), asked.end()) << word;
        EXPECT_EQ(form_->RunMode, 0);
        EXPECT_EQ(Page(), form_->TabSheet1);
        EXPECT_EQ(BoxTexts(DialogKind::Information), std::vector<std::string>{row.message});
        const auto tail = Heard();
        EXPECT_EQ(std::count(tail.begin(), tail.end(), "LESSON"), 0);

        // Retests are history lines with their phase; the record counts the plan's answers only.
        const auto history = History();
        ASSERT_EQ(history.size(), expected.size());
        for (std::size_t i = 0; i < history.size(); ++i) {
            EXPECT_EQ(history[i].word + (history[i].phase == "retest" ? "+" : ""), expected[i]);
            EXPECT_TRUE(history[i].phase.empty() || history[i].phase == "retest");
        }
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

TEST_F(PlannedRunTest, ADayWithNothingDueSaysSoThenRunsPlainly)
{
    MakeLesson("Week", {"ANT", "BEE", "COW"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    SetTestDay("Week", RealToday() + 6);
    for (const char* word : {"ANT", "BEE", "COW"})
        AddHistory(RealToday(), word, true); // today's session is done
    StartTest();
    EXPECT_EQ(BoxTexts(DialogKind::Information),
              std::vector<std::string>{"Your words are all done for today! Let's play a spelling game."});
    ASSERT_EQ(form_->RunMode, 2);
    EXPECT_FALSE(form_->RunSession.has_value());
    EXPECT_EQ(form_->DrawCeiling, 2);
    EXPECT_FALSE(form_->AskingRetest);
}

TEST_F(PlannedRunTest, AClockSetBackNeitherSkipsTheSessionNorRepeatsTheLastWord)
{
    MakeLesson("Week", {"ANT", "BEE", "COW", "DOG", "EEL", "FOX"});
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
    Heard();
    QTest::mouseClick(form_->btnPractice, Qt::LeftButton);
    ASSERT_EQ(form_->RunMode, 3);
    form_->btnReturnToTestClick(form_->btnReturnToTest);
    EXPECT_EQ(Current(), first);
    const auto asked = AnswerRun([](const std::string&, bool) { return true; });
    EXPECT_EQ(asked.size(), 6u);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "ANT"), 1);
}

// ---- Retests of a plain run ---------------------------------------------------------------------

TEST_F(PlannedRunTest, APlainRunAsksAMissedWordOnceMoreWhenThePlayerPractisesFromMemory)
{
    struct Row {
        const char* what;
        std::vector<std::string> words;
        bool fromMemory;
        std::size_t gapAtLeast; // answers between the miss and its retest
        bool retestLast;        // the retest is the run's last question
    };
    for (const Row& row : {
             Row{"six words: four answers later", {"ANT", "BEE", "COW", "DOG", "EEL", "FOX"}, true, 4, false},
             Row{"two words: at the run's end", {"ANT", "BEE"}, true, 1, true},
             Row{"practice by copying: no retest",
                 {"ANT", "BEE", "COW", "DOG", "EEL", "FOX"},
                 false,
                 0,
                 false},
         }) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(Path("Week"));
        std::filesystem::remove(Path("Children/Ann.history"));
        MakeLesson("Week", row.words);
        WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
        WriteFile("Children/Ann.settings", row.fromMemory ? "practice_from_memory=on\n" : "");
        form_ = std::make_unique<TForm1>(dir_);
        form_->ClipWaitPassSleep = std::chrono::milliseconds(1);
        form_->RightAnswerPause = std::chrono::milliseconds(0);
        form_->FixedRandomSeed = 20261208u;
        seen_ = platform::wave::VirtualAudio::instance().played().size();
        StartTest();
        ASSERT_EQ(form_->RunMode, 2);
        EXPECT_EQ(form_->RunRecalls, row.fromMemory);
        const std::string missed = Current();
        bool missedOnce = false;
        const auto asked = AnswerRun([&](const std::string& word, bool) {
            if (word != missed || missedOnce)
                return true;
            return !(missedOnce = true);
        });
        EXPECT_EQ(form_->RunMode, 0);
        EXPECT_EQ(Heard().back(), "LESSON");
        const auto retest = std::find(asked.begin(), asked.end(), missed + "+");
        ASSERT_EQ(retest != asked.end(), row.fromMemory);
        EXPECT_EQ(
            std::count_if(asked.begin(), asked.end(), [](const std::string& w) { return w.back() == '+'; }),
            row.fromMemory ? 1 : 0);
        const std::size_t plainAnswers = asked.size() - (row.fromMemory ? 1 : 0);
        EXPECT_EQ(plainAnswers, row.words.size() * 2 + 1); // the draw asks what it always asked
        if (row.fromMemory) {
            EXPECT_GE(static_cast<std::size_t>(retest - asked.begin()) - 1, row.gapAtLeast);
            EXPECT_EQ(retest + 1 == asked.end(), row.retestLast);
        }
        // The retest is in the history with its phase, not in the record nor the tallies.
        const auto history = History();
        ASSERT_EQ(history.size(), asked.size());
        const auto line = std::find_if(history.begin(), history.end(),
                                       [](const app::progress::Attempt& a) { return a.phase == "retest"; });
        ASSERT_EQ(line != history.end(), row.fromMemory);
        if (row.fromMemory) {
            EXPECT_EQ(line->word, missed);
            EXPECT_TRUE(line->right);
        }
        EXPECT_NE(ReadFile("Children/Ann.xml").find("word=\"" + missed + "\" trys=\"3\" correct=\"2\""),
                  std::string::npos);
        EXPECT_EQ(form_->TotalTried, static_cast<std::int32_t>(plainAnswers));
        EXPECT_EQ(form_->TotalCorrect, static_cast<std::int32_t>(row.words.size() * 2));
    }
}

} // namespace
