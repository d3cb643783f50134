#include "rtl/Stream.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace rtl {

int64_t TStream::Size()
{
    const int64_t here = Seek(0, TSeekOrigin::soCurrent);
    const int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(here, TSeekOrigin::soBeginning);
    return end;
}

void TStream::SetSize(int64_t)
{
    throw EStreamError("Stream size cannot be changed.");
}

void TStream::ReadBuffer(void* buffer, int32_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError("Stream write error");
}

void TStream::WriteBufferAt(int64_t position, const void* buffer, int32_t count)
{
    const int64_t here = Position();
    Seek(position, TSeekOrigin::soBeginning);
    WriteBuffer(buffer, count);
    Seek(here, TSeekOrigin::soBeginning);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<uint8_t> chunk(64 * 1024);
    int64_t left = count;
    while (left > 0) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(left, static_cast<int64_t>(chunk.size())));
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}

namespace {

const char* ModeString(TFileMode mode)
{
    switch (mode) {
    case TFileMode::fmCreate:
        return "w+b";
    case TFileMode::fmOpenRead:
        return "rb";
    case TFileMode::fmOpenWrite:
    case TFileMode::fmOpenReadWrite:
        return "r+b";
    }
    return "rb";
}

} // namespace

TFileStream::TFileStream(const std::filesystem::path& path, TFileMode mode) : path_(path)
{
    file_ = std::fopen(path.c_str(), ModeString(mode));
    if (!file_) {
        const std::string reason = std::strerror(errno);
        if (mode == TFileMode::fmCreate)
            throw EFCreateError("Cannot create file \"" + path.string() + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + path.string() + "\". " + reason);
    }
    // Clips are read and written in blocks of an eighth of a second (22 KB at CD quality);
    // stdio's default 4 KB buffer would split each into several system calls.
    std::setvbuf(file_, nullptr, _IOFBF, 64 * 1024);
}

TFileStream::~TFileStream()
{
    if (file_)
        std::fclose(file_);
}

void TFileStream::TurnTo(TLastAccess access)
{
    if (lastAccess_ != TLastAccess::None && lastAccess_ != access)
        fseeko(file_, 0, SEEK_CUR);
    lastAccess_ = access;
}

int32_t TFileStream::Read(void* buffer, int32_t count)
{
    if (count <= 0)
        return 0;
    TurnTo(TLastAccess::Read);
    const auto got = static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
    position_ += got;
    return got;
}

int32_t TFileStream::Write(const void* buffer, int32_t count)
{
    if (count <= 0)
        return 0;
    TurnTo(TLastAccess::Write);
    const auto put = static_cast<int32_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
    position_ += put;
    return put;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    // Asking where the stream is must not seek: a seek empties stdio's buffer, and the
    // audio streams ask before every block they read or write.
    if (whence == SEEK_CUR && offset == 0)
        return position_;
    if (fseeko(file_, static_cast<off_t>(offset), whence) != 0)
        return -1;
    lastAccess_ = TLastAccess::None;
    position_ = static_cast<int64_t>(ftello(file_));
    return position_;
}

void TFileStream::SetSize(int64_t newSize)
{
    std::fflush(file_);
    if (ftruncate(fileno(file_), static_cast<off_t>(newSize)) != 0)
        throw EStreamError("Cannot change the size of \"" + path_.string() + "\".");
    if (Position() > newSize)
        Seek(newSize, TSeekOrigin::soBeginning);
}

// Written past stdio's buffer, which first goes out so the file never holds bytes
// written later without those written before them; the stream's own position stays.
void TFileStream::WriteBufferAt(int64_t position, const void* buffer, int32_t count)
{
    if (std::fflush(file_) != 0)
        throw EWriteError("Stream write error");
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        const ssize_t put = ::pwrite(fileno(file_), bytes, static_cast<size_t>(count), static_cast<off_t>(position));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw EWriteError("Stream write error");
        bytes += put;
        position += put;
        count -= static_cast<int32_t>(put);
    }
}

void TFileStream::Flush(bool durable)
{
    std::fflush(file_);
    if (durable)
        fsync(fileno(file_));
}

TMemoryStream::TMemoryStream(const void* data, size_t size)
    : data_(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size)
{
}

int32_t TMemoryStream::Read(void* buffer, int32_t count)
{
    if (count <= 0 || position_ >= Size())
        return 0;
    const auto n = static_cast<int32_t>(std::min<int64_t>(count, Size() - position_));
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count)
{
    if (count <= 0)
        return 0;
    const int64_t end = position_ + count;
    if (end > Size())
        data_.resize(static_cast<size_t>(end));
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                         : origin == TSeekOrigin::soCurrent ? position_
                                                            : Size();
    const int64_t target = base + offset;
    if (target < 0)
        return -1;
    position_ = target;
    return position_;
}

void TMemoryStream::SetSize(int64_t newSize)
{
    data_.resize(static_cast<size_t>(std::max<int64_t>(newSize, 0)));
    position_ = std::min(position_, Size());
}

void TMemoryStream::Clear()
{
    data_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::filesystem::path& path)
{
    TFileStream file(path, TFileMode::fmOpenRead);
    const int64_t size = file.Size();
    if (size > INT32_MAX)
        throw EReadError("File too large for a memory stream: \"" + path.string() + "\".");
    Clear();
    data_.resize(static_cast<size_t>(size));
    file.ReadBuffer(data_.data(), static_cast<int32_t>(size));
}

void TMemoryStream::SaveToFile(const std::filesystem::path& path)
{
    TFileStream file(path, TFileMode::fmCreate);
    file.WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
}

} // namespace rtl
