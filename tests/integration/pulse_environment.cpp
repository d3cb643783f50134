// Linked into every integration binary: before main, point the process (and the programs it
// starts) at the fixture's daemon and choose the real sound backend. The daemon's folder comes
// from LEXORIN_PULSE_DIR (set by ctest), else the build's default.

#include "pulse_support.h"

namespace {

const bool pointedAtFixture = [] {
    pulsetest::useFixtureDaemon();
    setenv("LEXORIN_AUDIO", "pulse", 1);
    return true;
}();

} // namespace
