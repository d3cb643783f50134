// The history file on disk: read whole, appended one locked line at a time.
//
// Appending takes an fcntl write lock on the whole file before it looks at the last
// byte and keeps it until the line is written and flushed, so two tutors appending for
// the same player on a shared folder never interleave within a line: O_APPEND alone is
// not atomic on network file systems, and the torn-line check must see the same end
// of file that the write extends.

#include "app/progress/AttemptHistory.h"
#include "platform/fs/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <vector>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app::progress {

namespace {

[[noreturn]] void RaiseErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Closes the descriptor (which also releases its lock) on every path.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

void LockWholeFile(int fd)
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end, however far it grows
    while (::fcntl(fd, F_SETLKW, &lock) != 0)
        if (errno != EINTR)
            RaiseErrno("locking the history file");
}

bool EndsInsideALine(int fd)
{
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 0)
        RaiseErrno("seeking in the history file");
    if (size == 0)
        return false;
    char last = '\n';
    ssize_t got = 0;
    do
        got = ::pread(fd, &last, 1, size - 1);
    while (got < 0 && errno == EINTR);
    if (got != 1)
        RaiseErrno("reading the history file");
    return last != '\n';
}

} // namespace

std::filesystem::path HistoryPathOf(const std::filesystem::path& recordPath)
{
    std::filesystem::path path = recordPath;
    path.replace_extension(".history");
    return path;
}

History ReadHistory(const std::filesystem::path& path)
{
    History unreadable;
    unreadable.unreadable = true;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return {};
    if (error || status.type() != std::filesystem::file_type::regular)
        return unreadable;
    // A block at a time, so a history of hundreds of thousands of lines never sits in
    // memory twice.
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return unreadable;
    // Room for the lines a file of this size holds (about 150 bytes each), within reason.
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    HistoryReader reader(error ? 0 : static_cast<std::size_t>(std::min<std::uintmax_t>(size / 128, 300000)));
    std::vector<char> block(1 << 20);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
        reader.Add(std::string_view(block.data(), static_cast<std::size_t>(in.gcount())));
    if (in.bad())
        return unreadable;
    return std::move(reader).Finish();
}

void AppendAttempt(const std::filesystem::path& path, const Attempt& attempt)
{
    // A history this user may not write (another account's, or one frozen on purpose) is not
    // extended, whoever runs the tutor.
    if (const int refusal = platform::WriteRefusal(path))
        throw std::system_error(refusal, std::generic_category(), "opening the history file");
    // A link is followed, as the record save follows one: where the player's files are
    // links, the history goes where the record goes.
    const FileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (file.get() < 0)
        RaiseErrno("opening the history file");
    LockWholeFile(file.get());
    std::string line = EndsInsideALine(file.get()) ? "\n" : "";
    line += AttemptToLine(attempt);
    line += '\n';
    if (const int error = platform::WriteAll(file.get(), line))
        throw std::system_error(error, std::generic_category(), "writing the history file");
    if (::fsync(file.get()) != 0)
        RaiseErrno("flushing the history file");
}

} // namespace app::progress
