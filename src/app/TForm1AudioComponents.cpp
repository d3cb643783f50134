// The window's six audio components: created with the window, given their stored
// layout values through the stored-property reader (as a component made from a stored
// layout gets them), then Loaded, then wired as the clip operations expect. None of the
// devices opens here.

#include "app/TForm1.h"

#include "audio/kaAudioControls.h"
#include "audio/kaAudioIO.h"
#include "audio/kaAudioConvertor.h"
#include "rtl/Filer.h"

#include <QColor>

namespace {

// A PCM format as the layout stores it: its 512-byte buffer.
TkaWaveFormat PcmFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bits)
{
    TkaWaveFormat format;
    format.SetFormatTag(WAVE_FORMAT_PCM);
    format.SetChannels(channels);
    format.SetSamplesPerSec(samplesPerSec);
    format.SetBitsPerSample(bits);
    format.SetBlockAlign(static_cast<uint16_t>(channels * bits / 8));
    format.SetAvgBytesPerSec(samplesPerSec * channels * bits / 8);
    format.SetExtraSize(0);
    return format;
}

void StoreFormat(rtl::TLayoutWriter& layout, const std::string& property, const TkaWaveFormat& format)
{
    layout.Binary(property + ".FormatBuffer", format.WaveFormatEx(),
                  static_cast<uint32_t>(TkaWaveFormat::BufferSize));
}

int32_t Rgb(const QColor& colour)
{
    return static_cast<int32_t>(colour.rgba());
}

} // namespace

void TForm1::CreateAudioComponents()
{
    AudioOwner = std::make_unique<rtl::TComponent>(nullptr);
    const TkaWaveFormat cd = PcmFormat(2, 44100, 16);

    kaAudioIn1 = new TkaAudioIn(AudioOwner.get());
    {
        rtl::TLayoutWriter layout;
        layout.Boolean("AutoOpen", false).Integer("BufferSize", 22050);
        StoreFormat(layout, "Format", cd);
        kaAudioIn1->ReadState(layout.Finish());
    }

    kaAudioOut1 = new TkaAudioOut(AudioOwner.get());
    {
        rtl::TLayoutWriter layout;
        layout.Boolean("AutoOpen", false).Integer("BufferCount", 4);
        StoreFormat(layout, "Format", cd);
        kaAudioOut1->ReadState(layout.Finish());
    }

    RecordConvert = new TkaAudioConvertor(AudioOwner.get());
    {
        rtl::TLayoutWriter layout;
        StoreFormat(layout, "FormatIn", cd);
        StoreFormat(layout, "FormatOut", cd);
        RecordConvert->ReadState(layout.Finish());
    }

    PlayConvert = new TkaAudioConvertor(AudioOwner.get());
    {
        rtl::TLayoutWriter layout;
        StoreFormat(layout, "FormatIn", cd);
        StoreFormat(layout, "FormatOut", PcmFormat(1, 22050, 8));
        PlayConvert->ReadState(layout.Finish());
    }

    kaAudioControlSource = new TkaAudioControlSource(AudioOwner.get());

    kaOscilloscope = new TkaOscilloscope(TabSheet2, AudioOwner.get());
    {
        rtl::TLayoutWriter layout;
        layout.Integer("Color", Rgb(palette().color(QPalette::Active, QPalette::Highlight)))
            .Boolean("ParentColor", false)
            .Integer("Layout", olOverlay)
            .Integer("NumberOfPoints", 200)
            .Integer("PenLeft.Color", Rgb(QColor(0, 255, 0)))
            .Integer("PenRight.Color", Rgb(QColor(255, 255, 0)));
        kaOscilloscope->ReadState(layout.Finish());
    }
    kaOscilloscope->setObjectName(QStringLiteral("kaOscilloscope"));
    kaOscilloscope->setGeometry(88, 49, 219, 54);

    WireAudioComponents();
}

void TForm1::WireAudioComponents()
{
    RecordConvert->SetAudioSource(kaAudioIn1);
    RecordConvert->OnAudioConverted = [this](rtl::TComponent* sender, const void* data, int32_t size,
                                             bool& abort) {
        RecordConvertAudioConverted(sender, data, size, abort);
    };
    kaAudioIn1->AfterClose = [this](rtl::TComponent* sender) { kaAudioIn1AfterClose(sender); };
    kaAudioOut1->SetAudioSource(PlayConvert);
    kaAudioOut1->OnAudioPlayed = [this](rtl::TComponent* sender, const void* data, int32_t size) {
        kaAudioOut1AudioPlayed(sender, data, size);
    };
    kaOscilloscope->SetAudioControlSource(kaAudioControlSource);
}
