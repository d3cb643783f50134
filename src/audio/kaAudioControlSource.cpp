#include "audio/kaAudioControlSource.h"

#include <cstring>

TkaAudioControlSource::TkaAudioControlSource(rtl::TComponent* owner) : TkaAudioComponent(owner)
{
    observer_ = new TkaAudioObserver(this);
    observer_->OnReceive = [this](IkaAudioSubject* sender, const void* data, int32_t size) {
        DoReceiveAudio(sender, data, size);
    };
    convertor_ = new TkaAudioConvertor(this);
    convertor_->SetRequestRealTime(false);
    TkaWaveFormat& out = convertor_->FormatOut();
    out.SetBitsPerSample(16);
    out.SetChannels(2);
    out.SetSamplesPerSec(11025);
    out.SetAvgBytesPerSec(44100);
    subject_ = new TkaAudioSubject(this, &convertor_->FormatOut());
    subject_->OnObserverError = [this](IkaAudioSubject* sender, IkaAudioObserver* observer,
                                       const std::exception& e, bool& raiseException) {
        DoObserverError(sender, observer, e, raiseException);
    };
}

TkaAudioControlSource::~TkaAudioControlSource()
{
    delete observer_;
    observer_ = nullptr;
    delete subject_;
    subject_ = nullptr;
    delete convertor_;
    convertor_ = nullptr;
}

rtl::TComponent* TkaAudioControlSource::AudioSource() const
{
    return observer_ ? observer_->AudioSource() : nullptr;
}

void TkaAudioControlSource::SetAudioSource(rtl::TComponent* value)
{
    if (observer_)
        observer_->SetAudioSource(value);
}

void TkaAudioControlSource::DoReceiveAudio(IkaAudioSubject* sender, const void* audioData,
                                           int32_t audioDataSize)
{
    const TkaWaveFormat* format = sender->GetFormat();
    convertor_->SetActive(false);
    convertor_->SetFormatIn(*format);
    TkaWaveFormat& out = convertor_->FormatOut();
    out.SetDefaults();
    out.SetFormatTag(WAVE_FORMAT_PCM);
    out.SetBitsPerSample(16);
    out.SetChannels(2);
    out.SetSamplesPerSec(48000);
    out.SetAvgBytesPerSec(192000);
    out.SetBlockAlign(4);
    convertor_->Open();
    convertor_->Convert(audioData, audioDataSize > 0 ? audioDataSize : 0);
    TakeSamples(convertor_->ConvertedData(), convertor_->ConvertedSize());
    DoDataChanged();
}

void TkaAudioControlSource::TakeSamples(const void* data, int32_t size)
{
    const int32_t frames = data && size > 0 ? size / 4 : 0;
    if (frames > capacity_) {
        // Old contents are not kept; the arrays are swapped in only once both exist.
        auto left = std::make_unique<int16_t[]>(static_cast<size_t>(frames));
        auto right = std::make_unique<int16_t[]>(static_cast<size_t>(frames));
        left_ = std::move(left);
        right_ = std::move(right);
        capacity_ = frames;
    }
    sampleCount_ = frames;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (int32_t i = 0; i < frames; ++i) {
        std::memcpy(&left_[static_cast<size_t>(i)], bytes + 4 * i, 2);
        std::memcpy(&right_[static_cast<size_t>(i)], bytes + 4 * i + 2, 2);
    }
}

void TkaAudioControlSource::DoDataChanged()
{
    subject_->NotifyObservers(subject_, convertor_->ConvertedData(), convertor_->ConvertedSize());
    rtl::Raise(OnDataChanged, this);
}

void TkaAudioControlSource::DoObserverError(IkaAudioSubject* sender, IkaAudioObserver* observer,
                                            const std::exception& e, bool& raiseException)
{
    if (OnObserverError)
        OnObserverError(sender, observer, e, raiseException);
}
