#pragma once

// A typed answer and its word as rich text, their letters marked by the letter-level
// difference: for the progress window's misspellings and the practice page's check.

#include <QString>

#include <string_view>

namespace app::progress {

// The typed text (trimmed, letter case kept): wrong letters red, added ones struck out,
// missing ones shown in green, swapped pairs orange; "(nothing typed)" for an empty answer.
QString MarkedTyped(std::string_view typed, std::string_view word);

// The word (trimmed, letter case kept) with the letters the answer got wrong, left out or
// swapped in red; an added letter marks nothing. A right answer marks nothing.
QString MarkedWord(std::string_view typed, std::string_view word);

} // namespace app::progress
