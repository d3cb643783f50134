#pragma once

// TkaAudioControlSource: the non-visual half of the live waveform. It observes a device
// (AudioSource), converts each buffer to 16-bit stereo at 48000 Hz, keeps it split into a
// left and a right channel for the controls to draw, and passes the converted buffer on to
// its own observers (the controls bound to it).

#include "audio/kaAudioConvertor.h"
#include "audio/kaAudioSubject.h"
#include "rtl/Events.h"

#include <cstdint>
#include <memory>

class TkaAudioControlSource : public TkaAudioComponent {
public:
    explicit TkaAudioControlSource(rtl::TComponent* owner);
    ~TkaAudioControlSource() override;

    std::string ClassName() const override { return "TkaAudioControlSource"; }

    // The audio subject whose buffers are shown (none detaches). Changing it keeps the last
    // buffer until the next one arrives.
    rtl::TComponent* AudioSource() const;
    void SetAudioSource(rtl::TComponent* value);

    // The latest buffer, per channel; null until the first buffer arrived.
    const int16_t* LeftSamples() const { return left_.get(); }
    const int16_t* RightSamples() const { return right_.get(); }
    // Valid samples per channel (frames of the latest buffer).
    int32_t SampleCount() const { return sampleCount_; }
    // Samples each array can hold; grows to the largest buffer seen, never shrinks.
    int32_t Capacity() const { return capacity_; }

    IkaAudioSubject* QueryAudioSubject() override { return subject_; }
    IkaAudioObserver* QueryAudioObserver() override { return observer_; }

    // Raised after each buffer has been taken in and passed on.
    rtl::TEvent<rtl::TComponent*> OnDataChanged;
    TObserverErrorEvent OnObserverError;

protected:
    // Converts a buffer from the source and keeps it; a conversion failure leaves the previous
    // buffer and goes back to the delivering subject.
    virtual void DoReceiveAudio(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize);
    virtual void DoDataChanged();
    virtual void DoObserverError(IkaAudioSubject* sender, IkaAudioObserver* observer, const std::exception& e,
                                 bool& raiseException);

private:
    void TakeSamples(const void* data, int32_t size);

    std::unique_ptr<int16_t[]> left_;
    std::unique_ptr<int16_t[]> right_;
    TkaAudioObserver* observer_ = nullptr; // owned (component ownership)
    int32_t sampleCount_ = 0;
    TkaAudioSubject* subject_ = nullptr;     // owned (component ownership)
    TkaAudioConvertor* convertor_ = nullptr; // owned (component ownership)
    int32_t capacity_ = 0;
};
