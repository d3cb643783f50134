#pragma once

// Replacing a file so that a crash or power cut at any moment leaves either the old content or
// the new one: the bytes go to a hidden temporary file in the target's folder, are flushed to
// disk and renamed over the target, and the folder itself is flushed.

#include "rtl/Exception.h"

#include <filesystem>
#include <functional>
#include <string_view>

namespace platform {

// A file could not be written; the message names the file and the system's reason.
class EFileWriteError : public rtl::Exception {
public:
    using Exception::Exception;
};

// The file could not be written because its name is taken (WriteNewFileAtomically).
class EFileExistsError : public EFileWriteError {
public:
    using EFileWriteError::EFileWriteError;
};

// The points of WriteFileAtomically at which a test may inject a failure (by throwing) or a crash.
enum class AtomicWriteStage {
    Created,     // the temporary file exists and is empty
    PartWritten, // about half of the bytes are written
    Written,     // all bytes written, not yet flushed
    Flushed,     // flushed and closed, not yet renamed over the target
};
using AtomicWriteHook = std::function<void(AtomicWriteStage)>;

// Writes `bytes` as the new content of `target`. The temporary file is named
// ".<target name>.tmp-XXXXXX" (hidden, never matching the target's extension pattern). An
// existing target keeps its permission bits and its group (and its owner, where the user may
// give it); a link as target is written through. A target this user may not write
// (platform::WriteRefusal) is refused with the file system's reason, as the system refuses it
// in a folder of its own ("Permission denied"). On failure the temporary file is removed, the
// target is left as it was, and EFileWriteError is raised. A successful write also removes the
// target's temporary files that are more than ten minutes old: saves that were killed left them.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// As WriteFileAtomically for a file that must not exist yet: the temporary file takes the name
// only while nothing has it (platform::RenameNoReplace), so nothing is ever replaced, also not a
// file that appears while the bytes are written. EFileExistsError when the name is taken.
void WriteNewFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Test seam: called at each stage of every atomic write while set; empty clears it.
void SetAtomicWriteHook(AtomicWriteHook hook);

} // namespace platform
