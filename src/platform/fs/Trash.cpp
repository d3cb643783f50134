#include "platform/fs/Trash.h"

#include <QFile>
#include <QString>

#include <system_error>

namespace platform {

std::optional<std::filesystem::path> MoveToTrash(const std::filesystem::path& path)
{
    QString inTrash;
    if (!QFile::moveToTrash(QString::fromStdString(path.string()), &inTrash))
        return std::nullopt;
    return std::filesystem::path(inTrash.toStdString());
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
