// Whole clips of every codec through the convertor's chains, fed as the tutor feeds them:
// in eighth-of-a-second slices, to their end.
#include "kaacm_test_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

using namespace kaacm_test;

namespace {

// The compressed format the service proposes for encoding `pcm` with `tag`.
TkaWaveFormat Encoded(const TkaWaveFormat& pcm, uint16_t tag)
{
    TkaWaveFormat src(pcm), dst;
    dst.SetFormatTag(tag);
    const MMRESULT r =
        acmFormatSuggest(nullptr, src.WaveFormatEx(), dst.WaveFormatEx(), 512, ACM_FORMATSUGGESTF_WFORMATTAG);
    EXPECT_EQ(r, 0u) << "no format for tag " << tag;
    return dst;
}

// Runs `data` through a convertor from `in` to `out`, `chunk` bytes at a time.
std::vector<uint8_t> ConvertAll(const TkaWaveFormat& in, const TkaWaveFormat& out,
                                const std::vector<uint8_t>& data, size_t chunk, int* stages = nullptr)
{
    rtl::TComponent root(nullptr);
    auto* conv = new TkaAudioConvertor(&root);
    conv->SetFormatIn(in);
    conv->SetFormatOut(out);
    std::vector<uint8_t> result;
    conv->OnAudioConverted = [&](rtl::TComponent*, const void* p, int32_t n, bool&) {
        result.insert(result.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    conv->Open();
    if (stages)
        *stages = conv->StageCount();
    for (size_t at = 0; at < data.size(); at += chunk)
        conv->Convert(data.data() + at, static_cast<int32_t>(std::min(chunk, data.size() - at)));
    return result;
}

size_t EighthOfASecond(const TkaWaveFormat& f)
{
    return std::max<size_t>(1, f.AvgBytesPerSec() / 8);
}

struct CodecCase {
    const char* name;
    uint16_t tag;
    uint32_t rate;
};

class CodecChain : public ::testing::TestWithParam<CodecCase> {};

} // namespace

TEST_P(CodecChain, ClipConvertsToItsEndThroughTwoAndThreeStages)
{
    const CodecCase c = GetParam();
    const TkaWaveFormat pcm = Pcm(1, c.rate, 16);
    const auto signal = Sine16(c.rate, 1, 3.0, 440.0);
    const TkaWaveFormat codec = Encoded(pcm, c.tag);
    int stages = 0;
    const auto clip = ConvertAll(pcm, codec, signal, EighthOfASecond(pcm), &stages);
    ASSERT_EQ(stages, 1);
    ASSERT_GT(clip.size(), 0u);

    // Decoding: the same samples whether fed whole or in slices.
    const auto whole = ConvertAll(codec, pcm, clip, clip.size(), &stages);
    EXPECT_EQ(stages, 1);
    const auto sliced = ConvertAll(codec, pcm, clip, EighthOfASecond(codec));
    ASSERT_GT(whole.size(), signal.size() * 9 / 10);
    EXPECT_EQ(sliced.size(), whole.size());
    EXPECT_TRUE(sliced == whole);

    // To the device format of the tutor: decode, then resample and widen.
    const TkaWaveFormat device = Pcm(2, 44100, 16);
    std::vector<uint8_t> played;
    ASSERT_NO_THROW(played = ConvertAll(codec, device, clip, EighthOfASecond(codec), &stages));
    EXPECT_EQ(stages, 2);
    const double seconds = double(whole.size()) / pcm.AvgBytesPerSec();
    EXPECT_NEAR(double(played.size()) / device.AvgBytesPerSec(), seconds, 0.05);

    // To another codec at another rate: decode, resample, encode.
    const TkaWaveFormat other = G711(c.tag == WAVE_FORMAT_MULAW ? WAVE_FORMAT_ALAW : WAVE_FORMAT_MULAW, 1,
                                     c.rate == 16000 ? 22050 : 16000);
    std::vector<uint8_t> recoded;
    ASSERT_NO_THROW(recoded = ConvertAll(codec, other, clip, EighthOfASecond(codec), &stages));
    EXPECT_EQ(stages, 3);
    EXPECT_NEAR(double(recoded.size()) / other.AvgBytesPerSec(), seconds, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Codecs, CodecChain,
                         ::testing::Values(CodecCase{"MuLaw", WAVE_FORMAT_MULAW, 8000},
                                           CodecCase{"ALaw", WAVE_FORMAT_ALAW, 8000},
                                           CodecCase{"ImaAdpcm", WAVE_FORMAT_IMA_ADPCM, 22050},
                                           CodecCase{"MsAdpcm", WAVE_FORMAT_ADPCM, 11025},
                                           CodecCase{"Gsm", WAVE_FORMAT_GSM610, 8000}),
                         [](const ::testing::TestParamInfo<CodecCase>& p) {
                             return std::string(p.param.name);
                         });

namespace {

// `signal` (mono 16-bit at 22050 Hz) encoded by lame at 64 kbit/s with the given options.
std::vector<uint8_t> LameMp3(const std::vector<uint8_t>& signal, const std::string& options)
{
    const auto dir = std::filesystem::temp_directory_path() / ("kaacm_mp3_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto raw = dir / "in.raw", mp3 = dir / "out.mp3";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(signal.data()), static_cast<std::streamsize>(signal.size()));
    const std::string command =
        "lame --quiet -r -s 22.05 --bitwidth 16 --signed --little-endian -m m -b 64 " + options + " " +
        raw.string() + " " + mp3.string() + " 2>/dev/null";
    std::vector<uint8_t> clip;
    if (std::system(command.c_str()) == 0) {
        std::ifstream file(mp3, std::ios::binary);
        clip.assign(std::istreambuf_iterator<char>(file), {});
    }
    std::filesystem::remove_all(dir);
    return clip;
}

} // namespace

// As lame writes it by default, the clip starts with an info frame that decodes to no
// audio, and the encoder's delay is cut: the decoder's first block is small, and the
// stage after it must still take the full blocks that follow.
TEST(CodecChainMp3, ClipConvertsToItsEnd)
{
    if (std::system("command -v lame >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "lame is not installed";
    const auto signal = Sine16(22050, 1, 3.0, 440.0);
    for (const std::string options : {"", "-t"}) {
        SCOPED_TRACE(options.empty() ? "with the info frame" : "without the info frame");
        const std::vector<uint8_t> clip = LameMp3(signal, options);
        ASSERT_GT(clip.size(), 1000u);

        const TkaWaveFormat codec = Mp3(1, 22050, 64000);
        int stages = 0;
        std::vector<uint8_t> decoded, played;
        ASSERT_NO_THROW(decoded =
                            ConvertAll(codec, Pcm(1, 22050, 16), clip, EighthOfASecond(codec), &stages));
        EXPECT_EQ(stages, 1);
        EXPECT_NEAR(double(decoded.size()) / 44100, 3.0, 0.15);
        const TkaWaveFormat device = Pcm(2, 44100, 16);
        ASSERT_NO_THROW(played = ConvertAll(codec, device, clip, EighthOfASecond(codec), &stages));
        EXPECT_EQ(stages, 2);
        EXPECT_NEAR(double(played.size()) / device.AvgBytesPerSec(), 3.0, 0.15);
    }
}
