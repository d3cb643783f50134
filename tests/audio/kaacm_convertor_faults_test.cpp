// Conversion when the codec service fails at a chosen call. The failures are injected by
// swapping entries of the engine's codec-call table (TCallsOverride); everything else
// runs on the real service.
#include "kaacm_test_helpers.h"

#include <gtest/gtest.h>

#include <string>

using namespace kaacm_test;

namespace {

TkaACMCalls realCalls;
int failConvertTimes = 0;
int openCalls = 0;
int failOpenAt = -1;
int closeCalls = 0;
uint16_t wordDuringConvert = 0;

// Bit 6 of the x87 control word is reserved and reads back as 1 whatever was loaded.
constexpr uint16_t kReservedBit = 0x0040;

uint16_t ControlWord()
{
#if defined(__i386__) || defined(__x86_64__)
    uint16_t word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
#else
    return 0;
#endif
}

void LoadControlWord([[maybe_unused]] uint16_t word)
{
#if defined(__i386__) || defined(__x86_64__)
    __asm__ __volatile__("fldcw %0" : : "m"(word));
#endif
}

MMRESULT FlakyConvert(HACMSTREAM has, LPACMSTREAMHEADER pash, uint32_t flags)
{
    wordDuringConvert = ControlWord();
    if (failConvertTimes > 0) {
        --failConvertTimes;
        return ACMERR_NOTPOSSIBLE;
    }
    return realCalls.StreamConvert(has, pash, flags);
}

MMRESULT CountingOpen(LPHACMSTREAM phas, HACMDRIVER had, WAVEFORMATEX* src, WAVEFORMATEX* dst, WAVEFILTER* f,
                      uintptr_t cb, uintptr_t inst, uint32_t flags)
{
    if (!(flags & ACM_STREAMOPENF_QUERY) && openCalls++ == failOpenAt)
        return MMSYSERR_NOMEM;
    return realCalls.StreamOpen(phas, had, src, dst, f, cb, inst, flags);
}

MMRESULT CountingClose(HACMSTREAM has, uint32_t flags)
{
    ++closeCalls;
    return realCalls.StreamClose(has, flags);
}

class FaultTest : public ::testing::Test {
protected:
    FaultTest() : root(nullptr), conv(new TkaAudioConvertor(&root))
    {
        realCalls = calls.Real();
        failConvertTimes = 0;
        openCalls = 0;
        failOpenAt = -1;
        closeCalls = 0;
        calls->StreamConvert = &FlakyConvert;
        calls->StreamOpen = &CountingOpen;
        calls->StreamClose = &CountingClose;
        conv->OnAudioConverted = [this](rtl::TComponent*, const void* data, int32_t size, bool&) {
            const auto* p = static_cast<const uint8_t*>(data);
            delivered.insert(delivered.end(), p, p + size);
        };
    }
    ~FaultTest() override { delete conv; }

    TCallsOverride calls;
    rtl::TComponent root;
    TkaAudioConvertor* conv;
    std::vector<uint8_t> delivered;
};

} // namespace

TEST_F(FaultTest, FailedConvertKeepsThePendingBytesForTheNextBlock)
{
    const TkaWaveFormat f = Pcm(1, 8000, 8);
    conv->SetFormatIn(f);
    conv->SetFormatOut(f);
    conv->Open();
    const std::vector<uint8_t> a{1, 2, 3}, b{4, 5};
    conv->Convert(a.data(), 3);
    failConvertTimes = 1;
    try {
        conv->Convert(b.data(), 2);
        FAIL();
    } catch (const EACMConversionError& e) {
        EXPECT_STREQ(e.what(), "The requested operation cannot be performed.");
    }
    EXPECT_EQ(conv->Stage(0).SrcPending(), 2);
    const std::vector<uint8_t> c{6};
    conv->Convert(c.data(), 1);
    EXPECT_EQ(delivered, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST_F(FaultTest, StageThatCannotOpenLeavesEveryStageClosed)
{
    conv->SetFormatIn(G711(WAVE_FORMAT_MULAW, 1, 8000));
    conv->SetFormatOut(G711(WAVE_FORMAT_ALAW, 1, 16000)); // three stages
    failOpenAt = 2;
    try {
        conv->Open();
        FAIL();
    } catch (const EACMConversionError& e) {
        EXPECT_STREQ(e.what(), "The system is unable to allocate resources.");
    }
    EXPECT_FALSE(conv->Active());
    EXPECT_EQ(closeCalls, 2); // the two opened before the failure
    for (int i = 0; i < conv->StageCount(); ++i)
        EXPECT_FALSE(conv->Stage(i).Opened());
    // The next attempt starts afresh.
    conv->Open();
    EXPECT_EQ(conv->StageCount(), 3);
}

TEST_F(FaultTest, ClosingClosesEveryStream)
{
    conv->SetFormatIn(G711(WAVE_FORMAT_MULAW, 1, 8000));
    conv->SetFormatOut(G711(WAVE_FORMAT_ALAW, 1, 16000));
    conv->Open();
    conv->Close();
    EXPECT_EQ(closeCalls, 3);
    conv->Open();
    delete conv; // destruction closes too
    conv = nullptr;
    EXPECT_EQ(closeCalls, 6);
}

#if defined(__i386__) || defined(__x86_64__)
TEST_F(FaultTest, ControlWordIsSetForTheConvertCallAndRestoredAfter)
{
    const TkaWaveFormat f = Pcm(1, 8000, 8);
    conv->SetFormatIn(f);
    conv->SetFormatOut(f);
    conv->Open();
    const uint16_t before = ControlWord();
    const std::vector<uint8_t> block(16, 0x80);
    conv->Convert(block.data(), 16);
    EXPECT_EQ(wordDuringConvert & ~kReservedBit, 0x133F);
    EXPECT_EQ(ControlWord(), before);

    // Restored also when the call fails, and whatever it was before.
    const uint16_t unusual = 0x027F;
    LoadControlWord(unusual);
    failConvertTimes = 1;
    EXPECT_THROW(conv->Convert(block.data(), 16), EACMConversionError);
    EXPECT_EQ(wordDuringConvert & ~kReservedBit, 0x133F);
    EXPECT_EQ(ControlWord(), unusual);
    LoadControlWord(before);

    // Left alone when the flag is off, or when the program runs threads of its own.
    conv->Set8087FPUFlag = false;
    conv->Convert(block.data(), 16);
    EXPECT_EQ(wordDuringConvert, before);
    conv->Set8087FPUFlag = true;
    SetProgramStartsThreads(true);
    conv->Convert(block.data(), 16);
    SetProgramStartsThreads(false);
    EXPECT_EQ(wordDuringConvert, before);
}
#endif
