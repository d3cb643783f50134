#include "platform/xml/AtomicFile.h"

#include <cerrno>
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

// Owns the temporary file until it has been renamed over the target.
class TempFile {
public:
    explicit TempFile(const fs::path& target)
    {
        std::random_device entropy;
        std::mt19937 rng(entropy());
        static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        // Cut very long names so the temporary name stays within the 255-byte name limit.
        const std::string stem = target.filename().string().substr(0, 200);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = "." + stem + ".tmp-";
            for (int i = 0; i < 6; ++i)
                name += letters[rng() % (sizeof(letters) - 1)];
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

void FlushFolder(const fs::path& folder)
{
    // Best effort: the rename is done; some file systems cannot flush a folder.
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void SetAtomicWriteHook(AtomicWriteHook hook)
{
    Hook() = std::move(hook);
}

void WriteFileAtomically(const fs::path& requested, std::string_view bytes)
{
    fs::path target = requested;
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        const fs::path real = fs::weakly_canonical(target, ec);
        if (!ec)
            target = real;
    }

    TempFile temp(target);
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0)
        ::fchmod(temp.fd(), existing.st_mode & 07777);
    Reach(AtomicWriteStage::Created);

    const std::size_t half = bytes.size() / 2;
    if (const int error = WriteAll(temp.fd(), bytes.substr(0, half)))
        Fail("Cannot write file", target, error);
    Reach(AtomicWriteStage::PartWritten);
    if (const int error = WriteAll(temp.fd(), bytes.substr(half)))
        Fail("Cannot write file", target, error);
    Reach(AtomicWriteStage::Written);

    if (::fsync(temp.fd()) != 0)
        Fail("Cannot write file", target, errno);
    if (const int error = temp.Close())
        Fail("Cannot write file", target, error);
    Reach(AtomicWriteStage::Flushed);

    if (::rename(temp.path().c_str(), target.c_str()) != 0)
        Fail("Cannot create file", target, errno);
    temp.Release();
    FlushFolder(target.parent_path());
}

} // namespace platform
