#pragma once

// The plan toward a lesson's test date: today's session of a child, computed from the
// child's history, the lesson's words and the date alone. Nothing else is stored, so
// a skipped day, a moved date or a word added to the lesson just gives a new plan.
//
// Each word aims at three days with a right first answer before the test day, spread
// evenly over the days left with at least one night between; a word missed comes back
// the next day; a word never asked is first asked as a pretest; the day before the
// test asks every word, twice where the lesson has more than four words (a second
// round the simulated class showed worth its minutes). A session asks the words due,
// most overdue first, and at most kSessionAnswers of them.

#include "app/learning/CalendarDay.h"
#include "app/progress/AttemptHistory.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace app::learning {

inline constexpr int kSessionAnswers = 15;
inline constexpr int kAimedRightDays = 3;

// How a word of the lesson stands today.
struct WordStanding {
    std::string word;
    int rightDays = 0;          // days, up to today, whose first answer was right
    std::optional<Day> lastDay; // the last day it was answered; none: never asked
    bool lastDayRight = false;  // that day's first answer was right
    std::optional<Day> due;     // the day it is asked next; none: not before the test

    bool operator==(const WordStanding&) const = default;
};

struct TestPlan {
    enum class Kind {
        Plain,      // no test date to come: the plain weighted run
        Session,    // today's session of the plan
        NothingDue, // a date to come, but nothing due today
    };
    Kind kind = Kind::Plain;
    int daysLeft = 0;                 // days from today to the test day
    std::vector<std::string> session; // today's words in the order to ask them
    std::vector<WordStanding> words;  // in the lesson's order
    bool tooManyWords = false;        // the words cannot reach their aim in the days left
    std::string lastWordAsked;        // the latest answer of the lesson in the history
};

// `history` in file order; only the test answers of `lesson` count (lines of another
// lesson, drill lines and lines dated after `today`, as a clock set back leaves them,
// are passed over). `testDay` none, today or past gives a plain run.
TestPlan MakeTestPlan(std::span<const progress::Attempt> history, std::string_view lesson,
                      std::span<const std::string> lessonWords, std::optional<Day> testDay, Day today);

// How each word stood at the end of `day` (for a past test day, the day before it), in the
// lesson's order.
std::vector<WordStanding> StandingsOn(std::span<const progress::Attempt> history, std::string_view lesson,
                                      std::span<const std::string> lessonWords, Day day);

} // namespace app::learning
