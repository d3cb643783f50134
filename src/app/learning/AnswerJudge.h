#pragma once

// The one rule that judges a typed spelling, for the test and every drill.

#include <string_view>

namespace app::learning {

// Right when equal without leading and trailing blanks and after folding a to z onto A
// to Z; blanks inside a word count, nothing else is folded.
bool SameSpelling(std::string_view typed, std::string_view word);

} // namespace app::learning
