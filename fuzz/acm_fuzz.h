#pragma once

// Shared driver of the codec fuzz targets: opens a stream from a fuzzed format to its
// natural PCM (or a fuzzed PCM format) and converts the rest of the input in fuzzed
// pieces the way the engine does: pending bytes, one prepared header sized from the
// first convertible input, block-aligned converts, the unconsumed rest kept.

#include "platform/acm/MSAcmApi.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace acmfuzz {

// Reads fuzz bytes one at a time, giving zeros when they run out.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t next16()
    {
        const uint8_t low = next();
        return uint16_t(low | next() << 8);
    }
    const uint8_t* rest() const { return data_ + pos_; }
    size_t restSize() const { return size_ - pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

constexpr uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 12000, 24000, 7999, 96000};

inline uint32_t rate(uint8_t b)
{
    return kRates[b % (sizeof kRates / sizeof kRates[0])];
}

inline void convertInPieces(WAVEFORMATEX* src, WAVEFORMATEX* dst, const uint8_t* data, size_t size, uint8_t seed)
{
    HACMSTREAM has = nullptr;
    if (acmStreamOpen(nullptr, nullptr, src, dst, nullptr, 0, 0, ACM_STREAMOPENF_QUERY) != 0)
        return;
    if (acmStreamOpen(&has, nullptr, src, dst, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0)
        return;
    const size_t piece = 1 + size_t(seed) * 37;
    std::vector<uint8_t> srcBuf, dstBuf;
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    size_t pending = 0;
    std::vector<uint8_t> growing;
    for (size_t pos = 0; pos < size; pos += piece) {
        const size_t n = std::min(piece, size - pos);
        if (!srcBuf.empty()) {
            if (pending + n > srcBuf.size())
                break; // the engine reports "too large" here
            std::memcpy(srcBuf.data() + pending, data + pos, n);
        } else {
            growing.resize(pending + n);
            std::memcpy(growing.data() + pending, data + pos, n);
        }
        pending += n;
        uint32_t out = 0;
        if (acmStreamSize(has, uint32_t(pending), &out, ACM_STREAMSIZEF_SOURCE) != 0 || out == 0)
            continue;
        if (srcBuf.empty()) {
            srcBuf.assign(pending * 3, 0);
            std::memcpy(srcBuf.data(), growing.data(), pending);
            acmStreamSize(has, uint32_t(srcBuf.size()), &out, ACM_STREAMSIZEF_SOURCE);
            if (out > (64u << 20))
                break; // never expected: sizes are bounded by the formats' limits
            dstBuf.assign(std::max<uint32_t>(out, 1), 0);
            h.pbSrc = srcBuf.data();
            h.cbSrcLength = uint32_t(srcBuf.size());
            h.pbDst = dstBuf.data();
            h.cbDstLength = uint32_t(dstBuf.size());
            if (acmStreamPrepareHeader(has, &h, 0) != 0)
                break;
        }
        h.cbSrcLength = uint32_t(pending);
        h.cbDstLengthUsed = 0;
        if (acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN) != 0)
            break;
        if (h.cbSrcLengthUsed > pending || h.cbDstLengthUsed > h.cbDstLength)
            __builtin_trap();
        std::memmove(srcBuf.data(), srcBuf.data() + h.cbSrcLengthUsed, pending - h.cbSrcLengthUsed);
        pending -= h.cbSrcLengthUsed;
    }
    if (!srcBuf.empty()) {
        h.cbSrcLength = uint32_t(srcBuf.size());
        acmStreamUnprepareHeader(has, &h, 0);
    }
    acmStreamClose(has, 0);
}

// Decodes data as src into the natural PCM the service suggests for it.
inline void decode(std::vector<uint8_t>& format, Bytes& in)
{
    format.resize(512, 0);
    auto* src = reinterpret_cast<WAVEFORMATEX*>(format.data());
    std::vector<uint8_t> natural(512, 0);
    auto* dst = reinterpret_cast<WAVEFORMATEX*>(natural.data());
    dst->wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, src, dst, 512, ACM_FORMATSUGGESTF_WFORMATTAG) != 0)
        return;
    const uint8_t seed = in.next();
    convertInPieces(src, dst, in.rest(), in.restSize(), seed);
}

template <class T> std::vector<uint8_t> recordBytes(const T& record)
{
    const auto* b = reinterpret_cast<const uint8_t*>(&record);
    return {b, b + sizeof record};
}

} // namespace acmfuzz
