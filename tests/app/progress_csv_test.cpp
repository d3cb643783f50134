// The CSV export reads back, field for field, as a spreadsheet reads it (RFC 4180),
// whatever the child typed; a field a spreadsheet would run as a formula comes back
// with an apostrophe before it.

#include "app/progress/ProgressCsv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using app::progress::Attempt;

// A reader as spreadsheets read CSV: quoted fields may hold commas, quotes (doubled) and
// line ends; records end with CRLF.
std::vector<std::vector<std::string>> ReadCsv(std::string_view text)
{
    const std::string_view bom = "\xEF\xBB\xBF";
    EXPECT_TRUE(text.starts_with(bom));
    text.remove_prefix(bom.size());
    std::vector<std::vector<std::string>> records(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += '"', ++i;
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().push_back(std::move(field));
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.back().push_back(std::move(field));
            field.clear();
            records.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(records.back().empty() && field.empty()) << "the last record lacks its line end";
    records.pop_back();
    return records;
}

TEST(ProgressCsv, AttemptsRoundTripAsTypedWithFormulasDisarmed)
{
    const std::vector<Attempt> history = {
        {"2026-12-08T09:15:02.120+01:00", "2026-12-08T09:15:09.871+01:00", "Week 3, \"hard\"", "DON'T",
         "do\"nt, \t\r\nt", false, 1},
        {"r", "t", "Wörter", "ÉCOLE", "=HYPERLINK(\"x\")", false, 2},
        {"r", "t", "日本語", "🐈", "", true, 2147483647},
        {"r", "t", "L", "W", "  leading and trailing  ", true, 3},
        {"r", "t", "+L", "-W", "@SUM(A1)", false, 1},
        {"r", "t", "L", "W", "\t=1", false, 1},
        {"r", "t", "L", "W", "\r=1", false, 1},
        {"r", "t", "L", "W", "1=1 +-@", false, 1},
    };
    auto cell = [](const std::string& text) {
        const bool formula = !text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos;
        return formula ? "'" + text : text;
    };
    std::vector<const Attempt*> attempts;
    for (const Attempt& attempt : history)
        attempts.push_back(&attempt);
    const auto records = ReadCsv(app::progress::AttemptsCsv(attempts));
    ASSERT_EQ(records.size(), history.size() + 1);
    EXPECT_EQ(records[0],
              (std::vector<std::string>{"run", "time", "lesson", "word", "typed", "right", "try"}));
    for (std::size_t i = 0; i < history.size(); ++i) {
        const Attempt& a = history[i];
        EXPECT_EQ(records[i + 1],
                  (std::vector<std::string>{a.run, a.time, cell(a.lesson), cell(a.word), cell(a.typed),
                                            a.right ? "true" : "false", std::to_string(a.tries)}));
    }
    EXPECT_EQ(records[2][4], "'=HYPERLINK(\"x\")");
    EXPECT_EQ(records[5][2], "'+L");
    EXPECT_EQ(records[6][4], "'\t=1");
    EXPECT_EQ(records[8][4], "1=1 +-@"); // only the first character counts
}

TEST(ProgressCsv, WordsHoldTheTableAsShown)
{
    app::progress::WordRow row;
    row.lesson = "Week, 3";
    row.word = "CAT";
    row.tries = 4;
    row.right = 3;
    row.historyAttempts = 3;
    row.historyRight = 2;
    row.lastTried = "2026-12-08T09:15:09.871+01:00";
    row.lastFive = {true, false, true};
    app::progress::WordRow unseen;
    unseen.lesson = "Week, 3";
    unseen.word = "DOG";
    const auto records = ReadCsv(app::progress::WordsCsv({row, unseen}));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], (std::vector<std::string>{"lesson", "word", "tries", "right", "share right",
                                                    "last tried", "last five"}));
    EXPECT_EQ(records[1], (std::vector<std::string>{"Week, 3", "CAT", "4", "3", "0.67",
                                                    "2026-12-08T09:15:09.871+01:00", "\u2713\u2717\u2713"}));
    EXPECT_EQ(records[2], (std::vector<std::string>{"Week, 3", "DOG", "0", "0", "", "", ""}));
}

} // namespace
