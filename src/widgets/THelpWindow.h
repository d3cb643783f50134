#pragma once

// A plain read-only window for a help page, for desktops that have no program for the help
// document's type. It belongs to the window that opened it (closes with it) and is reused:
// showing another page replaces the text and brings the window forward, maximised. Escape
// closes it.

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace widgets {

class THelpWindow : public QWidget {
public:
    explicit THelpWindow(QWidget* owner);

    // Shows `html`; the window title is the page's <title>, else "Help".
    void ShowPage(const QString& html);
    QTextBrowser* Browser() const { return browser_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextBrowser* browser_;
};

} // namespace widgets
