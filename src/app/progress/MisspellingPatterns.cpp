// A wrong answer's difference is cut into stretches: runs of edits with no right
// letter between them. Several stretches that together are one silent letter or one
// sound are one difference; so is each stretch that a spelling rule explains as a
// whole. Every other edit is given the first kind that explains it, the letters of
// one wrong ending being one difference.

#include "app/progress/MisspellingPatterns.h"

#include "app/progress/EnglishSpelling.h"

#include <algorithm>
#include <array>
#include <optional>

namespace app::progress {

namespace {

using english::IsConsonant;
using english::IsVowel;

// The letters an edit covers in the typed text and in the word.
std::size_t TypedLength(const Edit& edit)
{
    return edit.kind == EditKind::Missing ? 0 : edit.kind == EditKind::Swapped ? 2 : 1;
}

std::size_t WordLength(const Edit& edit)
{
    return edit.kind == EditKind::Extra ? 0 : edit.kind == EditKind::Swapped ? 2 : 1;
}

// Edits [first, last) and the letters they cover.
struct Stretch {
    std::size_t first = 0;
    std::size_t last = 0;
    std::size_t typedBegin = 0;
    std::size_t typedEnd = 0;
    std::size_t wordBegin = 0;
    std::size_t wordEnd = 0;
};

Stretch MakeStretch(const std::vector<Edit>& edits, std::size_t first, std::size_t last)
{
    const Edit& a = edits[first];
    const Edit& z = edits[last - 1];
    return {first, last, a.typedPos, z.typedPos + TypedLength(z), a.wordPos, z.wordPos + WordLength(z)};
}

std::vector<Stretch> Stretches(const std::vector<Edit>& edits)
{
    std::vector<Stretch> stretches;
    for (std::size_t i = 0; i < edits.size();) {
        if (edits[i].kind == EditKind::Same) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < edits.size() && edits[end].kind != EditKind::Same)
            ++end;
        stretches.push_back(MakeStretch(edits, i, end));
        i = end;
    }
    return stretches;
}

class Difference {
public:
    Difference(std::u32string_view typed, std::u32string_view word, const std::vector<Edit>& edits)
        : typed_(typed), word_(word), edits_(edits)
    {
    }

    // The kind of a stretch as a whole, if a rule explains it so.
    std::optional<PatternKind> WholeKind(const Stretch& s) const
    {
        if (AllEdits(s, &Difference::IsMarkEdit))
            return PatternKind::SpaceOrApostrophe;
        if (AllEdits(s, &Difference::IsDoubling))
            return std::nullopt; // each doubled letter is a difference of its own
        if (IsSilentEKept(s))
            return PatternKind::SilentEKept;
        if (IsYToI(s))
            return PatternKind::YToI;
        if (IsIeOrEi(s))
            return PatternKind::IeOrEi;
        if (OnlySilentLettersLeftOut(s))
            return PatternKind::SilentLetter;
        if (IsEndingsLastLetterLeftOff(s))
            return PatternKind::MissingLetter;
        if (IsSoundSpelledAnotherWay(s))
            return PatternKind::SoundSpelling;
        return std::nullopt;
    }

    // The stretches that are one silent letter or one sound together, as one.
    std::optional<PatternKind> JoinedKind(const Stretch& s) const
    {
        if (OnlySilentLettersLeftOut(s))
            return PatternKind::SilentLetter;
        if (IsSoundSpelledAnotherWay(s))
            return PatternKind::SoundSpelling;
        return std::nullopt;
    }

    PatternKind LetterKind(const Edit& edit) const
    {
        if (IsDoubling(edit))
            return PatternKind::DoubledLetter;
        if (InEnding(edit))
            return PatternKind::Ending;
        if (IsVowelMixUp(edit))
            return PatternKind::Vowel;
        if (edit.kind == EditKind::Swapped)
            return PatternKind::Swap;
        if (IsSilentEMissing(edit))
            return PatternKind::SilentE;
        if (IsReversal(edit))
            return PatternKind::Reversal;
        if (edit.kind == EditKind::Missing)
            return PatternKind::MissingLetter;
        if (edit.kind == EditKind::Extra)
            return PatternKind::AddedLetter;
        return PatternKind::Other;
    }

private:
    static char32_t At(std::u32string_view text, std::size_t pos)
    {
        return pos < text.size() ? text[pos] : 0;
    }

    static bool NeighbourIs(std::u32string_view text, std::size_t pos, bool (*test)(char32_t))
    {
        return (pos > 0 && test(At(text, pos - 1))) || test(At(text, pos + 1));
    }

    static bool NeighbourEquals(std::u32string_view text, std::size_t pos)
    {
        const char32_t c = At(text, pos);
        return (pos > 0 && At(text, pos - 1) == c) || At(text, pos + 1) == c;
    }

    static bool IsMark(char32_t c)
    {
        return c == U' ' || c == U'\u00a0' || c == U'\'' || c == U'-' || c == U'\u2018' || c == U'\u2019';
    }

    std::u32string_view TypedOf(const Stretch& s) const
    {
        return typed_.substr(s.typedBegin, s.typedEnd - s.typedBegin);
    }
    std::u32string_view WordOf(const Stretch& s) const
    {
        return word_.substr(s.wordBegin, s.wordEnd - s.wordBegin);
    }

    bool AllEdits(const Stretch& s, bool (Difference::*test)(const Edit&) const) const
    {
        return std::all_of(edits_.begin() + static_cast<std::ptrdiff_t>(s.first),
                           edits_.begin() + static_cast<std::ptrdiff_t>(s.last),
                           [&](const Edit& edit) { return (this->*test)(edit); });
    }

    bool IsMarkEdit(const Edit& edit) const
    {
        switch (edit.kind) {
        case EditKind::Missing:
            return IsMark(At(word_, edit.wordPos));
        case EditKind::Extra:
            return IsMark(At(typed_, edit.typedPos));
        case EditKind::Wrong:
            return IsMark(At(typed_, edit.typedPos)) && IsMark(At(word_, edit.wordPos));
        case EditKind::Swapped:
            return IsMark(At(word_, edit.wordPos)) || IsMark(At(word_, edit.wordPos + 1));
        default:
            return false;
        }
    }

    bool IsDoubling(const Edit& edit) const
    {
        return (edit.kind == EditKind::Missing && NeighbourEquals(word_, edit.wordPos)) ||
               (edit.kind == EditKind::Extra && NeighbourEquals(typed_, edit.typedPos));
    }

    // hopeing for HOPING: an e added after the stem, before an ending that starts with a vowel.
    bool IsSilentEKept(const Stretch& s) const
    {
        static constexpr std::array<std::u32string_view, 6> kVowelEndings = {U"ING", U"INGS", U"ER",
                                                                             U"ERS", U"EST",  U"ABLE"};
        const std::u32string_view rest = word_.substr(s.wordEnd);
        return TypedOf(s) == U"E" && s.wordBegin == s.wordEnd && s.wordBegin > 0 &&
               IsConsonant(word_[s.wordBegin - 1]) &&
               std::find(kVowelEndings.begin(), kVowelEndings.end(), rest) != kVowelEndings.end();
    }

    // babys, cryed, plaied: y and i (or ie) confused before an ending.
    bool IsYToI(const Stretch& s) const
    {
        static constexpr std::array<std::u32string_view, 12> kEndings = {
            U"S", U"D", U"ED", U"ES", U"ER", U"ERS", U"EST", U"LY", U"NESS", U"FUL", U"LESS", U"ING"};
        const std::u32string_view typed = TypedOf(s);
        const std::u32string_view word = WordOf(s);
        const bool confused = (typed == U"Y" && (word == U"I" || word == U"IE")) ||
                              (word == U"Y" && (typed == U"I" || typed == U"IE"));
        return confused &&
               std::find(kEndings.begin(), kEndings.end(), word_.substr(s.wordEnd)) != kEndings.end();
    }

    bool IsIeOrEi(const Stretch& s) const
    {
        const std::u32string_view typed = TypedOf(s);
        const std::u32string_view word = WordOf(s);
        return (typed == U"IE" && word == U"EI") || (typed == U"EI" && word == U"IE");
    }

    // Only letters left out, at least one of them silent where it stands, the others
    // vowels (wensday for WEDNESDAY: the d is not heard, nor the e after the n).
    bool OnlySilentLettersLeftOut(const Stretch& s) const
    {
        bool silent = false;
        for (std::size_t i = s.first; i < s.last; ++i) {
            const Edit& edit = edits_[i];
            if (edit.kind == EditKind::Same)
                continue;
            if (edit.kind != EditKind::Missing)
                return false;
            if (english::IsSilentLetter(word_, edit.wordPos))
                silent = true;
            else if (!IsVowel(word_[edit.wordPos]))
                return false;
        }
        return silent;
    }

    // nothin for NOTHING: only the last letter of a longer ending left off, a letter
    // missing rather than a wrong ending.
    bool IsEndingsLastLetterLeftOff(const Stretch& s) const
    {
        const std::size_t ending = english::EndingStart(word_);
        return s.last - s.first == 1 && edits_[s.first].kind == EditKind::Missing &&
               s.wordBegin + 1 == word_.size() && ending != std::u32string_view::npos &&
               ending + 1 < word_.size();
    }

    // The stretch, with up to two right letters around it, is another spelling of the
    // word's sound there: skool for SCHOOL, laff for LAUGH (af for augh).
    bool IsSoundSpelledAnotherWay(const Stretch& s) const
    {
        constexpr std::size_t kAround = 2;
        const std::size_t before = SameBefore(s, kAround);
        const std::size_t after = SameAfter(s, kAround);
        for (std::size_t left = 0; left <= before; ++left) {
            for (std::size_t right = 0; right <= after; ++right) {
                const auto typed =
                    typed_.substr(s.typedBegin - left, s.typedEnd - s.typedBegin + left + right);
                const auto word = word_.substr(s.wordBegin - left, s.wordEnd - s.wordBegin + left + right);
                if (english::SpellTheSameSound(typed, word))
                    return true;
            }
        }
        return false;
    }

    // How many letters just before the stretch (at most `most`) are the same in both.
    std::size_t SameBefore(const Stretch& s, std::size_t most) const
    {
        std::size_t n = 0;
        while (n < most && n < s.typedBegin && n < s.wordBegin &&
               typed_[s.typedBegin - 1 - n] == word_[s.wordBegin - 1 - n])
            ++n;
        return n;
    }

    // How many letters just after the stretch (at most `most`) are the same in both.
    std::size_t SameAfter(const Stretch& s, std::size_t most) const
    {
        std::size_t n = 0;
        while (n < most && s.typedEnd + n < typed_.size() && s.wordEnd + n < word_.size() &&
               typed_[s.typedEnd + n] == word_[s.wordEnd + n])
            ++n;
        return n;
    }

    bool InEnding(const Edit& edit) const
    {
        const std::size_t wordEnding = english::EndingStart(word_);
        if (wordEnding != std::u32string_view::npos && edit.wordPos >= wordEnding)
            return true;
        // An ending added where the word has none: letters typed after the word's end.
        const std::size_t typedEnding = english::EndingStart(typed_);
        return edit.kind == EditKind::Extra && edit.wordPos == word_.size() &&
               typedEnding != std::u32string_view::npos && edit.typedPos >= typedEnding;
    }

    bool IsVowelMixUp(const Edit& edit) const
    {
        switch (edit.kind) {
        case EditKind::Wrong:
            return IsVowel(At(typed_, edit.typedPos)) && IsVowel(At(word_, edit.wordPos));
        case EditKind::Swapped:
            return IsVowel(At(word_, edit.wordPos)) && IsVowel(At(word_, edit.wordPos + 1));
        case EditKind::Missing:
            return IsVowel(At(word_, edit.wordPos)) && NeighbourIs(word_, edit.wordPos, IsVowel);
        case EditKind::Extra:
            return IsVowel(At(typed_, edit.typedPos)) && NeighbourIs(typed_, edit.typedPos, IsVowel);
        default:
            return false;
        }
    }

    // A final e after a consonant that has a vowel before it (HOPE, THERE, but not THE).
    bool IsSilentEMissing(const Edit& edit) const
    {
        if (edit.kind != EditKind::Missing || word_.size() < 3 || edit.wordPos != word_.size() - 1 ||
            word_.back() != U'E' || !IsConsonant(word_[word_.size() - 2]))
            return false;
        const auto stem = word_.substr(0, word_.size() - 2);
        return std::any_of(stem.begin(), stem.end(), [](char32_t c) { return IsVowel(c) || c == U'Y'; });
    }

    bool IsReversal(const Edit& edit) const
    {
        if (edit.kind != EditKind::Wrong)
            return false;
        const char32_t a = At(typed_, edit.typedPos);
        const char32_t b = At(word_, edit.wordPos);
        return (a == U'B' && b == U'D') || (a == U'D' && b == U'B') || (a == U'P' && b == U'Q') ||
               (a == U'Q' && b == U'P');
    }

    std::u32string_view typed_;
    std::u32string_view word_;
    const std::vector<Edit>& edits_;
};

} // namespace

std::string PatternName(PatternKind kind)
{
    switch (kind) {
    case PatternKind::SpaceOrApostrophe:
        return "Space or apostrophe";
    case PatternKind::DoubledLetter:
        return "Doubled letter";
    case PatternKind::SilentEKept:
        return "Silent e kept before an ending";
    case PatternKind::YToI:
        return "y to i";
    case PatternKind::IeOrEi:
        return "ie or ei";
    case PatternKind::SilentLetter:
        return "Silent letter";
    case PatternKind::SoundSpelling:
        return "Sound spelled another way";
    case PatternKind::Ending:
        return "Ending";
    case PatternKind::Vowel:
        return "Vowel or vowel pair";
    case PatternKind::Swap:
        return "Letters swapped";
    case PatternKind::SilentE:
        return "Silent e missing";
    case PatternKind::Reversal:
        return "b/d or p/q reversed";
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
    const Difference difference(typed, word, edits);
    const std::vector<Stretch> stretches = Stretches(edits);
    if (stretches.size() > 1) {
        const Stretch all = MakeStretch(edits, stretches.front().first, stretches.back().last);
        if (const auto kind = difference.JoinedKind(all))
            return {*kind};
    }
    std::vector<PatternKind> kinds;
    for (const Stretch& stretch : stretches) {
        if (const auto kind = difference.WholeKind(stretch)) {
            kinds.push_back(*kind);
            continue;
        }
        bool lastWasEnding = false;
        for (std::size_t i = stretch.first; i < stretch.last; ++i) {
            const PatternKind kind = difference.LetterKind(edits[i]);
            // The letters of one wrong ending are one difference.
            if (!(kind == PatternKind::Ending && lastWasEnding))
                kinds.push_back(kind);
            lastWasEnding = kind == PatternKind::Ending;
        }
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
        std::vector<PatternKind> kinds = ClassifyMisspelling(attempt.typed, attempt.word);
        std::sort(kinds.begin(), kinds.end());
        kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
        for (const PatternKind kind : kinds) {
            PatternCount& entry = counts[static_cast<std::size_t>(kind)];
            ++entry.answers;
            const bool shown = std::any_of(entry.examples.begin(), entry.examples.end(),
                                           [&](const PatternExample& e) { return e.word == attempt.word; });
            if (entry.examples.size() < examplesPerKind && !shown)
                entry.examples.push_back({attempt.word, attempt.typed});
        }
    }
    std::erase_if(counts, [](const PatternCount& entry) { return entry.answers == 0; });
    std::stable_sort(counts.begin(), counts.end(),
                     [](const PatternCount& a, const PatternCount& b) { return a.answers > b.answers; });
    return counts;
}

} // namespace app::progress
