#include "platform/fs/Trash.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <system_error>

namespace platform {

namespace {

// The desktop's own trash in the user's data folder, made when missing as the desktop would.
// Without it, Qt's moveToTrash would fall back to folders relative to the working folder.
bool HomeTrashReady()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return false;
    const QDir trash(data + QStringLiteral("/Trash"));
    return QDir().mkpath(trash.filePath(QStringLiteral("files"))) &&
           QDir().mkpath(trash.filePath(QStringLiteral("info")));
}

} // namespace

std::optional<std::filesystem::path> MoveToTrash(const std::filesystem::path& path)
{
    if (!HomeTrashReady())
        return std::nullopt;
    QString inTrash;
    if (!QFile::moveToTrash(QString::fromStdString(path.string()), &inTrash))
        return std::nullopt;
    const std::filesystem::path moved(inTrash.toStdString());
    if (!moved.is_absolute() || moved.parent_path().filename() != "files") {
        // Not a trash at all: put it back rather than leave it somewhere unknown.
        std::error_code ignored;
        std::filesystem::rename(moved, path, ignored);
        return std::nullopt;
    }
    return moved;
}

bool RestoreFromTrash(const std::filesystem::path& inTrash, const std::filesystem::path& original)
{
    std::error_code error;
    std::filesystem::rename(inTrash, original, error);
    if (error)
        return false;
    // The trash keeps a note per item: Trash/info/<name>.trashinfo beside Trash/files/<name>.
    const std::filesystem::path note =
        inTrash.parent_path().parent_path() / "info" / (inTrash.filename().string() + ".trashinfo");
    std::filesystem::remove(note, error);
    return true;
}

} // namespace platform
