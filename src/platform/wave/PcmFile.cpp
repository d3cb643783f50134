#include "platform/wave/PcmFile.h"
#include "platform/wave/WaveBackend.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace platform::wave {
namespace {

uint32_t le32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return u[0] | (u[1] << 8) | (u[2] << 16) | (uint32_t(u[3]) << 24);
}
uint16_t le16(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(u[0] | (u[1] << 8));
}

double readSample(const char* p, const WAVEFORMATEX& f)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
        float v;
        std::memcpy(&v, p, 4);
        return std::isfinite(v) ? v : 0.0;
    }
    switch (f.wBitsPerSample) {
    case 8:
        return (u[0] - 128) / 128.0;
    case 16:
        return static_cast<int16_t>(le16(p)) / 32768.0;
    case 24: {
        int32_t v = static_cast<int32_t>(u[0] | (u[1] << 8) | (u[2] << 16));
        if (v & 0x800000)
            v -= 0x1000000;
        return v / 8388608.0;
    }
    default:
        return static_cast<int32_t>(le32(p)) / 2147483648.0;
    }
}

void writeSample(char* p, const WAVEFORMATEX& f, double v)
{
    v = std::clamp(v, -1.0, 1.0);
    if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
        const float x = static_cast<float>(v);
        std::memcpy(p, &x, 4);
        return;
    }
    auto* u = reinterpret_cast<unsigned char*>(p);
    switch (f.wBitsPerSample) {
    case 8:
        u[0] = static_cast<unsigned char>(std::lround(std::min(v * 128.0 + 128.0, 255.0)));
        return;
    case 16: {
        const auto x = static_cast<int32_t>(std::lround(std::min(v * 32768.0, 32767.0)));
        u[0] = x & 0xFF;
        u[1] = (x >> 8) & 0xFF;
        return;
    }
    case 24: {
        const auto x = static_cast<int32_t>(std::lround(std::min(v * 8388608.0, 8388607.0)));
        u[0] = x & 0xFF;
        u[1] = (x >> 8) & 0xFF;
        u[2] = (x >> 16) & 0xFF;
        return;
    }
    default: {
        const auto x = static_cast<int64_t>(std::llround(std::min(v * 2147483648.0, 2147483647.0)));
        for (int i = 0; i < 4; ++i)
            u[i] = static_cast<unsigned char>((x >> (8 * i)) & 0xFF);
        return;
    }
    }
}

} // namespace

bool ParsePcmWave(const char* bytes, size_t size, WAVEFORMATEX& format, std::vector<char>& data)
{
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    size_t pos = 12;
    while (size - pos >= 8) {
        const char* chunk = bytes + pos;
        const uint64_t length = le32(chunk + 4);
        const size_t body = pos + 8;
        const size_t available = size - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && length >= 16 && available >= 16) {
            format.wFormatTag = le16(chunk + 8);
            format.nChannels = le16(chunk + 10);
            format.nSamplesPerSec = le32(chunk + 12);
            format.nAvgBytesPerSec = le32(chunk + 16);
            format.nBlockAlign = le16(chunk + 20);
            format.wBitsPerSample = le16(chunk + 22);
            format.cbSize = 0;
            if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && length >= 40 && available >= 40)
                format.wFormatTag = le16(chunk + 32); // the sub-format's tag
            haveFormat = IsPlayableFormat(format);
            if (!haveFormat)
                return false;
        } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
            // A cut-off file plays what it holds.
            size_t n = static_cast<size_t>(std::min<uint64_t>(length, available));
            n -= n % format.nBlockAlign;
            data.assign(bytes + body, bytes + body + n);
            return true;
        }
        if (length + (length & 1) > available)
            break;
        pos = body + static_cast<size_t>(length + (length & 1));
    }
    return false;
}

bool ReadPcmWave(const std::filesystem::path& file, WAVEFORMATEX& format, std::vector<char>& data)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParsePcmWave(bytes.data(), bytes.size(), format, data);
}

std::vector<char> ConvertPcm(const WAVEFORMATEX& from, const std::vector<char>& data, const WAVEFORMATEX& to)
{
    if (std::memcmp(&from, &to, 16) == 0)
        return data;
    const size_t inFrames = data.size() / from.nBlockAlign;
    const size_t outFrames =
        static_cast<size_t>(static_cast<double>(inFrames) * to.nSamplesPerSec / from.nSamplesPerSec);
    std::vector<char> out(outFrames * to.nBlockAlign);
    const size_t inBytes = from.wBitsPerSample / 8;
    const size_t outBytes = to.wBitsPerSample / 8;
    auto channelValue = [&](size_t frame, unsigned ch) {
        const char* f = data.data() + frame * from.nBlockAlign;
        if (to.nChannels == 1 && from.nChannels > 1) { // mix down
            double sum = 0;
            for (unsigned c = 0; c < from.nChannels; ++c)
                sum += readSample(f + c * inBytes, from);
            return sum / from.nChannels;
        }
        return readSample(f + (ch % from.nChannels) * inBytes, from);
    };
    const double step = static_cast<double>(from.nSamplesPerSec) / to.nSamplesPerSec;
    for (size_t i = 0; i < outFrames; ++i) {
        const double x = i * step;
        const auto i0 = static_cast<size_t>(x);
        const size_t i1 = std::min(i0 + 1, inFrames - 1);
        const double t = x - static_cast<double>(i0);
        for (unsigned ch = 0; ch < to.nChannels; ++ch) {
            const double v = channelValue(i0, ch) * (1 - t) + (t > 0 ? channelValue(i1, ch) * t : 0.0);
            writeSample(out.data() + i * to.nBlockAlign + ch * outBytes, to, v);
        }
    }
    return out;
}

} // namespace platform::wave
