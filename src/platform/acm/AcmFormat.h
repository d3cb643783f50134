#pragma once

// Reading wave format records safely: the sample layout of a PCM or float format
// (plain, or wrapped in WAVE_FORMAT_EXTENSIBLE), the checks every format passes before a
// driver looks at it, and the natural PCM of a format (same rate and channels, 16 bits).

#include "platform/MMSystem.h"

#include <cstdint>
#include <optional>

namespace acm {

// Limits that keep every size computation far from overflow.
constexpr uint32_t kMinRate = 1000;
constexpr uint32_t kMaxRate = 384000;
constexpr uint16_t kMaxChannels = 16;
constexpr uint32_t kMaxFormatBytes = 512; // the engine's format buffer

enum class SampleKind { UInt8, Int16, Int24, Int32, Float32 };

struct PcmLayout {
    SampleKind kind;
    uint16_t channels;
    uint32_t rate;
    uint16_t bytesPerSample;
    uint16_t blockAlign; // bytes per frame
};

// The fields every format must have sensible: channels, rate, block align and average
// bytes per second non-zero and within limits. Nothing is divided before this passed.
bool hasSaneHeader(const WAVEFORMATEX& wfx);

// Bytes of the record (18 + cbSize), when cbSize fits in the engine's buffer.
std::optional<uint32_t> formatBytes(const WAVEFORMATEX& wfx);

// The PCM or float layout of wfx, or nothing when wfx is not a well-formed PCM format.
std::optional<PcmLayout> pcmLayout(const WAVEFORMATEX& wfx);

// Writes a plain PCM (tag 1) record, cbSize 0.
void makePcm(WAVEFORMATEX& wfx, uint16_t channels, uint32_t rate, uint16_t bits);

// The extra bytes of wfx as a typed record, when cbSize covers it.
template <class Record> const Record* extended(const WAVEFORMATEX& wfx)
{
    if (18u + wfx.cbSize < sizeof(Record))
        return nullptr;
    return reinterpret_cast<const Record*>(&wfx);
}

} // namespace acm
