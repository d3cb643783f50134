#pragma once

// A process of its own that holds a player's lock until told to let go, as another tutor's
// save would.

#include "platform/fs/RecordLock.h"

#include <filesystem>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

class LockHolder {
public:
    explicit LockHolder(const std::filesystem::path& lockFile)
    {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const platform::RecordLock lock(lockFile, std::chrono::milliseconds(0));
            char byte = 1;
            (void)!::write(ready[1], &byte, 1);
            (void)!::read(release[0], &byte, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char byte = 0;
        (void)!::read(ready[0], &byte, 1);
        ::close(ready[0]);
    }
    ~LockHolder() { Release(); }

    void Release()
    {
        if (pid_ <= 0)
            return;
        ::close(release_);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
};
