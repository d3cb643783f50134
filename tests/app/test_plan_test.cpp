// The test-date plan as a pure function of the history, the lesson's words, the date
// and today, driven day by day as a child would use it; and one session as it is asked.

#include "app/learning/PlanSession.h"
#include "app/learning/TestPlan.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace app::learning;
using app::progress::Attempt;
using Words = std::vector<std::string>;

const Day kMonday = *DayOfDate("2026-12-07");

Attempt Answer(Day day, const std::string& word, bool right, std::string phase = {})
{
    const std::string stamp = DateOfDay(day) + "T17:00:00.000+01:00";
    return {stamp, stamp, "Week", word, right ? word : "?", right, 1, std::move(phase)};
}

// "AAA".."TTT" (or "A".."T" for width 1): more words than one session holds.
Words TwentyWords(std::size_t width)
{
    Words words;
    for (char c = 'A'; c <= 'T'; ++c)
        words.emplace_back(width, c);
    return words;
}

// A child who runs each day's session (none on the days skipped), answering as `rightOn` says.
struct PlanWeek {
    Words lesson;
    Day testDay;
    std::function<bool(Day, const std::string&)> rightOn = [](Day, const std::string&) { return true; };
    std::vector<Attempt> history;

    TestPlan PlanFor(Day day) const { return MakeTestPlan(history, "Week", lesson, testDay, day); }

    Words Run(Day day) // returns the words asked
    {
        const Words asked = PlanFor(day).session;
        for (const std::string& word : asked)
            history.push_back(Answer(day, word, rightOn(day, word)));
        return asked;
    }
};

const auto AllButBeeOnMonday = [](Day day, const std::string& word) {
    return !(day == kMonday && word == "BEE");
};

TEST(TestPlanTest, AWeekWithEveryDayDoneSpreadsThreeRightDaysPerWord)
{
    PlanWeek week{{"ANT", "BEE", "COW"}, kMonday + 7, AllButBeeOnMonday};
    // Pretests (BEE missed), the miss back the next day, and every word once the day before the test.
    const std::vector<Words> expected = {{"ANT", "BEE", "COW"}, {"BEE"}, {"ANT", "COW"},       {"BEE"},
                                         {"ANT", "COW"},        {"BEE"}, {"ANT", "BEE", "COW"}};
    for (int offset = 0; offset < 7; ++offset)
        EXPECT_EQ(week.Run(kMonday + offset), expected[offset]) << offset;
    for (const WordStanding& standing : week.PlanFor(kMonday + 6).words)
        EXPECT_EQ(standing.rightDays, 4) << standing.word;
    EXPECT_EQ(week.PlanFor(kMonday + 7).kind, TestPlan::Kind::Plain); // the test day itself
}

TEST(TestPlanTest, SkippedDaysChangedDatesAndAddedWordsJustGiveANewPlan)
{
    // A skipped day: what was due then comes first, most overdue ahead of what is due today.
    PlanWeek skipped{{"ANT", "BEE", "COW"}, kMonday + 7, AllButBeeOnMonday};
    skipped.Run(kMonday);
    skipped.Run(kMonday + 1);
    EXPECT_EQ(skipped.Run(kMonday + 3), (Words{"ANT", "COW", "BEE"}));

    // The date moved three days closer: the gaps shrink to fit.
    PlanWeek moved{{"ANT", "BEE"}, kMonday + 7};
    moved.Run(kMonday);
    EXPECT_EQ(moved.PlanFor(kMonday + 1).kind, TestPlan::Kind::NothingDue);
    moved.testDay = kMonday + 4;
    EXPECT_EQ(moved.Run(kMonday + 1), (Words{"ANT", "BEE"}));

    // A word added halfway is pretested on its first day, before reviews due that day.
    PlanWeek added{{"ANT", "BEE"}, kMonday + 7};
    added.Run(kMonday);
    added.lesson.push_back("COW");
    EXPECT_EQ(added.Run(kMonday + 2), (Words{"COW", "ANT", "BEE"}));
}

TEST(TestPlanTest, DayBeforeTheTestTooManyWordsNothingDueAndNoDate)
{
    PlanWeek review{{"ANT", "BEE"}, kMonday + 7};
    for (int offset : {0, 2, 4})
        review.Run(kMonday + offset);
    EXPECT_EQ(review.PlanFor(kMonday + 5).kind, TestPlan::Kind::NothingDue);
    EXPECT_EQ(review.Run(kMonday + 6), (Words{"ANT", "BEE"}));
    EXPECT_EQ(review.PlanFor(kMonday + 6).kind, TestPlan::Kind::NothingDue); // asked already today

    // A lesson of more than four words gets a second round that day.
    const Words six = {"ANT", "BEE", "COW", "DOG", "EMU", "FOX"};
    Words twice = six;
    twice.insert(twice.end(), six.begin(), six.end());
    EXPECT_EQ((PlanWeek{six, kMonday + 1}.PlanFor(kMonday).session), twice);

    PlanWeek crowded{TwentyWords(3), kMonday + 2};
    const TestPlan first = crowded.PlanFor(kMonday);
    EXPECT_TRUE(first.tooManyWords);
    EXPECT_EQ(first.session, Words(crowded.lesson.begin(), crowded.lesson.begin() + 15));
    crowded.Run(kMonday);
    // The new words left over are pretested first on the next day, the review day.
    const Words next = crowded.PlanFor(kMonday + 1).session;
    EXPECT_EQ(next.size(), 15u);
    EXPECT_EQ(next.front(), "PPP");

    EXPECT_FALSE((PlanWeek{{"ANT"}, kMonday + 3}.PlanFor(kMonday).tooManyWords));
    for (const std::optional<Day> date :
         {std::optional<Day>{}, std::optional<Day>{kMonday - 1}, std::optional<Day>{kMonday}})
        EXPECT_EQ(MakeTestPlan({}, "Week", Words{"ANT"}, date, kMonday).kind, TestPlan::Kind::Plain);
}

TEST(TestPlanTest, OnlyThisLessonsTestAnswersOfPastDaysCount)
{
    std::vector<Attempt> history = {
        Answer(kMonday, "ANT", true),
        Answer(kMonday, "ANT", false, "drill"), // a covered answer is no test answer
        Answer(kMonday, "GNU", true),           // not (or no longer) in the lesson
        Answer(kMonday + 1, "BEE", false),      // the clock was set back a day since
        Answer(kMonday, "BEE", true),
        Answer(kMonday, "BEE", true),
    };
    history[4].lesson = "Other";
    history[5].time = "yesterday"; // damaged

    const TestPlan plan = MakeTestPlan(history, "Week", Words{"ANT", "BEE"}, kMonday + 7, kMonday);
    EXPECT_EQ(plan.words[0], (WordStanding{"ANT", 1, kMonday, true, kMonday + 2}));
    EXPECT_EQ(plan.words[1], (WordStanding{"BEE", 0, std::nullopt, false, kMonday}));
    EXPECT_EQ(plan.session, Words{"BEE"}); // the session is not skipped for the later line
    EXPECT_EQ(plan.lastWordAsked, "BEE");
}

// Asks a session through, every answer right but those to `missed` ("*": all wrong);
// returns (word, retest) in order.
std::vector<std::pair<std::string, bool>> AskThrough(PlanSession& session, const std::string& missed)
{
    std::vector<std::pair<std::string, bool>> asked;
    while (auto question = session.Next()) {
        asked.emplace_back(question->word, question->retest);
        session.Judged(question->retest || (missed != "*" && question->word != missed));
    }
    return asked;
}

TEST(PlanSessionTest, RetestsComeFourAnswersLaterAndASessionStopsAtFifteenAnswers)
{
    PlanSession session({"ANT", "BEE", "COW", "DOG", "EMU", "FOX"}, 6, "ANT");
    const std::vector<std::pair<std::string, bool>> expected = {
        // ANT was answered last before the session: it waits four answers.
        {"BEE", false}, {"COW", false}, {"DOG", false}, {"EMU", false},
        {"ANT", false}, {"BEE", true},  {"FOX", false},
    };
    EXPECT_EQ(AskThrough(session, "BEE"), expected);
    EXPECT_EQ(session.Answers(), 7);
    EXPECT_EQ(session.RightAnswers(), 6);

    PlanSession full(TwentyWords(1), 20, "");
    const auto all = AskThrough(full, "*");
    EXPECT_EQ(all.size(), 15u);
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t j = i + 1; j < all.size() && j <= i + 4; ++j)
            EXPECT_NE(all[i].first, all[j].first) << i << " " << j;

    // A session is never skipped for the word the last one ended on (a clock set back
    // can leave that word due again at once).
    PlanSession again({"ANT"}, 1, "ANT");
    EXPECT_EQ(AskThrough(again, "").size(), 1u);
    // A short lesson's retests would repeat a word within four answers: none is asked.
    PlanSession small({"ANT", "BEE"}, 2, "");
    EXPECT_EQ(AskThrough(small, "*").size(), 2u);
}

} // namespace
