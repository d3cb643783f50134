#include "app/learning/TestPlan.h"

#include "app/learning/RetestQueue.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace app::learning {

namespace {

// Per word: each day it was answered, and whether that day's first answer was right.
using FirstAnswers = std::map<Day, bool>;

bool IsTestAnswer(const progress::Attempt& attempt)
{
    return attempt.phase.empty() || attempt.phase == "retest";
}

std::vector<FirstAnswers> CollectFirstAnswers(std::span<const progress::Attempt> history,
                                              std::string_view lesson,
                                              const std::unordered_map<std::string_view, std::size_t>& index,
                                              Day today, std::string& lastWordAsked)
{
    std::vector<FirstAnswers> days(index.size());
    for (const progress::Attempt& attempt : history) {
        if (attempt.lesson != lesson || !IsTestAnswer(attempt))
            continue;
        const auto word = index.find(attempt.word);
        if (word == index.end())
            continue;
        lastWordAsked = attempt.word;
        const auto day = DayOfDate(attempt.time);
        if (!day || *day > today)
            continue;
        days[word->second].emplace(*day, attempt.right); // keeps the day's first answer
    }
    return days;
}

WordStanding Standing(const std::string& word, const FirstAnswers& answers, Day today, Day testDay)
{
    WordStanding standing{word};
    for (const auto& [day, right] : answers)
        standing.rightDays += right ? 1 : 0;
    const Day reviewDay = testDay - 1;
    if (answers.empty()) {
        standing.due = today; // a pretest
        return standing;
    }
    const auto& [last, right] = *answers.rbegin();
    standing.lastDay = last;
    standing.lastDayRight = right;
    if (!right) {
        standing.due = last + 1;
    } else {
        const int needed = kAimedRightDays - standing.rightDays;
        // Even gaps over the nights left, the last one ending on the review day.
        const Day gap = needed > 0 ? std::max<Day>(1, (testDay - last) / (needed + 1)) : reviewDay - last;
        standing.due = last + std::max<Day>(1, gap);
    }
    if (*standing.due > reviewDay)
        standing.due = last < reviewDay ? std::optional<Day>(reviewDay) : std::nullopt;
    return standing;
}

bool DueToday(const WordStanding& standing, Day today, Day testDay)
{
    if (standing.lastDay == today)
        return false;
    return testDay - 1 == today || (standing.due && *standing.due <= today);
}

std::vector<std::string> TodaysWords(const std::vector<WordStanding>& words, Day today, Day testDay)
{
    std::vector<const WordStanding*> due;
    for (const WordStanding& standing : words)
        if (DueToday(standing, today, testDay))
            due.push_back(&standing);
    // Most overdue first; a pretest counts as due today, ahead of reviews due today.
    auto overdue = [today](const WordStanding* s) { return s->lastDay ? today - *s->due : 0; };
    std::stable_sort(due.begin(), due.end(), [&](const WordStanding* a, const WordStanding* b) {
        if (overdue(a) != overdue(b))
            return overdue(a) > overdue(b);
        return !a->lastDay && b->lastDay;
    });
    std::vector<std::string> session;
    for (const WordStanding* standing : due)
        session.push_back(standing->word);
    return session;
}

bool TooManyWords(const std::vector<WordStanding>& words, std::size_t dueToday, int daysLeft)
{
    std::int64_t answersNeeded = static_cast<std::int64_t>(words.size()); // the review day
    for (const WordStanding& standing : words)
        answersNeeded += std::max(0, kAimedRightDays - standing.rightDays);
    return dueToday > static_cast<std::size_t>(kSessionAnswers) ||
           answersNeeded > static_cast<std::int64_t>(kSessionAnswers) * daysLeft;
}

// The day before the test asks the words a second time, where a round is long enough
// to keep a word's two answers more than kRetestGap answers apart.
void AddSecondRound(std::vector<std::string>& words)
{
    if (words.size() <= RetestQueue::kRetestGap)
        return;
    const std::size_t once = words.size();
    for (std::size_t i = 0; i < once; ++i)
        words.push_back(words[i]);
}

} // namespace

TestPlan MakeTestPlan(std::span<const progress::Attempt> history, std::string_view lesson,
                      std::span<const std::string> lessonWords, std::optional<Day> testDay, Day today)
{
    TestPlan plan;
    if (!testDay || *testDay <= today)
        return plan;
    std::unordered_map<std::string_view, std::size_t> index;
    for (const std::string& word : lessonWords)
        index.emplace(word, index.size());
    const auto answers = CollectFirstAnswers(history, lesson, index, today, plan.lastWordAsked);
    plan.words.reserve(lessonWords.size());
    for (const std::string& word : lessonWords)
        plan.words.push_back(Standing(word, answers[index.at(word)], today, *testDay));
    plan.daysLeft = *testDay - today;
    std::vector<std::string> due = TodaysWords(plan.words, today, *testDay);
    plan.tooManyWords = TooManyWords(plan.words, due.size(), plan.daysLeft);
    if (plan.daysLeft == 1)
        AddSecondRound(due);
    if (due.size() > static_cast<std::size_t>(kSessionAnswers))
        due.resize(kSessionAnswers); // the rest, new words last, wait for later days
    plan.session = std::move(due);
    plan.kind = plan.session.empty() ? TestPlan::Kind::NothingDue : TestPlan::Kind::Session;
    return plan;
}

std::vector<WordStanding> StandingsOn(std::span<const progress::Attempt> history, std::string_view lesson,
                                      std::span<const std::string> lessonWords, Day day)
{
    // A plan made on `day` counts every answer of that day; its due days are not wanted.
    std::vector<WordStanding> words = MakeTestPlan(history, lesson, lessonWords, day + 1, day).words;
    for (WordStanding& standing : words)
        standing.due.reset();
    return words;
}

} // namespace app::learning
