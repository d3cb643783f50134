#pragma once

// What the progress window is opened on: the player's record counts and attempt
// history, read from their files, and the lessons to choose from.

#include "app/progress/AttemptHistory.h"
#include "app/progress/ProgressReport.h"
#include "app/progress/TrickyWords.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace app::progress {

struct ProgressSource {
    std::string player;
    std::vector<std::string> lessons; // the lessons with words or history, in the order offered
    std::vector<RecordWord> record;   // every word of those lessons with its record counts
    History history;
    std::set<LessonWord> tricky; // from the drill lines (TrickyWords)
};

// Reads the record file (raising the XML layer's error for one that is missing or
// malformed) and the history beside it, of which only test answers (lines without a
// phase) are kept; the drill lines give the tricky words. `lessonWords` holds each
// lesson's words as its folder lists them; words that have only history are added, as
// are lessons that have only history.
ProgressSource LoadProgressSource(const std::string& player, const std::filesystem::path& recordPath,
                                  const std::map<std::string, std::vector<std::string>>& lessonWords);

} // namespace app::progress
