#pragma once

// Timestamps of a few moments that the tutor's benchmarks measure between (a click, a buffer
// handed to the sound device, a clip started, the window's first paint). Off unless the
// environment variable LEXORIN_TRACE names a file; then each event appends one line
//
//   <steady clock in nanoseconds> <event text>
//
// The steady clock is CLOCK_MONOTONIC, the clock other processes (the benchmark) read too.
// Cheap when off, safe from any thread, never throws; a file that cannot be opened turns
// tracing off.

#include <string_view>

namespace platform {

bool TraceOn();
void Trace(std::string_view event);

} // namespace platform
