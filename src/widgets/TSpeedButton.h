#pragma once

#include <QIcon>
#include <QPixmap>
#include <QToolButton>

namespace widgets {

// A speed button: a small glyph-only button that never takes the keyboard focus and
// shows its second glyph while it is held down.
class TSpeedButton : public QToolButton {
    Q_OBJECT
public:
    TSpeedButton(const QPixmap& glyphUp, const QPixmap& glyphDown, const QString& accessibleName,
                 QWidget* parent = nullptr);

    // The glyph now shown: false for the up glyph, true for the down glyph.
    bool ShowsDownGlyph() const { return showsDown_; }

private:
    void ShowGlyph(bool down);

    QIcon up_;
    QIcon down_;
    bool showsDown_ = false;
};

} // namespace widgets
