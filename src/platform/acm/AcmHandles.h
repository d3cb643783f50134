#pragma once

// The live handles of the codec service: open drivers and open streams, checked on every
// call so that a stale or foreign handle gets MMSYSERR_INVALHANDLE instead of a crash.

#include "platform/acm/AcmDriver.h"

#include <map>
#include <memory>
#include <mutex>

namespace acm {

struct PreparedHeader {
    uint8_t* src;
    uint32_t srcLength;
    uint8_t* dst;
    uint32_t dstLength;
};

struct OpenStream {
    const Driver* driver;
    HACMDRIVER openedThrough; // null when the service chose the driver
    std::unique_ptr<CodecStream> codec;
    std::map<const ACMSTREAMHEADER*, PreparedHeader> prepared;
};

struct OpenDriver {
    const Driver* driver;
};

class Handles {
public:
    static Handles& instance();
    std::mutex& lock() { return lock_; }

    // All lookups below expect lock() to be held.
    const Driver* driverOfId(HACMDRIVERID id) const;
    OpenDriver* driver(HACMDRIVER handle);
    OpenStream* stream(HACMSTREAM handle);
    // The driver behind an identifier or an open driver handle.
    const Driver* driverOf(HACMOBJ object);
    static HACMDRIVERID idOf(const Driver* driver);

    HACMDRIVER add(std::unique_ptr<OpenDriver> d);
    HACMSTREAM add(std::unique_ptr<OpenStream> s);
    void remove(HACMDRIVER handle) { drivers_.erase(handle); }
    void remove(HACMSTREAM handle) { streams_.erase(handle); }
    bool streamsOpenOn(HACMDRIVER handle) const;

private:
    uintptr_t nextHandle();
    std::mutex lock_;
    uintptr_t counter_ = 0;
    std::map<HACMDRIVER, std::unique_ptr<OpenDriver>> drivers_;
    std::map<HACMSTREAM, std::unique_ptr<OpenStream>> streams_;
};

// True when cbStruct is the size of T here or the size of the 32-bit Windows layout.
template <class T> bool knownSize(uint32_t cbStruct, uint32_t win32Size)
{
    return cbStruct == sizeof(T) || cbStruct == win32Size;
}

} // namespace acm
