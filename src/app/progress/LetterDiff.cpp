// An edit distance with swaps of neighbouring letters (optimal string alignment),
// traced back into the edits themselves.

#include "app/progress/LetterDiff.h"

#include "app/WordText.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <cstdint>

namespace app::progress {

namespace {

// Beyond this many cells (a pasted page against a word) the middle part is lined up
// letter by letter instead: still a difference, in linear time.
constexpr std::size_t kMaxCells = 1u << 22;

std::vector<Edit> LineUp(std::size_t typedLength, std::size_t wordLength, std::size_t offset)
{
    std::vector<Edit> edits;
    const std::size_t common = std::min(typedLength, wordLength);
    for (std::size_t i = 0; i < common; ++i)
        edits.push_back({EditKind::Wrong, offset + i, offset + i});
    for (std::size_t i = common; i < typedLength; ++i)
        edits.push_back({EditKind::Extra, offset + i, offset + common});
    for (std::size_t j = common; j < wordLength; ++j)
        edits.push_back({EditKind::Missing, offset + common, offset + j});
    return edits;
}

// The edits of the middle parts a (typed) and b (word), whose positions start at `offset`.
std::vector<Edit> Align(std::u32string_view a, std::u32string_view b, std::size_t offset)
{
    const std::size_t n = a.size();
    const std::size_t m = b.size();
    if ((n + 1) * (m + 1) > kMaxCells)
        return LineUp(n, m, offset);
    std::vector<std::uint32_t> cost((n + 1) * (m + 1));
    auto d = [&](std::size_t i, std::size_t j) -> std::uint32_t& { return cost[i * (m + 1) + j]; };
    for (std::size_t i = 0; i <= n; ++i)
        d(i, 0) = static_cast<std::uint32_t>(i);
    for (std::size_t j = 0; j <= m; ++j)
        d(0, j) = static_cast<std::uint32_t>(j);
    for (std::size_t i = 1; i <= n; ++i) {
        for (std::size_t j = 1; j <= m; ++j) {
            std::uint32_t best = d(i - 1, j - 1) + (a[i - 1] == b[j - 1] ? 0 : 1);
            best = std::min({best, d(i - 1, j) + 1, d(i, j - 1) + 1});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                best = std::min(best, d(i - 2, j - 2) + 1);
            d(i, j) = best;
        }
    }
    std::vector<Edit> edits;
    std::size_t i = n;
    std::size_t j = m;
    while (i > 0 || j > 0) {
        if (i > 0 && j > 0 && a[i - 1] == b[j - 1] && d(i, j) == d(i - 1, j - 1)) {
            edits.push_back({EditKind::Same, offset + i - 1, offset + j - 1});
            --i, --j;
        } else if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1] && a[i - 1] != a[i - 2] &&
                   d(i, j) == d(i - 2, j - 2) + 1) {
            edits.push_back({EditKind::Swapped, offset + i - 2, offset + j - 2});
            i -= 2, j -= 2;
        } else if (j > 0 && d(i, j) == d(i, j - 1) + 1) {
            // Where a letter left out and one added explain as much as two wrong
            // letters, they are the likelier reading ("tommorow": m doubled, r single).
            edits.push_back({EditKind::Missing, offset + i, offset + j - 1});
            --j;
        } else if (i > 0 && d(i, j) == d(i - 1, j) + 1) {
            edits.push_back({EditKind::Extra, offset + i - 1, offset + j});
            --i;
        } else {
            edits.push_back({EditKind::Wrong, offset + i - 1, offset + j - 1});
            --i, --j;
        }
    }
    std::reverse(edits.begin(), edits.end());
    return edits;
}

} // namespace

std::u32string ComparableText(std::string_view utf8)
{
    // The judging's trimming: ASCII blanks only (an answer ending in a no-break space is wrong).
    const std::string_view trimmed = TrimBlanks(utf8);
    const QList<uint> codes =
        QString::fromUtf8(trimmed.data(), static_cast<qsizetype>(trimmed.size())).toUcs4();
    std::u32string text;
    text.reserve(static_cast<std::size_t>(codes.size()));
    for (const uint code : codes)
        text += static_cast<char32_t>(code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code);
    return text;
}

std::vector<Edit> LetterDiff(std::u32string_view typed, std::u32string_view word)
{
    const std::size_t shorter = std::min(typed.size(), word.size());
    std::size_t prefix = 0;
    while (prefix < shorter && typed[prefix] == word[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && typed[typed.size() - 1 - suffix] == word[word.size() - 1 - suffix])
        ++suffix;

    std::vector<Edit> edits;
    edits.reserve(std::max(typed.size(), word.size()));
    for (std::size_t k = 0; k < prefix; ++k)
        edits.push_back({EditKind::Same, k, k});
    const auto middle = Align(typed.substr(prefix, typed.size() - prefix - suffix),
                              word.substr(prefix, word.size() - prefix - suffix), prefix);
    edits.insert(edits.end(), middle.begin(), middle.end());
    for (std::size_t k = suffix; k > 0; --k)
        edits.push_back({EditKind::Same, typed.size() - k, word.size() - k});
    return edits;
}

} // namespace app::progress
