#include "platform/Trace.h"

#include <chrono>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

int TraceFile()
{
    static const int fd = [] {
        const char* path = std::getenv("LEXORIN_TRACE");
        if (!path || !*path)
            return -1;
        return ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }();
    return fd;
}

} // namespace

bool TraceOn()
{
    return TraceFile() >= 0;
}

void Trace(std::string_view event)
{
    const int fd = TraceFile();
    if (fd < 0)
        return;
    try {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::string line = std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
        line.append(" ").append(event).append("\n");
        // One write per line: appends from several threads never interleave within a line.
        (void)!::write(fd, line.data(), line.size());
    } catch (...) {
    }
}

} // namespace platform
