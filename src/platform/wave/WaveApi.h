#pragma once

// The wave device service: waveOut* / waveIn* as the audio engine calls them.
//
// Completions are reported as messages to a WaveNotifyWindow, a small QObject that lives
// on the thread that created it (the user-interface thread). The sound backends run on
// threads of their own and post one event per finished buffer; the window's handler runs
// in the thread's event loop, so nothing of the caller runs on another thread.
//
// Result codes are those of MMSystem.h. Notable ones:
//   MMSYSERR_BADDEVICEID  no device with that number
//   MMSYSERR_NODRIVER     no sound server reachable, or the device vanished while open:
//                         its queued buffers were returned as finished and every later call
//                         that needs the device fails with this code (reset, unprepare and
//                         close still succeed, so the caller can free everything)
//   MMSYSERR_ALLOCATED    device in use
//   WAVERR_BADFORMAT      format not supported
//   WAVERR_STILLPLAYING   header still queued (unprepare, write again, close)
//   WAVERR_UNPREPARED     header not prepared
//
// The backend is chosen at each open: LEXORIN_AUDIO=virtual|pulse (default pulse), or
// programmatically through platform::wave::UseVirtualBackend() (see VirtualAudio.h).

#include "platform/MMSystem.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

using DWORD_PTR = uintptr_t;

// Opaque device handles; a closed handle is never reused, so a stale one gives
// MMSYSERR_INVALHANDLE.
using HWAVEOUT = struct HWAVEOUT__*;
using HWAVEIN = struct HWAVEIN__*;

// The device header. Between a successful waveOutWrite / waveInAddBuffer and the
// completion message for it, the header and its memory belong to the device.
struct WAVEHDR {
    char* lpData;             // the audio
    uint32_t dwBufferLength;  // its length in bytes
    uint32_t dwBytesRecorded; // input: bytes recorded into lpData
    DWORD_PTR dwUser;         // free for the caller
    uint32_t dwFlags;         // WHDR_*
    uint32_t dwLoops;         // output: loop count (only 1 is played)
    WAVEHDR* lpNext;          // reserved for the device
    DWORD_PTR reserved;       // reserved for the device
};

constexpr uint32_t WHDR_DONE = 0x00000001;      // the device has finished with the header
constexpr uint32_t WHDR_PREPARED = 0x00000002;  // prepared
constexpr uint32_t WHDR_BEGINLOOP = 0x00000004; // accepted, ignored
constexpr uint32_t WHDR_ENDLOOP = 0x00000008;   // accepted, ignored
constexpr uint32_t WHDR_INQUEUE = 0x00000010;   // queued in the device

constexpr uint32_t WAVE_MAPPER = 0xFFFFFFFFu; // the default device (also passed as -1)

// waveOutOpen / waveInOpen flags.
constexpr uint32_t WAVE_FORMAT_QUERY = 0x0001;   // only test the format, open nothing
constexpr uint32_t WAVE_MAPPED = 0x0004;         // device number is a mapped device (0 = default)
constexpr uint32_t CALLBACK_NULL = 0x00000000;   // no messages
constexpr uint32_t CALLBACK_WINDOW = 0x00010000; // dwCallback is a WaveNotifyWindow*
constexpr uint32_t CALLBACK_TYPEMASK = 0x00070000;

// Messages. The second parameter of the done/data messages is the header.
constexpr uint32_t MM_WOM_OPEN = 0x3BB;
constexpr uint32_t MM_WOM_CLOSE = 0x3BC;
constexpr uint32_t MM_WOM_DONE = 0x3BD;
constexpr uint32_t MM_WIM_OPEN = 0x3BE;
constexpr uint32_t MM_WIM_CLOSE = 0x3BF;
constexpr uint32_t MM_WIM_DATA = 0x3C0;

namespace platform::wave {
class NotifyChannel;
}

// A device's notification window. Create it on the user-interface thread, pass it as
// dwCallback (reinterpret_cast<DWORD_PTR>(window)) with CALLBACK_WINDOW. Every message
// for a device is handed to the handler on the window's thread, in the order the device
// sent them: msg is MM_WOM_DONE / MM_WIM_DATA (also MM_WOM_OPEN/CLOSE, MM_WIM_OPEN/CLOSE,
// with a null header), hdr the header concerned. A completion that reaches the window after
// its device was closed is dropped: the caller may already have freed that header and reused
// its address for another device. Destroying the window drops its pending messages, and
// devices still open on it stop sending.
class WaveNotifyWindow : public QObject {
public:
    using Handler = std::function<void(uint32_t msg, WAVEHDR* hdr)>;

    explicit WaveNotifyWindow(Handler handler = {}, QObject* parent = nullptr);
    ~WaveNotifyWindow() override;
    WaveNotifyWindow(const WaveNotifyWindow&) = delete;
    WaveNotifyWindow& operator=(const WaveNotifyWindow&) = delete;

    void setHandler(Handler handler) { handler_ = std::move(handler); }

    // The device side's way in; thread safe.
    const std::shared_ptr<platform::wave::NotifyChannel>& channel() const { return channel_; }

protected:
    bool event(QEvent* e) override;

private:
    Handler handler_;
    std::shared_ptr<platform::wave::NotifyChannel> channel_;
};

// Output.
MMRESULT waveOutOpen(HWAVEOUT* phwo, uint32_t uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                     DWORD_PTR dwInstance, uint32_t fdwOpen);
MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, uint32_t cbwh);
MMRESULT waveOutWrite(HWAVEOUT hwo, WAVEHDR* pwh, uint32_t cbwh);
MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, uint32_t cbwh);
MMRESULT waveOutReset(HWAVEOUT hwo);
MMRESULT waveOutPause(HWAVEOUT hwo);
MMRESULT waveOutRestart(HWAVEOUT hwo);
MMRESULT waveOutClose(HWAVEOUT hwo);
uint32_t waveOutGetNumDevs();

// Input.
MMRESULT waveInOpen(HWAVEIN* phwi, uint32_t uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                    DWORD_PTR dwInstance, uint32_t fdwOpen);
MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* pwh, uint32_t cbwh);
MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* pwh, uint32_t cbwh);
MMRESULT waveInStart(HWAVEIN hwi);
MMRESULT waveInStop(HWAVEIN hwi);
MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, uint32_t cbwh);
MMRESULT waveInReset(HWAVEIN hwi);
MMRESULT waveInClose(HWAVEIN hwi);
uint32_t waveInGetNumDevs();
