#pragma once

// The desktop's trash: what the tutor deletes goes there, so a parent can get it back.
// The trash is the desktop's own (on this platform $XDG_DATA_HOME/Trash, or a trash folder at
// the top of a removable disk that has one).

#include <filesystem>
#include <optional>

namespace platform {

// Moves a file or a whole folder to the trash and gives where it went there; nullopt when the
// trash cannot take it (a disk without a trash, a network share), in which case nothing was
// moved or erased. Never throws.
std::optional<std::filesystem::path> MoveToTrash(const std::filesystem::path& path);

// Puts back what MoveToTrash moved (to `original`) and drops the trash's note about it; false
// when it cannot be put back. Never throws.
bool RestoreFromTrash(const std::filesystem::path& inTrash, const std::filesystem::path& original);

} // namespace platform
