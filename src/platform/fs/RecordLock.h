#pragma once

// An exclusive lock that several tutors, on one computer or on several computers sharing a
// folder, take before they change a player's files. It is a byte-range write lock on a file of
// its own (the record's lock file, which is never renamed over), held as an open file
// description lock (F_OFD_SETLK): closing some other descriptor of the same file in this
// process does not drop it, and a process that dies releases it at once.
//
// Waiting never blocks in the kernel: the lock is asked for again every few milliseconds until
// the timeout, so a lock that a crashed computer holds on a file server costs a bounded wait.

#include "rtl/Exception.h"

#include <chrono>
#include <filesystem>

namespace platform {

// The lock could not be had: held elsewhere past the timeout, refused by the file system
// (ENOLCK), or its file could not be opened. The message is plain and names the folder.
class ELockError : public rtl::Exception {
public:
    using Exception::Exception;
};

// How long a save waits for another tutor's save of the same player.
inline constexpr std::chrono::milliseconds kRecordLockTimeout{5000};

class RecordLock {
public:
    // Creates the lock file when needed and takes the lock, waiting up to `timeout`.
    RecordLock(const std::filesystem::path& lockFile, std::chrono::milliseconds timeout);
    ~RecordLock();
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

private:
    int fd_ = -1;
};

} // namespace platform
