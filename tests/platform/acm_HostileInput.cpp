// Hostile bytes and formats: random and cut-off frames for every decoder, absurd format
// fields, and huge sizes. Nothing may crash, over-read, hang or allocate without bound.

#include "acm_helpers.h"

using namespace acmtest;

namespace {

std::vector<uint8_t> suggested(uint16_t tag, uint16_t channels, uint32_t rate)
{
    std::vector<uint8_t> fmt(512, 0);
    auto* enc = reinterpret_cast<WAVEFORMATEX*>(fmt.data());
    enc->wFormatTag = tag;
    WAVEFORMATEX in = pcm(channels, rate, 16);
    EXPECT_EQ(acmFormatSuggest(nullptr, &in, enc, 512, ACM_FORMATSUGGESTF_WFORMATTAG), 0u);
    return fmt;
}

std::vector<uint8_t> garbage(size_t n, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::vector<uint8_t> b(n);
    for (auto& x : b)
        x = uint8_t(gen());
    return b;
}

} // namespace

TEST(AcmHostile, GarbageFramesDecodeWithoutHarm)
{
    std::vector<std::vector<uint8_t>> formats{
        suggested(WAVE_FORMAT_IMA_ADPCM, 2, 22050), suggested(WAVE_FORMAT_ADPCM, 2, 44100),
        suggested(WAVE_FORMAT_GSM610, 1, 8000), suggested(WAVE_FORMAT_MULAW, 1, 8000)};
    MPEGLAYER3WAVEFORMAT mp3{};
    mp3.wfx = {WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16000, 1, 0, 12};
    const auto* m = reinterpret_cast<const uint8_t*>(&mp3);
    formats.emplace_back(m, m + sizeof mp3);
    formats.back().resize(512, 0);
    for (auto& fmt : formats) {
        auto* wfx = reinterpret_cast<WAVEFORMATEX*>(fmt.data());
        SCOPED_TRACE(wfx->wFormatTag);
        WAVEFORMATEX out = pcm(wfx->nChannels, wfx->nSamplesPerSec, 16);
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            auto bytes = garbage(20000 + seed * 77, seed);
            if (seed == 2 && wfx->wFormatTag == WAVE_FORMAT_MPEGLAYER3)
                for (size_t i = 0; i + 1 < bytes.size(); i += 97)
                    bytes[i] = 0xFF, bytes[i + 1] = 0xFB; // many false frame syncs
            MMRESULT r = 0;
            const auto decoded = convertAll(wfx, &out, bytes, 1000 + seed, &r);
            // Each whole block gives at most its samples; the output stays bounded.
            EXPECT_LE(decoded.size(), bytes.size() * 48 + 65536);
        }
    }
}

TEST(AcmHostile, MsAdpcmHeadersWithWildPredictorsAndDeltas)
{
    auto fmt = suggested(WAVE_FORMAT_ADPCM, 1, 8000);
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(fmt.data());
    WAVEFORMATEX out = pcm(1, 8000, 16);
    std::vector<uint8_t> block(wfx->nBlockAlign, 0x77);
    block[0] = 200;    // predictor number beyond the table
    block[1] = 0xFF;   // delta 0x7FFF: grows fast under code 7
    block[2] = 0x7F;
    const auto decoded = samples16(convertAll(wfx, &out, block, 0));
    ASSERT_EQ(decoded.size(), size_t(reinterpret_cast<ADPCMWAVEFORMAT*>(wfx)->wSamplesPerBlock));
    // A coefficient count that claims more than the extra bytes hold is refused.
    reinterpret_cast<ADPCMWAVEFORMAT*>(wfx)->wNumCoef = 200;
    EXPECT_EQ(acmStreamOpen(nullptr, nullptr, wfx, &out, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), ACMERR_NOTPOSSIBLE);
}

TEST(AcmHostile, InconsistentCompressedFormatsAreRefused)
{
    WAVEFORMATEX out = pcm(1, 8000, 16);
    auto query = [&](std::vector<uint8_t>& f) {
        WAVEFORMATEX o = pcm(reinterpret_cast<WAVEFORMATEX*>(f.data())->nChannels,
                             reinterpret_cast<WAVEFORMATEX*>(f.data())->nSamplesPerSec, 16);
        return acmStreamOpen(nullptr, nullptr, reinterpret_cast<WAVEFORMATEX*>(f.data()), &o, nullptr, 0, 0,
                             ACM_STREAMOPENF_QUERY);
    };
    auto ima = suggested(WAVE_FORMAT_IMA_ADPCM, 1, 8000);
    reinterpret_cast<IMAADPCMWAVEFORMAT*>(ima.data())->wSamplesPerBlock = 9999;
    EXPECT_EQ(query(ima), ACMERR_NOTPOSSIBLE);
    ima = suggested(WAVE_FORMAT_IMA_ADPCM, 1, 8000);
    reinterpret_cast<WAVEFORMATEX*>(ima.data())->nBlockAlign = 3; // smaller than its header
    EXPECT_EQ(query(ima), ACMERR_NOTPOSSIBLE);
    auto gsm = suggested(WAVE_FORMAT_GSM610, 1, 8000);
    reinterpret_cast<WAVEFORMATEX*>(gsm.data())->nBlockAlign = 64;
    EXPECT_EQ(query(gsm), ACMERR_NOTPOSSIBLE);
    gsm = suggested(WAVE_FORMAT_GSM610, 1, 8000);
    reinterpret_cast<WAVEFORMATEX*>(gsm.data())->nChannels = 2;
    EXPECT_EQ(query(gsm), ACMERR_NOTPOSSIBLE);
    std::vector<uint8_t> mulaw(512, 0);
    *reinterpret_cast<WAVEFORMATEX*>(mulaw.data()) = {WAVE_FORMAT_MULAW, 2, 8000, 16000, 1, 8, 0}; // block too small
    EXPECT_EQ(query(mulaw), ACMERR_NOTPOSSIBLE);
    std::vector<uint8_t> mp3(512, 0);
    *reinterpret_cast<WAVEFORMATEX*>(mp3.data()) = {WAVE_FORMAT_MPEGLAYER3, 2, 12345, 16000, 1, 0, 12};
    EXPECT_EQ(query(mp3), ACMERR_NOTPOSSIBLE); // not an MPEG sample rate
    (void)out;
}

TEST(AcmHostile, ExtremeRatesAndSizesStayBounded)
{
    // The largest ratio the service accepts converts without huge buffers.
    WAVEFORMATEX a = pcm(1, 1000, 16), b = pcm(2, 384000, 32, WAVE_FORMAT_IEEE_FLOAT);
    const auto out = convertAll(&a, &b, bytesOf(sine(1000, 1, 0.1, 100)), 37);
    EXPECT_NEAR(double(out.size() / 8), 0.1 * 384000, 400);
    WAVEFORMATEX tooFast = pcm(1, 5000000, 16);
    EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &a, &tooFast, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), ACMERR_NOTPOSSIBLE);
    // Sizes near the 32-bit limit saturate instead of wrapping.
    HACMSTREAM has = nullptr;
    ASSERT_EQ(acmStreamOpen(&has, nullptr, &a, &b, nullptr, 0, 0, 0), 0u);
    uint32_t size = 0;
    EXPECT_EQ(acmStreamSize(has, 0xFFFFFFFEu, &size, ACM_STREAMSIZEF_SOURCE), 0u);
    EXPECT_EQ(size, 0xFFFFFFFFu);
    acmStreamClose(has, 0);
}

TEST(AcmHostile, Mp3FramesAtAnotherRateThanDeclaredAreRefusedAtOnce)
{
    if (!haveTool("lame"))
        GTEST_SKIP() << "lame is not installed";
    TempDir dir;
    const auto signal = voice(22050, 2, 1.0);
    writeFile(dir / "in.wav", makeWave(pcm(2, 22050, 16), bytesOf(signal)));
    ASSERT_EQ(run("lame --quiet -b 64 " + (dir / "in.wav").string() + " " + (dir / "in.mp3").string()), 0);
    const auto mp3 = readFile(dir / "in.mp3");
    // The WAVE format says 44.1 kHz; the frames are 22.05 kHz.
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx = {WAVE_FORMAT_MPEGLAYER3, 2, 44100, 8000, 1, 0, MPEGLAYER3_WFX_EXTRA_BYTES};
    f.wID = MPEGLAYER3_ID_MPEG;
    f.nBlockSize = 417;
    f.nFramesPerBlock = 1;
    auto natural = naturalPcmOf(&f.wfx);
    MMRESULT failure = MMSYSERR_NOERROR;
    const auto out = convertAll(&f.wfx, reinterpret_cast<WAVEFORMATEX*>(natural.data()), mp3, 0, &failure);
    EXPECT_EQ(failure, ACMERR_NOTPOSSIBLE);
    EXPECT_TRUE(out.empty()); // nothing resampled behind the format's back
}
