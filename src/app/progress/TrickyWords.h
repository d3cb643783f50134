#pragma once

// Tricky words: practised from memory, their latest drill needed the copy that follows
// three wrong covered answers. Worked out from the history's drill lines alone.

#include "app/progress/AttemptHistory.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace app::progress {

// Lesson and word.
using LessonWord = std::pair<std::string, std::string>;

// A drill is a word's covered answers in one run up to a right one; it is tricky when it
// reached three wrong ones. A word is tricky while its latest finished drill was.
std::set<LessonWord> TrickyWords(const std::vector<Attempt>& history);

} // namespace app::progress
