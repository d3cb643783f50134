#pragma once

// What the progress window shows, worked out from the player's record and attempt
// history, without any window: the summary, each test's share of words answered right
// at the first go, the per-word table with the trouble words first, the misspellings
// and their patterns, and whether the history is complete.

#include "app/progress/AttemptHistory.h"
#include "app/progress/MisspellingPatterns.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace app::progress {

// A word's counts in the player's record.
struct RecordWord {
    std::string lesson;
    std::string word;
    std::int32_t tries = 0;
    std::int32_t right = 0;
};

struct WordRow {
    std::string lesson;
    std::string word;
    std::int32_t tries = 0; // from the record
    std::int32_t right = 0; // from the record
    int historyAttempts = 0;
    int historyRight = 0;
    std::string lastTried;      // time of the newest attempt; empty without history
    std::vector<bool> lastFive; // the newest five results, oldest first
    bool incomplete = false;    // the history misses attempts the record counted
    int trouble = 0;            // wrong answers among the last five (record misses without history)

    // Share of the history's attempts answered right; nullopt without history.
    std::optional<double> ShareRight() const;
};

// One test: a run of one lesson.
struct RunShare {
    std::string run; // when it started (ISO 8601)
    std::string lesson;
    int words = 0;      // words asked in the run
    int firstRight = 0; // words whose first answer in the run was right

    double Share() const { return words ? static_cast<double>(firstRight) / words : 0.0; }
};

struct ProgressSummary {
    int lessons = 0; // lessons practised
    int tests = 0;
    std::size_t attempts = 0;
    int runWords = 0;           // summed over the tests
    int runWordsFirstRight = 0; // summed over the tests
    std::string firstTest;      // ISO 8601; empty without tests
    std::string lastTest;
};

struct ProgressReport {
    ProgressSummary summary;
    std::vector<const Attempt*> attempts;     // the lesson's attempts, in the order judged
    std::vector<RunShare> runs;               // in the order they were taken
    std::vector<WordRow> words;               // trouble words first
    std::vector<const Attempt*> misspellings; // the wrong answers, newest first
    std::vector<PatternCount> patterns;       // largest first
    bool incomplete = false;                  // some word's history misses attempts
    bool triesBeforeHistory = false;          // some word was tried before the history was kept
    std::string historySince;                 // time of the oldest attempt kept; empty without history
};

// The report of one lesson, or of all lessons when `lesson` is nullopt. The attempts
// stay owned by the caller (the report points into them).
ProgressReport BuildReport(const std::vector<Attempt>& history, const std::vector<RecordWord>& record,
                           const std::optional<std::string>& lesson);

} // namespace app::progress
