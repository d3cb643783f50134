#include "platform/ui/Shell.h"

#include "platform/fs/Files.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include <exception>
#include <utility>

namespace platform {

namespace {

ShellOpenHandler& Handler()
{
    static ShellOpenHandler handler;
    return handler;
}

bool OpenWithDesktop(const std::filesystem::path& file)
{
    if (!FileExists(file))
        return false;
    const QString native = QString::fromStdString(std::filesystem::absolute(file).string());
    return QDesktopServices::openUrl(QUrl::fromLocalFile(native));
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
