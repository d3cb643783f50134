#include "Policies.h"

#include "Streams.h"

#include "app/learning/CalendarDay.h"
#include "app/learning/PlanSession.h"
#include "app/learning/RetestQueue.h"
#include "app/learning/TestPlan.h"
#include "app/learning/WordDraw.h"

#include <optional>

namespace learner_sim {

namespace {

using app::learning::RetestQueue;

const app::learning::Day kFirstDay = *app::learning::DayOfDate("2027-01-04");

void AskRetest(ChildRun& run, RetestQueue& retests, const std::string& word)
{
    run.Ask(run.WordIndex(word), true);
    retests.Answered();
}

// Asks the retests whose wait is over (or, with `all`, every one left) until the cap.
void AskRetests(ChildRun& run, RetestQueue& retests, bool all)
{
    while (!run.CapReached()) {
        const auto word = all ? retests.TakeAny() : retests.TakeDue();
        if (!word)
            return;
        AskRetest(run, retests, *word);
    }
}

// A test answer of the run, its miss queued for a retest when the drill is from memory.
bool AskCounted(ChildRun& run, RetestQueue* retests, int word)
{
    const bool right = run.Ask(word, false);
    if (retests) {
        retests->Answered();
        if (!right)
            retests->Missed(run.WordName(word));
    }
    return right;
}

// Plain runs of the weighted draw, one after another, until the day's cap.
void DrawRuns(ChildRun& run, const ChildSetup& setup, bool retestsOn)
{
    for (std::uint64_t runIndex = 0; !run.CapReached(); ++runIndex) {
        app::learning::DrawRandom random(static_cast<std::uint32_t>(
            Key({setup.key, 0xD4A3, static_cast<std::uint64_t>(run.Day()), runIndex})));
        const std::int32_t ceiling = app::learning::ComputeDrawCeiling(run.correct);
        RetestQueue retests(static_cast<std::size_t>(setup.words));
        RetestQueue* queue = retestsOn ? &retests : nullptr;
        while (!run.CapReached()) {
            AskRetests(run, retests, false);
            if (run.CapReached())
                break;
            const auto drawn = app::learning::DrawWord(run.correct, ceiling, random);
            if (!drawn)
                return;
            if (AskCounted(run, queue, static_cast<int>(drawn->index)) && drawn->last)
                break;
        }
        AskRetests(run, retests, true);
    }
}

void PlanSessionOfDay(ChildRun& run, const ChildSetup& setup, const std::vector<std::string>& words)
{
    const app::learning::TestPlan plan = app::learning::MakeTestPlan(
        run.history, "Lesson", words, kFirstDay + setup.daysToTest, kFirstDay + run.Day());
    if (plan.kind != app::learning::TestPlan::Kind::Session)
        return; // nothing due: the child takes the day off
    app::learning::PlanSession session(plan.session, words.size(), plan.lastWordAsked);
    while (!run.CapReached()) {
        const auto question = session.Next();
        if (!question)
            break;
        session.Judged(run.Ask(run.WordIndex(question->word), question->retest));
    }
}

// Boxes of 1, 2 and 7 days; box 0 is a word never asked.
class Leitner {
public:
    explicit Leitner(int words) : box_(static_cast<std::size_t>(words), 0), last_(box_.size(), 0) {}

    void Session(ChildRun& run, const ChildSetup& setup)
    {
        static constexpr int kDays[] = {0, 1, 2, 7};
        RetestQueue retests(static_cast<std::size_t>(setup.words));
        for (std::size_t word = 0; word < box_.size() && !run.CapReached(); ++word) {
            if (box_[word] > 0 && run.Day() - last_[word] < kDays[box_[word]])
                continue;
            AskRetests(run, retests, false);
            if (run.CapReached())
                break;
            const bool right = AskCounted(run, &retests, static_cast<int>(word));
            box_[word] = right ? std::min(box_[word] + 1, 3) : 1;
            last_[word] = run.Day();
        }
        AskRetests(run, retests, true);
    }

private:
    std::vector<int> box_;
    std::vector<int> last_;
};

} // namespace

const char* PolicyName(Policy policy)
{
    switch (policy) {
    case Policy::Baseline:
        return "baseline";
    case Policy::DrawRecall:
        return "draw_recall";
    case Policy::PlanRecall:
        return "plan_recall";
    case Policy::LeitnerRecall:
        return "leitner_recall";
    case Policy::CramRecall:
        return "cram_recall";
    case Policy::PlanThenDrawRecall:
        return "plan_then_draw_recall";
    }
    return "?";
}

double RunPolicy(Policy policy, const ChildSetup& setup, Memory& memory, double baselineSeconds)
{
    ChildRun run(setup, memory, policy != Policy::Baseline);
    std::vector<std::string> words;
    for (int word = 0; word < setup.words; ++word)
        words.push_back(run.WordName(word));
    Leitner leitner(setup.words);
    for (int day = 0; day < setup.daysToTest; ++day) {
        const bool cramDay = day == setup.daysToTest - 1;
        if (policy == Policy::CramRecall && !cramDay)
            continue;
        run.StartDay(day, policy == Policy::CramRecall ? baselineSeconds : setup.capSeconds);
        switch (policy) {
        case Policy::Baseline:
        case Policy::DrawRecall:
        case Policy::CramRecall:
            DrawRuns(run, setup, policy != Policy::Baseline);
            break;
        case Policy::PlanRecall:
            PlanSessionOfDay(run, setup, words);
            break;
        case Policy::PlanThenDrawRecall:
            // Start Test again once the session is done (or nothing is due): plain runs.
            PlanSessionOfDay(run, setup, words);
            DrawRuns(run, setup, true);
            break;
        case Policy::LeitnerRecall:
            leitner.Session(run, setup);
            break;
        }
        run.EndDay();
    }
    return run.TotalSeconds();
}

} // namespace learner_sim
