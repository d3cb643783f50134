#include "platform/fs/RecordLock.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr auto kRetryPause = std::chrono::milliseconds(5);

std::string FolderOf(const std::filesystem::path& lockFile)
{
    return lockFile.parent_path().string();
}

// The first byte is the lock; the file itself stays empty.
int TryLock(int fd)
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 0 : errno;
}

} // namespace

RecordLock::RecordLock(const std::filesystem::path& lockFile, std::chrono::milliseconds timeout)
{
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0)
        throw ELockError("The player's lock file in the folder \"" + FolderOf(lockFile) +
                         "\" could not be opened: " + std::strerror(errno) + ".");
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const int error = TryLock(fd_);
        if (error == 0)
            return;
        const bool heldElsewhere = error == EAGAIN || error == EACCES || error == EINTR;
        if (!heldElsewhere || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd_);
            fd_ = -1;
            if (heldElsewhere)
                throw ELockError("Another tutor, on this computer or another one, is still working on this "
                                 "player's files in the folder \"" +
                                 FolderOf(lockFile) + "\".");
            throw ELockError("The folder \"" + FolderOf(lockFile) +
                             "\" does not let the tutor lock a player's files (" + std::strerror(error) +
                             ").");
        }
        std::this_thread::sleep_for(kRetryPause);
    }
}

RecordLock::~RecordLock()
{
    if (fd_ >= 0)
        ::close(fd_); // closing the last descriptor of the description releases the lock
}

} // namespace platform
