#include "platform/acm/PcmSamples.h"

#include <cmath>
#include <cstring>

namespace acm {

namespace {

int32_t readInt24(const uint8_t* p)
{
    const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    return int32_t(v << 8) >> 8;
}

// Scales x by full, rounds half away from zero, and saturates to [-full, full - 1].
int64_t quantize(double x, double full)
{
    if (!(x == x))
        return 0; // NaN
    const double scaled = x * full;
    if (scaled >= full - 1)
        return int64_t(full) - 1;
    if (scaled <= -full)
        return -int64_t(full);
    return int64_t(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
}

} // namespace

void readSamples(SampleKind kind, const uint8_t* in, double* out, size_t count)
{
    switch (kind) {
    case SampleKind::UInt8:
        for (size_t i = 0; i < count; ++i)
            out[i] = (int(in[i]) - 128) * (1.0 / 128);
        break;
    case SampleKind::Int16:
        for (size_t i = 0; i < count; ++i) {
            int16_t v;
            std::memcpy(&v, in + 2 * i, 2);
            out[i] = v * (1.0 / 32768);
        }
        break;
    case SampleKind::Int24:
        for (size_t i = 0; i < count; ++i)
            out[i] = readInt24(in + 3 * i) * (1.0 / 8388608);
        break;
    case SampleKind::Int32:
        for (size_t i = 0; i < count; ++i) {
            int32_t v;
            std::memcpy(&v, in + 4 * i, 4);
            out[i] = v * (1.0 / 2147483648.0);
        }
        break;
    case SampleKind::Float32:
        for (size_t i = 0; i < count; ++i) {
            float v;
            std::memcpy(&v, in + 4 * i, 4);
            out[i] = std::isfinite(v) ? v : (std::isnan(v) ? 0.0 : (v > 0 ? 1.0 : -1.0));
        }
        break;
    }
}

void writeSamples(SampleKind kind, const double* in, uint8_t* out, size_t count)
{
    switch (kind) {
    case SampleKind::UInt8:
        for (size_t i = 0; i < count; ++i)
            out[i] = uint8_t(quantize(in[i], 128) + 128);
        break;
    case SampleKind::Int16:
        for (size_t i = 0; i < count; ++i) {
            const int16_t v = int16_t(quantize(in[i], 32768));
            std::memcpy(out + 2 * i, &v, 2);
        }
        break;
    case SampleKind::Int24:
        for (size_t i = 0; i < count; ++i) {
            const uint32_t v = uint32_t(int32_t(quantize(in[i], 8388608)));
            out[3 * i] = uint8_t(v);
            out[3 * i + 1] = uint8_t(v >> 8);
            out[3 * i + 2] = uint8_t(v >> 16);
        }
        break;
    case SampleKind::Int32:
        for (size_t i = 0; i < count; ++i) {
            const int32_t v = int32_t(quantize(in[i], 2147483648.0));
            std::memcpy(out + 4 * i, &v, 4);
        }
        break;
    case SampleKind::Float32:
        for (size_t i = 0; i < count; ++i) {
            const float v = float(in[i]);
            std::memcpy(out + 4 * i, &v, 4);
        }
        break;
    }
}

} // namespace acm
