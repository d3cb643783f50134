// The PCM converter: sample sizes, float, channel mixing with saturation, and
// sample-rate conversion (frequency kept, SNR, length over a whole clip).

#include "acm_helpers.h"

using namespace acmtest;

namespace {

template <class T> std::vector<uint8_t> raw(const std::vector<T>& v)
{
    std::vector<uint8_t> b(v.size() * sizeof(T));
    std::memcpy(b.data(), v.data(), b.size());
    return b;
}

template <class T> std::vector<T> as(const std::vector<uint8_t>& b)
{
    std::vector<T> v(b.size() / sizeof(T));
    std::memcpy(v.data(), b.data(), v.size() * sizeof(T));
    return v;
}

std::vector<uint8_t> convert(WAVEFORMATEX a, WAVEFORMATEX b, const std::vector<uint8_t>& in)
{
    return convertAll(&a, &b, in, 0);
}

WAVEFORMATEX extensible(uint16_t channels, uint32_t rate, uint16_t bits, bool isFloat, std::vector<uint8_t>& store)
{
    store.assign(512, 0);
    auto* x = reinterpret_cast<WAVEFORMATEXTENSIBLE*>(store.data());
    x->Format = pcm(channels, rate, bits, WAVE_FORMAT_EXTENSIBLE);
    x->Format.cbSize = 22;
    x->wValidBitsPerSample = bits;
    x->dwChannelMask = channels == 2 ? 3 : 4;
    x->SubFormat = isFloat ? KSDATAFORMAT_SUBTYPE_IEEE_FLOAT : KSDATAFORMAT_SUBTYPE_PCM;
    return x->Format;
}

} // namespace

TEST(AcmPcm, SampleSizesConvertExactlyWhereTheyCan)
{
    const std::vector<int16_t> s16{0, 1, -1, 256, -256, 32767, -32768, 12345, -12345, 128};
    // 16 -> 24 -> 32 -> float -> 16 is lossless.
    auto b24 = convert(pcm(1, 8000, 16), pcm(1, 8000, 24), raw(s16));
    ASSERT_EQ(b24.size(), s16.size() * 3);
    EXPECT_EQ(b24[0 * 3 + 2], 0);
    EXPECT_EQ(b24[5 * 3 + 1], 0xFF); // 32767 << 8 = 0x7FFF00
    EXPECT_EQ(b24[5 * 3 + 2], 0x7F);
    auto b32 = convert(pcm(1, 8000, 24), pcm(1, 8000, 32), b24);
    EXPECT_EQ(as<int32_t>(b32)[6], INT32_MIN);
    EXPECT_EQ(as<int32_t>(b32)[7], 12345 << 16);
    auto bf = convert(pcm(1, 8000, 32), pcm(1, 8000, 32, WAVE_FORMAT_IEEE_FLOAT), b32);
    EXPECT_FLOAT_EQ(as<float>(bf)[6], -1.0f);
    EXPECT_FLOAT_EQ(as<float>(bf)[3], 256.0f / 32768);
    EXPECT_EQ(as<int16_t>(convert(pcm(1, 8000, 32, WAVE_FORMAT_IEEE_FLOAT), pcm(1, 8000, 16), bf)), s16);
    // 16 -> 8 rounds to the nearest step; 8 -> 16 is exact.
    auto b8 = convert(pcm(1, 8000, 16), pcm(1, 8000, 8), raw(s16));
    const std::vector<uint8_t> expect8{128, 128, 128, 129, 127, 255, 0, 176, 80, 129};
    EXPECT_EQ(b8, expect8);
    const auto back = as<int16_t>(convert(pcm(1, 8000, 8), pcm(1, 8000, 16), b8));
    EXPECT_EQ(back[6], -32768);
    EXPECT_EQ(back[5], 127 * 256);
}

TEST(AcmPcm, ExtensibleFormatsAreReadLikeTheirPlainTags)
{
    std::vector<uint8_t> store;
    WAVEFORMATEX x16 = extensible(2, 44100, 16, false, store);
    auto* ext = reinterpret_cast<WAVEFORMATEX*>(store.data());
    const auto in = bytesOf(voice(44100, 2, 0.05));
    WAVEFORMATEX plain = pcm(2, 44100, 16);
    EXPECT_EQ(convertAll(ext, &plain, in, 0), in);
    (void)x16;
    std::vector<uint8_t> storeF;
    extensible(2, 44100, 32, true, storeF);
    auto* extF = reinterpret_cast<WAVEFORMATEX*>(storeF.data());
    const auto f = convertAll(&plain, extF, in, 0);
    EXPECT_EQ(convertAll(extF, &plain, f, 0), in);
    // An unknown sub-format is not PCM.
    reinterpret_cast<WAVEFORMATEXTENSIBLE*>(storeF.data())->SubFormat.Data1 = 0x55;
    WAVEFORMATEX dst = pcm(2, 44100, 16);
    EXPECT_EQ(acmStreamOpen(nullptr, nullptr, extF, &dst, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), ACMERR_NOTPOSSIBLE);
}

TEST(AcmPcm, ChannelMixingAveragesAndDuplicates)
{
    const std::vector<int16_t> stereo{1000, 3000, -32768, -32768, 32767, 32767, 32767, -32768, 5, 6};
    const auto mono = as<int16_t>(convert(pcm(2, 8000, 16), pcm(1, 8000, 16), raw(stereo)));
    const std::vector<int16_t> expectMono{2000, -32768, 32767, -1, 6}; // halves round away from zero
    EXPECT_EQ(mono, expectMono);
    const auto up = as<int16_t>(convert(pcm(1, 8000, 16), pcm(2, 8000, 16), raw(expectMono)));
    const std::vector<int16_t> expectUp{2000, 2000, -32768, -32768, 32767, 32767, -1, -1, 6, 6};
    EXPECT_EQ(up, expectUp);
    // Six channels fold onto two by averaging even and odd channels.
    const std::vector<int16_t> six{100, 200, 300, 400, 500, 600};
    const auto two = as<int16_t>(convert(pcm(6, 8000, 16), pcm(2, 8000, 16), raw(six)));
    EXPECT_EQ(two, (std::vector<int16_t>{300, 400}));
    // Stereo onto four channels leaves the extra pair silent.
    const auto four = as<int16_t>(convert(pcm(2, 8000, 16), pcm(4, 8000, 16), raw(std::vector<int16_t>{7, 8})));
    EXPECT_EQ(four, (std::vector<int16_t>{7, 8, 0, 0}));
}

TEST(AcmPcm, OutOfRangeValuesSaturateInsteadOfWrapping)
{
    const std::vector<float> f{2.0f, -2.0f, 1.0f, -1.0f, 0.99999f, std::nanf(""), INFINITY, -INFINITY};
    const auto s = as<int16_t>(convert(pcm(1, 8000, 32, WAVE_FORMAT_IEEE_FLOAT), pcm(1, 8000, 16), raw(f)));
    const std::vector<int16_t> expect{32767, -32768, 32767, -32768, 32767, 0, 32767, -32768};
    EXPECT_EQ(s, expect);
    const auto b = convert(pcm(1, 8000, 32, WAVE_FORMAT_IEEE_FLOAT), pcm(1, 8000, 8), raw(f));
    EXPECT_EQ(b, (std::vector<uint8_t>{255, 0, 255, 0, 255, 128, 255, 0}));
    const auto i24 = convert(pcm(1, 8000, 32, WAVE_FORMAT_IEEE_FLOAT), pcm(1, 8000, 24), raw(f));
    EXPECT_EQ(i24[0], 0xFF);
    EXPECT_EQ(i24[2], 0x7F);
    EXPECT_EQ(i24[5], 0x80);
    const auto i32 = as<int32_t>(convert(pcm(1, 8000, 32, WAVE_FORMAT_IEEE_FLOAT), pcm(1, 8000, 32), raw(f)));
    EXPECT_EQ(i32[0], INT32_MAX);
    EXPECT_EQ(i32[1], INT32_MIN);
    // A full-scale square resampled overshoots; the overshoot clips, it never wraps.
    std::vector<int16_t> square(4410 * 2);
    for (size_t i = 0; i < square.size() / 2; ++i)
        square[2 * i] = square[2 * i + 1] = (i / 50) % 2 ? 32767 : -32768;
    const auto r = as<int16_t>(convert(pcm(2, 44100, 16), pcm(2, 48000, 16), raw(square)));
    int peaks = 0;
    for (size_t i = 2; i + 2 < r.size(); i += 2) {
        peaks += r[i] == 32767 || r[i] == -32768;
        const bool highAround = r[i - 2] > 16000 && r[i + 2] > 16000;
        const bool lowAround = r[i - 2] < -16000 && r[i + 2] < -16000;
        ASSERT_FALSE((highAround && r[i] < 0) || (lowAround && r[i] > 0)) << "wrap-around at " << i;
    }
    EXPECT_GT(peaks, 0); // the overshoot reached full scale and stopped there
}

struct RateCase {
    uint32_t from, to;
    double freq;
};

class AcmRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(AcmRate, SineKeepsItsFrequencyAtEightyFiveDecibels)
{
    const RateCase c = GetParam();
    const auto in = sine(c.from, 2, 2.0, c.freq);
    WAVEFORMATEX a = pcm(2, c.from, 16), b = pcm(2, c.to, 16);
    // Fed in eighth-of-a-second pieces, as the tutor plays clips.
    const auto out = samples16(convertAll(&a, &b, bytesOf(in), c.from / 8 * 4));
    const size_t frames = out.size() / 2;
    const double expected = 2.0 * c.to;
    EXPECT_NEAR(double(frames), expected, 3.0);
    const double snrAtFreq = sineSnr(out, 2, 0, c.freq, c.to, c.to / 20);
    EXPECT_GE(snrAtFreq, 85.0) << c.from << "->" << c.to;
    // The same signal measured at a slightly wrong frequency fits far worse.
    EXPECT_LT(sineSnr(out, 2, 0, c.freq * 1.001, c.to, c.to / 20), 40.0);
    EXPECT_EQ(out, samples16(convertAll(&a, &b, bytesOf(in), 0))); // whole or in pieces: the same
}

// The top frequency of each pair is 0.9 of the lower Nyquist frequency; 44100 to 47999 Hz
// is a ratio the polyphase engine refuses, so speexdsp converts it.
INSTANTIATE_TEST_SUITE_P(Pairs, AcmRate,
                         ::testing::Values(RateCase{44100, 48000, 997}, RateCase{44100, 48000, 19845},
                                           RateCase{44100, 22050, 997}, RateCase{44100, 22050, 9922},
                                           RateCase{8000, 44100, 997}, RateCase{8000, 44100, 3600},
                                           RateCase{48000, 44100, 997}, RateCase{48000, 44100, 19845},
                                           RateCase{44100, 47999, 997}, RateCase{44100, 47999, 15000}));

// Halving the rate (the playback default) keeps a 16-bit sine as clean as it came up to
// 0.9 of the new Nyquist frequency, where a filter that is not flat there adds a rounding
// of its own (95.5 dB), and folds nothing back from 10 % above that frequency.
TEST(AcmRate, HalvingTheRateAddsNoRoundingNoiseAndFoldsNothingFromAboveTheBandsTop)
{
    WAVEFORMATEX a = pcm(1, 44100, 16), b = pcm(1, 22050, 16);
    const double minusOneDb = std::pow(10, -1 / 20.0);
    const auto near = samples16(convertAll(&a, &b, bytesOf(sine(44100, 1, 2.0, 9925, minusOneDb)), 0));
    EXPECT_GE(sineSnr(near, 1, 0, 9925, 22050, 2205), 96.5);
    const auto above = samples16(convertAll(&a, &b, bytesOf(sine(44100, 1, 2.0, 12128, minusOneDb)), 0));
    ASSERT_GT(above.size(), 4410u);
    const auto [low, high] = std::minmax_element(above.begin() + 2205, above.end() - 2205);
    EXPECT_LE(std::max(-int(*low), int(*high)), 1); // 12128 Hz would fold to 9922 Hz
}

struct BlockCase {
    uint32_t from, to;
    uint16_t channels, bits, tag;
};

class AcmRateBlocks : public ::testing::TestWithParam<BlockCase> {};

// Feeds a fresh stream blocks of odd, varying frame counts and checks after every block
// that all of it was taken and that the output so far is exactly ceil(input x to / from)
// frames: the filter's delay comes out as leading output, nothing waits for a flush.
std::vector<uint8_t> convertInOddBlocks(WAVEFORMATEX* src, WAVEFORMATEX* dst, const std::vector<uint8_t>& input)
{
    static const uint32_t blockFrames[] = {1, 3, 17, 441, 4999, 7, 1021, 9, 2205, 5};
    std::vector<uint8_t> output;
    PreparedStream stream(src, dst, 4999 * src->nBlockAlign);
    EXPECT_EQ(stream.opened, 0u);
    EXPECT_EQ(stream.prepared, 0u);
    ACMSTREAMHEADER& h = stream.h;
    uint64_t framesIn = 0;
    for (size_t pos = 0, i = 0; pos < input.size(); ++i) {
        const size_t n = std::min<size_t>(blockFrames[i % std::size(blockFrames)] * src->nBlockAlign, input.size() - pos);
        std::memcpy(stream.src.data(), input.data() + pos, n);
        h.cbSrcLength = uint32_t(n);
        EXPECT_EQ(acmStreamConvert(stream.has, &h, ACM_STREAMCONVERTF_BLOCKALIGN), 0u);
        EXPECT_EQ(h.cbSrcLengthUsed, n);
        output.insert(output.end(), stream.dst.begin(), stream.dst.begin() + h.cbDstLengthUsed);
        pos += n;
        framesIn += n / src->nBlockAlign;
        const uint64_t exact = (framesIn * dst->nSamplesPerSec + src->nSamplesPerSec - 1) / src->nSamplesPerSec;
        if (output.size() / dst->nBlockAlign != exact) {
            ADD_FAILURE() << "after " << framesIn << " frames in: " << output.size() / dst->nBlockAlign
                          << " out, exactly " << exact << " expected";
            break;
        }
    }
    return output;
}

TEST_P(AcmRateBlocks, LongSignalInOddBlocksHasTheExactLengthAndTheOneBlockSignal)
{
    const BlockCase c = GetParam();
    WAVEFORMATEX a = pcm(c.channels, c.from, 16), b = pcm(c.channels, c.to, c.bits, c.tag);
    const auto in = bytesOf(voice(c.from, c.channels, 6.0));
    const auto blocks = convertInOddBlocks(&a, &b, in);
    const auto whole = convertAll(&a, &b, in, 0);
    ASSERT_EQ(blocks.size(), whole.size());
    EXPECT_TRUE(blocks == whole) << "the signal depends on the block sizes";
}

INSTANTIATE_TEST_SUITE_P(
    EveryWidthAndChannelCount, AcmRateBlocks,
    ::testing::Values(BlockCase{44100, 48000, 2, 16, WAVE_FORMAT_PCM}, BlockCase{48000, 44100, 1, 24, WAVE_FORMAT_PCM},
                      BlockCase{8000, 44100, 1, 8, WAVE_FORMAT_PCM}, BlockCase{44100, 22050, 6, 32, WAVE_FORMAT_PCM},
                      BlockCase{44100, 16000, 2, 32, WAVE_FORMAT_IEEE_FLOAT},
                      BlockCase{11025, 44100, 16, 16, WAVE_FORMAT_PCM},
                      BlockCase{44100, 47999, 2, 16, WAVE_FORMAT_PCM}));

TEST(AcmPcm, ResampledOutputDoesNotDependOnPieceSize)
{
    const auto in = bytesOf(voice(44100, 2, 0.5));
    WAVEFORMATEX a = pcm(2, 44100, 16), b = pcm(2, 48000, 16);
    const auto whole = convertAll(&a, &b, in, 0);
    EXPECT_EQ(convertAll(&a, &b, in, 5512 * 4), whole);
    EXPECT_EQ(convertAll(&a, &b, in, 999), whole);
}

TEST(AcmPcm, WholeClipLengthHasNoDrift)
{
    // Half a minute in eighth-of-a-second buffers: the output length is exactly the ratio
    // rounded up (a per-buffer error would add up to hundreds of frames).
    const size_t buffer = 5512, buffers = 240;
    for (auto [from, to] : {std::pair{44100u, 48000u}, std::pair{44100u, 22050u}, std::pair{8000u, 44100u},
                            std::pair{22050u, 44100u}}) {
        WAVEFORMATEX a = pcm(2, from, 16), b = pcm(2, to, 16);
        PreparedStream stream(&a, &b, buffer * 4); // a silent buffer
        ASSERT_EQ(stream.opened, 0u);
        ASSERT_EQ(stream.prepared, 0u);
        uint64_t frames = 0;
        const size_t count = from == 8000 ? buffers / 4 : buffers;
        for (size_t i = 0; i < count; ++i) {
            ASSERT_EQ(acmStreamConvert(stream.has, &stream.h, ACM_STREAMCONVERTF_BLOCKALIGN), 0u);
            ASSERT_EQ(stream.h.cbSrcLengthUsed, stream.src.size());
            frames += stream.h.cbDstLengthUsed / 4;
        }
        const uint64_t exact = (count * buffer * to + from - 1) / from;
        EXPECT_EQ(frames, exact) << from << "->" << to;
    }
}

TEST(AcmPcm, ReopenedForEveryBufferTheLengthStaysRight)
{
    // The oscilloscope's path: a fresh stream for each buffer.
    const auto in = bytesOf(sine(44100, 2, 0.125, 440));
    WAVEFORMATEX a = pcm(2, 44100, 16), b = pcm(2, 48000, 16);
    const auto out = convertAll(&a, &b, in, 0);
    EXPECT_EQ(out.size() / 4, 6000u); // 5512 x 48000 / 44100 = 5999.67, rounded up
}
