#pragma once

// The player's attempt history: one JSON object per line, one line per judged answer
// of a test, in the file beside the player's record ("Children/Player_One.history"
// beside "Children/Player_One.xml"):
//
//   {"run":"2026-12-08T09:15:02.120+01:00","time":"2026-12-08T09:15:09.871+01:00",
//    "lesson":"Week_3","word":"CAT","typed":"kat","right":false,"try":3}
//
// Answers that are not test answers carry a "phase" after "try" ("drill", "retest").
//
// Texts are written as they are (UTF-8, with quotes, backslashes and control
// characters escaped), so any word or typed text reads back unchanged. A line that is
// not such an object (torn by a crash, damaged, or written by something else) is
// skipped and counted by the reader; the rest of the file still reads.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app::progress {

struct Attempt {
    std::string run;    // when Start Test was pressed (ISO 8601); the same on every line of a run
    std::string time;   // when the answer was judged (ISO 8601, local time with its UTC offset)
    std::string lesson; // the lesson's name as the lesson list shows it
    std::string word;
    std::string typed; // exactly as typed
    bool right = false;
    std::int64_t tries = 0; // the word's try count after the judgement ("try")
    // Empty for a test answer (the line has no "phase"); "drill" for a covered answer of
    // practice from memory, "retest" for a missed word asked again later in the run.
    std::string phase;

    bool operator==(const Attempt&) const = default;
};

// The time now as the history writes it: local time to the millisecond with its UTC
// offset, e.g. "2026-12-08T09:15:09.871+01:00".
std::string LocalTimestampNow();

// The line of an attempt, without its line end.
std::string AttemptToLine(const Attempt& attempt);
// The attempt a line holds; nullopt for anything else.
std::optional<Attempt> AttemptFromLine(std::string_view line);

struct History {
    std::vector<Attempt> attempts; // in file order, which is the order they were judged
    std::size_t skippedLines = 0;  // malformed, torn or foreign lines
    bool unreadable = false;       // the file exists but could not be read
};

// The attempts of a history file's bytes. Blank lines are neither attempts nor skipped.
History ParseHistory(std::string_view bytes);
// Adds the attempts of `bytes` (lines, the last one with or without its line end) to
// `history`, so a file can be read a piece at a time.
void ParseHistoryInto(std::string_view bytes, History& history);

// The history file at `path`: an empty history when there is none, `unreadable` when
// it cannot be read.
History ReadHistory(const std::filesystem::path& path);

// The history file that belongs to a record file: the same name with ".history".
std::filesystem::path HistoryPathOf(const std::filesystem::path& recordPath);

// Appends the attempt as one line in one write, under an fcntl write lock that also
// covers the check of the last byte (a torn last line gets its line end first), and
// flushes it to disk. Raises std::system_error on failure; the file is never truncated.
void AppendAttempt(const std::filesystem::path& path, const Attempt& attempt);

} // namespace app::progress
