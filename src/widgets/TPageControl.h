#pragma once

#include <QTabBar>
#include <QTabWidget>

#include <functional>

namespace widgets {

class TPageControl;

// The page control's tab bar: the user's clicks, wheel turns and arrow keys on it
// ask the page control before they may change the page.
class TPageTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit TPageTabBar(TPageControl* owner);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TPageControl* owner_;
};

// A page control whose user-made page changes can be refused: OnChanging decides
// before the change (it sets its flag to false to refuse), OnChange is told after it.
// Changes the program makes with setCurrentIndex / setCurrentWidget run neither.
class TPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);

    std::function<void(QObject* sender, bool& allowChange)> OnChanging;
    std::function<void(QObject* sender)> OnChange;

    // Runs a user's page-switching input: asks OnChanging, and when it allows,
    // runs the input and tells OnChange if the page did change.
    template <class Input> bool UserChange(Input&& input)
    {
        if (!AllowChange())
            return false;
        RunInput(std::forward<Input>(input));
        return true;
    }

private:
    friend class TPageTabBar;

    // Ctrl+Tab: next page; Ctrl+Shift+Tab: previous page.
    void AddSwitchKeys();
    void SwitchPage(int step);
    bool AllowChange();
    template <class Input> void RunInput(Input&& input)
    {
        const int before = currentIndex();
        input();
        if (currentIndex() != before && OnChange)
            OnChange(this);
    }
};

} // namespace widgets
