// The virtual sound device. Each open device runs one worker thread that moves audio at
// the pace VirtualAudio asks for; the worker holds the device's mutex while it touches
// the queue, as the service expects of every backend.

#include "platform/wave/PcmFile.h"
#include "platform/wave/VirtualAudio.h"
#include "platform/wave/WaveBackend.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <numbers>
#include <thread>

namespace platform::wave {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(5);

// Pacing and failure plan shared by both directions.
class Pacer {
public:
    explicit Pacer(const WAVEFORMATEX& f) : format_(f) {}

    void restart() { running_ = false; }

    // Bytes due now (whole frames) at the given speed; 0 speed means "all of want".
    uint64_t due(double speed, uint64_t want)
    {
        if (speed <= 0)
            return want;
        const auto now = Clock::now();
        if (!running_) {
            running_ = true;
            start_ = now;
            counted_ = 0;
        }
        const double seconds = std::chrono::duration<double>(now - start_).count();
        auto total = static_cast<uint64_t>(seconds * speed * format_.nAvgBytesPerSec);
        total -= total % format_.nBlockAlign;
        const uint64_t n = total > counted_ ? std::min(total - counted_, want) : 0;
        counted_ += n;
        return n;
    }

private:
    WAVEFORMATEX format_;
    bool running_ = false;
    Clock::time_point start_;
    uint64_t counted_ = 0;
};

// Limits from the failure plan: how much may move before the device stalls or vanishes.
struct Limits {
    uint64_t moved = 0;
    uint64_t vanishAt;
    uint64_t stallAt;
    std::chrono::milliseconds stallTimeout;
    Clock::time_point stalledSince{};
    bool stalled = false;

    uint64_t cap(uint64_t n) const
    {
        const uint64_t limit = std::min(vanishAt, stallAt);
        return moved >= limit ? 0 : std::min(n, limit - moved);
    }

    // True once the device is gone: it reached its vanishing point, or it has stood frozen
    // at its stall point, with buffers waiting, for longer than the watchdog allows.
    bool gone(bool buffersWaiting)
    {
        if (moved >= vanishAt)
            return true;
        if (moved < stallAt || !buffersWaiting)
            return false;
        if (!stalled) {
            stalled = true;
            stalledSince = Clock::now();
        }
        return Clock::now() - stalledSince >= stallTimeout;
    }
};

class Vanishable {
public:
    virtual ~Vanishable() = default;
    virtual void vanish() = 0;
};

// What both directions share: the device's mutex (the service's lock), the worker thread
// that runs the device's loop, and how that thread is woken and ended. A device starts the
// worker as the last step of its constructor and ends it as the first step of its
// destructor, so the loop never sees a device half made or half gone.
template <class Device> class VirtualDevice : public Device, public Vanishable {
public:
    using Device::Device;

    void lock() override { mutex_.lock(); }
    void unlock() override { mutex_.unlock(); }
    void shutdown() override
    {
        stop_ = true;
        wake_.notify_all();
    }
    void vanish() override
    {
        std::lock_guard lock(mutex_);
        if (!stop_)
            this->markLost();
    }

protected:
    // The worker's loop, entered with the mutex held; it runs while !stop_.
    virtual void loop(std::unique_lock<std::mutex>& lock) = 0;

    void startWorker()
    {
        worker_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            loop(lock);
        });
    }
    void endWorker()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;

private:
    std::thread worker_;
};

class VirtualOutput final : public VirtualDevice<OutputDevice> {
public:
    VirtualOutput(const WAVEFORMATEX& f, std::shared_ptr<NotifyChannel> channel, VirtualAudio::OpenPlan plan)
        : VirtualDevice(f, std::move(channel), true), pacer_(f),
          clip_(plan.clip), limits_{0, plan.vanishAt, plan.stallAt, plan.stallTimeout}
    {
        startWorker();
    }
    ~VirtualOutput() override
    {
        endWorker();
        VirtualAudio::instance().endOpen(Direction::Output, clip_);
    }

    MMRESULT write(WAVEHDR* h) override
    {
        const MMRESULT rc = OutputDevice::write(h);
        wake_.notify_all();
        return rc;
    }
    MMRESULT pause() override
    {
        paused_ = true;
        return MMSYSERR_NOERROR;
    }
    MMRESULT restart() override
    {
        paused_ = false;
        pacer_.restart();
        wake_.notify_all();
        return MMSYSERR_NOERROR;
    }
    MMRESULT reset() override
    {
        returnAllAndRestart();
        pacer_.restart();
        return MMSYSERR_NOERROR;
    }

private:
    void loop(std::unique_lock<std::mutex>& lock) override
    {
        while (!stop_) {
            completeUpTo(sentPos_); // headers of length 0
            if (paused_ || lost_ || unsent() == 0) {
                pacer_.restart();
                wake_.wait(lock);
                continue;
            }
            const uint64_t n = limits_.cap(pacer_.due(VirtualAudio::instance().speed(), unsent()));
            if (n > 0) {
                send(static_cast<size_t>(n),
                     [this](const char* p, size_t k) { VirtualAudio::instance().recordPlayed(clip_, p, k); });
                limits_.moved += n;
                VirtualAudio::instance().countMoved(Direction::Output, n);
                completeUpTo(sentPos_);
            }
            if (limits_.gone(hasQueued())) {
                markLost();
                continue;
            }
            if (n == 0)
                wake_.wait_for(lock, kTick);
        }
    }

    Pacer pacer_;
    uint64_t clip_;
    Limits limits_;
    bool paused_ = false;
};

class VirtualInput final : public VirtualDevice<InputDevice> {
public:
    VirtualInput(const WAVEFORMATEX& f, std::shared_ptr<NotifyChannel> channel, VirtualAudio::OpenPlan plan)
        : VirtualDevice(f, std::move(channel), false), pacer_(f), mic_(std::move(plan.microphone)),
          loop_(plan.loopMicrophone && !mic_.empty()), limits_{0, plan.vanishAt, plan.stallAt,
                                                               plan.stallTimeout}
    {
        startWorker();
    }
    ~VirtualInput() override
    {
        endWorker();
        VirtualAudio::instance().endOpen(Direction::Input, 0);
    }

    MMRESULT addBuffer(WAVEHDR* h) override
    {
        const MMRESULT rc = InputDevice::addBuffer(h);
        wake_.notify_all();
        return rc;
    }
    MMRESULT start() override
    {
        if (!started_) {
            started_ = true;
            pacer_.restart();
            wake_.notify_all();
        }
        return MMSYSERR_NOERROR;
    }
    MMRESULT stop() override
    {
        started_ = false;
        finishPartial();
        return MMSYSERR_NOERROR;
    }
    MMRESULT reset() override
    {
        started_ = false;
        finishAll();
        micPos_ = 0;
        return MMSYSERR_NOERROR;
    }

private:
    uint64_t room() const
    {
        uint64_t n = 0;
        for (const WAVEHDR* h = queue_.front(); h; h = h->lpNext)
            n += h->dwBufferLength - h->dwBytesRecorded;
        return n;
    }

    // Delivers n bytes of the microphone: the file, then silence.
    void produce(uint64_t n)
    {
        while (n > 0) {
            if (loop_ && micPos_ == mic_.size())
                micPos_ = 0;
            if (micPos_ < mic_.size()) {
                const size_t k = static_cast<size_t>(std::min<uint64_t>(n, mic_.size() - micPos_));
                deliver(mic_.data() + micPos_, k);
                micPos_ += k;
                n -= k;
            } else {
                deliver(nullptr, static_cast<size_t>(n));
                n = 0;
            }
        }
    }

    void loop(std::unique_lock<std::mutex>& lock) override
    {
        while (!stop_) {
            if (!started_ || lost_) {
                wake_.wait(lock);
                continue;
            }
            const double speed = VirtualAudio::instance().speed();
            // As fast as possible means as fast as buffers come; in real time the
            // microphone runs on whether buffers are there or not.
            const uint64_t want = speed <= 0 ? room() : UINT64_MAX;
            const uint64_t n = limits_.cap(want ? pacer_.due(speed, want) : 0);
            if (n > 0) {
                produce(n);
                limits_.moved += n;
                VirtualAudio::instance().countMoved(Direction::Input, n);
            }
            if (limits_.gone(hasQueued())) {
                markLost();
                continue;
            }
            if (n == 0 || speed > 0)
                wake_.wait_for(lock, kTick);
        }
    }

    Pacer pacer_;
    std::vector<char> mic_;
    bool loop_;
    size_t micPos_ = 0;
    Limits limits_;
    bool started_ = false;
};

class VirtualBackendImpl final : public Backend {
public:
    uint32_t outputCount() override { return 1; }
    uint32_t inputCount() override { return 1; }
    MMRESULT queryOutput() override { return VirtualAudio::instance().openFailure(Direction::Output); }
    MMRESULT queryInput() override { return VirtualAudio::instance().openFailure(Direction::Input); }

    MMRESULT openOutput(const WAVEFORMATEX& format, std::shared_ptr<NotifyChannel> channel,
                        std::shared_ptr<OutputDevice>& device) override
    {
        auto plan = VirtualAudio::instance().beginOpen(Direction::Output, format);
        if (plan.fail)
            return plan.fail;
        auto d = std::make_shared<VirtualOutput>(format, std::move(channel), std::move(plan));
        remember(d);
        device = std::move(d);
        return MMSYSERR_NOERROR;
    }
    MMRESULT openInput(const WAVEFORMATEX& format, std::shared_ptr<NotifyChannel> channel,
                       std::shared_ptr<InputDevice>& device) override
    {
        auto plan = VirtualAudio::instance().beginOpen(Direction::Input, format);
        if (plan.fail)
            return plan.fail;
        auto d = std::make_shared<VirtualInput>(format, std::move(channel), std::move(plan));
        remember(d);
        device = std::move(d);
        return MMSYSERR_NOERROR;
    }

    void vanishAll()
    {
        std::vector<std::shared_ptr<Vanishable>> live;
        {
            std::lock_guard lock(mutex_);
            for (auto& w : devices_)
                if (auto d = w.lock())
                    live.push_back(std::move(d));
        }
        for (auto& d : live)
            d->vanish();
    }

private:
    void remember(const std::shared_ptr<Vanishable>& d)
    {
        std::lock_guard lock(mutex_);
        std::erase_if(devices_, [](const auto& w) { return w.expired(); });
        devices_.push_back(d);
    }

    std::mutex mutex_;
    std::vector<std::weak_ptr<Vanishable>> devices_;
};

VirtualBackendImpl& impl()
{
    static VirtualBackendImpl b;
    return b;
}

} // namespace

Backend& VirtualBackend()
{
    return impl();
}

VirtualAudio& VirtualAudio::instance()
{
    static VirtualAudio v;
    return v;
}

void VirtualAudio::reset()
{
    std::lock_guard lock(mutex_);
    speed_ = 1.0;
    keepPlayed_ = true;
    exclusive_ = true;
    for (int i = 0; i < 2; ++i) {
        failNext_[i] = failAll_[i] = 0;
        vanishAt_[i] = stallAt_[i] = UINT64_MAX;
    }
    stallTimeout_ = std::chrono::milliseconds(3000);
    micData_.clear();
    toneHertz_ = 0;
    played_.clear();
}

void VirtualAudio::setSpeed(double factor)
{
    std::lock_guard lock(mutex_);
    speed_ = factor > 0 ? factor : 0;
}

double VirtualAudio::speed() const
{
    std::lock_guard lock(mutex_);
    return speed_;
}

bool VirtualAudio::setMicrophoneFile(const std::filesystem::path& file)
{
    WAVEFORMATEX f{};
    std::vector<char> data;
    const bool ok = ReadPcmWave(file, f, data);
    std::lock_guard lock(mutex_);
    toneHertz_ = 0;
    micFormat_ = f;
    micData_ = ok ? std::move(data) : std::vector<char>{};
    return ok;
}

void VirtualAudio::setMicrophoneSilence()
{
    std::lock_guard lock(mutex_);
    micData_.clear();
    toneHertz_ = 0;
}

void VirtualAudio::setMicrophoneTone(uint32_t hertz, double amplitude)
{
    std::lock_guard lock(mutex_);
    micData_.clear();
    toneHertz_ = hertz;
    toneAmplitude_ = std::clamp(amplitude, 0.0, 1.0);
}

void VirtualAudio::setKeepPlayed(bool keep)
{
    std::lock_guard lock(mutex_);
    keepPlayed_ = keep;
}

std::vector<PlayedClip> VirtualAudio::played() const
{
    std::lock_guard lock(mutex_);
    return played_;
}

void VirtualAudio::clearPlayed()
{
    std::lock_guard lock(mutex_);
    played_.clear();
}

void VirtualAudio::setExclusive(bool exclusive)
{
    std::lock_guard lock(mutex_);
    exclusive_ = exclusive;
}

int VirtualAudio::openCount(Direction d) const
{
    std::lock_guard lock(mutex_);
    return open_[static_cast<int>(d)];
}

void VirtualAudio::failNextOpen(Direction d, MMRESULT code)
{
    std::lock_guard lock(mutex_);
    failNext_[static_cast<int>(d)] = code;
}

void VirtualAudio::failOpens(Direction d, MMRESULT code)
{
    std::lock_guard lock(mutex_);
    failAll_[static_cast<int>(d)] = code;
}

MMRESULT VirtualAudio::openFailure(Direction d) const
{
    std::lock_guard lock(mutex_);
    return failAll_[static_cast<int>(d)];
}

void VirtualAudio::vanishAfter(Direction d, uint64_t bytes)
{
    std::lock_guard lock(mutex_);
    vanishAt_[static_cast<int>(d)] = bytes;
}

void VirtualAudio::vanishNow()
{
    impl().vanishAll();
}

void VirtualAudio::stallAfter(Direction d, uint64_t bytes)
{
    std::lock_guard lock(mutex_);
    stallAt_[static_cast<int>(d)] = bytes;
}

void VirtualAudio::setStallTimeout(std::chrono::milliseconds timeout)
{
    std::lock_guard lock(mutex_);
    stallTimeout_ = timeout;
}

VirtualAudio::OpenPlan VirtualAudio::beginOpen(Direction d, const WAVEFORMATEX& format)
{
    std::lock_guard lock(mutex_);
    const int i = static_cast<int>(d);
    OpenPlan plan;
    if (failNext_[i]) {
        plan.fail = failNext_[i];
        failNext_[i] = 0;
        return plan;
    }
    if (failAll_[i]) {
        plan.fail = failAll_[i];
        return plan;
    }
    if (exclusive_ && open_[i] > 0) {
        plan.fail = MMSYSERR_ALLOCATED;
        return plan;
    }
    ++open_[i];
    plan.vanishAt = vanishAt_[i];
    plan.stallAt = stallAt_[i];
    plan.stallTimeout = stallTimeout_;
    if (d == Direction::Output) {
        PlayedClip clip;
        clip.format = format;
        clip.openId = nextOpenId_++;
        plan.clip = clip.openId;
        played_.push_back(std::move(clip));
    } else if (toneHertz_ > 0) {
        // One second of the tone in the format asked; whole hertz loop without a seam.
        WAVEFORMATEX mono{};
        mono.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        mono.nChannels = 1;
        mono.nSamplesPerSec = format.nSamplesPerSec;
        mono.wBitsPerSample = 32;
        mono.nBlockAlign = 4;
        mono.nAvgBytesPerSec = 4 * mono.nSamplesPerSec;
        std::vector<char> second(mono.nAvgBytesPerSec);
        for (uint32_t k = 0; k < mono.nSamplesPerSec; ++k) {
            const double phase = 2 * std::numbers::pi * toneHertz_ * k / mono.nSamplesPerSec;
            const auto v = static_cast<float>(toneAmplitude_ * std::sin(phase));
            std::memcpy(second.data() + 4 * k, &v, 4);
        }
        plan.microphone = ConvertPcm(mono, second, format);
        plan.loopMicrophone = true;
    } else if (!micData_.empty()) {
        plan.microphone = ConvertPcm(micFormat_, micData_, format);
    }
    return plan;
}

PlayedClip* VirtualAudio::findClip(uint64_t id)
{
    for (auto it = played_.rbegin(); it != played_.rend(); ++it)
        if (it->openId == id)
            return &*it;
    return nullptr; // the record was cleared while the device was open
}

void VirtualAudio::endOpen(Direction d, uint64_t clip)
{
    std::lock_guard lock(mutex_);
    --open_[static_cast<int>(d)];
    if (PlayedClip* c = findClip(clip))
        c->closed = true;
}

void VirtualAudio::recordPlayed(uint64_t clip, const char* data, size_t n)
{
    std::lock_guard lock(mutex_);
    PlayedClip* found = findClip(clip);
    if (!found)
        return;
    PlayedClip& c = *found;
    c.byteCount += n;
    if (keepPlayed_)
        c.bytes.insert(c.bytes.end(), reinterpret_cast<const uint8_t*>(data),
                       reinterpret_cast<const uint8_t*>(data) + n);
}

} // namespace platform::wave
