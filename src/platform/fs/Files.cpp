#include "platform/fs/Files.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

// Wildcard match with "*" and "?", ASCII letters compared without regard to case.
// Iterative with one backtrack point, so hostile patterns stay linear-ish.
bool Glob(std::string_view name, std::string_view pattern)
{
    size_t n = 0, p = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || UpperAscii(pattern[p]) == UpperAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string FoldedCopy(std::string_view s)
{
    return UpperAscii(std::string(s));
}

DirEntry MakeEntry(const fs::directory_entry& entry)
{
    DirEntry result;
    result.name = entry.path().filename().string();
    result.hidden = !result.name.empty() && result.name.front() == '.';
    std::error_code ec;
    const fs::file_status st = entry.status(ec); // follows links
    if (ec || !(fs::is_directory(st) || fs::is_regular_file(st))) {
        result.system = true;
        return result;
    }
    result.directory = fs::is_directory(st);
    result.readOnly = (st.permissions() & fs::perms::owner_write) == fs::perms::none;
    return result;
}

bool SplitContentPath(std::string_view relative, std::vector<std::string>& parts)
{
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = relative.size();
        const std::string_view part = relative.substr(start, end - start);
        if (part == "..")
            return false;
        if (part.find('\0') != std::string_view::npos)
            return false;
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        start = end + 1;
    }
    return true;
}

bool& RenameNoReplaceRefused()
{
    static bool refused = false;
    return refused;
}

} // namespace

bool MatchesPattern(std::string_view name, std::string_view pattern)
{
    if (!pattern.empty() && pattern.back() == '.') {
        if (name.find('.') != std::string_view::npos)
            return false;
        pattern.remove_suffix(1);
    }
    return Glob(name, pattern);
}

std::vector<DirEntry> ListFolder(const fs::path& folder, std::string_view pattern)
{
    std::vector<DirEntry> entries;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return entries;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (MatchesPattern(name, pattern))
            entries.push_back(MakeEntry(*it));
        if (ec)
            break;
    }
    // directory_iterator::increment reports its error through ec and becomes the end iterator.
    std::stable_sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
        const std::string fa = FoldedCopy(a.name), fb = FoldedCopy(b.name);
        return fa != fb ? fa < fb : a.name < b.name;
    });
    return entries;
}

bool FileExists(const fs::path& path)
{
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    return !ec && fs::exists(st) && !fs::is_directory(st);
}

bool DirectoryExists(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec) && !ec;
}

bool ForceDirectories(const fs::path& folder)
{
    if (folder.empty())
        return false;
    std::error_code ec;
    fs::create_directories(folder, ec);
    return DirectoryExists(folder);
}

std::optional<fs::path> TryJoinContentPath(const fs::path& base, std::string_view relative)
{
    std::vector<std::string> parts;
    if (!SplitContentPath(relative, parts))
        return std::nullopt;
    fs::path result = base;
    for (const std::string& part : parts)
        result /= part;
    return result;
}

fs::path JoinContentPath(const fs::path& base, std::string_view relative)
{
    if (auto joined = TryJoinContentPath(base, relative))
        return *joined;
    throw EPathError("Invalid path: \"" + std::string(relative.substr(0, relative.find('\0'))) + "\"");
}

fs::path ResolveContentPath(const fs::path& base, std::string_view relative)
{
    std::vector<std::string> parts;
    if (!SplitContentPath(relative, parts))
        JoinContentPath(base, relative); // raises the same error
    fs::path result = base;
    bool resolving = true;
    for (const std::string& part : parts) {
        if (resolving) {
            std::error_code ec;
            if (fs::exists(fs::symlink_status(result / part, ec))) {
                result /= part;
                continue;
            }
            resolving = false;
            for (const DirEntry& entry : ListFolder(result, "*")) {
                if (EqualsIgnoreAsciiCase(entry.name, part)) {
                    result /= entry.name;
                    resolving = true;
                    break;
                }
            }
            if (resolving)
                continue;
        }
        result /= part;
    }
    return result;
}

bool IsPlainFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

int WriteRefusal(const fs::path& file)
{
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0)
        return 0; // nothing there yet, or the write itself will say what is wrong
    if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
        return errno;
    if (::geteuid() == 0 && S_ISREG(status.st_mode) && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return EACCES;
    return 0;
}

void TakeOverOwnership(const fs::path& existing, const fs::path& replacement)
{
    struct stat status {};
    if (::stat(existing.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return;
    if (::chown(replacement.c_str(), status.st_uid, status.st_gid) != 0) {
        // Only root may give a file away; keep the group where the user belongs to it.
        if (::chown(replacement.c_str(), static_cast<uid_t>(-1), status.st_gid) != 0) {
            // Then it belongs to the user's own group: still written.
        }
    }
    ::chmod(replacement.c_str(), status.st_mode & 07777); // after chown, which may clear set-id bits
}

void SetRenameNoReplaceRefused(bool refused)
{
    RenameNoReplaceRefused() = refused;
}

int RenameNoReplace(const fs::path& from, const fs::path& to)
{
    const int renamed = RenameNoReplaceRefused()
                            ? (errno = EINVAL, -1)
                            : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (renamed == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // The link fails with EEXIST when the name is taken, as the rename would have.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

} // namespace platform
