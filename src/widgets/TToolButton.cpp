#include "widgets/TToolButton.h"

#include <QIcon>

namespace widgets {

TToolButton::TToolButton(const QPixmap& glyph, const QString& hint, const QString& accessibleName,
                         QWidget* parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIcon(QIcon(glyph));
    setIconSize(glyph.size());
    setToolTip(hint);
    setAccessibleName(accessibleName);
    setAccessibleDescription(hint);
    setFocusPolicy(Qt::TabFocus);
}

} // namespace widgets
