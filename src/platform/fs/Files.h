#pragma once

// Folder listing, existence tests and content-name resolution for the tutor's files.
//
//   ListFolder(folder, pattern)        entries of one folder whose names match a pattern
//   MatchesPattern(name, pattern)      the pattern rule on its own
//   FileExists / DirectoryExists       existence tests (links are followed)
//   ForceDirectories(folder)           create a folder with any missing parents
//   JoinContentPath(base, relative)    join a tutor-style relative path ("Alpha\a.wav") onto a base
//                                      folder, refusing anything that would lead outside it
//   ResolveContentPath(base, relative) the same, then find each part without regard to letter case
//   IsPlainFileName(name)              a single name: no separators, not "." or ".."
//   WriteRefusal(file)                 why this user may not replace or extend a file (0: may)
//   TakeOverOwnership(old, new)        a replacing file takes the old one's mode, owner and group
//   RenameNoReplace(from, to)          a rename that never replaces what is at `to`
//
// Names are UTF-8 std::string; paths are std::filesystem::path. Nothing here shows a message.

#include "rtl/Exception.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A relative path that would reach outside its base folder (an absolute path or a ".." part).
class EPathError : public rtl::Exception {
public:
    using Exception::Exception;
};

// One entry of a folder listing.
struct DirEntry {
    std::string name;       // bare name, as the file system stores it
    bool directory = false; // a folder (or a link to one)
    bool hidden = false;    // the name begins with "." (the hidden mark of this platform)
    bool system = false;    // neither a plain file nor a folder: device, pipe, socket, dangling link
    bool readOnly = false;  // the owner has no write permission
};

// Pattern rule, as the tutor's lesson and word listings expect it:
//  - "*" matches any run of characters (dots included, also none), "?" exactly one character;
//  - letters match without regard to ASCII letter case ("*.wav" matches "A.WAV");
//  - a pattern ending in "." matches only names holding no "." at all, against the pattern
//    without that dot: "*." lists "README" and "alpha", never "a.b" or ".hidden".
bool MatchesPattern(std::string_view name, std::string_view pattern);

// Every entry of `folder` whose name matches `pattern`, of any kind and attribute ("." and ".."
// are never returned): the caller picks what to skip by the attributes. Entries come sorted by
// name without regard to ASCII letter case (the order the tutor's users know), exact name as the
// tie-breaker. A folder that is missing or cannot be read gives an empty list; an error in the
// middle of a listing ends it with what was read so far. Never throws.
std::vector<DirEntry> ListFolder(const std::filesystem::path& folder, std::string_view pattern);

// True for an existing file that is not a folder (links followed). Never throws.
bool FileExists(const std::filesystem::path& path);
// True for an existing folder (links followed). Never throws.
bool DirectoryExists(const std::filesystem::path& path);
// Creates `folder` and any missing parents; true when the folder exists afterwards. Never throws.
bool ForceDirectories(const std::filesystem::path& folder);

// Splits a tutor-style relative path at "\" and "/" and appends its parts to `base`. Empty and
// "." parts are dropped, so "\alpha\x.wav" and "alpha//x.wav" both mean alpha/x.wav (a leading
// separator stays below base: the tutor writes its paths as base + text). Raises EPathError for a
// ".." part or a NUL character, which could lead outside base or cut the name short.
std::filesystem::path JoinContentPath(const std::filesystem::path& base, std::string_view relative);
// As JoinContentPath, but gives nullopt instead of raising.
std::optional<std::filesystem::path> TryJoinContentPath(const std::filesystem::path& base,
                                                        std::string_view relative);

// JoinContentPath, then each part is looked up in its folder: the exact name first, else the
// first entry (in listing order) whose name equals it without regard to ASCII letter case. From
// the first part that matches nothing on, the rest is appended as written, so the result is the
// straightforward path for a file that does not exist. "alpha\PRACTICECOMPLETE.wav" finds
// Alpha/PRACTICECOMPLETE.wav; "a.wav" finds A.wav. Raises EPathError as JoinContentPath does.
std::filesystem::path ResolveContentPath(const std::filesystem::path& base, std::string_view relative);

// True when `name` is one non-empty name: no "/", "\" or NUL, and not "." or "..".
bool IsPlainFileName(std::string_view name);

// 0 when this user may replace or extend the file at `file` (links followed), or when there is
// none; else the errno the file system gives for writing it (EACCES, EROFS). A user may write
// what access(W_OK) allows; root, whom it allows everything, may not write a file whose mode
// gives no one a write bit: such a file was frozen on purpose. A rename in a folder the user may
// write would replace any file there, so every replacing writer asks this first.
int WriteRefusal(const std::filesystem::path& file);

// Gives `replacement`, the new file about to take `existing`'s place, the old file's mode and,
// as far as this user may give them, its owner and group, so a shared file stays shared.
// Nothing happens when `existing` is not a plain file. Best effort; never throws.
void TakeOverOwnership(const std::filesystem::path& existing, const std::filesystem::path& replacement);

// Renames `from` to `to` only when nothing of that name exists: 0 when done, else the errno
// (EEXIST when the name is taken, and then nothing has changed). Uses renameat2 with
// RENAME_NOREPLACE; where the file system refuses that flag (as NFS does), a hard link to the
// new name and the removal of the old one.
int RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Test seam: while set, RenameNoReplace acts as on a file system that refuses the flag.
void SetRenameNoReplaceRefused(bool refused);

// Writes all of `bytes` to the descriptor, going on after interrupted and partial writes;
// 0 when done, else the errno of the write that failed (EIO for one that wrote nothing).
int WriteAll(int fd, std::string_view bytes);

} // namespace platform
