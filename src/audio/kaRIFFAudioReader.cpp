#include "audio/kaAudioConsts.h"
#include "audio/kaAudioStreams.h"
#include "audio/kaErrors.h"
#include "platform/AsciiCase.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

constexpr int64_t kMaxFmtSize = 512;
// Positions and sizes are signed 32-bit: bytes beyond are out of a reader's reach.
constexpr int64_t kMaxPosition = std::numeric_limits<int32_t>::max();

[[noreturn]] void InvalidFormat()
{
    throw EACMAudioReadError(SInvalidFileFormat);
}

uint32_t U32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool IsId(const uint8_t* p, const char (&id)[5])
{
    return std::memcmp(p, id, 4) == 0;
}

// Chunk identifiers match in any letter case.
bool IsIdAnyCase(const uint8_t* p, const char (&upper)[5])
{
    return platform::EqualsIgnoreAsciiCase(std::string_view(reinterpret_cast<const char*>(p), 4),
                                           std::string_view(upper, 4));
}

void ReadExactly(rtl::TStream& stream, void* buffer, int32_t count)
{
    if (stream.Read(buffer, count) != count)
        InvalidFormat();
}

bool IsPrintableId(const uint8_t* p)
{
    return std::all_of(p, p + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

// A chunk header could start at `position`: four printable ASCII bytes and a size that
// fits in the file. A data chunk may run past the end, as the reader accepts anyway.
bool HoldsChunkHeader(rtl::TStream& stream, int64_t position, int64_t end)
{
    if (end - position < 8)
        return false;
    std::array<uint8_t, 8> header{};
    stream.Seek(position, rtl::TSeekOrigin::soBeginning);
    if (stream.Read(header.data(), 8) != 8 || !IsPrintableId(header.data()))
        return false;
    return IsIdAnyCase(header.data(), "DATA") || U32(header.data() + 4) <= end - position - 8;
}

// Where the chunk after one whose body ends at `next` begins. Most writers pad an
// odd-sized chunk with one byte, which its size does not count; the tutor's own files
// and some older ones have no pad. The pad is skipped only when a chunk header stands
// after it and none stands where an unpadded file has the next one.
int64_t NextChunk(rtl::TStream& stream, int64_t next, int64_t size, int64_t end)
{
    if (size % 2 == 0 || HoldsChunkHeader(stream, next, end) || !HoldsChunkHeader(stream, next + 1, end))
        return next;
    return next + 1;
}

} // namespace

TkaRIFFAudioReader::TkaRIFFAudioReader(rtl::TStream* stream) : TkaAbstractAudioReader(stream)
{
    Parse();
}

// Scans the chunk list to the physical end of the stream (the RIFF size is only checked
// for being non-zero). A chunk cut short by the end of the stream is ignored; a chunk
// size that runs past the end ends the scan; a data chunk that runs past the end holds
// what the file holds. The pad byte after an odd-sized chunk is skipped where there is one.
void TkaRIFFAudioReader::Parse()
{
    rtl::TStream& stream = *Stream();
    const int64_t end = std::min(stream.Size(), kMaxPosition);

    std::array<uint8_t, 12> riff{};
    ReadExactly(stream, riff.data(), 8);
    if (!IsId(riff.data(), "RIFF") || U32(riff.data() + 4) == 0)
        InvalidFormat();
    ReadExactly(stream, riff.data() + 8, 4);
    if (!IsId(riff.data() + 8, "WAVE"))
        InvalidFormat();

    bool formatFound = false;
    bool dataFound = false;
    int64_t position = stream.Position();
    while (position >= 0 && position < end && !(formatFound && dataFound)) {
        if (end - position < 8)
            break;
        std::array<uint8_t, 8> header{};
        ReadExactly(stream, header.data(), 8);
        const int64_t size = U32(header.data() + 4);
        const int64_t body = position + 8;
        const int64_t available = end - body;
        if (IsIdAnyCase(header.data(), "FMT ")) {
            if (size > kMaxFmtSize)
                InvalidFormat();
            if (size > available)
                break;
            TkaWaveFormat* format = Format();
            format->SetDefaults();
            ReadExactly(stream, format->WaveFormatEx(), static_cast<int32_t>(size));
            formatFound = true;
        } else if (IsIdAnyCase(header.data(), "DATA")) {
            dataStart_ = static_cast<int32_t>(body);
            dataSize_ = static_cast<int32_t>(std::min(size, available));
            dataFound = true;
        }
        position = body + size;
        if (position < end && !(formatFound && dataFound))
            position = stream.Seek(NextChunk(stream, position, size, end), rtl::TSeekOrigin::soBeginning);
    }
    if (!formatFound || !dataFound)
        InvalidFormat();
}

int32_t TkaRIFFAudioReader::TrackSize(int32_t)
{
    return dataSize_;
}

int64_t TkaRIFFAudioReader::SeekTrack(int32_t)
{
    return Stream()->Seek(dataStart_, rtl::TSeekOrigin::soBeginning);
}

int32_t TkaRIFFAudioReader::ReadTrack(int32_t, void* buffer, int32_t count)
{
    Stream()->Seek(dataStart_, rtl::TSeekOrigin::soBeginning);
    return Stream()->Read(buffer, std::clamp(count, 0, dataSize_));
}
