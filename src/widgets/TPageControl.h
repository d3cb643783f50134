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
//
// Mouse, wheel and keys are asked before they act. Every other way the tab bar's index
// can change (the accessibility interface a screen reader uses, a shortcut) is caught
// when the index changes: a refused change is taken back at once.
class TPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);

    std::function<void(QObject* sender, bool& allowChange)> OnChanging;
    std::function<void(QObject* sender)> OnChange;

    // The program's own page changes: they ask and tell nobody. (They hide the page
    // control's own, so the page control must be reached as a TPageControl.)
    void setCurrentIndex(int index);
    void setCurrentWidget(QWidget* page);

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

    // Marks a change that is already decided (made by the program, or user input that
    // was allowed) while it runs, so the index watch lets it through.
    class DecidedChange {
    public:
        explicit DecidedChange(TPageControl& pages) : pages_(pages) { ++pages_.decided_; }
        ~DecidedChange() { --pages_.decided_; }
        DecidedChange(const DecidedChange&) = delete;
        DecidedChange& operator=(const DecidedChange&) = delete;

    private:
        TPageControl& pages_;
    };

    // Ctrl+Tab: next page; Ctrl+Shift+Tab: previous page.
    void AddSwitchKeys();
    void SwitchPage(int step);
    bool AllowChange();
    // The tab bar's index changed: asks about a change nobody decided, and takes a
    // refused one back.
    void TabIndexChanged(int index);
    template <class Input> void RunInput(Input&& input)
    {
        const int before = currentIndex();
        {
            DecidedChange decided(*this);
            input();
        }
        if (currentIndex() != before && OnChange)
            OnChange(this);
    }

    int decided_ = 0;
    int shown_ = -1; // the page the last change that went through left showing
};

} // namespace widgets
