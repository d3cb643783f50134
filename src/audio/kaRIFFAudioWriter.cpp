#include "audio/kaAudioStreams.h"

#include "rtl/Exception.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint16_t kWaveFormatPcm = 1;
constexpr int32_t kPcmFmtSize = 16;
constexpr int32_t kWaveFormatExSize = 18;

void WriteId(rtl::TStream& stream, const char (&id)[5])
{
    stream.WriteBuffer(id, 4);
}

std::array<uint8_t, 4> LittleEndian(uint32_t value)
{
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

void WriteU32(rtl::TStream& stream, uint32_t value)
{
    stream.WriteBuffer(LittleEndian(value).data(), 4);
}

void WriteU32At(rtl::TStream& stream, int64_t position, uint32_t value)
{
    stream.WriteBufferAt(position, LittleEndian(value).data(), 4);
}

} // namespace

TkaRIFFAudioWriter::TkaRIFFAudioWriter(rtl::TStream* stream) : TkaAbstractAudioWriter(stream) {}

TkaRIFFAudioWriter::~TkaRIFFAudioWriter()
{
    if (BytesWritten() <= 0)
        return;
    // The sizes are already true after every block; this only repeats the last patch,
    // and a failing stream cannot be reported from a destructor.
    try {
        Finish();
    } catch (...) {
    }
}

void TkaRIFFAudioWriter::WriteHeader()
{
    TkaWaveFormat* format = GetFormat();
    RTL_ASSERT(format->FormatTag() != 0);
    rtl::TStream& stream = *Stream();
    const int32_t fmtSize =
        format->FormatTag() == kWaveFormatPcm ? kPcmFmtSize : kWaveFormatExSize + format->ExtraSize();
    WriteId(stream, "RIFF");
    WriteU32(stream, 0);
    WriteId(stream, "WAVE");
    WriteId(stream, "fmt ");
    WriteU32(stream, static_cast<uint32_t>(fmtSize));
    stream.WriteBuffer(format->WaveFormatEx(), fmtSize);
    dataChunkPosition_ = stream.Position();
    WriteId(stream, "data");
    WriteU32(stream, 0);
}

void TkaRIFFAudioWriter::WriteData(const void* buffer, int32_t count)
{
    Stream()->WriteBuffer(buffer, count);
}

void TkaRIFFAudioWriter::AfterWrite()
{
    PatchSizes();
}

void TkaRIFFAudioWriter::Finish()
{
    PatchSizes();
}

void TkaRIFFAudioWriter::PatchSizes()
{
    rtl::TStream& stream = *Stream();
    const int64_t end = stream.Position();
    WriteU32At(stream, StartPosition() + 4, static_cast<uint32_t>(end - StartPosition() - 8));
    WriteU32At(stream, dataChunkPosition_ + 4, static_cast<uint32_t>(end - dataChunkPosition_ - 8));
}
