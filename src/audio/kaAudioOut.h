#pragma once

// The wave output component: an audio observer that queues every buffer its AudioSource
// delivers to the output device, and an audio subject that hands each finished buffer to its
// own observers and to OnAudioPlayed.

#include "audio/kaAudioIOBase.h"

#include <cstdint>
#include <vector>

class TkaAbstractAudioOut : public TkaAudioIO {
public:
    explicit TkaAbstractAudioOut(rtl::TComponent* owner);
    ~TkaAbstractAudioOut() override;

    std::string ClassName() const override { return "TkaAbstractAudioOut"; }

    // The audio subject played (none detaches).
    rtl::TComponent* AudioSource() const;
    void SetAudioSource(rtl::TComponent* value);

    // Copies the bytes into a device buffer and queues or holds it.
    virtual void PlayData(const void* audioData, int32_t audioDataSize) = 0;

    IkaAudioSubject* QueryAudioSubject() override { return subject_; }
    IkaAudioObserver* QueryAudioObserver() override { return observer_; }

    // Errors raised by this component's own observers.
    TObserverErrorEvent OnObserverError;

protected:
    // The observer's receive handler: plays the data while active, drops it otherwise.
    virtual void DoReceiveAudio(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize);
    virtual void DoObserverError(IkaAudioSubject* sender, IkaAudioObserver* observer, const std::exception& e,
                                 bool& raiseException);

    TkaAudioSubject* Subject() const { return subject_; }
    TkaAudioObserver* Observer() const { return observer_; }
    // Frees the observer, then the subject (first step of every destructor).
    void FreeEmbedded();

private:
    TkaAudioObserver* observer_ = nullptr;
    TkaAudioSubject* subject_ = nullptr;
};

class TkaCustomAudioOut : public TkaAbstractAudioOut {
public:
    explicit TkaCustomAudioOut(rtl::TComponent* owner);
    ~TkaCustomAudioOut() override;

    std::string ClassName() const override { return "TkaCustomAudioOut"; }
    void DefineProperties(rtl::TFiler& filer) override;

    // 255 is the wave mapper. Only while closed.
    uint8_t DeviceID() const { return deviceID_; }
    void SetDeviceID(uint8_t value);
    // Buffers in the device beyond which new data is dropped once playing; 0 is no limit.
    // Only while closed.
    uint32_t MaximumBuffers() const { return maximumBuffers_; }
    void SetMaximumBuffers(uint32_t value);

    bool Paused() const { return paused_; }
    // Pauses or resumes the device; nothing (and nothing stored) while closed.
    virtual void SetPaused(bool value);

    // Buffers written to the device and not yet reported done.
    int32_t QueuedBuffers() const { return queuedBuffers_; }
    // Buffers still to hold back before playback starts, and those held.
    uint8_t PrebufferCount() const { return prebufferCount_; }
    int PendingCount() const { return static_cast<int>(pendingHeaders_.size()); }

    void PlayData(const void* audioData, int32_t audioDataSize) override;

    // Ends pre-buffering now: writes every held buffer, in order, and every later one at once.
    // A clip shorter than the pre-buffer plays this way. Nothing while closed.
    void Flush();

    TBufferEvent OnAudioPlayed;

protected:
    // Hands a finished buffer to the observers, then raises OnAudioPlayed.
    virtual void DoAudioPlayed(const void* audioData, int32_t audioDataSize);

    void DoOpen() override;
    void DoClose() override;
    void WndProc(uint32_t msg, WAVEHDR* hdr) override;
    void AbandonDevice() override;

private:
    void WriteHeader(WAVEHDR* hdr);
    void WritePending();
    // Unprepares a header and gives it and its audio back to the pool.
    void ReleaseHeader(WAVEHDR* hdr);

    uint8_t deviceID_ = 255;
    uint32_t maximumBuffers_ = 0;
    bool paused_ = false;
    std::vector<WAVEHDR*> pendingHeaders_;
    uint8_t prebufferCount_ = 0;
    int32_t queuedBuffers_ = 0;
    HWAVEOUT handle_ = nullptr;
};

// The output as placed on a window: every property published.
class TkaAudioOut : public TkaCustomAudioOut {
public:
    using TkaCustomAudioOut::TkaCustomAudioOut;
    std::string ClassName() const override { return "TkaAudioOut"; }
};
