#pragma once

// The kinds of spelling mistake teachers look for, found in the letter-level
// difference of a wrong answer. One answer may show several; each difference counts
// once, under the first kind of this list that explains it.

#include "app/progress/AttemptHistory.h"
#include "app/progress/LetterDiff.h"

#include <string>
#include <string_view>
#include <vector>

namespace app::progress {

enum class PatternKind {
    DoubledLetter, // a doubled letter written single, or a single one doubled
    Vowel,         // a vowel or vowel pair confused
    Swap,          // two neighbouring letters swapped
    SilentE,       // a silent final e missing
    Reversal,      // b/d or p/q reversed
    Ending,        // a common ending (-ing, -ed, -ly, -es, -s) wrong
    MissingLetter, // a letter missing
    AddedLetter,   // a letter added
    Other,         // a letter wrong in some other way
};
inline constexpr int kPatternKindCount = 9;

// The name shown to teachers, e.g. "Doubled letter".
std::string PatternName(PatternKind kind);

// The kinds of the differences between typed and word (both as ComparableText
// gives them), one entry per difference, in the order they occur.
std::vector<PatternKind> ClassifyDifferences(std::u32string_view typed, std::u32string_view word,
                                             const std::vector<Edit>& edits);
std::vector<PatternKind> ClassifyMisspelling(std::string_view typed, std::string_view word);

struct PatternCount {
    PatternKind kind = PatternKind::Other;
    int count = 0;
    std::vector<std::string> examples; // the words, newest first, each once
};

// The patterns of the wrong answers among `attempts` (in the order judged), largest first.
std::vector<PatternCount> CountPatterns(const std::vector<const Attempt*>& attempts,
                                        std::size_t examplesPerKind = 5);

} // namespace app::progress
