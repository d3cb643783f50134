#pragma once

#include "rtl/Classes.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace rtl {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream: the one interface through which WAVE files, stored properties and
// records are read and written. Read and Write move as many bytes as they can and say
// how many; ReadBuffer and WriteBuffer demand the whole count or raise.
class TStream {
public:
    virtual ~TStream() = default;

    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t newSize);

    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);
    // Writes the whole count at position and leaves the stream where it was, or raises.
    virtual void WriteBufferAt(int64_t position, const void* buffer, int32_t count);
    // Copies count bytes from source (all of it from its start when count is 0).
    int64_t CopyFrom(TStream& source, int64_t count);
};

enum class TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };

// A named file. fmCreate creates or truncates it; the open modes require it to exist.
class TFileStream : public TStream {
public:
    TFileStream(const std::filesystem::path& path, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    void WriteBufferAt(int64_t position, const void* buffer, int32_t count) override;
    // Pushes written bytes to the operating system (and to disk when durable).
    void Flush(bool durable = false);
    const std::filesystem::path& FileName() const { return path_; }

private:
    enum class TLastAccess { None, Read, Write };
    // C streams need a seek between reading and writing; done here so callers need not.
    void TurnTo(TLastAccess access);

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    TLastAccess lastAccess_ = TLastAccess::None;
    int64_t position_ = 0; // kept here: stdio asks the system after every flush
};

// A stream over a growable block of memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    TMemoryStream(const void* data, size_t size);

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t newSize) override;

    void Clear();
    uint8_t* Memory() { return data_.data(); }
    const std::vector<uint8_t>& Bytes() const { return data_; }
    void LoadFromFile(const std::filesystem::path& path);
    void SaveToFile(const std::filesystem::path& path);

private:
    std::vector<uint8_t> data_;
    int64_t position_ = 0;
};

} // namespace rtl
