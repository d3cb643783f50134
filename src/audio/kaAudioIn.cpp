#include "audio/kaAudioIn.h"

#include "audio/kaAudioConsts.h"
#include "audio/kaCheckMMResult.h"
#include "audio/kaErrors.h"

#include <exception>

// ---- TkaAbstractAudioIn ----

TkaAbstractAudioIn::TkaAbstractAudioIn(rtl::TComponent* owner) : TkaAudioIO(owner)
{
    subject_ = new TkaAudioSubject(this, Format());
    subject_->OnObserverError = [this](IkaAudioSubject* sender, IkaAudioObserver* observer,
                                       const std::exception& e, bool& raiseException) {
        DoObserverError(sender, observer, e, raiseException);
    };
}

TkaAbstractAudioIn::~TkaAbstractAudioIn()
{
    FreeEmbedded();
}

void TkaAbstractAudioIn::FreeEmbedded()
{
    delete subject_;
    subject_ = nullptr;
}

void TkaAbstractAudioIn::DoObserverError(IkaAudioSubject* sender, IkaAudioObserver* observer,
                                         const std::exception& e, bool& raiseException)
{
    if (OnObserverError)
        OnObserverError(sender, observer, e, raiseException);
}

// ---- TkaCustomAudioIn ----

TkaCustomAudioIn::TkaCustomAudioIn(rtl::TComponent* owner) : TkaAbstractAudioIn(owner) {}

TkaCustomAudioIn::~TkaCustomAudioIn()
{
    FreeEmbedded();
    CloseQuietly();
}

void TkaCustomAudioIn::DefineProperties(rtl::TFiler& filer)
{
    TkaAbstractAudioIn::DefineProperties(filer);
    filer.DefineBoolean(
        "AutoAdjustBufferSize", [this] { return AutoAdjustBufferSize(); },
        [this](bool v) { SetAutoAdjustBufferSize(v); });
    filer.DefineInteger(
        "BufferSize", [this] { return static_cast<int32_t>(bufferSize_); },
        [this](int32_t v) { SetBufferSize(static_cast<uint32_t>(v)); });
}

void TkaCustomAudioIn::SetBufferSize(uint32_t value)
{
    CheckInactive();
    bufferSize_ = value;
}

void TkaCustomAudioIn::SetBufferCount(uint8_t value)
{
    if (value < 2)
        throw EACMAudioIOError(SInvalidInputBufferSize);
    TkaAbstractAudioIn::SetBufferCount(value);
}

void TkaCustomAudioIn::SetDeviceID(uint8_t value)
{
    CheckInactive();
    deviceID_ = value;
}

void TkaCustomAudioIn::CheckBufferSize()
{
    const uint32_t bits = Format()->BitsPerSample();
    if (bits > 0) {
        if (AutoAdjustBufferSize()) {
            const uint32_t frame = (bits / 8) * Format()->Channels();
            if (frame > 1 && bufferSize_ % frame != 0)
                bufferSize_ -= bufferSize_ % frame;
        }
        if ((static_cast<uint64_t>(bufferSize_) * 8) % bits != 0)
            throw EACMAudioInError(SInvalidInputBufferSize);
    }
    // An empty buffer would come back filled at once, for ever.
    if (bufferSize_ == 0)
        throw EACMAudioInError(SInvalidInputBufferSize);
}

void TkaCustomAudioIn::DoOpen()
{
    CheckBufferSize();
    handle_ = nullptr;
    uint32_t device = deviceID_ == 255 ? WAVE_MAPPER : deviceID_;
    uint32_t flags = CALLBACK_WINDOW;
    if (deviceID_ == 255 && Format()->FormatTag() != WAVE_FORMAT_PCM) {
        device = 0;
        flags |= WAVE_MAPPED;
    }
    HWAVEIN handle = nullptr;
    CheckMMResult<EACMAudioInError>(
        waveInOpen(&handle, device, Format()->WaveFormatEx(), NotifyWindowHandle(), 0, flags),
        SOpenInputError);
    handle_ = handle;
    try {
        for (int i = 0; i < BufferCount(); ++i)
            AddNewBuffer();
        CheckMMResult<EACMAudioInError>(waveInStart(handle_), SOpenInputError);
    } catch (...) {
        // Do not leave the device open behind a closed component.
        AbandonDevice();
        throw;
    }
}

void TkaCustomAudioIn::AddNewBuffer()
{
    WAVEHDR* hdr = NewHeader();
    hdr->lpData = static_cast<char*>(GetBlock(bufferSize_));
    hdr->dwBufferLength = bufferSize_;
    QueueBuffer(hdr);
}

void TkaCustomAudioIn::QueueBuffer(WAVEHDR* hdr)
{
    CheckMMResult<EACMAudioInError>(waveInPrepareHeader(handle_, hdr, sizeof(WAVEHDR)),
                                    SPrepareInputHeaderError);
    CheckMMResult<EACMAudioInError>(waveInAddBuffer(handle_, hdr, sizeof(WAVEHDR)), SAddInputBufferError);
}

void TkaCustomAudioIn::DoClose()
{
    CheckMMResult<EACMAudioInError>(waveInReset(handle_), SCloseInputError);
    while (!Headers().empty())
        ReleaseHeader(Headers().back());
    CheckMMResult<EACMAudioInError>(waveInClose(handle_), SCloseInputError);
    handle_ = nullptr;
}

void TkaCustomAudioIn::AbandonDevice()
{
    if (!handle_)
        return;
    waveInReset(handle_);
    for (WAVEHDR* hdr : Headers())
        waveInUnprepareHeader(handle_, hdr, sizeof(WAVEHDR));
    Headers().clear();
    waveInClose(handle_);
    handle_ = nullptr;
}

void TkaCustomAudioIn::ReleaseHeader(WAVEHDR* hdr)
{
    if (!HasHeader(hdr))
        return;
    CheckMMResult<EACMAudioInError>(waveInUnprepareHeader(handle_, hdr, sizeof(WAVEHDR)),
                                    SUnprepareInputHeaderError);
    ReleaseBlock(hdr->lpData);
    ReleaseBlock(hdr);
    RemoveHeader(hdr);
}

void TkaCustomAudioIn::WndProc(uint32_t msg, WAVEHDR* hdr)
{
    if (msg != MM_WIM_DATA || !HasHeader(hdr))
        return;
    if (!Active()) {
        ReleaseHeader(hdr);
        return;
    }
    const uint64_t closes = CloseCount();
    // A device never reports more than the buffer holds; do not pass on more if one did.
    const uint32_t recorded =
        hdr->dwBytesRecorded < hdr->dwBufferLength ? hdr->dwBytesRecorded : hdr->dwBufferLength;
    std::exception_ptr error;
    try {
        DoAudioRecorded(hdr->lpData, static_cast<int32_t>(recorded));
    } catch (...) {
        error = std::current_exception();
    }
    // A handler that closed the component has released the header already.
    const bool still = Active() && CloseCount() == closes && HasHeader(hdr);
    if (error) {
        // The handler's error is the one to report, also when the device refuses the
        // buffer back; the buffer stays out of the device until the next open.
        if (still)
            waveInUnprepareHeader(handle_, hdr, sizeof(WAVEHDR));
        std::rethrow_exception(error);
    }
    if (still)
        CheckMMResult<EACMAudioInError>(waveInUnprepareHeader(handle_, hdr, sizeof(WAVEHDR)),
                                        SUnprepareInputHeaderError);
    if (still) {
        hdr->dwBufferLength = bufferSize_;
        hdr->dwBytesRecorded = 0;
        hdr->dwUser = 0;
        hdr->dwFlags = 0;
        hdr->dwLoops = 0;
        try {
            QueueBuffer(hdr);
        } catch (...) {
            // A device that takes no buffer back (it has gone) records nothing more: the
            // input closes, so the buffers it returns with it raise nothing more, and the
            // error goes on once.
            CloseQuietly();
            throw;
        }
    }
}

void TkaCustomAudioIn::DoAudioRecorded(const void* audioData, int32_t audioDataSize)
{
    // An observer that closes the input gives the buffer back to the pool: the observers
    // after it and the event do not get the block.
    const uint64_t closes = CloseCount();
    const auto blockAlive = [this, closes] { return CloseCount() == closes; };
    if (TkaAudioSubject* subject = Subject())
        subject->NotifyObservers(subject, audioData, audioDataSize, blockAlive);
    if (blockAlive())
        rtl::Raise(OnAudioRecorded, this, audioData, audioDataSize);
}
