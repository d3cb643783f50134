// The acm* stream calls: refusal of nonsense formats, the query rule, stream sizes,
// header preparation and block-aligned conversion with pending bytes.

#include "acm_helpers.h"

using namespace acmtest;

namespace {

// Formats are passed by reference: compressed ones carry extra bytes after the record.
MMRESULT query(const WAVEFORMATEX& src, const WAVEFORMATEX& dst)
{
    return acmStreamOpen(nullptr, nullptr, const_cast<WAVEFORMATEX*>(&src), const_cast<WAVEFORMATEX*>(&dst), nullptr, 0, 0,
                         ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME);
}

WAVEFORMATEX imaFormat(uint16_t channels, uint32_t rate, std::vector<uint8_t>& storage)
{
    storage.assign(512, 0);
    auto* dst = reinterpret_cast<WAVEFORMATEX*>(storage.data());
    WAVEFORMATEX src = pcm(channels, rate, 16);
    dst->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, &src, dst, 512, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    return *dst;
}

} // namespace

TEST(AcmStreamRules, NonsenseFormatsAreRefusedWithACode)
{
    const WAVEFORMATEX good = pcm(2, 44100, 16);
    std::vector<WAVEFORMATEX> bad;
    WAVEFORMATEX f = good;
    f.nChannels = 0;
    bad.push_back(f);
    f = good;
    f.nSamplesPerSec = 0;
    bad.push_back(f);
    f = good;
    f.nBlockAlign = 0;
    bad.push_back(f);
    f = good;
    f.nAvgBytesPerSec = 0;
    bad.push_back(f);
    f = good;
    f.wBitsPerSample = 32; // 2 x 32 bits do not fit a 4-byte block
    bad.push_back(f);
    f = good;
    f.wBitsPerSample = 0;
    bad.push_back(f);
    f = good;
    f.cbSize = 600; // more extra bytes than any format buffer holds
    bad.push_back(f);
    for (WAVEFORMATEX b : bad) {
        EXPECT_NE(query(b, good), MMSYSERR_NOERROR);
        EXPECT_NE(query(good, b), MMSYSERR_NOERROR);
        HACMSTREAM has = reinterpret_cast<HACMSTREAM>(1);
        WAVEFORMATEX g = good;
        EXPECT_NE(acmStreamOpen(&has, nullptr, &b, &g, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(has, nullptr);
        std::vector<uint8_t> out(512, 0);
        reinterpret_cast<WAVEFORMATEX*>(out.data())->wFormatTag = WAVE_FORMAT_PCM;
        EXPECT_NE(acmFormatSuggest(nullptr, &b, reinterpret_cast<WAVEFORMATEX*>(out.data()), 512,
                                   ACM_FORMATSUGGESTF_WFORMATTAG),
                  MMSYSERR_NOERROR);
    }
    // A compressed format with zeroed fields is refused too.
    std::vector<uint8_t> storage;
    imaFormat(1, 8000, storage);
    reinterpret_cast<WAVEFORMATEX*>(storage.data())->nBlockAlign = 0;
    EXPECT_EQ(query(*reinterpret_cast<WAVEFORMATEX*>(storage.data()), pcm(1, 8000, 16)), ACMERR_NOTPOSSIBLE);
    WAVEFORMATEX mulaw{WAVE_FORMAT_MULAW, 0, 8000, 8000, 1, 8, 0};
    EXPECT_EQ(query(mulaw, pcm(1, 8000, 16)), ACMERR_NOTPOSSIBLE);
}

TEST(AcmStreamRules, QueryAnswersZeroExactlyForDirectConversions)
{
    // Any PCM pair is direct.
    EXPECT_EQ(query(pcm(2, 44100, 16), pcm(1, 22050, 8)), MMSYSERR_NOERROR);
    EXPECT_EQ(query(pcm(1, 8000, 8), pcm(2, 48000, 32, WAVE_FORMAT_IEEE_FLOAT)), MMSYSERR_NOERROR);
    EXPECT_EQ(query(pcm(2, 44100, 24), pcm(2, 44100, 24)), MMSYSERR_NOERROR);
    // A compressed format is direct only to its own natural PCM.
    const WAVEFORMATEX mulaw{WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0};
    EXPECT_EQ(query(mulaw, pcm(1, 8000, 16)), MMSYSERR_NOERROR);
    EXPECT_EQ(query(mulaw, pcm(2, 8000, 16)), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(query(mulaw, pcm(1, 11025, 16)), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(query(mulaw, pcm(1, 8000, 8)), ACMERR_NOTPOSSIBLE);
    const WAVEFORMATEX alaw{WAVE_FORMAT_ALAW, 1, 8000, 8000, 1, 8, 0};
    EXPECT_EQ(query(mulaw, alaw), ACMERR_NOTPOSSIBLE);
    std::vector<uint8_t> storage;
    imaFormat(2, 22050, storage);
    EXPECT_EQ(query(*reinterpret_cast<WAVEFORMATEX*>(storage.data()), pcm(2, 22050, 16)), MMSYSERR_NOERROR);
    EXPECT_EQ(query(pcm(2, 22050, 16), *reinterpret_cast<WAVEFORMATEX*>(storage.data())), MMSYSERR_NOERROR);
    EXPECT_EQ(query(pcm(2, 44100, 16), *reinterpret_cast<WAVEFORMATEX*>(storage.data())), ACMERR_NOTPOSSIBLE);
    // Unknown tags, filters and asynchronous streams are not offered.
    WAVEFORMATEX unknown{0x1234, 1, 8000, 8000, 1, 8, 0};
    EXPECT_EQ(query(unknown, pcm(1, 8000, 16)), ACMERR_NOTPOSSIBLE);
    WAVEFORMATEX a = pcm(1, 8000, 16), b = pcm(1, 8000, 16);
    HACMSTREAM has = nullptr;
    EXPECT_EQ(acmStreamOpen(&has, nullptr, &a, &b, nullptr, 0, 0, ACM_STREAMOPENF_ASYNC), MMSYSERR_NOTSUPPORTED);
    EXPECT_EQ(acmStreamOpen(&has, nullptr, &a, &b, nullptr, 0, 0, 0x100), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &a, &b, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
}

TEST(AcmStreamRules, SuggestGivesTheNaturalPcmOfCompressedFormats)
{
    std::vector<uint8_t> storage;
    WAVEFORMATEX ima = imaFormat(2, 11025, storage);
    EXPECT_EQ(ima.wFormatTag, WAVE_FORMAT_IMA_ADPCM);
    EXPECT_EQ(ima.nBlockAlign, 512);
    EXPECT_EQ(ima.cbSize, 2);
    std::vector<uint8_t> out(512, 0);
    auto* dst = reinterpret_cast<WAVEFORMATEX*>(out.data());
    dst->wFormatTag = WAVE_FORMAT_PCM;
    ASSERT_EQ(acmFormatSuggest(nullptr, reinterpret_cast<WAVEFORMATEX*>(storage.data()), dst, 512,
                               ACM_FORMATSUGGESTF_WFORMATTAG),
              MMSYSERR_NOERROR);
    EXPECT_EQ(dst->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(dst->nChannels, 2);
    EXPECT_EQ(dst->nSamplesPerSec, 11025u);
    EXPECT_EQ(dst->wBitsPerSample, 16);
    EXPECT_EQ(dst->nBlockAlign, 4);
    EXPECT_EQ(dst->nAvgBytesPerSec, 44100u);
    EXPECT_EQ(dst->cbSize, 0);
    // PCM suggests itself; float suggests 16-bit PCM.
    WAVEFORMATEX p8 = pcm(1, 22050, 8);
    ASSERT_EQ(acmFormatSuggest(nullptr, &p8, dst, 512, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    EXPECT_EQ(std::memcmp(dst, &p8, sizeof p8), 0);
    WAVEFORMATEX fl = pcm(2, 48000, 32, WAVE_FORMAT_IEEE_FLOAT);
    dst->wFormatTag = WAVE_FORMAT_PCM;
    ASSERT_EQ(acmFormatSuggest(nullptr, &fl, dst, 512, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    EXPECT_EQ(dst->wBitsPerSample, 16);
    // A destination too small for the record is refused, and nothing is divided by zero.
    WAVEFORMATEX small{};
    EXPECT_EQ(acmFormatSuggest(nullptr, &p8, &small, 10, 0), MMSYSERR_INVALPARAM);
    WAVEFORMATEX unknown{0x4242, 1, 8000, 8000, 1, 8, 0};
    dst->wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, &unknown, dst, 512, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE);
}

TEST(AcmStreamRules, SizeIsZeroOrFailureBelowOneSourceBlock)
{
    std::vector<uint8_t> storage;
    imaFormat(1, 8000, storage);
    auto* ima = reinterpret_cast<WAVEFORMATEX*>(storage.data());
    WAVEFORMATEX out = pcm(1, 8000, 16);
    HACMSTREAM has = nullptr;
    ASSERT_EQ(acmStreamOpen(&has, nullptr, ima, &out, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    uint32_t bytes = 99;
    EXPECT_NE(acmStreamSize(has, 255, &bytes, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(acmStreamSize(has, 256, &bytes, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(bytes, 505u * 2);
    EXPECT_EQ(acmStreamSize(has, 256 * 3 + 100, &bytes, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(bytes, 3u * 505 * 2);
    EXPECT_EQ(acmStreamSize(has, 505 * 2 * 2, &bytes, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
    EXPECT_EQ(bytes, 512u);
    EXPECT_EQ(acmStreamSize(has, 100, &bytes, 0x80), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamSize(has, 100, nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmStreamClose(has, 0), MMSYSERR_NOERROR);
    // A closed stream is gone.
    EXPECT_EQ(acmStreamSize(has, 256, &bytes, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamClose(has, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamReset(has, 0), MMSYSERR_INVALHANDLE);

    // Resampling: the size covers the ratio with a small margin, one frame is a block.
    WAVEFORMATEX a = pcm(2, 44100, 16), b = pcm(2, 48000, 16);
    ASSERT_EQ(acmStreamOpen(&has, nullptr, &a, &b, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    EXPECT_NE(acmStreamSize(has, 3, &bytes, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamSize(has, 5512 * 4, &bytes, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_GE(bytes, 6000u * 4);
    EXPECT_LE(bytes, 6010u * 4);
    acmStreamClose(has, 0);
}

TEST(AcmStreamRules, HeadersMustBePreparedAndKeepTheirBuffers)
{
    WAVEFORMATEX a = pcm(1, 8000, 16), b = pcm(1, 8000, 8);
    HACMSTREAM has = nullptr;
    ASSERT_EQ(acmStreamOpen(&has, nullptr, &a, &b, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<uint8_t> src(100, 0), dst(100, 0), other(100, 0);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = src.data();
    h.cbSrcLength = 100;
    h.pbDst = dst.data();
    h.cbDstLength = 100;
    EXPECT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN), ACMERR_UNPREPARED);
    h.cbStruct = 12;
    EXPECT_EQ(acmStreamPrepareHeader(has, &h, 0), MMSYSERR_INVALPARAM);
    h.cbStruct = ACMSTREAMHEADER_SIZE_WIN32; // the record size the engine's stored code uses
    EXPECT_EQ(acmStreamPrepareHeader(has, &h, 1), MMSYSERR_INVALFLAG);
    ASSERT_EQ(acmStreamPrepareHeader(has, &h, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    // Longer than prepared, or another buffer: refused.
    h.cbSrcLength = 101;
    EXPECT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_INVALPARAM);
    h.cbSrcLength = 100;
    h.pbDst = other.data();
    EXPECT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_INVALPARAM);
    h.pbDst = dst.data();
    h.cbSrcLength = 40;
    ASSERT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
    EXPECT_EQ(h.cbSrcLengthUsed, 40u);
    EXPECT_EQ(h.cbDstLengthUsed, 20u);
    EXPECT_EQ(acmStreamConvert(has, &h, 0x1000), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamUnprepareHeader(has, &h, 0), MMSYSERR_NOERROR);
    EXPECT_FALSE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    EXPECT_EQ(acmStreamUnprepareHeader(has, &h, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamReset(has, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(has, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamPrepareHeader(has, &h, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamPrepareHeader(reinterpret_cast<HACMSTREAM>(0x1234), &h, 0), MMSYSERR_INVALHANDLE);
}

TEST(AcmStreamRules, BlockAlignedConversionLeavesThePartialBlockPending)
{
    std::vector<uint8_t> storage;
    imaFormat(2, 22050, storage); // 1024-byte blocks of 1017 frames
    auto* ima = reinterpret_cast<WAVEFORMATEX*>(storage.data());
    WAVEFORMATEX out = pcm(2, 22050, 16);
    HACMSTREAM has = nullptr;
    ASSERT_EQ(acmStreamOpen(&has, nullptr, ima, &out, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), 0u);
    std::vector<uint8_t> src(3000, 0x11), dst(3 * 1017 * 4);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = src.data();
    h.cbSrcLength = uint32_t(src.size());
    h.pbDst = dst.data();
    h.cbDstLength = uint32_t(dst.size());
    ASSERT_EQ(acmStreamPrepareHeader(has, &h, 0), 0u);
    h.cbSrcLength = 1000; // less than a block: nothing consumed, nothing produced
    ASSERT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN), 0u);
    EXPECT_EQ(h.cbSrcLengthUsed, 0u);
    EXPECT_EQ(h.cbDstLengthUsed, 0u);
    h.cbSrcLength = 2500; // two whole blocks and 452 bytes
    ASSERT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN), 0u);
    EXPECT_EQ(h.cbSrcLengthUsed, 2048u);
    EXPECT_EQ(h.cbDstLengthUsed, 2u * 1017 * 4);
    // A destination with room for one block only takes one block.
    h.cbSrcLength = 3000;
    h.cbDstLength = 1017 * 4 + 10;
    ASSERT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN), 0u);
    EXPECT_EQ(h.cbSrcLengthUsed, 1024u);
    h.cbDstLength = uint32_t(dst.size());
    h.cbSrcLength = uint32_t(src.size());
    EXPECT_EQ(acmStreamUnprepareHeader(has, &h, 0), 0u);
    acmStreamClose(has, 0);
}

TEST(AcmStreamRules, PendingBytesAcrossBlocksGiveTheSameOutputAsOneBlock)
{
    // Odd piece sizes split frames and blocks; the output must not change.
    const auto input = bytesOf(voice(22050, 2, 1.0));
    WAVEFORMATEX a = pcm(2, 22050, 16), b = pcm(1, 22050, 8);
    const auto whole = convertAll(&a, &b, input, 0);
    for (size_t piece : {1u, 3u, 7u, 1001u}) {
        const auto split = convertAll(&a, &b, input, piece);
        EXPECT_EQ(split, whole) << "piece " << piece;
    }
    EXPECT_EQ(whole.size(), input.size() / 4);
}

TEST(AcmStreamRules, StreamsOpenThroughADriverHandleUseOnlyThatDriver)
{
    std::vector<HACMDRIVERID> ids;
    acmDriverEnum(
        [](HACMDRIVERID id, uintptr_t inst, uint32_t) -> int {
            reinterpret_cast<std::vector<HACMDRIVERID>*>(inst)->push_back(id);
            return 1;
        },
        reinterpret_cast<uintptr_t>(&ids), 0);
    ASSERT_GE(ids.size(), 2u);
    HACMDRIVER pcmDriver = nullptr, g711 = nullptr;
    ASSERT_EQ(acmDriverOpen(&pcmDriver, ids[0], 0), 0u);
    ASSERT_EQ(acmDriverOpen(&g711, ids[1], 0), 0u);
    WAVEFORMATEX mulaw{WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0}, p16 = pcm(1, 8000, 16);
    HACMSTREAM has = nullptr;
    EXPECT_EQ(acmStreamOpen(&has, pcmDriver, &mulaw, &p16, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    ASSERT_EQ(acmStreamOpen(&has, g711, &mulaw, &p16, nullptr, 0, 0, 0), 0u);
    EXPECT_EQ(acmDriverClose(g711, 0), ACMERR_BUSY); // a stream still uses it
    HACMDRIVERID id = nullptr;
    EXPECT_EQ(acmDriverID(reinterpret_cast<HACMOBJ>(has), &id, 0), 0u);
    EXPECT_EQ(id, ids[1]);
    acmStreamClose(has, 0);
    EXPECT_EQ(acmDriverClose(g711, 0), 0u);
    EXPECT_EQ(acmDriverClose(pcmDriver, 0), 0u);
    EXPECT_EQ(acmDriverClose(pcmDriver, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamOpen(&has, pcmDriver, &p16, &p16, nullptr, 0, 0, 0), MMSYSERR_INVALHANDLE);
}
