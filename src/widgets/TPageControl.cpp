#include "widgets/TPageControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
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
    // Connected after the page control's own connection, so a refused page has been
    // shown (not painted) when it is taken back, and the page shown last is right.
    connect(tabBar(), &QTabBar::currentChanged, this, &TPageControl::TabIndexChanged);
    AddSwitchKeys();
}

void TPageControl::setCurrentIndex(int index)
{
    DecidedChange decided(*this);
    QTabWidget::setCurrentIndex(index);
}

void TPageControl::setCurrentWidget(QWidget* page)
{
    DecidedChange decided(*this);
    QTabWidget::setCurrentWidget(page);
}

void TPageControl::TabIndexChanged(int index)
{
    if (decided_ > 0 || index == shown_) {
        shown_ = index;
        return;
    }
    if (AllowChange()) {
        shown_ = index;
        if (OnChange)
            OnChange(this);
        return;
    }
    setCurrentIndex(shown_);
}

bool TPageControl::AllowChange()
{
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    return allow;
}

void TPageControl::AddSwitchKeys()
{
    // Shortcuts, not key presses: a focused list or edit box would take Ctrl+Tab as
    // typing before the page control saw it.
    const std::pair<QKeyCombination, int> keys[] = {
        {QKeyCombination(Qt::ControlModifier, Qt::Key_Tab), 1},
        {QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Tab), -1},
        {QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Backtab), -1},
    };
    for (const auto& [key, step] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this); // owned by the page control
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { SwitchPage(step); });
    }
}

void TPageControl::SwitchPage(int step)
{
    const int pages = count();
    if (pages < 2)
        return;
    UserChange([&] {
        int page = currentIndex();
        for (int pass = 0; pass < pages; ++pass) {
            page = (page + step + pages) % pages;
            if (isTabEnabled(page)) {
                setCurrentIndex(page);
                return;
            }
        }
    });
}

} // namespace widgets
