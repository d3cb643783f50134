#pragma once

// The device side of a WaveNotifyWindow: backend threads post completions through it.

#include "platform/wave/WaveApi.h"

#include <cstdint>
#include <mutex>

class QObject;

namespace platform::wave {

class NotifyChannel {
public:
    explicit NotifyChannel(QObject* target) : target_(target) {}

    // Posts one message to the window's thread; does nothing once the window is gone.
    void post(uint32_t msg, WAVEHDR* hdr);

    // Called by the window's destructor: nothing is posted after it returns.
    void detach();

private:
    std::mutex mutex_;
    QObject* target_;
};

// Heap blocks taken by completion events since start-up (they are recycled, so this stops
// growing once enough are in flight).
uint64_t NotifyEventAllocations();

} // namespace platform::wave
