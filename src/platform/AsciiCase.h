#pragma once

// Letter case of the ASCII letters only: a to z folded onto A to Z, every other byte
// (digits, punctuation, UTF-8 sequences) left as it is. Names on disk, chunk
// identifiers and spellings are compared this way throughout the tutor.

#include <string>
#include <string_view>

namespace platform {

// `c` with a to z folded onto A to Z.
char UpperAscii(char c);
// `text` with a to z folded onto A to Z.
std::string UpperAscii(std::string text);
// True when `a` and `b` are equal after folding a to z onto A to Z.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

} // namespace platform
