#include "platform/acm/AcmFormat.h"

#include "platform/acm/MMReg.h"

#include <cstring>

namespace acm {

bool hasSaneHeader(const WAVEFORMATEX& wfx)
{
    return wfx.nChannels != 0 && wfx.nChannels <= kMaxChannels && wfx.nSamplesPerSec >= kMinRate &&
           wfx.nSamplesPerSec <= kMaxRate && wfx.nBlockAlign != 0 && wfx.nAvgBytesPerSec != 0 &&
           formatBytes(wfx).has_value();
}

std::optional<uint32_t> formatBytes(const WAVEFORMATEX& wfx)
{
    const uint32_t bytes = 18u + wfx.cbSize;
    if (bytes > kMaxFormatBytes)
        return std::nullopt;
    return bytes;
}

static bool sameGuid(const GUID_& a, const GUID_& b)
{
    return std::memcmp(&a, &b, sizeof(GUID_)) == 0;
}

std::optional<PcmLayout> pcmLayout(const WAVEFORMATEX& wfx)
{
    if (!hasSaneHeader(wfx))
        return std::nullopt;
    bool isFloat = false;
    switch (wfx.wFormatTag) {
    case WAVE_FORMAT_PCM:
        break;
    case WAVE_FORMAT_IEEE_FLOAT:
        isFloat = true;
        break;
    case WAVE_FORMAT_EXTENSIBLE: {
        const auto* ext = extended<WAVEFORMATEXTENSIBLE>(wfx);
        if (!ext)
            return std::nullopt;
        if (sameGuid(ext->SubFormat, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT))
            isFloat = true;
        else if (!sameGuid(ext->SubFormat, KSDATAFORMAT_SUBTYPE_PCM))
            return std::nullopt;
        break;
    }
    default:
        return std::nullopt;
    }
    SampleKind kind{};
    switch (wfx.wBitsPerSample) {
    case 8:
        kind = SampleKind::UInt8;
        break;
    case 16:
        kind = SampleKind::Int16;
        break;
    case 24:
        kind = SampleKind::Int24;
        break;
    case 32:
        kind = isFloat ? SampleKind::Float32 : SampleKind::Int32;
        break;
    default:
        return std::nullopt;
    }
    if (isFloat && kind != SampleKind::Float32)
        return std::nullopt;
    const uint16_t bytes = wfx.wBitsPerSample / 8;
    if (uint32_t(bytes) * wfx.nChannels != wfx.nBlockAlign)
        return std::nullopt; // bits that do not fit the block, or a padded block
    return PcmLayout{kind, wfx.nChannels, wfx.nSamplesPerSec, bytes, wfx.nBlockAlign};
}

void makePcm(WAVEFORMATEX& wfx, uint16_t channels, uint32_t rate, uint16_t bits)
{
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = channels;
    wfx.nSamplesPerSec = rate;
    wfx.nBlockAlign = uint16_t(channels * (bits / 8));
    wfx.nAvgBytesPerSec = rate * wfx.nBlockAlign;
    wfx.wBitsPerSample = bits;
    wfx.cbSize = 0;
}

} // namespace acm
