#include "app/TrashOrSay.h"

#include "platform/fs/Trash.h"
#include "rtl/Exception.h"

namespace app {

std::filesystem::path MoveToTrashOrSay(const std::filesystem::path& file, const std::string& what,
                                       const std::string& consequence)
{
    if (std::optional<std::filesystem::path> inTrash = platform::MoveToTrash(file))
        return *inTrash;
    throw rtl::Exception(what +
                         " could not be moved to the trash (this disk has none, as on a USB stick or a "
                         "network share), so " +
                         consequence + ".");
}

} // namespace app
