#pragma once

// The desktop shell's "open" verb: hand a file to the program the desktop associates with it.
//
//   ShellOpen(path) -> bool          true when the desktop accepted the request
//   SetShellOpenHandler(fn)          fn(path) -> bool replaces the desktop (tests); empty restores it
//   ScopedShellOpenHandler           the same for one scope
//
// A handler sees every request. Without one, a missing file is not passed to the desktop, nor is a
// file whose type has no program registered with the desktop (xdg-mime): ShellOpen returns false
// and the caller can show the file another way. Never throws, shows nothing.

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
