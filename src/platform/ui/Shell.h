#pragma once

// The desktop shell's "open" verb: hand a file to the program the desktop associates with it.
//
//   ShellOpen(path) -> bool          true when the desktop accepted the request
//   SetShellOpenHandler(fn)          fn(path) -> bool replaces the desktop (tests); empty restores it
//   ScopedShellOpenHandler           the same for one scope
//
// A handler sees every request. Without one, a missing file is not passed to the desktop: ShellOpen
// returns false at once. Never throws, shows nothing.

#include <filesystem>
#include <functional>

namespace platform {

using ShellOpenHandler = std::function<bool(const std::filesystem::path&)>;

bool ShellOpen(const std::filesystem::path& file);
void SetShellOpenHandler(ShellOpenHandler handler);

class ScopedShellOpenHandler {
public:
    explicit ScopedShellOpenHandler(ShellOpenHandler handler);
    ~ScopedShellOpenHandler();
    ScopedShellOpenHandler(const ScopedShellOpenHandler&) = delete;
    ScopedShellOpenHandler& operator=(const ScopedShellOpenHandler&) = delete;

private:
    ShellOpenHandler previous_;
};

} // namespace platform
