// Fuzz target: the attempt history reader and the analysis behind the progress window.
// Arbitrary bytes as a history file are parsed; read again in blocks cut anywhere (as
// the file reader's blocks fall), they must give the same history; every attempt read
// must write back to a line that reads as the same attempt, and the report, the
// misspellings' letter differences and patterns, and the CSV export must all be made
// without fault.

#include "app/progress/AttemptHistory.h"
#include "app/progress/LetterDiff.h"
#include "app/progress/ProgressCsv.h"
#include "app/progress/ProgressReport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto history = app::progress::ParseHistory(bytes);
    app::progress::HistoryReader reader;
    for (std::size_t at = 0, i = 0; at < size; ++i) {
        // Lengths from the input itself; every fourth block may be empty.
        const std::size_t length = data[i % size] % 17 + (i % 4 == 0 ? 0 : 1);
        reader.Add(bytes.substr(at, length));
        at += length;
    }
    const auto inBlocks = std::move(reader).Finish();
    Check(inBlocks.attempts == history.attempts && inBlocks.skippedLines == history.skippedLines);
    std::vector<app::progress::RecordWord> record;
    for (const auto& attempt : history.attempts) {
        const auto again = app::progress::AttemptFromLine(app::progress::AttemptToLine(attempt));
        Check(again && *again == attempt);
        record.push_back({attempt.lesson, attempt.word, static_cast<std::int32_t>(attempt.tries), 0});
    }
    for (const auto& lesson : {std::optional<std::string>(), std::optional<std::string>("Week")}) {
        const auto report = app::progress::BuildReport(history.attempts, record, lesson);
        for (const auto* attempt : report.misspellings) {
            const auto typed = app::progress::ComparableText(attempt->typed);
            const auto word = app::progress::ComparableText(attempt->word);
            std::size_t typedAt = 0;
            std::size_t wordAt = 0;
            for (const auto& edit : app::progress::LetterDiff(typed, word)) {
                // The edits walk both texts in order, each letter once.
                Check(edit.typedPos == typedAt && edit.wordPos == wordAt);
                typedAt += edit.kind == app::progress::EditKind::Missing   ? 0
                           : edit.kind == app::progress::EditKind::Swapped ? 2
                                                                           : 1;
                wordAt += edit.kind == app::progress::EditKind::Extra     ? 0
                          : edit.kind == app::progress::EditKind::Swapped ? 2
                                                                          : 1;
            }
            Check(typedAt == typed.size() && wordAt == word.size());
        }
        Check(!app::progress::AttemptsCsv(report.attempts).empty());
        Check(!app::progress::WordsCsv(report.words).empty());
    }
    return 0;
}
