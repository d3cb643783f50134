#pragma once

// Reading PCM and float samples into doubles in [-1, 1) and writing them back with
// rounding and saturation (never wrap-around).

#include "platform/acm/AcmFormat.h"

#include <cstddef>
#include <cstdint>

namespace acm {

// Reads count samples of the given kind from in into out.
void readSamples(SampleKind kind, const uint8_t* in, double* out, size_t count);
// Writes count samples to out, rounding to nearest and saturating at the kind's range.
void writeSamples(SampleKind kind, const double* in, uint8_t* out, size_t count);

} // namespace acm
