// wavconvert IN.wav OUT.wav CHANNELS SAMPLES_PER_SEC BITS
//
// Converts a WAVE file into PCM of the given format through the tutor's own audio path:
// the WAVE reader's sub-stream is read in chunks of an eighth of a second and pushed into
// a convertor, as a clip is played; each converted block is written with the WAVE
// writer, as a recording is. On any failure the engine's message is printed and the
// exit status is 1; OUT is then left as it was.

#include "audio/kaACM.h"
#include "audio/kaAudioStreams.h"
#include "rtl/Stream.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

class EUsage : public std::exception {
public:
    explicit EUsage(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

template <class T> T ParseCount(std::string_view text, const char* what)
{
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > std::numeric_limits<T>::max())
        throw EUsage(std::string("Invalid ") + what + ": \"" + std::string(text) + "\".");
    return static_cast<T>(value);
}

// Integer PCM of the given shape; whether it can be made is the codec service's to say.
TkaWaveFormat PcmFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bits)
{
    const uint32_t blockAlign = channels * ((bits + 7u) / 8u);
    if (blockAlign > std::numeric_limits<uint16_t>::max() ||
        uint64_t{blockAlign} * samplesPerSec > std::numeric_limits<uint32_t>::max())
        throw EUsage("The requested format is too large.");
    TkaWaveFormat format;
    format.SetFormatTag(1);
    format.SetChannels(channels);
    format.SetSamplesPerSec(samplesPerSec);
    format.SetAvgBytesPerSec(blockAlign * samplesPerSec);
    format.SetBlockAlign(static_cast<uint16_t>(blockAlign));
    format.SetBitsPerSample(bits);
    format.SetExtraSize(0);
    return format;
}

// Pushes the clip's audio into the convertor an eighth of a second at a time; the last
// push takes everything left once fewer than two chunks remain.
void FeedClip(TkaSubStream& data, TkaAudioConvertor& convert)
{
    const int64_t chunk = convert.FormatIn().AvgBytesPerSec() >> 3;
    std::vector<uint8_t> block;
    while (data.Position() < data.Size()) {
        const int64_t remaining = data.Size() - data.Position();
        const int64_t n = chunk == 0 || 2 * chunk > remaining ? remaining : chunk;
        block.resize(static_cast<size_t>(n));
        const int32_t got = data.Read(block.data(), static_cast<int32_t>(n));
        if (got <= 0)
            throw rtl::EReadError("Stream read error");
        convert.Convert(block.data(), got);
    }
}

// A conversion that yields no audio still leaves a valid, empty WAVE file.
void CompleteEmptyFile(rtl::TStream& file)
{
    const int64_t size = file.Size();
    file.Seek(4, rtl::TSeekOrigin::soBeginning);
    const uint32_t riffSize = static_cast<uint32_t>(size - 8);
    const uint8_t bytes[4] = {static_cast<uint8_t>(riffSize), static_cast<uint8_t>(riffSize >> 8),
                              static_cast<uint8_t>(riffSize >> 16), static_cast<uint8_t>(riffSize >> 24)};
    file.WriteBuffer(bytes, 4);
}

void Convert(const fs::path& inPath, const fs::path& outPath, const TkaWaveFormat& formatOut)
{
    rtl::TFileStream in(inPath, rtl::TFileMode::fmOpenRead);
    TkaRIFFAudioReader reader(&in);
    TkaAudioConvertor convert(nullptr);
    convert.SetFormatIn(*reader.GetFormat());
    convert.SetFormatOut(formatOut);
    convert.Open();
    TkaSubStream* data = reader.CreateTrackStream(0);

    rtl::TFileStream out(outPath, rtl::TFileMode::fmCreate);
    bool empty = false;
    {
        TkaRIFFAudioWriter writer(&out);
        writer.SetFormat(&convert.FormatOut());
        convert.OnAudioConverted = [&writer](rtl::TComponent*, const void* audio, int32_t size, bool&) {
            writer.Write(audio, size);
        };
        FeedClip(*data, convert);
        convert.OnAudioConverted = nullptr;
        convert.Close();
        if (writer.BytesWritten() == 0) {
            writer.Write(nullptr, 0);
            empty = true;
        }
    }
    if (empty)
        CompleteEmptyFile(out);
    out.Flush(true);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: wavconvert IN.wav OUT.wav CHANNELS SAMPLES_PER_SEC BITS\n");
        return 1;
    }
    const fs::path inPath = argv[1];
    const fs::path outPath = argv[2];
    // Written beside OUT and renamed at the end: a failure leaves OUT as it was, and
    // OUT may name IN itself.
    fs::path partPath = outPath;
    partPath += ".wavconvert-part";
    try {
        const TkaWaveFormat formatOut = PcmFormat(ParseCount<uint16_t>(argv[3], "channel count"),
                                                  ParseCount<uint32_t>(argv[4], "sample rate"),
                                                  ParseCount<uint16_t>(argv[5], "bit count"));
        Convert(inPath, partPath, formatOut);
        fs::rename(partPath, outPath);
    } catch (const std::exception& e) {
        std::error_code ignored;
        fs::remove(partPath, ignored);
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
