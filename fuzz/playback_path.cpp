// The tutor's whole playback path on arbitrary bytes: the WAVE reader, the device
// format from SuggestPCM, the playback convertor's chain, and the clip's audio pushed
// through it in eighth-of-a-second chunks to its end. Hostile bytes may only yield
// "Invalid file format." or an error of the engine (the codec's code through
// CheckMMResult, "Conversion not possible."); anything else is a finding.

#include "audio/kaACM.h"
#include "audio/kaAudioStreams.h"
#include "rtl/Stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// What the output device would get: every byte is touched, so an over-read shows.
struct TSink {
    uint64_t bytes = 0;
    uint32_t sum = 0;
    void Take(const void* data, int32_t size)
    {
        Check(size > 0 && data != nullptr);
        const auto* p = static_cast<const uint8_t*>(data);
        for (int32_t i = 0; i < size; ++i)
            sum += p[i];
        bytes += static_cast<uint64_t>(size);
    }
};

void Play(TkaRIFFAudioReader& reader, TSink& sink)
{
    TkaWaveFormat deviceFormat;
    deviceFormat.SuggestPCM(*reader.GetFormat());

    TkaAudioConvertor playConvert(nullptr);
    playConvert.SetFormatIn(*reader.GetFormat());
    playConvert.SetFormatOut(deviceFormat);
    playConvert.OnAudioConverted = [&sink](rtl::TComponent*, const void* data, int32_t size, bool&) {
        sink.Take(data, size);
    };
    playConvert.Open();
    TkaSubStream* clip = reader.CreateTrackStream(0);

    const int64_t chunk = playConvert.FormatIn().AvgBytesPerSec() >> 3;
    std::vector<uint8_t> block;
    while (clip->Position() < clip->Size()) {
        const int64_t remaining = clip->Size() - clip->Position();
        const int64_t n = chunk == 0 || 2 * chunk > remaining ? remaining : chunk;
        block.resize(static_cast<size_t>(n));
        Check(clip->Read(block.data(), static_cast<int32_t>(n)) == n);
        playConvert.Convert(block.data(), static_cast<int32_t>(n));
    }
    playConvert.SetActive(false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    rtl::TMemoryStream stream(data, size);
    TSink sink;
    try {
        TkaRIFFAudioReader reader(&stream);
        Play(reader, sink);
    } catch (const EACMAudioReadError& e) {
        Check(std::string(e.what()) == "Invalid file format.");
    } catch (const EACMError&) {
        // The codec's refusal or failure, reported through the engine's messages.
    }
    return 0;
}
