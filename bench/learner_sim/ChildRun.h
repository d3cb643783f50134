#pragma once

// One simulated child working through the tutor's questions: each answer sampled from
// its memory, timed, written to the history as the tutor writes it, and followed after
// a miss by the drill the policy uses.

#include "Memory.h"

#include "app/progress/AttemptHistory.h"

#include <cstdint>
#include <string>
#include <vector>

namespace learner_sim {

struct EventSeconds {
    double right = 10, wrong = 12, covered = 15, copy = 6;
};

struct ChildSetup {
    std::uint64_t key = 0; // the child's stream
    int words = 10;
    int daysToTest = 7;
    double capSeconds = 300;
    std::vector<double> offsets; // b_child + b_word
    std::vector<bool> known;
};

class ChildRun {
public:
    ChildRun(const ChildSetup& setup, Memory& memory, bool drillFromMemory);

    void StartDay(int day, double capSeconds);
    void EndDay();
    bool CapReached() const { return daySeconds_ >= capSeconds_; }
    // A test answer (or a retest) of the word; the drill follows a miss. True when right.
    bool Ask(int word, bool retest);

    const std::string& WordName(int word) const { return names_[static_cast<std::size_t>(word)]; }
    int WordIndex(const std::string& name) const;
    int Day() const { return day_; }
    double TotalSeconds() const { return totalSeconds_; }

    std::vector<std::int32_t> correct; // the record's right answers per word
    std::vector<app::progress::Attempt> history;

private:
    bool Sample(int word);
    void Spend(double seconds);
    void Log(int word, bool right, const char* phase);
    void CopyDrill(int word);
    void RecallDrill(int word);

    const ChildSetup& setup_;
    Memory& memory_;
    bool drillFromMemory_;
    std::vector<std::string> names_;
    std::vector<std::uint64_t> attempts_; // answers from memory so far, per word
    std::vector<std::int64_t> tries_;
    int day_ = 0;
    double now_ = 0;
    double capSeconds_ = 0;
    double daySeconds_ = 0;
    double totalSeconds_ = 0;
    std::string stamp_;
};

} // namespace learner_sim
