#include "kaacm_test_helpers.h"

#include <gtest/gtest.h>

#include <string>

using namespace kaacm_test;

namespace {

TkaACMCalls real;
int streamOpens = 0;
bool refuseQueries = false;

MMRESULT WatchedOpen(LPHACMSTREAM phas, HACMDRIVER had, WAVEFORMATEX* src, WAVEFORMATEX* dst, WAVEFILTER* f,
                     uintptr_t cb, uintptr_t inst, uint32_t flags)
{
    if (!(flags & ACM_STREAMOPENF_QUERY))
        ++streamOpens;
    else if (refuseQueries)
        return ACMERR_NOTPOSSIBLE;
    return real.StreamOpen(phas, had, src, dst, f, cb, inst, flags);
}

void Scribble(TkaWaveFormat& f)
{
    for (size_t i = 18; i < TkaWaveFormat::BufferSize; ++i)
        f.Buffer()[i] = static_cast<uint8_t>(i);
}

} // namespace

TEST(SuggestPCM, CompressedSourceGetsItsOwnPcm)
{
    TkaWaveFormat f;
    f.SuggestPCM(G711(WAVE_FORMAT_MULAW, 1, 8000));
    EXPECT_EQ(f.FormatTag(), WAVE_FORMAT_PCM);
    EXPECT_EQ(f.Channels(), 1);
    EXPECT_EQ(f.SamplesPerSec(), 8000u);
    EXPECT_EQ(f.BitsPerSample(), 16);
    EXPECT_EQ(f.BlockAlign(), 2);
    EXPECT_EQ(f.AvgBytesPerSec(), 16000u);
    EXPECT_TRUE(CanConvert(G711(WAVE_FORMAT_MULAW, 1, 8000), f, false));
}

TEST(SuggestPCM, PcmSourceIsKeptAsItIs)
{
    TkaWaveFormat f;
    f.SuggestPCM(Pcm(2, 44100, 16));
    EXPECT_EQ(f.Channels(), 2);
    EXPECT_EQ(f.SamplesPerSec(), 44100u);
    EXPECT_EQ(f.BitsPerSample(), 16);
}

TEST(SuggestPCM, RefusedSuggestionLeavesAllBytesAlone)
{
    TkaWaveFormat f;
    Scribble(f);
    const TkaWaveFormat before(f);
    TkaWaveFormat strange = Pcm(1, 8000, 16);
    strange.SetFormatTag(0x7777);
    try {
        f.SuggestPCM(strange);
        FAIL();
    } catch (const EACMConversionError& e) {
        EXPECT_STREQ(e.what(), "The requested operation cannot be performed.");
    }
    EXPECT_TRUE(f.IsEqual(before));
}

TEST(SuggestPCM, UnusableSuggestionIsConversionNotPossible)
{
    TCallsOverride calls;
    real = calls.Real();
    refuseQueries = true;
    calls->StreamOpen = &WatchedOpen;
    TkaWaveFormat f;
    Scribble(f);
    const TkaWaveFormat before(f);
    try {
        f.SuggestPCM(G711(WAVE_FORMAT_ALAW, 2, 8000));
        FAIL();
    } catch (const EACMConversionError& e) {
        EXPECT_STREQ(e.what(), "Conversion not possible.");
    }
    refuseQueries = false;
    EXPECT_TRUE(f.IsEqual(before));
}

TEST(CanConvert, AsksWithoutOpeningAnything)
{
    TCallsOverride calls;
    real = calls.Real();
    streamOpens = 0;
    calls->StreamOpen = &WatchedOpen;
    EXPECT_TRUE(CanConvert(Pcm(2, 44100, 16), Pcm(1, 22050, 8), false));
    EXPECT_TRUE(CanConvert(Pcm(2, 44100, 16), Pcm(2, 44100, 16), true));
    EXPECT_TRUE(CanConvert(G711(WAVE_FORMAT_MULAW, 1, 8000), Pcm(1, 8000, 16), false));
    EXPECT_FALSE(CanConvert(G711(WAVE_FORMAT_MULAW, 1, 8000), Pcm(2, 44100, 16), false));
    TkaWaveFormat broken = Pcm(2, 44100, 16);
    broken.SetAvgBytesPerSec(0);
    EXPECT_FALSE(CanConvert(broken, Pcm(2, 44100, 16), false));
    EXPECT_FALSE(CanConvert(Pcm(2, 44100, 16), broken, false));
    EXPECT_EQ(streamOpens, 0);
}
