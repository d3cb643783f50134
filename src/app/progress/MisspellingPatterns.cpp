// Each edit of a wrong answer's difference is given the first kind that explains it;
// the letters of one wrong ending are one difference.

#include "app/progress/MisspellingPatterns.h"

#include <algorithm>
#include <array>

namespace app::progress {

namespace {

bool IsVowel(char32_t c)
{
    return c == U'A' || c == U'E' || c == U'I' || c == U'O' || c == U'U';
}

bool IsConsonant(char32_t c)
{
    return c >= U'A' && c <= U'Z' && !IsVowel(c);
}

// The letter at `pos`, or 0 outside the text.
char32_t At(std::u32string_view text, std::size_t pos)
{
    return pos < text.size() ? text[pos] : 0;
}

bool NeighbourIs(std::u32string_view text, std::size_t pos, bool (*test)(char32_t))
{
    return (pos > 0 && test(At(text, pos - 1))) || test(At(text, pos + 1));
}

bool NeighbourEquals(std::u32string_view text, std::size_t pos)
{
    const char32_t c = At(text, pos);
    return (pos > 0 && At(text, pos - 1) == c) || At(text, pos + 1) == c;
}

// The endings looked at, longest first; the stem before one must have three letters.
constexpr std::array<std::u32string_view, 5> kEndings = {U"ING", U"ED", U"LY", U"ES", U"S"};
constexpr std::size_t kShortestStem = 3;

// Where the common ending of a text begins, or npos when it has none.
std::size_t EndingStart(std::u32string_view text)
{
    for (const auto ending : kEndings)
        if (text.size() >= ending.size() + kShortestStem && text.ends_with(ending))
            return text.size() - ending.size();
    return std::u32string_view::npos;
}

bool InEnding(const Edit& edit, std::u32string_view typed, std::u32string_view word)
{
    const std::size_t wordEnding = EndingStart(word);
    if (wordEnding != std::u32string_view::npos && edit.wordPos >= wordEnding)
        return true;
    // An ending added where the word has none: letters typed after the word's end.
    const std::size_t typedEnding = EndingStart(typed);
    return edit.kind == EditKind::Extra && edit.wordPos == word.size() &&
           typedEnding != std::u32string_view::npos && edit.typedPos >= typedEnding;
}

bool IsDoubling(const Edit& edit, std::u32string_view typed, std::u32string_view word)
{
    return (edit.kind == EditKind::Missing && NeighbourEquals(word, edit.wordPos)) ||
           (edit.kind == EditKind::Extra && NeighbourEquals(typed, edit.typedPos));
}

bool IsVowelMixUp(const Edit& edit, std::u32string_view typed, std::u32string_view word)
{
    switch (edit.kind) {
    case EditKind::Wrong:
        return IsVowel(At(typed, edit.typedPos)) && IsVowel(At(word, edit.wordPos));
    case EditKind::Swapped:
        return IsVowel(At(word, edit.wordPos)) && IsVowel(At(word, edit.wordPos + 1));
    case EditKind::Missing:
        return IsVowel(At(word, edit.wordPos)) && NeighbourIs(word, edit.wordPos, IsVowel);
    case EditKind::Extra:
        return IsVowel(At(typed, edit.typedPos)) && NeighbourIs(typed, edit.typedPos, IsVowel);
    default:
        return false;
    }
}

bool IsSilentEMissing(const Edit& edit, std::u32string_view word)
{
    return edit.kind == EditKind::Missing && word.size() >= 3 && edit.wordPos == word.size() - 1 &&
           word.back() == U'E' && IsConsonant(word[word.size() - 2]);
}

bool IsReversal(const Edit& edit, std::u32string_view typed, std::u32string_view word)
{
    if (edit.kind != EditKind::Wrong)
        return false;
    const char32_t a = At(typed, edit.typedPos);
    const char32_t b = At(word, edit.wordPos);
    return (a == U'B' && b == U'D') || (a == U'D' && b == U'B') || (a == U'P' && b == U'Q') ||
           (a == U'Q' && b == U'P');
}

PatternKind KindOf(const Edit& edit, std::u32string_view typed, std::u32string_view word)
{
    if (IsDoubling(edit, typed, word))
        return PatternKind::DoubledLetter;
    if (IsVowelMixUp(edit, typed, word))
        return PatternKind::Vowel;
    if (edit.kind == EditKind::Swapped)
        return PatternKind::Swap;
    if (IsSilentEMissing(edit, word))
        return PatternKind::SilentE;
    if (IsReversal(edit, typed, word))
        return PatternKind::Reversal;
    if (InEnding(edit, typed, word))
        return PatternKind::Ending;
    if (edit.kind == EditKind::Missing)
        return PatternKind::MissingLetter;
    if (edit.kind == EditKind::Extra)
        return PatternKind::AddedLetter;
    return PatternKind::Other;
}

} // namespace

std::string PatternName(PatternKind kind)
{
    switch (kind) {
    case PatternKind::DoubledLetter:
        return "Doubled letter";
    case PatternKind::Vowel:
        return "Vowel or vowel pair";
    case PatternKind::Swap:
        return "Letters swapped";
    case PatternKind::SilentE:
        return "Silent e missing";
    case PatternKind::Reversal:
        return "b/d or p/q reversed";
    case PatternKind::Ending:
        return "Ending";
    case PatternKind::MissingLetter:
        return "Letter missing";
    case PatternKind::AddedLetter:
        return "Letter added";
    case PatternKind::Other:
        return "Other";
    }
    return "Other";
}

std::vector<PatternKind> ClassifyDifferences(std::u32string_view typed, std::u32string_view word,
                                             const std::vector<Edit>& edits)
{
    std::vector<PatternKind> kinds;
    bool lastWasEnding = false;
    for (const Edit& edit : edits) {
        if (edit.kind == EditKind::Same)
            continue;
        const PatternKind kind = KindOf(edit, typed, word);
        // The letters of one wrong ending are one difference.
        if (!(kind == PatternKind::Ending && lastWasEnding))
            kinds.push_back(kind);
        lastWasEnding = kind == PatternKind::Ending;
    }
    return kinds;
}

std::vector<PatternKind> ClassifyMisspelling(std::string_view typed, std::string_view word)
{
    const std::u32string a = ComparableText(typed);
    const std::u32string b = ComparableText(word);
    return ClassifyDifferences(a, b, LetterDiff(a, b));
}

std::vector<PatternCount> CountPatterns(const std::vector<const Attempt*>& attempts,
                                        std::size_t examplesPerKind)
{
    std::vector<PatternCount> counts(kPatternKindCount);
    for (int k = 0; k < kPatternKindCount; ++k)
        counts[static_cast<std::size_t>(k)].kind = static_cast<PatternKind>(k);
    for (auto it = attempts.rbegin(); it != attempts.rend(); ++it) {
        const Attempt& attempt = **it;
        if (attempt.right)
            continue;
        for (const PatternKind kind : ClassifyMisspelling(attempt.typed, attempt.word)) {
            PatternCount& entry = counts[static_cast<std::size_t>(kind)];
            ++entry.count;
            if (entry.examples.size() < examplesPerKind &&
                std::find(entry.examples.begin(), entry.examples.end(), attempt.word) == entry.examples.end())
                entry.examples.push_back(attempt.word);
        }
    }
    std::erase_if(counts, [](const PatternCount& entry) { return entry.count == 0; });
    std::stable_sort(counts.begin(), counts.end(),
                     [](const PatternCount& a, const PatternCount& b) { return a.count > b.count; });
    return counts;
}

} // namespace app::progress
