#include "platform/wave/WaveApi.h"
#include "platform/wave/WaveBackend.h"
#include "platform/Trace.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace platform::wave {
namespace {

std::atomic<int> chosenBackend{-1};
std::atomic<uint64_t> nextDeviceId{0x1000};

// Open devices by handle. Handles count up and are never reused.
template <class Device> class Registry {
public:
    uintptr_t add(std::shared_ptr<Device> d)
    {
        const uint64_t id = NewDeviceId();
        {
            std::lock_guard<Device> deviceLock(*d);
            d->setId(id);
        }
        std::lock_guard lock(mutex_);
        map_.emplace(static_cast<uintptr_t>(id), std::move(d));
        return static_cast<uintptr_t>(id);
    }
    bool contains(uintptr_t id)
    {
        std::lock_guard lock(mutex_);
        return map_.count(id) != 0;
    }
    std::shared_ptr<Device> find(uintptr_t id)
    {
        std::lock_guard lock(mutex_);
        const auto it = map_.find(id);
        return it == map_.end() ? nullptr : it->second;
    }
    void remove(uintptr_t id)
    {
        std::shared_ptr<Device> d;
        {
            std::lock_guard lock(mutex_);
            const auto it = map_.find(id);
            if (it == map_.end())
                return;
            d = std::move(it->second);
            map_.erase(it);
        }
        // d is destroyed here, outside the registry's lock (a backend may join a thread).
    }

private:
    std::mutex mutex_;
    std::unordered_map<uintptr_t, std::shared_ptr<Device>> map_;
};

Registry<OutputDevice>& outputs()
{
    static Registry<OutputDevice> r;
    return r;
}
Registry<InputDevice>& inputs()
{
    static Registry<InputDevice> r;
    return r;
}

Backend& backend()
{
    return CurrentBackend() == BackendKind::Virtual ? VirtualBackend() : PulseBackend();
}

// The checks shared by waveOutOpen and waveInOpen.
MMRESULT checkOpen(uint32_t deviceId, const WAVEFORMATEX* format, DWORD_PTR callback, uint32_t flags,
                   uint32_t deviceCount, std::shared_ptr<NotifyChannel>& channel)
{
    if (!format)
        return MMSYSERR_INVALPARAM;
    if (flags & ~(CALLBACK_TYPEMASK | WAVE_FORMAT_QUERY | WAVE_MAPPED))
        return MMSYSERR_INVALFLAG;
    if (deviceId != WAVE_MAPPER && deviceId >= deviceCount)
        return deviceCount == 0 ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
    if (!IsPlayableFormat(*format))
        return WAVERR_BADFORMAT;
    switch (flags & CALLBACK_TYPEMASK) {
    case CALLBACK_NULL:
        break;
    case CALLBACK_WINDOW: {
        auto* window = reinterpret_cast<WaveNotifyWindow*>(callback);
        if (!window)
            return MMSYSERR_INVALPARAM;
        channel = window->channel();
        break;
    }
    default:
        return MMSYSERR_INVALFLAG; // function, thread and event callbacks are not offered
    }
    return MMSYSERR_NOERROR;
}

template <class Device, class Handle, class Op> MMRESULT withDevice(Registry<Device>& r, Handle h, Op op)
{
    const auto d = r.find(reinterpret_cast<uintptr_t>(h));
    if (!d)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<Device> lock(*d);
    return op(*d);
}

template <class Device, class Handle> MMRESULT closeDevice(Registry<Device>& r, Handle h, uint32_t msg)
{
    const auto id = reinterpret_cast<uintptr_t>(h);
    const MMRESULT rc = withDevice(r, h, [msg](Device& d) {
        if (d.hasQueued())
            return WAVERR_STILLPLAYING;
        d.shutdown();
        d.notify(msg);
        return MMSYSERR_NOERROR;
    });
    if (rc == MMSYSERR_NOERROR)
        r.remove(id);
    return rc;
}

} // namespace

void UseVirtualBackend()
{
    chosenBackend = static_cast<int>(BackendKind::Virtual);
}
void UsePulseBackend()
{
    chosenBackend = static_cast<int>(BackendKind::Pulse);
}

BackendKind CurrentBackend()
{
    int kind = chosenBackend.load();
    if (kind < 0) {
        const char* env = std::getenv("LEXORIN_AUDIO");
        kind = static_cast<int>(env && std::strcmp(env, "virtual") == 0 ? BackendKind::Virtual
                                                                        : BackendKind::Pulse);
        int expected = -1;
        chosenBackend.compare_exchange_strong(expected, kind);
        kind = chosenBackend.load();
    }
    return static_cast<BackendKind>(kind);
}

uint64_t NewDeviceId()
{
    return nextDeviceId.fetch_add(1);
}

bool IsDeviceOpen(uint64_t device)
{
    const auto id = static_cast<uintptr_t>(device);
    return outputs().contains(id) || inputs().contains(id);
}

bool IsPlayableFormat(const WAVEFORMATEX& f)
{
    if (f.nChannels < 1 || f.nChannels > 32 || f.nSamplesPerSec < 1 || f.nSamplesPerSec > 384000)
        return false;
    const bool pcm = f.wFormatTag == WAVE_FORMAT_PCM && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16 ||
                                                         f.wBitsPerSample == 24 || f.wBitsPerSample == 32);
    const bool flt = f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && f.wBitsPerSample == 32;
    return (pcm || flt) && f.nBlockAlign == f.nChannels * (f.wBitsPerSample / 8);
}

} // namespace platform::wave

using namespace platform::wave;

MMRESULT waveOutOpen(HWAVEOUT* phwo, uint32_t uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                     DWORD_PTR /*dwInstance*/, uint32_t fdwOpen)
{
    Backend& b = backend();
    std::shared_ptr<NotifyChannel> channel;
    if (const MMRESULT rc = checkOpen(uDeviceID, pwfx, dwCallback, fdwOpen, b.outputCount(), channel))
        return rc;
    if (fdwOpen & WAVE_FORMAT_QUERY)
        return b.queryOutput();
    if (!phwo)
        return MMSYSERR_INVALPARAM;
    std::shared_ptr<OutputDevice> device;
    if (const MMRESULT rc = b.openOutput(*pwfx, channel, device))
        return rc;
    OutputDevice& d = *device;
    *phwo = reinterpret_cast<HWAVEOUT>(outputs().add(std::move(device)));
    d.notify(MM_WOM_OPEN);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, uint32_t cbwh)
{
    if (cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return withDevice(outputs(), hwo, [pwh](OutputDevice& d) { return d.prepare(pwh); });
}

MMRESULT waveOutWrite(HWAVEOUT hwo, WAVEHDR* pwh, uint32_t cbwh)
{
    if (cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    platform::Trace("waveOutWrite");
    return withDevice(outputs(), hwo, [pwh](OutputDevice& d) { return d.write(pwh); });
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, uint32_t cbwh)
{
    if (cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return withDevice(outputs(), hwo, [pwh](OutputDevice& d) { return d.unprepare(pwh); });
}

MMRESULT waveOutReset(HWAVEOUT hwo)
{
    return withDevice(outputs(), hwo, [](OutputDevice& d) { return d.reset(); });
}

MMRESULT waveOutPause(HWAVEOUT hwo)
{
    return withDevice(outputs(), hwo,
                      [](OutputDevice& d) { return d.lost() ? MMSYSERR_NODRIVER : d.pause(); });
}

MMRESULT waveOutRestart(HWAVEOUT hwo)
{
    return withDevice(outputs(), hwo,
                      [](OutputDevice& d) { return d.lost() ? MMSYSERR_NODRIVER : d.restart(); });
}

MMRESULT waveOutClose(HWAVEOUT hwo)
{
    return closeDevice(outputs(), hwo, MM_WOM_CLOSE);
}

uint32_t waveOutGetNumDevs()
{
    return backend().outputCount();
}

MMRESULT waveInOpen(HWAVEIN* phwi, uint32_t uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                    DWORD_PTR /*dwInstance*/, uint32_t fdwOpen)
{
    Backend& b = backend();
    std::shared_ptr<NotifyChannel> channel;
    if (const MMRESULT rc = checkOpen(uDeviceID, pwfx, dwCallback, fdwOpen, b.inputCount(), channel))
        return rc;
    if (fdwOpen & WAVE_FORMAT_QUERY)
        return b.queryInput();
    if (!phwi)
        return MMSYSERR_INVALPARAM;
    std::shared_ptr<InputDevice> device;
    if (const MMRESULT rc = b.openInput(*pwfx, channel, device))
        return rc;
    InputDevice& d = *device;
    *phwi = reinterpret_cast<HWAVEIN>(inputs().add(std::move(device)));
    d.notify(MM_WIM_OPEN);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* pwh, uint32_t cbwh)
{
    if (cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return withDevice(inputs(), hwi, [pwh](InputDevice& d) { return d.prepare(pwh); });
}

MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* pwh, uint32_t cbwh)
{
    if (cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return withDevice(inputs(), hwi, [pwh](InputDevice& d) { return d.addBuffer(pwh); });
}

MMRESULT waveInStart(HWAVEIN hwi)
{
    return withDevice(inputs(), hwi, [](InputDevice& d) { return d.lost() ? MMSYSERR_NODRIVER : d.start(); });
}

MMRESULT waveInStop(HWAVEIN hwi)
{
    return withDevice(inputs(), hwi, [](InputDevice& d) { return d.lost() ? MMSYSERR_NODRIVER : d.stop(); });
}

MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, uint32_t cbwh)
{
    if (cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return withDevice(inputs(), hwi, [pwh](InputDevice& d) { return d.unprepare(pwh); });
}

MMRESULT waveInReset(HWAVEIN hwi)
{
    return withDevice(inputs(), hwi, [](InputDevice& d) { return d.reset(); });
}

MMRESULT waveInClose(HWAVEIN hwi)
{
    return closeDevice(inputs(), hwi, MM_WIM_CLOSE);
}

uint32_t waveInGetNumDevs()
{
    return backend().inputCount();
}
