// wavconvert as a whole process: its output files, its exit status and its messages.

#include "audio/kaAudioStreams.h"
#include "rtl/Stream.h"

#include "riff_wave_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using riff_test::Bytes;

namespace {

const fs::path kTool = fs::path(LEXORIN_BINARY_DIR) / "src" / "wavconvert";

struct TRun {
    int status = -1;
    std::string output;
};

std::string Quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

TRun RunTool(const std::vector<std::string>& args)
{
    std::string command = Quote(kTool.string());
    for (const auto& arg : args)
        command += " " + Quote(arg);
    command += " 2>&1";
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 256> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe))
        run.output += buffer.data();
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// 16-bit PCM sine of the given shape, written with the tutor's WAVE writer.
void WriteSine(const fs::path& path, uint16_t channels, uint32_t rate, double seconds, double hz)
{
    rtl::TFileStream file(path, rtl::TFileMode::fmCreate);
    TkaRIFFAudioWriter writer(&file);
    TkaWaveFormat* format = writer.GetFormat();
    format->SetFormatTag(1);
    format->SetChannels(channels);
    format->SetSamplesPerSec(rate);
    format->SetAvgBytesPerSec(rate * channels * 2);
    format->SetBlockAlign(static_cast<uint16_t>(channels * 2));
    format->SetBitsPerSample(16);
    const auto frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> samples;
    for (size_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c)
            samples.push_back(static_cast<int16_t>(16000 * std::sin(2 * M_PI * hz * double(i) / rate)));
    writer.Write(samples.data(), static_cast<int32_t>(samples.size() * 2));
}

struct TClip {
    uint16_t tag = 0, channels = 0, blockAlign = 0, bits = 0;
    uint32_t rate = 0, avg = 0;
    Bytes data;
};

TClip ReadClip(const fs::path& path)
{
    rtl::TFileStream file(path, rtl::TFileMode::fmOpenRead);
    TkaRIFFAudioReader reader(&file);
    const TkaWaveFormat* f = reader.GetFormat();
    TClip clip{f->FormatTag(),
               f->Channels(),
               f->BlockAlign(),
               f->BitsPerSample(),
               f->SamplesPerSec(),
               f->AvgBytesPerSec(),
               Bytes(static_cast<size_t>(reader.DataSize()))};
    reader.ReadTrack(0, clip.data.data(), reader.DataSize());
    return clip;
}

// Periods per second of one channel: upward passes through a quarter of the peak after
// a dip below minus a quarter, so small ripple near the middle line does not count.
double Frequency(const std::vector<double>& x, uint32_t rate)
{
    double peak = 0;
    for (double v : x)
        peak = std::max(peak, std::abs(v));
    // Whole cycles between the first and the last rising edge: the resampler's delay puts
    // a little silence at the start, so the tone does not fill the whole clip.
    int rising = 0;
    size_t first = 0, last = 0;
    bool low = false;
    for (size_t i = 0; i < x.size(); ++i) {
        if (x[i] < -peak / 4)
            low = true;
        if (low && x[i] > peak / 4) {
            if (rising++ == 0)
                first = i;
            last = i;
            low = false;
        }
    }
    return rising < 2 ? 0.0 : (rising - 1) * double(rate) / double(last - first);
}

class Wavconvert : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(kTool)) << kTool << " is built with the tree (target wavconvert)";
        dir = fs::temp_directory_path() / ("wavconvert_test_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

} // namespace

TEST_F(Wavconvert, StereoCdRateToMono22kEightBit)
{
    WriteSine(dir / "in.wav", 2, 44100, 1.5, 441);
    const TRun run = RunTool({(dir / "in.wav").string(), (dir / "out.wav").string(), "1", "22050", "8"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    const TClip out = ReadClip(dir / "out.wav");
    EXPECT_EQ(out.tag, 1);
    EXPECT_EQ(out.channels, 1);
    EXPECT_EQ(out.rate, 22050u);
    EXPECT_EQ(out.avg, 22050u);
    EXPECT_EQ(out.blockAlign, 1);
    EXPECT_EQ(out.bits, 8);
    EXPECT_NEAR(double(out.data.size()), 1.5 * 22050, 64);
    std::vector<double> x;
    double peak = 0;
    for (uint8_t b : out.data) {
        x.push_back(b - 128.0);
        peak = std::max(peak, std::abs(b - 128.0));
    }
    EXPECT_NEAR(Frequency(x, 22050), 441, 3);
    EXPECT_NEAR(peak, 16000.0 / 256, 3) << "both channels of equal signal mix to the same level";
}

TEST_F(Wavconvert, MonoTelephoneRateToStereo48k)
{
    WriteSine(dir / "in.wav", 1, 8000, 1.0, 500);
    const TRun run = RunTool({(dir / "in.wav").string(), (dir / "out.wav").string(), "2", "48000", "16"});
    ASSERT_EQ(run.status, 0) << run.output;
    const TClip out = ReadClip(dir / "out.wav");
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.rate, 48000u);
    EXPECT_EQ(out.blockAlign, 4);
    EXPECT_NEAR(double(out.data.size() / 4), 48000, 64);
    std::vector<double> left;
    size_t differing = 0;
    for (size_t i = 0; i + 3 < out.data.size(); i += 4) {
        const auto l = static_cast<int16_t>(out.data[i] | out.data[i + 1] << 8);
        const auto r = static_cast<int16_t>(out.data[i + 2] | out.data[i + 3] << 8);
        differing += l != r;
        left.push_back(l);
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_NEAR(Frequency(left, 48000), 500, 3);
}

TEST_F(Wavconvert, CompressedClipDecodesToPcm)
{
    const fs::path alaw = fs::path(LEXORIN_SOURCE_DIR) / "fuzz/corpus/riff_reader/alaw_mono_8k.wav";
    const TRun run = RunTool({alaw.string(), (dir / "out.wav").string(), "1", "8000", "16"});
    ASSERT_EQ(run.status, 0) << run.output;
    const TClip out = ReadClip(dir / "out.wav");
    EXPECT_EQ(out.bits, 16);
    EXPECT_EQ(out.data.size(), 300u * 2) << "one 16-bit sample per A-law byte";
}

TEST_F(Wavconvert, SameFileInAndOut)
{
    WriteSine(dir / "clip.wav", 2, 44100, 0.5, 441);
    const TRun run = RunTool({(dir / "clip.wav").string(), (dir / "clip.wav").string(), "1", "44100", "16"});
    ASSERT_EQ(run.status, 0) << run.output;
    const TClip out = ReadClip(dir / "clip.wav");
    EXPECT_EQ(out.channels, 1);
    EXPECT_NEAR(double(out.data.size() / 2), 22050, 32);
}

TEST_F(Wavconvert, EmptyClipGivesAnEmptyWaveFile)
{
    const Bytes empty = riff_test::Riff(
        {riff_test::Chunk("fmt ", riff_test::PcmFmt(2, 44100, 16)), riff_test::Chunk("data", {})});
    rtl::TMemoryStream(empty.data(), empty.size()).SaveToFile(dir / "in.wav");
    const TRun run = RunTool({(dir / "in.wav").string(), (dir / "out.wav").string(), "1", "22050", "8"});
    ASSERT_EQ(run.status, 0) << run.output;
    const TClip out = ReadClip(dir / "out.wav");
    EXPECT_EQ(out.rate, 22050u);
    EXPECT_TRUE(out.data.empty());
}

TEST_F(Wavconvert, BadInputExitsWithTheEnginesMessage)
{
    rtl::TMemoryStream(std::string("not a wave file").data(), 15).SaveToFile(dir / "bad.wav");
    rtl::TMemoryStream(std::string("keep").data(), 4).SaveToFile(dir / "out.wav");
    TRun run = RunTool({(dir / "bad.wav").string(), (dir / "out.wav").string(), "1", "22050", "8"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Invalid file format.\n");
    EXPECT_EQ(fs::file_size(dir / "out.wav"), 4u) << "a failed conversion leaves OUT as it was";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);

    // A recording stopped before its first block: an empty file.
    rtl::TMemoryStream().SaveToFile(dir / "empty.wav");
    run = RunTool({(dir / "empty.wav").string(), (dir / "new.wav").string(), "1", "22050", "8"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Invalid file format.\n");
    EXPECT_FALSE(fs::exists(dir / "new.wav"));

    run = RunTool({(dir / "missing.wav").string(), (dir / "new.wav").string(), "1", "22050", "8"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("missing.wav"), std::string::npos) << run.output;
}

TEST_F(Wavconvert, FormatTheCodecsCannotMakeIsRefused)
{
    WriteSine(dir / "in.wav", 2, 44100, 0.2, 441);
    const TRun run = RunTool({(dir / "in.wav").string(), (dir / "out.wav").string(), "1", "22050", "12"});
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(run.output.empty());
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

TEST_F(Wavconvert, BadArguments)
{
    EXPECT_EQ(RunTool({}).status, 1);
    EXPECT_EQ(RunTool({"a.wav", "b.wav", "1", "22050"}).status, 1);
    for (const char* channels : {"0", "-1", "x", "70000", "1.5", ""}) {
        const TRun run = RunTool({"a.wav", (dir / "b.wav").string(), channels, "22050", "8"});
        EXPECT_EQ(run.status, 1) << channels;
        EXPECT_NE(run.output.find("channel count"), std::string::npos) << run.output;
    }
    EXPECT_EQ(RunTool({"a.wav", "b.wav", "1", "0", "8"}).status, 1);
    EXPECT_EQ(RunTool({"a.wav", "b.wav", "1", "22050", "0"}).status, 1);
}
