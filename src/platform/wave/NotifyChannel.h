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
    // device is the sending device's id: a message whose device has been closed by the time
    // it would be handled is dropped (open/close messages excepted). A closed device's
    // headers go back to the caller, who may free them and get the same addresses again
    // for the next device: a late completion must not pass for a new header's.
    void post(uint32_t msg, WAVEHDR* hdr, uint64_t device);

    // Called by the window's destructor: nothing is posted after it returns.
    void detach();

private:
    std::mutex mutex_;
    QObject* target_;
};

// Heap blocks taken by completion events since start-up (they are recycled, so this stops
// growing once enough are in flight).
uint64_t NotifyEventAllocations();

// Device ids: unique for the process's life; open until the device is closed.
uint64_t NewDeviceId();
bool IsDeviceOpen(uint64_t device);

} // namespace platform::wave
