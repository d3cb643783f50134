#include "widgets/TSpeedButton.h"

namespace widgets {

TSpeedButton::TSpeedButton(const QPixmap& glyphUp, const QPixmap& glyphDown, const QString& accessibleName,
                           QWidget* parent)
    : QToolButton(parent), up_(glyphUp), down_(glyphDown)
{
    setAutoRaise(false);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(glyphUp.size());
    setAccessibleName(accessibleName);
    ShowGlyph(false);
    connect(this, &QToolButton::pressed, this, [this] { ShowGlyph(true); });
    connect(this, &QToolButton::released, this, [this] { ShowGlyph(false); });
}

void TSpeedButton::ShowGlyph(bool down)
{
    showsDown_ = down;
    setIcon(down ? down_ : up_);
}

} // namespace widgets
