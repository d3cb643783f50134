#pragma once

// The kinds of spelling mistake teachers look for, found in the letter-level
// difference of a wrong answer. One answer may show several. A stretch of letters
// that differs from the word is first looked at as a whole (a sound written another
// way, a silent letter left out, a spelling rule missed); what no such rule explains
// is looked at letter by letter, each difference under the first kind of the list
// below that explains it.

#include "app/progress/AttemptHistory.h"
#include "app/progress/LetterDiff.h"

#include <string>
#include <string_view>
#include <vector>

namespace app::progress {

enum class PatternKind {
    SpaceOrApostrophe, // icecream, dont: a blank, apostrophe or hyphen missing, added or moved
    DoubledLetter,     // a doubled letter written single, or a single one doubled
    SilentEKept,       // hopeing: a silent e kept before an ending that starts with a vowel
    YToI,              // babys, cryed: y not changed to i before an ending (or changed where it stays)
    IeOrEi,            // freind, recieve
    SilentLetter,      // iland, anser, wich: a letter that is not heard left out
    SoundSpelling,     // skool, fone, laff: a sound written with another of its spellings
    Ending,            // a common ending (-ing, -ed, -ly, -es, -s) wrong
    Vowel,             // a vowel or vowel pair confused
    Swap,              // two neighbouring letters swapped
    SilentE,           // a silent final e missing
    Reversal,          // b/d or p/q reversed
    MissingLetter,     // a letter missing
    AddedLetter,       // a letter added
    Other,             // a letter wrong in some other way
};
inline constexpr int kPatternKindCount = 15;

// The name shown to teachers, e.g. "Doubled letter".
std::string PatternName(PatternKind kind);

// The kinds of the differences between typed and word (both as ComparableText
// gives them), one entry per difference, in the order they occur.
std::vector<PatternKind> ClassifyDifferences(std::u32string_view typed, std::u32string_view word,
                                             const std::vector<Edit>& edits);
std::vector<PatternKind> ClassifyMisspelling(std::string_view typed, std::string_view word);

struct PatternExample {
    std::string word;
    std::string typed; // the newest answer of that word showing the kind

    bool operator==(const PatternExample&) const = default;
};

struct PatternCount {
    PatternKind kind = PatternKind::Other;
    int answers = 0;                      // wrong answers showing the kind (each once)
    std::vector<PatternExample> examples; // newest first, each word once
};

// The patterns of the wrong answers among `attempts` (in the order judged), largest first.
std::vector<PatternCount> CountPatterns(const std::vector<const Attempt*>& attempts,
                                        std::size_t examplesPerKind = 5);

} // namespace app::progress
