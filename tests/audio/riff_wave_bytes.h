#pragma once

// Builders for WAVE files in memory, for the reader, writer and sub-stream tests.

#include "audio/kaWaveFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace riff_test {

using Bytes = std::vector<uint8_t>;

inline void PutId(Bytes& out, const std::string& id)
{
    out.insert(out.end(), id.begin(), id.begin() + 4);
}

inline void PutU16(Bytes& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void PutU32(Bytes& out, uint32_t value)
{
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

inline uint32_t GetU32(const Bytes& in, size_t at)
{
    return uint32_t{in[at]} | uint32_t{in[at + 1]} << 8 | uint32_t{in[at + 2]} << 16 |
           uint32_t{in[at + 3]} << 24;
}

// A chunk with the given identifier and body; the size field is the body's length
// unless another is given. No pad byte is added.
inline Bytes Chunk(const std::string& id, const Bytes& body, int64_t declared = -1)
{
    Bytes out;
    PutId(out, id);
    PutU32(out, declared < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(declared));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A chunk as most writers store it: an odd-sized body is followed by a zero pad byte,
// which the size field does not count.
inline Bytes PaddedChunk(const std::string& id, const Bytes& body)
{
    Bytes out = Chunk(id, body);
    if (body.size() % 2 != 0)
        out.push_back(0);
    return out;
}

// The 16-byte PCM fmt body.
inline Bytes PcmFmt(uint16_t channels, uint32_t rate, uint16_t bits)
{
    Bytes out;
    const uint16_t block = static_cast<uint16_t>(channels * bits / 8);
    PutU16(out, 1);
    PutU16(out, channels);
    PutU32(out, rate);
    PutU32(out, rate * block);
    PutU16(out, block);
    PutU16(out, bits);
    return out;
}

// "RIFF", size (the length of what follows unless given), "WAVE", then the chunks.
inline Bytes Riff(const std::vector<Bytes>& chunks, int64_t declared = -1, const std::string& riff = "RIFF",
                  const std::string& wave = "WAVE")
{
    Bytes body;
    PutId(body, wave);
    for (const auto& chunk : chunks)
        body.insert(body.end(), chunk.begin(), chunk.end());
    Bytes out;
    PutId(out, riff);
    PutU32(out, declared < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(declared));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Audio bytes that differ from position to position.
inline Bytes Pattern(size_t count, uint8_t seed = 0)
{
    Bytes out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 8));
    return out;
}

// PCM, 2 channels, 44100 Hz, 16 bits: the tutor's recording format.
inline void SetRecordingFormat(TkaWaveFormat& format)
{
    format.SetFormatTag(1);
    format.SetChannels(2);
    format.SetSamplesPerSec(44100);
    format.SetAvgBytesPerSec(176400);
    format.SetBlockAlign(4);
    format.SetBitsPerSample(16);
    format.SetExtraSize(0);
}

} // namespace riff_test
