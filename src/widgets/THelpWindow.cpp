#include "widgets/THelpWindow.h"

#include <QKeyEvent>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace widgets {

THelpWindow::THelpWindow(QWidget* owner) : QWidget(owner, Qt::Window), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setReadOnly(true);
    // Links inside the page move within it; links to the web go to the desktop's browser.
    // Nothing is fetched by the window itself.
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(true);
}

void THelpWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape puts the help away, also where no window manager draws a close button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void THelpWindow::ShowPage(const QString& html)
{
    browser_->setHtml(html);
    const QString title = browser_->documentTitle().trimmed();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Help") : title);
    // A size of its own for when it is restored, or where nothing maximises windows.
    if (!isVisible())
        resize(screen()->availableGeometry().size() * 3 / 4);
    showMaximized();
    raise();
    activateWindow();
}

} // namespace widgets
