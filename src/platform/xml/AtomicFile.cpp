#include "platform/xml/AtomicFile.h"

#include "platform/fs/Files.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

AtomicWriteHook& Hook()
{
    static AtomicWriteHook hook;
    return hook;
}

void Reach(AtomicWriteStage stage)
{
    if (Hook())
        Hook()(stage);
}

[[noreturn]] void Fail(const char* what, const fs::path& target, int error)
{
    throw EFileWriteError(std::string(what) + " \"" + target.string() + "\". " + std::strerror(error));
}

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr std::size_t kRandomLetters = 6;
// A temporary file this old was left by a save that was killed; a younger one may be the
// save of another tutor on a shared folder, still under way.
constexpr auto kStaleAfter = std::chrono::minutes(10);

// The temporary names of `target` are this prefix and kRandomLetters letters. Very long
// names are cut so the temporary name stays within the 255-byte name limit.
std::string TemporaryPrefix(const fs::path& target)
{
    return "." + target.filename().string().substr(0, 200) + ".tmp-";
}

bool IsTemporaryOf(const std::string& name, const std::string& prefix)
{
    return name.size() == prefix.size() + kRandomLetters && name.compare(0, prefix.size(), prefix) == 0 &&
           name.find_first_not_of(kLetters, prefix.size()) == std::string::npos;
}

// Removes the temporary files of `target` that killed saves left behind, once they are
// older than kStaleAfter. Best effort: the save itself has succeeded.
void RemoveStaleTemporaries(const fs::path& target)
{
    const std::string prefix = TemporaryPrefix(target);
    const auto now = fs::file_time_type::clock::now();
    std::error_code ec;
    for (fs::directory_iterator it(target.parent_path().empty() ? "." : target.parent_path(), ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!IsTemporaryOf(it->path().filename().string(), prefix) || !it->is_regular_file(entryError))
            continue;
        const auto written = it->last_write_time(entryError);
        if (!entryError && now - written > kStaleAfter)
            fs::remove(it->path(), entryError);
    }
}

// Owns the temporary file until it has been renamed over the target.
class TempFile {
public:
    explicit TempFile(const fs::path& target)
    {
        std::random_device entropy;
        std::mt19937 rng(entropy());
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = TemporaryPrefix(target);
            for (std::size_t i = 0; i < kRandomLetters; ++i)
                name += kLetters[rng() % (sizeof(kLetters) - 1)];
            path_ = target.parent_path() / name;
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0 || errno != EEXIST)
                break;
        }
        if (fd_ < 0)
            Fail("Cannot create file", target, errno);
    }
    ~TempFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_; }
    const fs::path& path() const { return path_; }
    int Close()
    {
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 ? 0 : errno;
    }
    void Release() { path_.clear(); }

private:
    fs::path path_;
    int fd_ = -1;
};

void FlushFolder(const fs::path& folder)
{
    // Best effort: the rename is done; some file systems cannot flush a folder.
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Where a link as target leads: the file that is replaced.
fs::path WrittenThroughLinks(const fs::path& requested)
{
    std::error_code ec;
    if (fs::is_symlink(requested, ec)) {
        const fs::path real = fs::weakly_canonical(requested, ec);
        if (!ec)
            return real;
    }
    return requested;
}

enum class Placing { Replace, OnlyIfNew };

void WriteThroughTemporary(const fs::path& requested, std::string_view bytes, Placing placing)
{
    const fs::path target = WrittenThroughLinks(requested);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && placing == Placing::OnlyIfNew)
        throw EFileExistsError("Cannot create file \"" + target.string() + "\". " + std::strerror(EEXIST));
    if (const int refusal = exists ? platform::WriteRefusal(target) : 0)
        Fail("Cannot create file", target, refusal);

    TempFile temp(target);
    if (exists)
        platform::TakeOverOwnership(target, temp.path());
    Reach(AtomicWriteStage::Created);

    const std::size_t half = bytes.size() / 2;
    if (const int error = platform::WriteAll(temp.fd(), bytes.substr(0, half)))
        Fail("Cannot write file", target, error);
    Reach(AtomicWriteStage::PartWritten);
    if (const int error = platform::WriteAll(temp.fd(), bytes.substr(half)))
        Fail("Cannot write file", target, error);
    Reach(AtomicWriteStage::Written);

    if (::fsync(temp.fd()) != 0)
        Fail("Cannot write file", target, errno);
    if (const int error = temp.Close())
        Fail("Cannot write file", target, error);
    Reach(AtomicWriteStage::Flushed);

    if (placing == Placing::OnlyIfNew) {
        if (const int error = platform::RenameNoReplace(temp.path(), target)) {
            if (error == EEXIST)
                throw EFileExistsError("Cannot create file \"" + target.string() + "\". " +
                                       std::strerror(error));
            Fail("Cannot create file", target, error);
        }
    } else if (::rename(temp.path().c_str(), target.c_str()) != 0) {
        Fail("Cannot create file", target, errno);
    }
    temp.Release();
    FlushFolder(target.parent_path());
    RemoveStaleTemporaries(target);
}

} // namespace

void SetAtomicWriteHook(AtomicWriteHook hook)
{
    Hook() = std::move(hook);
}

void WriteFileAtomically(const fs::path& target, std::string_view bytes)
{
    WriteThroughTemporary(target, bytes, Placing::Replace);
}

void WriteNewFileAtomically(const fs::path& target, std::string_view bytes)
{
    WriteThroughTemporary(target, bytes, Placing::OnlyIfNew);
}

} // namespace platform
