#include "app/progress/ProgressCsv.h"

#include <cstdio>

namespace app::progress {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Spreadsheets run a cell that starts so as a formula.
bool LooksLikeFormula(std::string_view text)
{
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

void AppendField(std::string& out, std::string_view text)
{
    out += '"';
    if (LooksLikeFormula(text))
        out += '\'';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void AppendRow(std::string& out, std::initializer_list<std::string_view> fields)
{
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first)
            out += ',';
        first = false;
        AppendField(out, field);
    }
    out += "\r\n";
}

std::string ShareText(const std::optional<double>& share)
{
    if (!share)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", *share);
    return text;
}

} // namespace

std::string ResultMarks(const std::vector<bool>& results)
{
    std::string marks;
    for (const bool right : results)
        marks += right ? "\u2713" : "\u2717";
    return marks;
}

std::string AttemptsCsv(const std::vector<const Attempt*>& attempts)
{
    std::string out(kByteOrderMark);
    AppendRow(out, {"run", "time", "lesson", "word", "typed", "right", "try"});
    for (const Attempt* attempt : attempts)
        AppendRow(out, {attempt->run, attempt->time, attempt->lesson, attempt->word, attempt->typed,
                        attempt->right ? "true" : "false", std::to_string(attempt->tries)});
    return out;
}

std::string WordsCsv(const std::vector<WordRow>& rows)
{
    std::string out(kByteOrderMark);
    AppendRow(out, {"lesson", "word", "tries", "right", "share right", "last tried", "last five"});
    for (const WordRow& row : rows)
        AppendRow(out, {row.lesson, row.word, std::to_string(row.tries), std::to_string(row.right),
                        ShareText(row.ShareRight()), row.lastTried, ResultMarks(row.lastFive)});
    return out;
}

std::string TableCsv(const std::vector<std::vector<std::string>>& rows)
{
    std::string out(kByteOrderMark);
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0)
                out += ',';
            AppendField(out, row[i]);
        }
        out += "\r\n";
    }
    return out;
}

} // namespace app::progress
