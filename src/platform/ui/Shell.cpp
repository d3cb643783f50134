#include "platform/ui/Shell.h"

#include "platform/fs/Files.h"

#include <QMimeDatabase>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <exception>
#include <utility>

namespace platform {

namespace {

ShellOpenHandler& Handler()
{
    static ShellOpenHandler handler;
    return handler;
}

// The desktop program registered for a MIME type, as the freedesktop tools report it; empty
// when there is none or the tools are missing.
QString DefaultApplicationFor(const QString& mimeType)
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

// xdg-open hands a file with no registered program to a web browser or nothing at all and
// still reports success, so the request only counts as accepted when a program is registered
// for the file's type, one of its aliases or the type it refines (an .mht is
// application/x-mimearchive, a kind of multipart/related).
bool DesktopHasProgramFor(const QString& native)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(native);
    QStringList candidates{type.name()};
    candidates << type.aliases() << type.parentMimeTypes();
    candidates.removeAll(QStringLiteral("application/octet-stream"));
    candidates.removeAll(QStringLiteral("text/plain"));
    for (const QString& candidate : candidates) {
        if (!DefaultApplicationFor(candidate).isEmpty())
            return true;
    }
    return false;
}

bool OpenWithDesktop(const std::filesystem::path& file)
{
    if (!FileExists(file))
        return false;
    const QString native = QString::fromStdString(std::filesystem::absolute(file).string());
    if (!DesktopHasProgramFor(native))
        return false;
    // The freedesktop opener directly rather than through Qt's platform services, which the
    // offscreen and minimal platforms do not have.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {native});
}

} // namespace

bool ShellOpen(const std::filesystem::path& file)
{
    try {
        if (Handler()) {
            const ShellOpenHandler handler = Handler();
            return handler(file);
        }
        return OpenWithDesktop(file);
    } catch (const std::exception&) {
        return false; // the shell's answer is only ever a yes or a no
    }
}

void SetShellOpenHandler(ShellOpenHandler handler)
{
    Handler() = std::move(handler);
}

ScopedShellOpenHandler::ScopedShellOpenHandler(ShellOpenHandler handler) : previous_(std::move(Handler()))
{
    Handler() = std::move(handler);
}

ScopedShellOpenHandler::~ScopedShellOpenHandler()
{
    Handler() = std::move(previous_);
}

} // namespace platform
