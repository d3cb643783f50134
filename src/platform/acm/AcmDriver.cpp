#include "platform/acm/AcmDriver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace acm {

uint32_t BlockStream::destBytesFor(uint32_t srcBytes) const
{
    return uint32_t(std::min<uint64_t>(uint64_t(srcBytes / srcBlock_) * dstBlock_, UINT32_MAX));
}

uint32_t BlockStream::srcBytesFor(uint32_t dstBytes) const
{
    return uint32_t(std::min<uint64_t>(uint64_t(dstBytes / dstBlock_) * srcBlock_, UINT32_MAX));
}

MMRESULT BlockStream::convert(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen,
                              uint32_t& srcUsed, uint32_t& dstUsed)
{
    srcUsed = 0;
    dstUsed = 0;
    const uint32_t blocks = std::min(srcLen / srcBlock_, dstLen / dstBlock_);
    if (blocks == 0)
        return MMSYSERR_NOERROR;
    if (!process(src, dst, blocks))
        return ACMERR_NOTPOSSIBLE;
    srcUsed = blocks * srcBlock_;
    dstUsed = blocks * dstBlock_;
    return MMSYSERR_NOERROR;
}

std::vector<uint8_t> recordOf(const WAVEFORMATEX& wfx)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&wfx);
    return {bytes, bytes + 18 + wfx.cbSize};
}

std::vector<uint8_t> naturalPcm(const WAVEFORMATEX& src)
{
    WAVEFORMATEX pcm{};
    makePcm(pcm, src.nChannels, src.nSamplesPerSec, 16);
    return recordOf(pcm);
}

bool isNaturalPcmOf(const WAVEFORMATEX& fmt, const WAVEFORMATEX& other)
{
    const auto layout = pcmLayout(fmt);
    return layout && fmt.wFormatTag == WAVE_FORMAT_PCM && layout->kind == SampleKind::Int16 &&
           fmt.nChannels == other.nChannels && fmt.nSamplesPerSec == other.nSamplesPerSec;
}

bool meetsSuggestFlags(const std::vector<uint8_t>& record, const WAVEFORMATEX& want, uint32_t flags)
{
    if (record.size() < 18)
        return false;
    WAVEFORMATEX got;
    std::memcpy(&got, record.data(), 18);
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && got.wFormatTag != want.wFormatTag)
        return false;
    if ((flags & ACM_FORMATSUGGESTF_NCHANNELS) && got.nChannels != want.nChannels)
        return false;
    if ((flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && got.nSamplesPerSec != want.nSamplesPerSec)
        return false;
    if ((flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && got.wBitsPerSample != want.wBitsPerSample)
        return false;
    return true;
}

std::string describe(const WAVEFORMATEX& wfx, bool withBits)
{
    char text[96];
    const char* channels = wfx.nChannels == 1 ? "Mono" : wfx.nChannels == 2 ? "Stereo" : nullptr;
    char count[24];
    if (!channels) {
        std::snprintf(count, sizeof count, "%u Channels", unsigned(wfx.nChannels));
        channels = count;
    }
    const unsigned khz = wfx.nSamplesPerSec / 1000, frac = wfx.nSamplesPerSec % 1000;
    if (withBits)
        std::snprintf(text, sizeof text, "%u.%03u kHz, %u Bit, %s", khz, frac, unsigned(wfx.wBitsPerSample),
                      channels);
    else
        std::snprintf(text, sizeof text, "%u.%03u kHz, %s", khz, frac, channels);
    return text;
}

const std::vector<const Driver*>& allDrivers()
{
    static const std::vector<const Driver*> drivers{&pcmDriver(),      &g711Driver(), &imaAdpcmDriver(),
                                                    &msAdpcmDriver(), &gsmDriver(),  &mp3Driver()};
    return drivers;
}

} // namespace acm
