#include "platform/wave/NotifyChannel.h"
#include "platform/wave/WaveApi.h"

#include <QCoreApplication>
#include <QEvent>

#include <atomic>
#include <cstddef>
#include <new>

namespace platform::wave {
namespace {

// Completion events are recycled through a free list: Qt deletes each posted event after
// delivery, and steady playback should not go to the heap for every buffer.
class EventPool {
public:
    // A few blocks up front: a device rarely has more completions in flight than buffers.
    EventPool()
    {
        void* blocks[kReserve];
        for (auto& b : blocks)
            b = take(kBlockSize);
        for (void* b : blocks)
            give(b);
    }

    void* take(std::size_t size)
    {
        {
            std::lock_guard lock(mutex_);
            if (size <= kBlockSize && free_) {
                Block* b = free_;
                free_ = b->next;
                return b;
            }
        }
        allocations_.fetch_add(1, std::memory_order_relaxed);
        return ::operator new(size < kBlockSize ? kBlockSize : size);
    }
    void give(void* p)
    {
        std::lock_guard lock(mutex_);
        auto* b = static_cast<Block*>(p);
        b->next = free_;
        free_ = b;
    }
    uint64_t allocations() const { return allocations_.load(std::memory_order_relaxed); }

    static constexpr std::size_t kBlockSize = 64;
    static constexpr int kReserve = 32;

private:
    struct Block {
        Block* next;
    };
    std::mutex mutex_;
    Block* free_ = nullptr;
    std::atomic<uint64_t> allocations_{0};
};

EventPool& pool()
{
    // Never destroyed: Qt may delete a pending event during its own teardown.
    static EventPool* p = new EventPool;
    return *p;
}

QEvent::Type waveEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

class WaveEvent : public QEvent {
public:
    WaveEvent(uint32_t msg, WAVEHDR* hdr, uint64_t device)
        : QEvent(waveEventType()), msg_(msg), hdr_(hdr), device_(device)
    {
    }

    static void* operator new(std::size_t size) { return pool().take(size); }
    static void operator delete(void* p) { pool().give(p); }

    uint32_t msg() const { return msg_; }
    WAVEHDR* hdr() const { return hdr_; }
    uint64_t device() const { return device_; }

private:
    uint32_t msg_;
    WAVEHDR* hdr_;
    uint64_t device_;
};
static_assert(sizeof(WaveEvent) <= EventPool::kBlockSize);

} // namespace

void NotifyChannel::post(uint32_t msg, WAVEHDR* hdr, uint64_t device)
{
    std::lock_guard lock(mutex_);
    if (target_)
        QCoreApplication::postEvent(target_, new WaveEvent(msg, hdr, device));
}

void NotifyChannel::detach()
{
    std::lock_guard lock(mutex_);
    target_ = nullptr;
}

uint64_t NotifyEventAllocations()
{
    return pool().allocations();
}

} // namespace platform::wave

WaveNotifyWindow::WaveNotifyWindow(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)),
      channel_(std::make_shared<platform::wave::NotifyChannel>(this))
{
}

WaveNotifyWindow::~WaveNotifyWindow()
{
    channel_->detach();
}

bool WaveNotifyWindow::event(QEvent* e)
{
    if (e->type() != platform::wave::waveEventType())
        return QObject::event(e);
    const auto* we = static_cast<platform::wave::WaveEvent*>(e);
    const bool lifecycle = we->msg() == MM_WOM_OPEN || we->msg() == MM_WOM_CLOSE ||
                           we->msg() == MM_WIM_OPEN || we->msg() == MM_WIM_CLOSE;
    if (!lifecycle && !platform::wave::IsDeviceOpen(we->device()))
        return true; // a late completion of a closed device
    if (handler_) {
        // A copy: the handler may replace itself while it runs.
        const Handler h = handler_;
        h(we->msg(), we->hdr());
    }
    return true;
}
