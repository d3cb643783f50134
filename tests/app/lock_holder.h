#pragma once

// A process of its own that holds a player's lock until it is let go (killed), as another
// tutor's save would.

#include "platform/fs/RecordLock.h"

#include <filesystem>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

class LockHolder {
public:
    explicit LockHolder(const std::filesystem::path& lockFile)
    {
        int ready[2];
        (void)!::pipe(ready);
        pid_ = ::fork();
        if (pid_ == 0) {
            const platform::RecordLock lock(lockFile, std::chrono::milliseconds(0));
            (void)!::write(ready[1], "1", 1);
            ::pause();
        }
        ::close(ready[1]);
        char byte = 0;
        (void)!::read(ready[0], &byte, 1);
        ::close(ready[0]);
    }
    ~LockHolder() { Release(); }

    void Release()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};
