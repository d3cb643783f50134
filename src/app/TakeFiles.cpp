#include "app/TakeFiles.h"

#include "app/SampleAnalysis.h"
#include "audio/kaAudioStreams.h"
#include "platform/fs/Files.h"
#include "platform/xml/AtomicFile.h"
#include "rtl/Stream.h"

#include <array>
#include <bit>
#include <cstring>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

static_assert(std::endian::native == std::endian::little, "WAVE samples are read as they lie in memory");

constexpr const char* kTakePrefix = ".take-";
constexpr const char* kTakeSuffix = ".part";
constexpr int32_t kCopyBlock = 1 << 16;

bool IsPcm16(const TkaWaveFormat& format)
{
    return format.FormatTag() == WAVE_FORMAT_PCM && format.BitsPerSample() == 16 && format.Channels() > 0 &&
           format.BlockAlign() == 2 * format.Channels();
}

// Measures the whole of a 16-bit track.
SoundMeter Measure(TkaSubStream& data, const TkaWaveFormat& format)
{
    SoundMeter meter(format.Channels(), format.SamplesPerSec());
    std::array<std::int16_t, kCopyBlock / 2> samples;
    data.Seek(0, rtl::TSeekOrigin::soBeginning);
    while (const int32_t got = data.Read(samples.data(), kCopyBlock))
        meter.Add(samples.data(), static_cast<std::size_t>(got) / 2);
    return meter;
}

TakeHint HintFor(const SampleLevels& sound)
{
    if (sound.FullScaleShare() > kClippedShare)
        return TakeHint::TooLoud;
    if (sound.PeakDbfs() < kTooQuietDbfs)
        return TakeHint::TooQuiet;
    return TakeHint::None;
}

// Writes `span` of the track to a new take beside `take` and returns its path.
fs::path WriteSpan(TkaSubStream& data, TkaWaveFormat& format, FrameSpan span, const fs::path& take)
{
    const fs::path copy = NewTakePath(take.parent_path());
    try {
        rtl::TFileStream out(copy, rtl::TFileMode::fmCreate);
        {
            TkaRIFFAudioWriter writer(&out);
            writer.SetFormat(&format);
            std::vector<char> block(kCopyBlock);
            data.Seek(static_cast<int64_t>(span.begin) * format.BlockAlign(), rtl::TSeekOrigin::soBeginning);
            int64_t left = static_cast<int64_t>(span.size()) * format.BlockAlign();
            while (left > 0) {
                const int32_t got =
                    data.Read(block.data(), static_cast<int32_t>(std::min<int64_t>(left, kCopyBlock)));
                if (got <= 0)
                    break;
                writer.Write(block.data(), got);
                left -= got;
            }
        } // the writer completes the header here
        out.Flush(true);
    } catch (...) {
        std::error_code ignored;
        fs::remove(copy, ignored);
        throw;
    }
    return copy;
}

// The file that is to replace the clip, or nothing when the take holds no sound.
std::optional<fs::path> Judge(const fs::path& take, TakeOutcome& outcome)
{
    if (fs::file_size(take) == 0)
        return std::nullopt; // not one block of audio arrived
    rtl::TFileStream in(take, rtl::TFileMode::fmOpenRead);
    const auto reader = TkaRIFFAudioReader::Create(&in);
    TkaWaveFormat& format = *reader->GetFormat();
    if (reader->DataSize() < format.BlockAlign() || format.BlockAlign() == 0)
        return std::nullopt;
    if (!IsPcm16(format)) {
        outcome.kept = true; // no measure for it: kept whole
        return take;
    }
    TkaSubStream& data = *reader->CreateTrackStream(0);
    const SoundMeter meter = Measure(data, format);
    // Clicks alone, steady hiss at any level, or nothing loud enough: no voice to keep.
    const std::optional<FrameSpan> sound = meter.Sound();
    if (!sound || meter.Levels().PeakDbfs() < kNothingHeardDbfs)
        return std::nullopt;
    outcome.kept = true;
    const FrameSpan all{0, meter.Frames()};
    outcome.hint = HintFor(meter.LevelsOf(*sound));
    const auto margin = static_cast<std::uint64_t>(format.SamplesPerSec()) * kTakeMargin.count() / 1000;
    const FrameSpan keep = WithMargin(*sound, margin, meter.Frames());
    if (keep == all) {
        in.Flush(true);
        return take;
    }
    return WriteSpan(data, format, keep, take);
}

// A clip this user may not write (another account's, or one made read-only on purpose) is
// not replaced: the rename would replace it whatever its permissions. One the user may write
// keeps its mode, owner and group.
void ReplaceClip(const fs::path& replacement, const fs::path& clip)
{
    if (const int refusal = platform::WriteRefusal(clip))
        throw platform::EFileWriteError("Cannot create file \"" + clip.string() + "\". " +
                                        std::strerror(refusal));
    platform::TakeOverOwnership(clip, replacement);
    fs::rename(replacement, clip);
}

} // namespace

fs::path NewTakePath(const fs::path& folder)
{
    static std::mt19937_64 random{std::random_device{}()};
    for (;;) {
        char name[40];
        std::snprintf(name, sizeof name, "%s%016llx%s", kTakePrefix,
                      static_cast<unsigned long long>(random()), kTakeSuffix);
        fs::path path = folder / name;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(path, ec)))
            return path;
    }
}

void RemoveStaleTakes(const fs::path& folder, std::chrono::seconds age)
{
    const auto now = fs::file_time_type::clock::now();
    for (const platform::DirEntry& entry :
         platform::ListFolder(folder, std::string(kTakePrefix) + "*" + kTakeSuffix)) {
        if (entry.directory || entry.system)
            continue;
        std::error_code ec;
        const fs::path path = folder / entry.name;
        const auto written = fs::last_write_time(path, ec);
        if (!ec && now - written > age)
            fs::remove(path, ec);
    }
}

TakeOutcome CommitTake(const fs::path& take, const fs::path& clip)
{
    TakeOutcome outcome;
    std::optional<fs::path> replacement;
    try {
        replacement = Judge(take, outcome);
        if (replacement)
            ReplaceClip(*replacement, clip);
    } catch (...) {
        std::error_code ignored;
        if (replacement && *replacement != take)
            fs::remove(*replacement, ignored);
        fs::remove(take, ignored);
        throw;
    }
    std::error_code ignored;
    if (replacement != take)
        fs::remove(take, ignored);
    return outcome;
}
