#include "audio/kaAudioOut.h"

#include "audio/kaAudioConsts.h"
#include "audio/kaCheckMMResult.h"
#include "audio/kaErrors.h"

#include <algorithm>
#include <cstring>
#include <exception>

// ---- TkaAbstractAudioOut ----

TkaAbstractAudioOut::TkaAbstractAudioOut(rtl::TComponent* owner) : TkaAudioIO(owner)
{
    observer_ = new TkaAudioObserver(this);
    observer_->OnReceive = [this](IkaAudioSubject* sender, const void* data, int32_t size) {
        DoReceiveAudio(sender, data, size);
    };
    subject_ = new TkaAudioSubject(this, Format());
    subject_->OnObserverError = [this](IkaAudioSubject* sender, IkaAudioObserver* observer,
                                       const std::exception& e, bool& raiseException) {
        DoObserverError(sender, observer, e, raiseException);
    };
    SetBufferCount(0);
}

TkaAbstractAudioOut::~TkaAbstractAudioOut()
{
    FreeEmbedded();
}

void TkaAbstractAudioOut::FreeEmbedded()
{
    delete observer_;
    observer_ = nullptr;
    delete subject_;
    subject_ = nullptr;
}

rtl::TComponent* TkaAbstractAudioOut::AudioSource() const
{
    return observer_ ? observer_->AudioSource() : nullptr;
}

void TkaAbstractAudioOut::SetAudioSource(rtl::TComponent* value)
{
    if (observer_)
        observer_->SetAudioSource(value);
}

void TkaAbstractAudioOut::DoReceiveAudio(IkaAudioSubject*, const void* audioData, int32_t audioDataSize)
{
    if (Active())
        PlayData(audioData, audioDataSize);
}

void TkaAbstractAudioOut::DoObserverError(IkaAudioSubject* sender, IkaAudioObserver* observer,
                                          const std::exception& e, bool& raiseException)
{
    if (OnObserverError)
        OnObserverError(sender, observer, e, raiseException);
}

// ---- TkaCustomAudioOut ----

TkaCustomAudioOut::TkaCustomAudioOut(rtl::TComponent* owner) : TkaAbstractAudioOut(owner)
{
    pendingHeaders_.reserve(16);
}

TkaCustomAudioOut::~TkaCustomAudioOut()
{
    FreeEmbedded();
    CloseQuietly();
}

void TkaCustomAudioOut::DefineProperties(rtl::TFiler& filer)
{
    TkaAbstractAudioOut::DefineProperties(filer);
    filer.DefineInteger(
        "MaximumBuffers", [this] { return static_cast<int32_t>(maximumBuffers_); },
        [this](int32_t v) { SetMaximumBuffers(static_cast<uint32_t>(v)); });
}

void TkaCustomAudioOut::SetDeviceID(uint8_t value)
{
    CheckInactive();
    deviceID_ = value;
}

void TkaCustomAudioOut::SetMaximumBuffers(uint32_t value)
{
    CheckInactive();
    maximumBuffers_ = value;
}

void TkaCustomAudioOut::SetPaused(bool value)
{
    if (!Active())
        return;
    if (value)
        CheckMMResult<EACMAudioOutError>(waveOutPause(handle_), SPauseOutputError);
    else
        CheckMMResult<EACMAudioOutError>(waveOutRestart(handle_), SRestartOutputError);
    paused_ = value;
}

void TkaCustomAudioOut::DoOpen()
{
    queuedBuffers_ = 0;
    handle_ = nullptr;
    prebufferCount_ = BufferCount();
    pendingHeaders_.clear();

    uint32_t device = deviceID_ == 255 ? WAVE_MAPPER : deviceID_;
    uint32_t flags = CALLBACK_WINDOW;
    if (deviceID_ == 255 && Format()->FormatTag() != WAVE_FORMAT_PCM) {
        device = 0;
        flags |= WAVE_MAPPED;
    }
    HWAVEOUT handle = nullptr;
    CheckMMResult<EACMAudioOutError>(
        waveOutOpen(&handle, device, Format()->WaveFormatEx(), NotifyWindowHandle(), 0, flags),
        SOpenOutputError);
    handle_ = handle;
    paused_ = false;
}

void TkaCustomAudioOut::DoClose()
{
    CheckMMResult<EACMAudioOutError>(waveOutReset(handle_), SCloseOutputError);
    while (!pendingHeaders_.empty())
        ReleaseHeader(pendingHeaders_.back());
    while (!Headers().empty())
        ReleaseHeader(Headers().back());
    CheckMMResult<EACMAudioOutError>(waveOutClose(handle_), SCloseOutputError);
    handle_ = nullptr;
    paused_ = false;
    // The reset's completions are ignored, so nothing is in the device any more.
    queuedBuffers_ = 0;
}

void TkaCustomAudioOut::AbandonDevice()
{
    if (!handle_)
        return;
    waveOutReset(handle_);
    for (WAVEHDR* hdr : Headers())
        waveOutUnprepareHeader(handle_, hdr, sizeof(WAVEHDR));
    pendingHeaders_.clear();
    waveOutClose(handle_);
    handle_ = nullptr;
    paused_ = false;
    queuedBuffers_ = 0;
}

void TkaCustomAudioOut::PlayData(const void* audioData, int32_t audioDataSize)
{
    CheckActive();
    if (audioDataSize <= 0 || !audioData)
        return;
    if (prebufferCount_ == 0 && maximumBuffers_ > 0 &&
        static_cast<uint32_t>(queuedBuffers_) >= maximumBuffers_)
        return;

    WAVEHDR* hdr = NewHeader();
    try {
        void* block = GetBlock(static_cast<uint32_t>(audioDataSize));
        std::memcpy(block, audioData, static_cast<size_t>(audioDataSize));
        hdr->lpData = static_cast<char*>(block);
        hdr->dwBufferLength = static_cast<uint32_t>(audioDataSize);
        hdr->dwLoops = 1;
        CheckMMResult<EACMAudioOutError>(waveOutPrepareHeader(handle_, hdr, sizeof(WAVEHDR)),
                                         SPrepareOutputHeaderError);
    } catch (...) {
        // Not prepared: nothing of it belongs to the device.
        RemoveHeader(hdr);
        ReleaseBlock(hdr->lpData);
        ReleaseBlock(hdr);
        throw;
    }
    if (prebufferCount_ > 0) {
        pendingHeaders_.push_back(hdr);
        --prebufferCount_;
        return;
    }
    WritePending();
    WriteHeader(hdr);
}

void TkaCustomAudioOut::Flush()
{
    if (!Active())
        return;
    prebufferCount_ = 0;
    WritePending();
}

void TkaCustomAudioOut::WriteHeader(WAVEHDR* hdr)
{
    CheckMMResult<EACMAudioOutError>(waveOutWrite(handle_, hdr, sizeof(WAVEHDR)), SPlayBufferError);
    ++queuedBuffers_;
}

void TkaCustomAudioOut::WritePending()
{
    // One by one, so a failed write leaves the unwritten ones held (released at close).
    while (!pendingHeaders_.empty()) {
        WriteHeader(pendingHeaders_.front());
        pendingHeaders_.erase(pendingHeaders_.begin());
    }
}

void TkaCustomAudioOut::ReleaseHeader(WAVEHDR* hdr)
{
    CheckMMResult<EACMAudioOutError>(waveOutUnprepareHeader(handle_, hdr, sizeof(WAVEHDR)),
                                     SUnprepareOutputHeaderError);
    RemoveHeader(hdr);
    const auto pending = std::find(pendingHeaders_.begin(), pendingHeaders_.end(), hdr);
    if (pending != pendingHeaders_.end())
        pendingHeaders_.erase(pending);
    ReleaseBlock(hdr->lpData);
    ReleaseBlock(hdr);
}

void TkaCustomAudioOut::WndProc(uint32_t msg, WAVEHDR* hdr)
{
    if (msg != MM_WOM_DONE || !HasHeader(hdr))
        return;
    if (queuedBuffers_ > 0)
        --queuedBuffers_;
    const uint64_t closes = CloseCount();
    std::exception_ptr error;
    if (Active()) {
        try {
            DoAudioPlayed(hdr->lpData, static_cast<int32_t>(hdr->dwBufferLength));
        } catch (...) {
            error = std::current_exception();
        }
    }
    // A handler that closed the component has released the header already (and its memory
    // may serve a new open by now).
    if (CloseCount() == closes && HasHeader(hdr)) {
        if (error) {
            try {
                ReleaseHeader(hdr);
            } catch (...) {
            }
        } else {
            ReleaseHeader(hdr);
        }
    }
    if (error)
        std::rethrow_exception(error);
}

void TkaCustomAudioOut::DoAudioPlayed(const void* audioData, int32_t audioDataSize)
{
    if (TkaAudioSubject* subject = Subject())
        subject->NotifyObservers(subject, audioData, audioDataSize);
    rtl::Raise(OnAudioPlayed, this, audioData, audioDataSize);
}
