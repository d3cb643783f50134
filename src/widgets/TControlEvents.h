#pragma once

#include <QChar>
#include <QObject>

#include <functional>

class QWidget;

namespace widgets {

// The key and focus events of one control, as bound handlers that can be attached
// and detached at run time:
// - OnKeyDown gets the key (a Qt::Key value) and the modifiers; setting the key to 0
//   swallows it.
// - OnKeyPress gets the character the key types (Enter is character 13, Escape 27,
//   Backspace 8); setting it to 0 swallows the key.
// - OnExit runs when the keyboard focus moves from the control to another control of
//   the window.
class TControlEvents : public QObject {
    Q_OBJECT
public:
    // The control's events, created on first use; they live as long as the control.
    static TControlEvents* Of(QWidget* control);

    std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)> OnKeyDown;
    std::function<void(QObject* sender, QChar& key)> OnKeyPress;
    std::function<void(QObject* sender)> OnExit;

    // The character a key press types, as the key-press handlers see it (0 for none).
    static QChar KeyChar(int key, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TControlEvents(QWidget* control);
};

} // namespace widgets
