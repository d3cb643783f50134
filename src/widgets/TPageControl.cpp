#include "widgets/TPageControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace widgets {

TPageTabBar::TPageTabBar(TPageControl* owner) : QTabBar(owner), owner_(owner)
{
    setDrawBase(false);
}

void TPageTabBar::mousePressEvent(QMouseEvent* event)
{
    // A press on another tab asks first; the page may change now or on release,
    // depending on the style, and both are run as the one allowed change.
    const int target = event->button() == Qt::LeftButton ? tabAt(event->position().toPoint()) : -1;
    if (target < 0 || target == currentIndex()) {
        owner_->RunInput([&] { QTabBar::mousePressEvent(event); });
        return;
    }
    if (!owner_->AllowChange()) {
        event->accept();
        return;
    }
    owner_->RunInput([&] { QTabBar::mousePressEvent(event); });
}

void TPageTabBar::mouseReleaseEvent(QMouseEvent* event)
{
    // Without an allowed press the tab bar holds no pressed tab, so the release
    // selects nothing; with one, it completes that change.
    owner_->RunInput([&] { QTabBar::mouseReleaseEvent(event); });
}

void TPageTabBar::wheelEvent(QWheelEvent* event)
{
    if (!owner_->UserChange([&] { QTabBar::wheelEvent(event); }))
        event->accept();
}

void TPageTabBar::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!owner_->UserChange([&] { QTabBar::keyPressEvent(event); }))
            event->accept();
        return;
    default:
        QTabBar::keyPressEvent(event);
    }
}

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent)
{
    setTabBar(new TPageTabBar(this)); // owned by the page control
}

bool TPageControl::AllowChange()
{
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    return allow;
}

void TPageControl::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Tab, Ctrl+Shift+Tab and Ctrl+PageUp/PageDown switch pages from anywhere on them.
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int key = event->key();
    const bool switching =
        ctrl && (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_PageUp || key == Qt::Key_PageDown);
    if (!switching) {
        QTabWidget::keyPressEvent(event);
        return;
    }
    if (!UserChange([&] { QTabWidget::keyPressEvent(event); }))
        event->accept();
}

} // namespace widgets
