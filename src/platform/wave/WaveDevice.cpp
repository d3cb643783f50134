#include "platform/wave/WaveDevice.h"

#include <cstring>

namespace platform::wave {

void HeaderFifo::push(WAVEHDR* h)
{
    h->lpNext = nullptr;
    if (tail_)
        tail_->lpNext = h;
    else
        head_ = h;
    tail_ = h;
}

WAVEHDR* HeaderFifo::pop()
{
    WAVEHDR* h = head_;
    if (h) {
        head_ = h->lpNext;
        if (!head_)
            tail_ = nullptr;
        h->lpNext = nullptr;
    }
    return h;
}

WaveDevice::WaveDevice(const WAVEFORMATEX& format, std::shared_ptr<NotifyChannel> channel, bool output)
    : format_(format), channel_(std::move(channel)), doneMsg_(output ? MM_WOM_DONE : MM_WIM_DATA)
{
}

MMRESULT WaveDevice::prepare(WAVEHDR* h)
{
    if (!h || (!h->lpData && h->dwBufferLength))
        return MMSYSERR_INVALPARAM;
    if (h->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    h->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveDevice::unprepare(WAVEHDR* h)
{
    if (!h)
        return MMSYSERR_INVALPARAM;
    if (h->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    h->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

void WaveDevice::notify(uint32_t msg, WAVEHDR* h)
{
    if (channel_)
        channel_->post(msg, h, id_);
}

void WaveDevice::finish(WAVEHDR* h)
{
    // Only the front header is ever finished: completions go out in queue order.
    queue_.pop();
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    notify(doneMsg_, h);
}

void WaveDevice::finishAll()
{
    while (!queue_.empty())
        finish(queue_.front());
}

void WaveDevice::markLost()
{
    lost_ = true;
    finishAll();
}

MMRESULT WaveDevice::takeForQueue(WAVEHDR* h)
{
    if (!h)
        return MMSYSERR_INVALPARAM;
    if (!(h->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (h->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    if (lost_)
        return MMSYSERR_NODRIVER;
    h->dwFlags = (h->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    return MMSYSERR_NOERROR;
}

MMRESULT OutputDevice::write(WAVEHDR* h)
{
    if (const MMRESULT refused = takeForQueue(h))
        return refused;
    queuedEnd_ += h->dwBufferLength;
    h->reserved = queuedEnd_;
    queue_.push(h);
    if (!sending_)
        sending_ = h;
    if (ahead_) { // all else was sent: the filler already stands for this header's first bytes
        const uint64_t skip = ahead_ < h->dwBufferLength ? ahead_ : h->dwBufferLength;
        ahead_ -= skip;
        sentPos_ += skip;
        if (sentPos_ == queuedEnd_)
            sending_ = nullptr;
    }
    return MMSYSERR_NOERROR;
}

void OutputDevice::completeUpTo(uint64_t played)
{
    while (!queue_.empty() && queue_.front()->reserved <= played && queue_.front()->reserved <= sentPos_) {
        WAVEHDR* h = queue_.front();
        if (sending_ == h)
            sending_ = h->lpNext;
        finish(h);
    }
}

void OutputDevice::returnAllAndRestart()
{
    finishAll();
    sending_ = nullptr;
    queuedEnd_ = 0;
    sentPos_ = 0;
    ahead_ = 0;
}

MMRESULT InputDevice::addBuffer(WAVEHDR* h)
{
    if (const MMRESULT refused = takeForQueue(h))
        return refused;
    h->dwBytesRecorded = 0;
    queue_.push(h);
    return MMSYSERR_NOERROR;
}

void InputDevice::deliver(const void* data, std::size_t n)
{
    const auto* src = static_cast<const char*>(data);
    while (!queue_.empty()) {
        WAVEHDR* h = queue_.front();
        const std::size_t room = h->dwBufferLength - h->dwBytesRecorded;
        const std::size_t take = room < n ? room : n;
        if (take) {
            char* dst = h->lpData + h->dwBytesRecorded;
            if (src)
                std::memcpy(dst, src, take);
            else
                std::memset(dst, format_.wBitsPerSample == 8 ? 0x80 : 0, take);
            h->dwBytesRecorded += static_cast<uint32_t>(take);
            n -= take;
            if (src)
                src += take;
        }
        if (h->dwBytesRecorded < h->dwBufferLength)
            return; // n is 0: the header waits for more
        finish(h);
        if (n == 0)
            return;
    }
}

void InputDevice::finishPartial()
{
    if (!queue_.empty() && queue_.front()->dwBytesRecorded > 0)
        finish(queue_.front());
}

} // namespace platform::wave
