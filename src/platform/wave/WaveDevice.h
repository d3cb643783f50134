#pragma once

// What the two backends share: an open device with its queue of headers. The queue is
// linked through the headers' own lpNext field, so queueing allocates nothing. Every member
// that touches the queue expects the device's lock to be held (lock()/unlock(): the
// backend's own lock, which its worker thread holds while it works on the queue).

#include "platform/wave/NotifyChannel.h"
#include "platform/wave/WaveApi.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform::wave {

// A FIFO of headers linked through lpNext.
class HeaderFifo {
public:
    bool empty() const { return head_ == nullptr; }
    WAVEHDR* front() const { return head_; }
    void push(WAVEHDR* h);
    WAVEHDR* pop();

private:
    WAVEHDR* head_ = nullptr;
    WAVEHDR* tail_ = nullptr;
};

class WaveDevice {
public:
    WaveDevice(const WAVEFORMATEX& format, std::shared_ptr<NotifyChannel> channel, bool output);
    virtual ~WaveDevice() = default;
    WaveDevice(const WaveDevice&) = delete;
    WaveDevice& operator=(const WaveDevice&) = delete;

    virtual void lock() = 0;
    virtual void unlock() = 0;

    const WAVEFORMATEX& format() const { return format_; }
    // Set once, with the lock held, before the device is handed out.
    void setId(uint64_t id) { id_ = id; }
    uint64_t id() const { return id_; }
    bool lost() const { return lost_; }

    // With the lock held:
    MMRESULT prepare(WAVEHDR* h);
    MMRESULT unprepare(WAVEHDR* h);
    bool hasQueued() const { return !queue_.empty(); }

    // Sends the open/close message.
    void notify(uint32_t msg, WAVEHDR* h = nullptr);

protected:
    // Marks the header done, takes it off the queue and posts its message.
    void finish(WAVEHDR* h);
    // Returns every queued header, in order.
    void finishAll();
    // The device vanished: everything queued is returned, later calls fail.
    void markLost();
    // Whether a header may be queued now (prepared, not queued yet, device not lost); when
    // it may, it is marked as queued.
    MMRESULT takeForQueue(WAVEHDR* h);

    WAVEFORMATEX format_;
    std::shared_ptr<NotifyChannel> channel_;
    HeaderFifo queue_;
    uint32_t doneMsg_;
    uint64_t id_ = 0;
    bool lost_ = false;
};

// Output: headers are cut into a byte stream; a header is done once the backend's played
// position has passed its end. reserved holds a header's end position in that stream.
// Headers need not hold whole frames: the stream runs on across them, so a frame may start
// in one header and end in the next.
class OutputDevice : public WaveDevice {
public:
    using WaveDevice::WaveDevice;

    // With the lock held (the backend adds what the call means to it):
    virtual MMRESULT write(WAVEHDR* h);
    virtual MMRESULT pause() = 0;
    virtual MMRESULT restart() = 0;
    virtual MMRESULT reset() = 0;
    // Stops the backend for good; called once, after the queue was found empty.
    virtual void shutdown() = 0;

protected:
    // Bytes written and not yet handed to the backend.
    uint64_t unsent() const { return queuedEnd_ - sentPos_; }
    // After all that was written, n bytes of filler were handed over (silence closing a
    // frame cut short at the stream's end). They stand for the next bytes written, which are
    // then skipped, so stream positions and the backend's positions stay the same.
    void sentAhead(uint64_t n) { ahead_ += n; }
    // Hands up to max unsent bytes, in order, to sink(const char*, size_t); returns the count.
    template <class Sink> std::size_t send(std::size_t max, Sink&& sink);
    // Reports every header that ends at or before the played position, in order.
    void completeUpTo(uint64_t played);
    // Returns all headers and starts a new stream position at 0.
    void returnAllAndRestart();

    uint64_t queuedEnd_ = 0;     // stream position after the last header written
    uint64_t sentPos_ = 0;       // stream position handed to the backend
    uint64_t ahead_ = 0;         // filler handed over past queuedEnd_ (unsent() is then 0)
    WAVEHDR* sending_ = nullptr; // header holding sentPos_ (null when all is sent)
};

// Input: headers are filled in order from the backend's byte stream.
class InputDevice : public WaveDevice {
public:
    using WaveDevice::WaveDevice;

    virtual MMRESULT addBuffer(WAVEHDR* h);
    virtual MMRESULT start() = 0;
    virtual MMRESULT stop() = 0;
    virtual MMRESULT reset() = 0;
    virtual void shutdown() = 0;

protected:
    // Copies recorded bytes into the queued headers (null data = silence); each header is
    // reported as soon as it is full. Bytes with no header to take them are dropped.
    void deliver(const void* data, std::size_t n);
    // Reports the partly filled header, if any.
    void finishPartial();
};

template <class Sink> std::size_t OutputDevice::send(std::size_t max, Sink&& sink)
{
    std::size_t done = 0;
    while (done < max && sending_) {
        const uint64_t end = sending_->reserved;
        const uint64_t start = end - sending_->dwBufferLength;
        const std::size_t offset = static_cast<std::size_t>(sentPos_ - start);
        std::size_t n = static_cast<std::size_t>(end - sentPos_);
        if (n > max - done)
            n = max - done;
        if (n)
            sink(sending_->lpData + offset, n);
        done += n;
        sentPos_ += n;
        if (sentPos_ == end)
            sending_ = sending_->lpNext;
    }
    return done;
}

} // namespace platform::wave
