#include "ChildRun.h"

#include "Streams.h"

#include "app/learning/CalendarDay.h"
#include "app/learning/PracticeDrill.h"

#include <algorithm>

namespace learner_sim {

namespace {

constexpr double kDay = 86400.0;
constexpr double kSessionHour = 17 * 3600.0;
const app::learning::Day kFirstDay = *app::learning::DayOfDate("2027-01-04");
const EventSeconds kSeconds;

} // namespace

ChildRun::ChildRun(const ChildSetup& setup, Memory& memory, bool drillFromMemory)
    : correct(static_cast<std::size_t>(setup.words), 0), setup_(setup), memory_(memory),
      drillFromMemory_(drillFromMemory), attempts_(static_cast<std::size_t>(setup.words), 0),
      tries_(static_cast<std::size_t>(setup.words), 0)
{
    for (int word = 0; word < setup.words; ++word)
        names_.push_back("WORD" + std::to_string(word));
}

int ChildRun::WordIndex(const std::string& name) const
{
    return static_cast<int>(std::find(names_.begin(), names_.end(), name) - names_.begin());
}

void ChildRun::StartDay(int day, double capSeconds)
{
    day_ = day;
    now_ = day * kDay + kSessionHour;
    capSeconds_ = capSeconds;
    daySeconds_ = 0;
    stamp_ = app::learning::DateOfDay(kFirstDay + day) + "T17:00:00.000+00:00";
    memory_.StartSession(now_);
}

void ChildRun::EndDay()
{
    memory_.EndSession(now_);
}

void ChildRun::Spend(double seconds)
{
    now_ += seconds;
    daySeconds_ += seconds;
    totalSeconds_ += seconds;
}

bool ChildRun::Sample(int word)
{
    const auto index = static_cast<std::size_t>(word);
    const double u = Uniform(Key({setup_.key, index, attempts_[index]++}));
    return u < memory_.Recall(word, now_);
}

void ChildRun::Log(int word, bool right, const char* phase)
{
    history.push_back({stamp_, stamp_, "Lesson", WordName(word), right ? WordName(word) : "?", right,
                       tries_[static_cast<std::size_t>(word)], phase});
}

bool ChildRun::Ask(int word, bool retest)
{
    const bool right = Sample(word);
    Spend(right ? kSeconds.right : kSeconds.wrong);
    memory_.Retrieval(word, now_, right);
    if (!retest) {
        ++tries_[static_cast<std::size_t>(word)];
        correct[static_cast<std::size_t>(word)] += right ? 1 : 0;
    }
    Log(word, right, retest ? "retest" : "");
    if (!right) {
        memory_.Study(word, now_); // the spoken correction
        if (drillFromMemory_)
            RecallDrill(word);
        else
            CopyDrill(word);
    }
    return right;
}

void ChildRun::CopyDrill(int word)
{
    memory_.Study(word, now_); // the page shows and speaks the word
    app::learning::CopyDrill drill;
    for (int box = 0; !drill.Done(); box = drill.OpenBoxes() - 1) {
        Spend(kSeconds.copy);
        memory_.Copy(word, now_);
        drill.Judge(box, WordName(word), WordName(word)); // the word is in view: always right
    }
}

void ChildRun::RecallDrill(int word)
{
    using Step = app::learning::RecallDrill::Step;
    app::learning::RecallDrill drill;
    const std::string& spelling = WordName(word);
    while (drill.CurrentStep() != Step::Done) {
        switch (drill.CurrentStep()) {
        case Step::Look:
            Spend(kSeconds.covered / 3);
            memory_.Study(word, now_);
            drill.Ready();
            break;
        case Step::Cover: {
            Spend(kSeconds.covered * 2 / 3);
            const bool right = Sample(word);
            memory_.Retrieval(word, now_, right);
            Log(word, right, "drill");
            drill.Check(right ? spelling : "?", spelling);
            break;
        }
        case Step::Copy:
            Spend(kSeconds.copy);
            memory_.Copy(word, now_);
            drill.CheckCopy(spelling, spelling);
            break;
        case Step::Done:
            break;
        }
    }
}

} // namespace learner_sim
