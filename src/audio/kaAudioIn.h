#pragma once

// The wave input component: keeps BufferCount buffers queued in the input device and hands
// each filled one to its observers and to OnAudioRecorded, then gives it back to the device.

#include "audio/kaAudioIOBase.h"

#include <cstdint>

class TkaAbstractAudioIn : public TkaAudioIO {
public:
    explicit TkaAbstractAudioIn(rtl::TComponent* owner);
    ~TkaAbstractAudioIn() override;

    std::string ClassName() const override { return "TkaAbstractAudioIn"; }

    // Trims BufferSize to whole sample frames at open.
    bool AutoAdjustBufferSize() const { return autoAdjustBufferSize_; }
    void SetAutoAdjustBufferSize(bool value) { autoAdjustBufferSize_ = value; }

    IkaAudioSubject* QueryAudioSubject() override { return subject_; }

    // Errors raised by this component's observers.
    TObserverErrorEvent OnObserverError;

protected:
    virtual void DoObserverError(IkaAudioSubject* sender, IkaAudioObserver* observer, const std::exception& e,
                                 bool& raiseException);

    TkaAudioSubject* Subject() const { return subject_; }
    void FreeEmbedded();

private:
    TkaAudioSubject* subject_ = nullptr;
    bool autoAdjustBufferSize_ = true;
};

class TkaCustomAudioIn : public TkaAbstractAudioIn {
public:
    explicit TkaCustomAudioIn(rtl::TComponent* owner);
    ~TkaCustomAudioIn() override;

    std::string ClassName() const override { return "TkaCustomAudioIn"; }
    void DefineProperties(rtl::TFiler& filer) override;

    // Bytes per recording buffer; only while closed.
    uint32_t BufferSize() const { return bufferSize_; }
    void SetBufferSize(uint32_t value);
    // At least 2 ("Invalid input buffer size." otherwise); takes effect at the next open.
    void SetBufferCount(uint8_t value) override;
    // 255 is the wave mapper. Only while closed.
    uint8_t DeviceID() const { return deviceID_; }
    void SetDeviceID(uint8_t value);

    // Raised once per filled buffer, after the observers, with the bytes recorded.
    TBufferEvent OnAudioRecorded;

protected:
    virtual void DoAudioRecorded(const void* audioData, int32_t audioDataSize);

    void DoOpen() override;
    void DoClose() override;
    void WndProc(uint32_t msg, WAVEHDR* hdr) override;
    void AbandonDevice() override;

private:
    void CheckBufferSize();
    void AddNewBuffer();
    void QueueBuffer(WAVEHDR* hdr);
    // Unprepares a header in Headers and gives it and its audio back to the pool.
    void ReleaseHeader(WAVEHDR* hdr);

    uint32_t bufferSize_ = 22050;
    uint8_t deviceID_ = 255;
    HWAVEIN handle_ = nullptr;
};

// The input as placed on a window: every property published.
class TkaAudioIn : public TkaCustomAudioIn {
public:
    using TkaCustomAudioIn::TkaCustomAudioIn;
    std::string ClassName() const override { return "TkaAudioIn"; }
};
