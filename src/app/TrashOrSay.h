#pragma once

// Deleting through the desktop's trash, so a parent can get back what was deleted; where
// the trash cannot take a file, the parent is told plainly and nothing is erased.

#include <filesystem>
#include <string>

namespace app {

// Moves `file` to the trash and gives where it went. Where the trash cannot take it, raises
// rtl::Exception: "<what> could not be moved to the trash (this disk has none, ...), so
// <consequence>." with `what` such as "The word CAT"; nothing was moved or erased then.
std::filesystem::path MoveToTrashOrSay(const std::filesystem::path& file, const std::string& what,
                                       const std::string& consequence = "nothing was deleted");

} // namespace app
