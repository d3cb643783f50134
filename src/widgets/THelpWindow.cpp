#include "widgets/THelpWindow.h"

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

void THelpWindow::ShowPage(const QString& html)
{
    browser_->setHtml(html);
    const QString title = browser_->documentTitle().trimmed();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Help") : title);
    showMaximized();
    raise();
    activateWindow();
}

} // namespace widgets
