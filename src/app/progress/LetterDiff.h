#pragma once

// The letter-level difference between what a child typed and the word: which letters
// are missing, added, swapped or wrong. Both texts are compared as the test judges
// them: leading and trailing ASCII blanks dropped, a to z folded onto A to Z (letter case is
// never a mistake), and letter by letter (a character, not a UTF-8 byte).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace app::progress {

// The text as the comparison sees it: Unicode code points, ASCII blanks trimmed, a-z folded.
std::u32string ComparableText(std::string_view utf8);

enum class EditKind {
    Same,    // the letter is right
    Wrong,   // typed[typedPos] stands where word[wordPos] belongs
    Missing, // word[wordPos] was left out
    Extra,   // typed[typedPos] was added (before word[wordPos])
    Swapped, // word[wordPos] and word[wordPos + 1] were typed the other way round
};

struct Edit {
    EditKind kind = EditKind::Same;
    std::size_t typedPos = 0;
    std::size_t wordPos = 0;

    bool operator==(const Edit&) const = default;
};

// The fewest edits that turn `word` into `typed`, in order along both texts
// (Same entries included, so the edits walk both texts from start to end).
std::vector<Edit> LetterDiff(std::u32string_view typed, std::u32string_view word);

} // namespace app::progress
