#include "widgets/TControlEvents.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QWidget>

namespace widgets {

TControlEvents::TControlEvents(QWidget* control) : QObject(control)
{
    setObjectName(QStringLiteral("TControlEvents"));
    control->installEventFilter(this);
}

TControlEvents* TControlEvents::Of(QWidget* control)
{
    auto* events =
        control->findChild<TControlEvents*>(QStringLiteral("TControlEvents"), Qt::FindDirectChildrenOnly);
    return events ? events : new TControlEvents(control); // owned by the control
}

QChar TControlEvents::KeyChar(int key, const QString& text)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QChar(13);
    case Qt::Key_Escape:
        return QChar(27);
    case Qt::Key_Backspace:
        return QChar(8);
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return QChar(0); // moves the focus; never typed into a control
    default:
        return text.isEmpty() ? QChar(0) : text.front();
    }
}

bool TControlEvents::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (OnKeyDown) {
            int key = keyEvent->key();
            OnKeyDown(watched, key, keyEvent->modifiers());
            if (key == 0)
                return true;
        }
        if (OnKeyPress) {
            QChar key = KeyChar(keyEvent->key(), keyEvent->text());
            if (!key.isNull()) {
                OnKeyPress(watched, key);
                if (key.isNull())
                    return true;
            }
        }
    } else if (event->type() == QEvent::FocusOut && OnExit) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Leaving the window or opening a menu is not leaving the control.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            OnExit(watched);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace widgets
