#pragma once

// The progress as CSV for spreadsheets: the attempts, and the per-word table. UTF-8
// with a byte order mark (so spreadsheets take it as UTF-8), CRLF line ends, every
// field quoted with its quotes doubled. Texts are written exactly as typed, except
// that a field starting with "=", "+", "-", "@", a tab or a carriage return gets an
// apostrophe before it: spreadsheets would run it as a formula, and the "typed"
// column holds whatever a child typed.

#include "app/progress/AttemptHistory.h"
#include "app/progress/ProgressReport.h"

#include <string>
#include <string_view>
#include <vector>

namespace app::progress {

std::string AttemptsCsv(const std::vector<const Attempt*>& attempts);
std::string WordsCsv(const std::vector<WordRow>& rows);

// Any table: the first row is the header.
std::string TableCsv(const std::vector<std::vector<std::string>>& rows);

// "✓" for a right answer, "✗" for a wrong one, oldest first.
std::string ResultMarks(const std::vector<bool>& results);

} // namespace app::progress
