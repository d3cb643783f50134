#pragma once

// TkaAudioIO: what the wave output and input components share. The open/close life cycle
// with its four events and AutoOpen, the buffer-memory pool, the list of headers the device
// holds, and the notification window through which the device reports finished buffers on
// the thread that created the component.

#include "audio/kaAudioIOPool.h"
#include "audio/kaAudioSubject.h"
#include "audio/kaWaveFormat.h"
#include "platform/wave/WaveApi.h"
#include "rtl/Events.h"

#include <QPointer>

#include <cstdint>
#include <memory>
#include <vector>

// Sender only.
using TNotifyEvent = rtl::TEvent<rtl::TComponent*>;

class TkaAudioIO : public TkaAudioComponent {
public:
    explicit TkaAudioIO(rtl::TComponent* owner);
    // Descendants close their device in their own destructor; this one frees the pool.
    ~TkaAudioIO() override;

    std::string ClassName() const override { return "TkaAudioIO"; }
    void DefineProperties(rtl::TFiler& filer) override;

    // Opens the device; nothing when already active. A failure leaves the component closed
    // (device closed, buffers released) and reaches the caller.
    void Open();
    // Closes the device; nothing when not active. A failure leaves it active.
    void Close();
    bool Active() const { return active_; }
    void SetActive(bool value);

    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool value) { autoOpen_ = value; }
    uint8_t BufferCount() const { return bufferCount_; }
    virtual void SetBufferCount(uint8_t value);
    // The device's wave format; setting copies the given one.
    TkaWaveFormat* Format() { return &format_; }
    const TkaWaveFormat* Format() const { return &format_; }
    void SetFormat(const TkaWaveFormat& value) { format_.Assign(&value); }

    // The pool.
    void* GetBlock(uint32_t size) { return pool_.GetBlock(size); }
    void ReleaseBlock(void* block) { pool_.ReleaseBlock(block); }
    void FreeAllBlocks() { pool_.FreeAllBlocks(); }
    const TkaBlockPool& Pool() const { return pool_; }

    // Headers the device holds (prepared and not yet released).
    int HeaderCount() const { return static_cast<int>(headers_.size()); }

    TNotifyEvent AfterClose;
    TNotifyEvent AfterOpen;
    TNotifyEvent BeforeClose;
    TNotifyEvent BeforeOpen;

protected:
    virtual void DoClose() = 0;
    virtual void DoOpen() = 0;
    // A message of the notification window: MM_WOM_DONE / MM_WIM_DATA with its header.
    virtual void WndProc(uint32_t msg, WAVEHDR* hdr);
    void Loaded() override;

    // EACMAudioIOError "Cannot perform this action while (not) active.".
    void CheckActive() const;
    void CheckInactive() const;

    // Closes without raising, for destructors: Close, or when that fails, the descendant's
    // best effort at letting go of the device; AfterClose comes either way (its errors are
    // dropped when Close failed).
    void CloseQuietly();
    virtual void AbandonDevice() {}

    // The callback argument for the device open.
    DWORD_PTR NotifyWindowHandle() const;

    // A zero-filled header from the pool, appended to Headers.
    WAVEHDR* NewHeader();
    bool HasHeader(const WAVEHDR* hdr) const;
    void RemoveHeader(const WAVEHDR* hdr);
    std::vector<WAVEHDR*>& Headers() { return headers_; }

    // Counts Close calls that got as far as closing the device; a handler that closes the
    // component while a buffer is being reported changes it.
    uint64_t CloseCount() const { return closeCount_; }

private:
    void RenewNotifyWindow();

    bool active_ = false;
    bool autoOpen_ = true;
    uint8_t bufferCount_ = 4;
    TkaWaveFormat format_;
    TkaBlockPool pool_;
    std::vector<WAVEHDR*> headers_;
    uint64_t closeCount_ = 0;

    // One window per device open: messages that a closed device posted late reach a retired
    // window and are dropped, so they can never be taken for a new header at the same address.
    WaveNotifyWindow* window_ = nullptr;
    bool windowUsed_ = false;
    uint64_t generation_ = 0;
    std::vector<QPointer<WaveNotifyWindow>> retired_;
};
