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

void WriteU32(rtl::TStream& stream, uint32_t value)
{
    const std::array<uint8_t, 4> bytes{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                       static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    stream.WriteBuffer(bytes.data(), 4);
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
    stream.Seek(StartPosition() + 4, rtl::TSeekOrigin::soBeginning);
    WriteU32(stream, static_cast<uint32_t>(end - StartPosition() - 8));
    stream.Seek(dataChunkPosition_ + 4, rtl::TSeekOrigin::soBeginning);
    WriteU32(stream, static_cast<uint32_t>(end - dataChunkPosition_ - 8));
    stream.Seek(end, rtl::TSeekOrigin::soBeginning);
}
