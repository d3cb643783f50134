// The WAVE reader on arbitrary bytes: it either accepts the file, with its audio inside
// the file, or raises "Invalid file format."; anything else is a finding. An accepted
// file is read through its sub-stream in eighth-of-a-second chunks, as the tutor plays
// it, and written back with the WAVE writer, which must reproduce format and audio.

#include "audio/kaAudioStreams.h"
#include "audio/kaErrors.h"
#include "rtl/Stream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::vector<uint8_t> ReadTrackInChunks(TkaRIFFAudioReader& reader)
{
    TkaSubStream* data = reader.CreateTrackStream(0);
    Check(data->Size() == reader.DataSize());
    const int64_t chunk = std::max<int64_t>(reader.GetFormat()->AvgBytesPerSec() >> 3, 1);
    std::vector<uint8_t> audio;
    while (data->Position() < data->Size()) {
        const int64_t remaining = data->Size() - data->Position();
        const int64_t n = 2 * chunk > remaining ? remaining : chunk;
        std::vector<uint8_t> block(static_cast<size_t>(n));
        const int32_t got = data->Read(block.data(), static_cast<int32_t>(n));
        Check(got == n);
        audio.insert(audio.end(), block.begin(), block.end());
    }
    delete data; // the reader forgets it
    return audio;
}

void WriteBackAndCompare(TkaRIFFAudioReader& reader, const std::vector<uint8_t>& audio)
{
    const TkaWaveFormat* format = reader.GetFormat();
    if (format->FormatTag() == 0)
        return; // not writable: a zero tag is a caller's error for the writer
    rtl::TMemoryStream out;
    {
        TkaRIFFAudioWriter writer(&out);
        writer.SetFormat(format);
        const size_t half = audio.size() / 2;
        writer.Write(audio.data(), static_cast<int32_t>(half));
        writer.Write(audio.data() + half, static_cast<int32_t>(audio.size() - half));
    }
    out.Seek(0, rtl::TSeekOrigin::soBeginning);
    TkaRIFFAudioReader again(&out);
    const size_t fmtSize = format->FormatTag() == 1 ? 16 : 18 + format->ExtraSize();
    Check(std::memcmp(again.GetFormat()->Buffer(), format->Buffer(), fmtSize) == 0);
    Check(again.DataSize() == static_cast<int32_t>(audio.size()));
    std::vector<uint8_t> back(audio.size());
    Check(again.ReadTrack(0, back.data(), static_cast<int32_t>(back.size())) ==
          static_cast<int32_t>(back.size()));
    Check(back == audio);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    rtl::TMemoryStream stream(data, size);
    try {
        TkaRIFFAudioReader reader(&stream);
        Check(reader.DataStart() >= 12);
        Check(int64_t{reader.DataStart()} + reader.DataSize() <= static_cast<int64_t>(size));
        const std::vector<uint8_t> audio = ReadTrackInChunks(reader);
        Check(std::equal(audio.begin(), audio.end(), data + reader.DataStart()));
        WriteBackAndCompare(reader, audio);
    } catch (const EACMAudioReadError& e) {
        Check(std::string(e.what()) == "Invalid file format.");
    }
    return 0;
}
