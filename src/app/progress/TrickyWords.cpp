#include "app/progress/TrickyWords.h"

#include "app/learning/PracticeDrill.h"

#include <map>

namespace app::progress {

namespace {

constexpr std::string_view kDrillPhase = "drill";

struct DrillState {
    std::string run;
    int misses = 0;
    bool tricky = false;
};

} // namespace

std::set<LessonWord> TrickyWords(const std::vector<Attempt>& history)
{
    std::map<LessonWord, DrillState> words;
    for (const Attempt& attempt : history) {
        if (attempt.phase != kDrillPhase)
            continue;
        DrillState& state = words[{attempt.lesson, attempt.word}];
        if (state.run != attempt.run) {
            state.run = attempt.run; // a drill left unfinished ends with its run
            state.misses = 0;
        }
        if (attempt.right) {
            state.tricky = false;
            state.misses = 0;
        } else if (++state.misses == app::learning::RecallDrill::kMissesBeforeCopy) {
            state.tricky = true;
            state.misses = 0;
        }
    }
    std::set<LessonWord> tricky;
    for (const auto& [word, state] : words)
        if (state.tricky)
            tricky.insert(word);
    return tricky;
}

} // namespace app::progress
