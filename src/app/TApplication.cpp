#include "app/TApplication.h"

#include "app/ErrorBox.h"

namespace app {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The name titles the standard boxes. No display name: Qt would append it to
    // the window's caption.
    setApplicationName(QStringLiteral("Lexorin"));
    setDesktopFileName(QStringLiteral(LEXORIN_APP_ID));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

} // namespace app
