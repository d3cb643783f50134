#pragma once

// The whole class at a glance, worked out from every player's record and history without any
// window: one row per player, the words the class misses most, and the mistake patterns with
// the players who show them. A player whose files could not be read keeps a row with the reason.

#include "app/progress/MisspellingPatterns.h"
#include "app/progress/ProgressReport.h"
#include "app/progress/ProgressSource.h"

#include <optional>
#include <string>
#include <vector>

namespace app::progress {

// One player of the class as read from the players' folder.
struct ClassMember {
    std::string player;
    std::optional<ProgressSource> source; // nullopt when the record could not be read
    std::string problem;                  // why the files could not be read (fully or in part)
};

struct PlayerRow {
    std::string player;
    std::string problem; // empty when everything was read
    bool unread = false; // the record could not be read: nothing but the problem is known
    int tests = 0;
    std::string lastTest;              // date of the last test (YYYY-MM-DD); empty without tests
    int lastTestWords = 0;             // words asked in the last test
    int lastTestFirstRight = 0;        // of those, right at the first answer
    std::optional<double> share;       // first-answer share over all tests
    std::optional<double> recentShare; // first-answer share over the last three tests
    int troubleWords = 0;
    std::vector<std::string> hardest; // up to three words, hardest first
};

struct ClassWord {
    std::string lesson;
    std::string word;
    int playersMissing = 0; // players with a wrong answer among their last five
    int firstAnswers = 0;   // first answers to the word in a test, across the class
    int firstAnswersRight = 0;

    std::optional<double> FirstShare() const;
};

struct ClassPattern {
    PatternKind kind = PatternKind::Other;
    int count = 0;
    std::vector<std::string> players; // in class order
};

struct ClassReport {
    std::vector<PlayerRow> players;     // lowest recent first-answer share first; untested and unread last
    std::vector<ClassWord> words;       // missed by the most players first
    std::vector<ClassPattern> patterns; // largest first
};

// The class report for one lesson, or all lessons when `lesson` is nullopt.
ClassReport BuildClassReport(const std::vector<ClassMember>& members,
                             const std::optional<std::string>& lesson);

} // namespace app::progress
