#include "widgets/SharedAccelerators.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeySequence>
#include <QShortcutEvent>

namespace widgets {

namespace {

class SharedAcceleratorWatch : public QObject {
public:
    explicit SharedAcceleratorWatch(QWidget* window) : QObject(window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Shortcut || !static_cast<QShortcutEvent*>(event)->isAmbiguous())
            return QObject::eventFilter(watched, event);
        QAbstractButton* first = FirstOwner(static_cast<QShortcutEvent*>(event)->key());
        if (!first)
            return QObject::eventFilter(watched, event);
        first->animateClick(); // as Qt answers an accelerator that only one button owns
        return true;
    }

private:
    // The first enabled, visible button in the window's tab order whose accelerator is `key`.
    QAbstractButton* FirstOwner(const QKeySequence& key) const
    {
        for (QWidget* w = window_->nextInFocusChain(); w && w != window_; w = w->nextInFocusChain()) {
            auto* button = qobject_cast<QAbstractButton*>(w);
            if (button && window_->isAncestorOf(button) && button->isVisible() && button->isEnabled() &&
                button->shortcut() == key)
                return button;
        }
        return nullptr;
    }

    QWidget* window_;
};

} // namespace

void ClickFirstOwnerOfSharedAccelerators(QWidget* window)
{
    auto* watch = new SharedAcceleratorWatch(window); // owned by the window
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        button->installEventFilter(watch);
}

} // namespace widgets
