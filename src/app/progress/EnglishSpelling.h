#pragma once

// What the kinds of mistake need to know about English spelling: vowels, the common
// endings, the letters that are written but not heard, and the spellings one sound
// can have. Texts are upper case (A to Z), as ComparableText gives them.

#include <cstddef>
#include <string_view>

namespace app::progress::english {

bool IsVowel(char32_t c);
bool IsConsonant(char32_t c);

// Where the common ending (-ing, -ed, -ly, -es, -s) of a word begins, or npos when it
// has none (the stem before it must have three letters).
std::size_t EndingStart(std::u32string_view word);

// True when the letter at `pos` of `word` is one that is usually not heard there:
// the k of KNEE, the s of ISLAND, the w of ANSWER, the h of WHICH, the b of LAMB.
bool IsSilentLetter(std::u32string_view word, std::size_t pos);

// True when `a` and `b` are two different spellings of one sound: K and CH, F and PH,
// OR and OUGH.
bool SpellTheSameSound(std::u32string_view a, std::u32string_view b);

} // namespace app::progress::english
