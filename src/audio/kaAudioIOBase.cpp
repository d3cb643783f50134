#include "audio/kaAudioIOBase.h"

#include "audio/kaAudioConsts.h"
#include "audio/kaErrors.h"

#include <algorithm>
#include <cstring>

TkaAudioIO::TkaAudioIO(rtl::TComponent* owner) : TkaAudioComponent(owner)
{
    headers_.reserve(16);
    RenewNotifyWindow();
}

TkaAudioIO::~TkaAudioIO()
{
    delete window_;
    for (const QPointer<WaveNotifyWindow>& old : retired_)
        delete old.data();
    headers_.clear();
    pool_.FreeAllBlocks();
}

void TkaAudioIO::DefineProperties(rtl::TFiler& filer)
{
    TkaAudioComponent::DefineProperties(filer);
    filer.DefineBoolean(
        "AutoOpen", [this] { return autoOpen_; }, [this](bool v) { autoOpen_ = v; });
    filer.DefineInteger(
        "BufferCount", [this] { return static_cast<int32_t>(bufferCount_); },
        [this](int32_t v) { SetBufferCount(static_cast<uint8_t>(v)); });
    filer.DefineNested("Format", format_);
}

void TkaAudioIO::Open()
{
    if (active_)
        return;
    FreeAllBlocks();
    rtl::Raise(BeforeOpen, this);
    if (windowUsed_)
        RenewNotifyWindow();
    windowUsed_ = true;
    try {
        DoOpen();
    } catch (...) {
        // DoOpen has let go of the device and its headers; their memory goes back too.
        headers_.clear();
        FreeAllBlocks();
        throw;
    }
    active_ = true;
    rtl::Raise(AfterOpen, this);
}

void TkaAudioIO::Close()
{
    if (!active_)
        return;
    rtl::Raise(BeforeClose, this);
    DoClose();
    ++closeCount_;
    FreeAllBlocks();
    active_ = false;
    rtl::Raise(AfterClose, this);
}

void TkaAudioIO::SetActive(bool value)
{
    if (value == active_)
        return;
    if (value)
        Open();
    else
        Close();
}

void TkaAudioIO::SetBufferCount(uint8_t value)
{
    bufferCount_ = value;
}

void TkaAudioIO::WndProc(uint32_t, WAVEHDR*) {}

void TkaAudioIO::Loaded()
{
    TkaAudioComponent::Loaded();
    if (autoOpen_)
        SetActive(true);
}

void TkaAudioIO::CheckActive() const
{
    if (!active_)
        throw EACMAudioIOError(SNotActive);
}

void TkaAudioIO::CheckInactive() const
{
    if (active_)
        throw EACMAudioIOError(SActive);
}

void TkaAudioIO::CloseQuietly()
{
    try {
        Close();
        return;
    } catch (...) {
        if (!active_)
            return; // closed; only a handler of AfterClose failed
    }
    try {
        AbandonDevice();
    } catch (...) {
    }
    ++closeCount_;
    headers_.clear();
    FreeAllBlocks();
    active_ = false;
    // Closed all the same: whoever waits for the close (a recording) ends as after Close.
    try {
        rtl::Raise(AfterClose, this);
    } catch (...) {
    }
}

DWORD_PTR TkaAudioIO::NotifyWindowHandle() const
{
    return reinterpret_cast<DWORD_PTR>(window_);
}

WAVEHDR* TkaAudioIO::NewHeader()
{
    auto* hdr = static_cast<WAVEHDR*>(GetBlock(sizeof(WAVEHDR)));
    std::memset(hdr, 0, sizeof(WAVEHDR));
    headers_.push_back(hdr);
    return hdr;
}

bool TkaAudioIO::HasHeader(const WAVEHDR* hdr) const
{
    return hdr && std::find(headers_.begin(), headers_.end(), hdr) != headers_.end();
}

void TkaAudioIO::RemoveHeader(const WAVEHDR* hdr)
{
    const auto it = std::find(headers_.begin(), headers_.end(), hdr);
    if (it != headers_.end())
        headers_.erase(it);
}

void TkaAudioIO::RenewNotifyWindow()
{
    if (window_) {
        // It may be delivering the message that led here, so it goes once that is done.
        retired_.erase(std::remove_if(retired_.begin(), retired_.end(),
                                      [](const QPointer<WaveNotifyWindow>& p) { return p.isNull(); }),
                       retired_.end());
        retired_.emplace_back(window_);
        window_->deleteLater();
    }
    const uint64_t generation = ++generation_;
    window_ = new WaveNotifyWindow([this, generation](uint32_t msg, WAVEHDR* hdr) {
        if (generation == generation_)
            WndProc(msg, hdr);
    });
}
