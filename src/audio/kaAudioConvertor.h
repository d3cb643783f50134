#pragma once

// TkaAudioConvertor: converts a stream of audio blocks from FormatIn to FormatOut. It
// is an audio observer (blocks from AudioSource) and an audio subject (converted blocks
// to its observers, then OnAudioConverted). Blocks can also be pushed with Convert.
// When no direct conversion exists it plans a chain through one or two PCM formats and
// runs one TMiniConvertor per step.

#include "audio/kaAudioSubject.h"
#include "audio/kaMiniConvertor.h"
#include "audio/kaWaveFormat.h"

#include <functional>
#include <memory>
#include <vector>

class TkaAudioConvertor : public TkaAudioComponent {
public:
    explicit TkaAudioConvertor(rtl::TComponent* owner);
    ~TkaAudioConvertor() override;

    std::string ClassName() const override { return "TkaAudioConvertor"; }
    // Stored: FormatIn, FormatOut (as "FormatIn.FormatBuffer", ...), RequestRealTime,
    // Set8087FPUFlag. AudioSource and the events are set in code.
    void DefineProperties(rtl::TFiler& filer) override;

    // Plans and opens the chain. Raises EACMConversionError: "Cannot perform this action
    // while active.", "Conversion not possible." or the service's code; a failed Open
    // leaves the convertor inactive with every stage closed.
    void Open();
    // Raises EACMConversionError "Cannot perform this action while not active." when inactive.
    void Close();
    void SetActive(bool value); // nothing when already so
    bool Active() const { return active_; }

    // Converts one block through every stage and delivers the result, if any, to the
    // observers and then OnAudioConverted. Requires Active.
    void Convert(const void* audioData, int32_t audioDataSize);

    // The last converted block, in the last stage's buffer; none when the last block
    // produced nothing. Valid until the next Convert or Close.
    const void* ConvertedData() const { return convertedData_; }
    int32_t ConvertedSize() const { return convertedSize_; }

    rtl::TComponent* AudioSource() const { return observer_->AudioSource(); }
    void SetAudioSource(rtl::TComponent* value) { observer_->SetAudioSource(value); }

    // Changes take effect when the chain is next built.
    TkaWaveFormat& FormatIn() { return formatIn_; }
    TkaWaveFormat& FormatOut() { return formatOut_; }
    void SetFormatIn(const TkaWaveFormat& value) { formatIn_.Assign(&value); }
    void SetFormatOut(const TkaWaveFormat& value) { formatOut_.Assign(&value); }

    bool RequestRealTime() const { return requestRealTime_; }
    // Raises EACMConversionError "Cannot perform this action while active." when active.
    void SetRequestRealTime(bool value);

    // The planned chain: formats from FormatIn to FormatOut, and one stage per step.
    int ChainFormatCount() const { return static_cast<int>(chainFormats_.size()); }
    const TkaWaveFormat& ChainFormat(int index) const
    {
        return *chainFormats_.at(static_cast<size_t>(index));
    }
    int StageCount() const { return static_cast<int>(stages_.size()); }
    const TMiniConvertor& Stage(int index) const { return *stages_.at(static_cast<size_t>(index)); }

    IkaAudioSubject* QueryAudioSubject() override { return subject_; }
    IkaAudioObserver* QueryAudioObserver() override { return observer_; }

    bool Set8087FPUFlag = true; // x87 control word set for each conversion call
    bool AbortFlag = false;     // passed to OnAudioConverted as Abort; not acted upon
    TAbortableBufferEvent OnAudioConverted;
    std::function<void(rtl::TComponent* sender)> OnAudioStreamConverted; // kept, never raised
    TObserverErrorEvent OnObserverError;

protected:
    // A block from AudioSource: a block in a format other than FormatIn closes the
    // chain, adopts that format and reopens before converting.
    virtual void DoReceiveAudio(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize);
    virtual void DoObserverError(IkaAudioSubject* sender, IkaAudioObserver* observer, const std::exception& e,
                                 bool& raiseException);

private:
    void PlanChain();
    void ClearChain();
    void AppendChainFormat(const TkaWaveFormat& format);
    void CloseOpenedStages();

    bool active_ = false;
    TkaAudioObserver* observer_ = nullptr; // owned (component ownership)
    TkaAudioSubject* subject_ = nullptr;   // owned (component ownership)
    const void* convertedData_ = nullptr;
    int32_t convertedSize_ = 0;
    std::vector<std::unique_ptr<TkaWaveFormat>> chainFormats_;
    std::vector<std::unique_ptr<TMiniConvertor>> stages_;
    TkaWaveFormat formatIn_;
    TkaWaveFormat formatOut_;
    bool requestRealTime_ = false;
    unsigned chainGeneration_ = 0; // changes whenever the stages' buffers go away
};
