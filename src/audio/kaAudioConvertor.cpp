#include "audio/kaAudioConvertor.h"

#include "audio/kaACMCalls.h"
#include "audio/kaAudioConsts.h"
#include "audio/kaCheckMMResult.h"
#include "rtl/Filer.h"

TkaAudioConvertor::TkaAudioConvertor(rtl::TComponent* owner) : TkaAudioComponent(owner)
{
    observer_ = new TkaAudioObserver(this);
    observer_->OnReceive = [this](IkaAudioSubject* sender, const void* data, int32_t size) {
        DoReceiveAudio(sender, data, size);
    };
    subject_ = new TkaAudioSubject(this, &formatOut_);
    subject_->OnObserverError = [this](IkaAudioSubject* sender, IkaAudioObserver* observer,
                                       const std::exception& e,
                                       bool& raise) { DoObserverError(sender, observer, e, raise); };
}

TkaAudioConvertor::~TkaAudioConvertor()
{
    try {
        SetActive(false);
    } catch (...) {
        // Closing ignores the service's answers; nothing to report from a destructor.
    }
    ClearChain();
    delete observer_;
    observer_ = nullptr;
    // From here on the convertor no longer answers as a subject, so observers told of
    // its removal only clear their source.
    delete subject_;
    subject_ = nullptr;
}

void TkaAudioConvertor::DefineProperties(rtl::TFiler& filer)
{
    TkaAudioComponent::DefineProperties(filer);
    filer.DefineNested("FormatIn", formatIn_);
    filer.DefineNested("FormatOut", formatOut_);
    filer.DefineBoolean(
        "RequestRealTime", [this] { return requestRealTime_; }, [this](bool v) { SetRequestRealTime(v); });
    filer.DefineBoolean(
        "Set8087FPUFlag", [this] { return Set8087FPUFlag; }, [this](bool v) { Set8087FPUFlag = v; });
}

void TkaAudioConvertor::SetRequestRealTime(bool value)
{
    if (active_)
        throw EACMConversionError(SActive);
    requestRealTime_ = value;
}

void TkaAudioConvertor::SetActive(bool value)
{
    if (value == active_)
        return;
    if (value)
        Open();
    else
        Close();
}

void TkaAudioConvertor::Open()
{
    if (active_)
        throw EACMConversionError(SActive);
    try {
        PlanChain();
        for (auto& stage : stages_)
            stage->Open(requestRealTime_);
    } catch (...) {
        CloseOpenedStages();
        throw;
    }
    active_ = true;
}

void TkaAudioConvertor::Close()
{
    if (!active_)
        throw EACMConversionError(SNotActive);
    active_ = false;
    convertedData_ = nullptr;
    convertedSize_ = 0;
    CloseOpenedStages();
    ClearChain();
}

void TkaAudioConvertor::CloseOpenedStages()
{
    for (auto& stage : stages_)
        if (stage->Opened())
            stage->Close();
    ++chainGeneration_;
}

void TkaAudioConvertor::ClearChain()
{
    while (!chainFormats_.empty())
        chainFormats_.pop_back();
    while (!stages_.empty())
        stages_.pop_back(); // an open stage closes its stream as it goes
    ++chainGeneration_;
}

void TkaAudioConvertor::AppendChainFormat(const TkaWaveFormat& format)
{
    chainFormats_.push_back(std::make_unique<TkaWaveFormat>(format));
}

namespace {

// dst becomes the PCM format the service proposes for decoding (or encoding) src.
void SuggestPCMFor(TkaWaveFormat& src, TkaWaveFormat& dst)
{
    dst.SetFormatTag(WAVE_FORMAT_PCM);
    CheckMMResult<EACMConversionError>(ACMCalls().FormatSuggest(nullptr, src.WaveFormatEx(),
                                                                dst.WaveFormatEx(), TkaWaveFormat::BufferSize,
                                                                ACM_FORMATSUGGESTF_WFORMATTAG));
}

} // namespace

void TkaAudioConvertor::PlanChain()
{
    const bool rt = requestRealTime_;
    TkaWaveFormat a(formatIn_), d(formatOut_);
    ClearChain();
    AppendChainFormat(a);
    if (!CanConvert(a, d, rt)) {
        // Decode the source to its own PCM.
        TkaWaveFormat b(a);
        SuggestPCMFor(a, b);
        if (!CanConvert(a, b, rt))
            throw EACMConversionError(SConversionNotPossible);
        if (!b.IsEqual(a) && !b.IsEqual(d))
            AppendChainFormat(b);
        if (!CanConvert(b, d, rt)) {
            // Then to the PCM the destination is encoded from.
            TkaWaveFormat c(b);
            SuggestPCMFor(d, c);
            if (!CanConvert(b, c, rt) || !CanConvert(c, d, rt))
                throw EACMConversionError(SConversionNotPossible);
            if (!c.IsEqual(b) && !c.IsEqual(d))
                AppendChainFormat(c);
        }
    }
    AppendChainFormat(d);
    for (size_t k = 0; k + 1 < chainFormats_.size(); ++k)
        stages_.push_back(std::make_unique<TMiniConvertor>(*chainFormats_[k], *chainFormats_[k + 1]));
}

void TkaAudioConvertor::Convert(const void* audioData, int32_t audioDataSize)
{
    if (!active_)
        throw EACMConversionError(SNotActive);
    convertedData_ = nullptr;
    convertedSize_ = 0;
    const void* p = audioData;
    int32_t n = audioDataSize;
    const TMiniConvertor* before = nullptr;
    for (auto& stage : stages_) {
        // A stage's first block may be smaller than what the stage before can hand on later
        // (a decoder's first frames go to its tags and delay).
        if (before)
            stage->ExpectBlocksUpTo(before->DstSize());
        n = stage->Convert(p, n, Set8087FPUFlag, ACM_STREAMCONVERTF_BLOCKALIGN);
        if (n == 0) {
            p = nullptr;
            break;
        }
        p = stage->DstBuffer();
        before = stage.get();
    }
    convertedData_ = p;
    convertedSize_ = p ? n : 0;
    if (!convertedData_)
        return;
    // An observer that closes or rebuilds the chain takes the block's buffer with it: the
    // observers after it and the event do not get the block.
    const unsigned generation = chainGeneration_;
    const auto blockAlive = [this, generation] { return generation == chainGeneration_; };
    subject_->NotifyObservers(subject_, convertedData_, convertedSize_, blockAlive);
    if (!blockAlive())
        return;
    if (OnAudioConverted)
        OnAudioConverted(this, convertedData_, convertedSize_, AbortFlag);
}

void TkaAudioConvertor::DoReceiveAudio(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize)
{
    RTL_ASSERT(sender != nullptr && sender->GetFormat() != nullptr);
    if (!active_ || !sender->GetFormat()->IsEqual(formatIn_)) {
        SetActive(false);
        formatIn_.Assign(sender->GetFormat());
        SetActive(true);
    }
    Convert(audioData, audioDataSize);
}

void TkaAudioConvertor::DoObserverError(IkaAudioSubject* sender, IkaAudioObserver* observer,
                                        const std::exception& e, bool& raiseException)
{
    if (OnObserverError)
        OnObserverError(sender, observer, e, raiseException);
}
