#include "audio/kaWaveFormat.h"

#include "audio/kaACMCalls.h"
#include "audio/kaAudioConsts.h"
#include "audio/kaCheckMMResult.h"
#include "rtl/Stream.h"

#include <cstring>

// The buffer is little-endian like the stored layouts; the fields are read byte by byte
// so the object never depends on the host's order or alignment.

TkaWaveFormat::TkaWaveFormat()
{
    std::memset(buffer_, 0, sizeof buffer_);
    SetDefaults();
}

uint16_t TkaWaveFormat::Get16(size_t at) const
{
    return static_cast<uint16_t>(buffer_[at] | buffer_[at + 1] << 8);
}

uint32_t TkaWaveFormat::Get32(size_t at) const
{
    return uint32_t(buffer_[at]) | uint32_t(buffer_[at + 1]) << 8 | uint32_t(buffer_[at + 2]) << 16 |
           uint32_t(buffer_[at + 3]) << 24;
}

void TkaWaveFormat::Set16(size_t at, uint16_t value)
{
    buffer_[at] = static_cast<uint8_t>(value);
    buffer_[at + 1] = static_cast<uint8_t>(value >> 8);
}

void TkaWaveFormat::Set32(size_t at, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        buffer_[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t TkaWaveFormat::ExtraSize() const
{
    // A buffer read from a stream can hold any value here.
    const uint16_t stored = Get16(16);
    return stored > MaxExtraSize ? MaxExtraSize : stored;
}

void TkaWaveFormat::SetExtraSize(uint16_t value)
{
    if (value > MaxExtraSize)
        throw EACMError(SWaveFormatBufferTooSmall);
    Set16(16, value);
}

void TkaWaveFormat::SetDefaults()
{
    SetFormatTag(WAVE_FORMAT_PCM);
    SetChannels(2);
    SetSamplesPerSec(11025);
    SetAvgBytesPerSec(22050);
    SetBlockAlign(2);
    SetBitsPerSample(8);
    SetExtraSize(0);
}

bool TkaWaveFormat::IsEqual(const TkaWaveFormat& other) const
{
    return std::memcmp(buffer_, other.buffer_, BufferSize) == 0;
}

void TkaWaveFormat::AssignTo(rtl::TPersistent* dest) const
{
    if (auto* format = dynamic_cast<TkaWaveFormat*>(dest))
        std::memcpy(format->buffer_, buffer_, BufferSize);
}

void TkaWaveFormat::DefineProperties(rtl::TFiler& filer)
{
    rtl::TPersistent::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "FormatBuffer",
        [this](rtl::TStream& stream) {
            // All or nothing: a cut-off value leaves the format as it was.
            uint8_t bytes[BufferSize];
            stream.ReadBuffer(bytes, BufferSize);
            std::memcpy(buffer_, bytes, BufferSize);
        },
        [this](rtl::TStream& stream) { stream.WriteBuffer(buffer_, BufferSize); }, true);
}

void TkaWaveFormat::SuggestPCM(const TkaWaveFormat& source)
{
    TkaWaveFormat suggestion;
    suggestion.Assign(&source);
    suggestion.SetFormatTag(WAVE_FORMAT_PCM);
    // The service reads the source through a non-const pointer; it does not write it.
    TkaWaveFormat src(source);
    CheckMMResult<EACMConversionError>(ACMCalls().FormatSuggest(
        nullptr, src.WaveFormatEx(), suggestion.WaveFormatEx(), BufferSize, ACM_FORMATSUGGESTF_WFORMATTAG));
    if (!CanConvert(source, suggestion, false))
        throw EACMConversionError(SConversionNotPossible);
    Assign(&suggestion);
}

bool CanConvert(const TkaWaveFormat& src, const TkaWaveFormat& dst, bool realTime)
{
    TkaWaveFormat s(src), d(dst);
    HACMSTREAM stream = nullptr;
    const uint32_t flags = ACM_STREAMOPENF_QUERY | (realTime ? 0 : ACM_STREAMOPENF_NONREALTIME);
    return ACMCalls().StreamOpen(&stream, nullptr, s.WaveFormatEx(), d.WaveFormatEx(), nullptr, 0, 0,
                                 flags) == MMSYSERR_NOERROR;
}
