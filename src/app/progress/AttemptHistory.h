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
// skipped and counted by the reader; the rest of the file still reads. A last line
// without its line end is one still being written: it is not counted as damaged.

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

// Reads a history a block at a time, in time linear in its size: the whole lines of a
// block are read as it arrives, and a line cut by a block's end waits for the rest.
// Blank lines are neither attempts nor skipped.
class HistoryReader {
public:
    explicit HistoryReader(std::size_t expectedAttempts = 0);
    void Add(std::string_view block);
    // The history read. A last line without its line end is being written by another
    // tutor (or was cut by a crash, and the next append ends it): it counts when it is
    // already a whole attempt and is otherwise left out, without being called damaged.
    History Finish() &&;

private:
    void ReadLine(std::string_view line);

    History history_;
    std::string pending_; // the start of a line whose end has not come yet
};

// The attempts of a history file's bytes, as HistoryReader reads them.
History ParseHistory(std::string_view bytes);

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
