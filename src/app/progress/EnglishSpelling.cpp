// The tables are the spelling patterns taught in primary school: silent letters in
// the letters around them, and the common spellings of the sounds children most
// often write another way.

#include "app/progress/EnglishSpelling.h"

#include <algorithm>
#include <array>

namespace app::progress::english {

namespace {

constexpr std::array<std::u32string_view, 5> kEndings = {U"ING", U"ED", U"LY", U"ES", U"S"};
constexpr std::size_t kShortestStem = 3;

enum class Anchor { Anywhere, Start, End };

// A silent letter: `letters` around it, the silent one at `silent`.
struct SilentContext {
    std::u32string_view letters;
    std::size_t silent;
    Anchor anchor = Anchor::Anywhere;
};

// clang-format off
constexpr SilentContext kSilentLetters[] = {
    {U"KN", 0}, {U"GN", 0}, {U"WR", 0}, {U"WH", 1}, {U"RH", 1}, {U"XH", 1}, {U"CHR", 1}, {U"SCH", 2},
    {U"GH", 1, Anchor::Start}, {U"IGH", 1}, {U"IGH", 2}, {U"OUGH", 2}, {U"OUGH", 3}, {U"AUGH", 2},
    {U"AUGH", 3}, {U"EIGH", 2}, {U"EIGH", 3}, {U"HOUR", 0, Anchor::Start}, {U"HONE", 0, Anchor::Start},
    {U"HONO", 0, Anchor::Start}, {U"HEIR", 0, Anchor::Start},
    {U"MB", 1, Anchor::End}, {U"MBS", 1, Anchor::End}, {U"BT", 0}, {U"MN", 1, Anchor::End}, {U"PB", 0},
    {U"PS", 0, Anchor::Start}, {U"PN", 0, Anchor::Start},
    {U"ALK", 1}, {U"OLK", 1}, {U"ALM", 1}, {U"ALF", 1}, {U"ALV", 1}, {U"OULD", 2},
    {U"STL", 1}, {U"STEN", 1}, {U"FTEN", 1}, {U"TCH", 0},
    {U"ISL", 1}, {U"SCE", 1}, {U"SCI", 1},
    {U"NSW", 2}, {U"SWOR", 1}, {U"TWO", 1},
    {U"EDN", 1}, {U"NDS", 1}, {U"NDW", 1}, {U"NDK", 1},
    {U"GUE", 1}, {U"GUI", 1}, {U"BUI", 1}, {U"BUY", 1},
};

// Spellings of one sound (rows end early: the rest are empty). A final e is left out of these: a missing silent e is a
// kind of its own.
constexpr std::u32string_view kSounds[][9] = {
    {U"F", U"FF", U"PH", U"GH"},
    {U"AF", U"AFF", U"ALF", U"AUGH"},
    {U"UF", U"UFF", U"OUGH"},
    {U"OR", U"ORE", U"OAR", U"OOR", U"OUR", U"AW", U"AU", U"AUGH", U"OUGH"},
    {U"ITE", U"IGHT", U"YTE"},
    {U"ATE", U"AIT", U"EIGHT"},
    {U"K", U"C", U"CK", U"CH", U"Q"},
    {U"KW", U"QU"},
    {U"X", U"KS", U"CKS", U"CS"},
    {U"S", U"SS", U"C", U"SC"},
    {U"Z", U"S"},
    {U"J", U"G", U"DGE"},
    {U"CH", U"TCH"},
    {U"SH", U"CH", U"TI", U"CI", U"SI", U"SSI"},
    {U"SHUN", U"TION", U"SION", U"CIAN"},
};
// clang-format on

bool Fits(const SilentContext& context, std::u32string_view word, std::size_t pos)
{
    if (pos < context.silent)
        return false;
    const std::size_t start = pos - context.silent;
    if (word.substr(start, context.letters.size()) != context.letters)
        return false;
    switch (context.anchor) {
    case Anchor::Start:
        return start == 0;
    case Anchor::End:
        return start + context.letters.size() == word.size();
    case Anchor::Anywhere:
        return true;
    }
    return true;
}

} // namespace

bool IsVowel(char32_t c)
{
    return c == U'A' || c == U'E' || c == U'I' || c == U'O' || c == U'U';
}

bool IsConsonant(char32_t c)
{
    return c >= U'A' && c <= U'Z' && !IsVowel(c);
}

std::size_t EndingStart(std::u32string_view word)
{
    for (const auto ending : kEndings)
        if (word.size() >= ending.size() + kShortestStem && word.ends_with(ending))
            return word.size() - ending.size();
    return std::u32string_view::npos;
}

bool IsSilentLetter(std::u32string_view word, std::size_t pos)
{
    return std::any_of(std::begin(kSilentLetters), std::end(kSilentLetters),
                       [&](const SilentContext& context) { return Fits(context, word, pos); });
}

bool SpellTheSameSound(std::u32string_view a, std::u32string_view b)
{
    if (a.empty() || b.empty() || a == b)
        return false;
    return std::any_of(std::begin(kSounds), std::end(kSounds), [&](const auto& spellings) {
        const auto has = [&](std::u32string_view text) {
            return std::find(std::begin(spellings), std::end(spellings), text) != std::end(spellings);
        };
        return has(a) && has(b);
    });
}

} // namespace app::progress::english
