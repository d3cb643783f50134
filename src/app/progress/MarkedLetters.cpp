#include "app/progress/MarkedLetters.h"

#include "app/WordText.h"
#include "app/progress/LetterDiff.h"

#include <QList>

#include <vector>

namespace app::progress {

namespace {

// The letters as written, at the positions the comparison uses.
QList<uint> ShownLetters(std::string_view utf8)
{
    const std::string_view trimmed = TrimBlanks(utf8);
    return QString::fromUtf8(trimmed.data(), static_cast<qsizetype>(trimmed.size())).toUcs4();
}

QString Letter(const QList<uint>& text, std::size_t pos)
{
    const auto index = static_cast<qsizetype>(pos);
    if (index >= text.size())
        return QString();
    const char32_t code = text[index];
    return QString::fromUcs4(&code, 1).toHtmlEscaped();
}

std::vector<Edit> Difference(std::string_view typed, std::string_view word)
{
    return LetterDiff(ComparableText(typed), ComparableText(word));
}

} // namespace

QString MarkedTyped(std::string_view typed, std::string_view word)
{
    const QList<uint> shown = ShownLetters(typed);
    const QList<uint> wordShown = ShownLetters(word);
    QString html;
    for (const Edit& edit : Difference(typed, word)) {
        switch (edit.kind) {
        case EditKind::Same:
            html += Letter(shown, edit.typedPos);
            break;
        case EditKind::Wrong:
            html += QStringLiteral("<b style=\"color:#c00000\">%1</b>").arg(Letter(shown, edit.typedPos));
            break;
        case EditKind::Extra:
            html += QStringLiteral("<s style=\"color:#c00000\">%1</s>").arg(Letter(shown, edit.typedPos));
            break;
        case EditKind::Missing:
            html += QStringLiteral("<u style=\"color:#008000\">%1</u>").arg(Letter(wordShown, edit.wordPos));
            break;
        case EditKind::Swapped:
            html += QStringLiteral("<b style=\"color:#d07000\">%1%2</b>")
                        .arg(Letter(shown, edit.typedPos), Letter(shown, edit.typedPos + 1));
            break;
        }
    }
    return html.isEmpty() ? QStringLiteral("<i>(nothing typed)</i>") : html;
}

QString MarkedWord(std::string_view typed, std::string_view word)
{
    const QList<uint> wordShown = ShownLetters(word);
    std::vector<bool> missed(static_cast<std::size_t>(wordShown.size()), false);
    const auto mark = [&](std::size_t pos) {
        if (pos < missed.size())
            missed[pos] = true;
    };
    for (const Edit& edit : Difference(typed, word)) {
        if (edit.kind == EditKind::Wrong || edit.kind == EditKind::Missing || edit.kind == EditKind::Swapped)
            mark(edit.wordPos);
        if (edit.kind == EditKind::Swapped)
            mark(edit.wordPos + 1);
    }
    QString html;
    for (std::size_t i = 0; i < missed.size(); ++i)
        html +=
            missed[i]
                ? QStringLiteral("<span style=\"color:#c00000\"><u>%1</u></span>").arg(Letter(wordShown, i))
                : Letter(wordShown, i);
    return html;
}

} // namespace app::progress
