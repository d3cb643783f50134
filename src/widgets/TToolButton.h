#pragma once

#include <QPixmap>
#include <QToolButton>

namespace widgets {

// A flat tool button that shows only its glyph, with a hint. It carries no caption,
// so it takes an accessible name for screen readers.
class TToolButton : public QToolButton {
    Q_OBJECT
public:
    TToolButton(const QPixmap& glyph, const QString& hint, const QString& accessibleName,
                QWidget* parent = nullptr);
};

} // namespace widgets
