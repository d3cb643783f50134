#include "kaacm_test_helpers.h"

#include "rtl/Filer.h"
#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

using namespace kaacm_test;

namespace {

// Collects what a convertor delivers, through OnAudioConverted.
struct TCollector {
    std::vector<uint8_t> bytes;
    int blocks = 0;
    void Attach(TkaAudioConvertor& c)
    {
        c.OnAudioConverted = [this](rtl::TComponent*, const void* data, int32_t size, bool&) {
            const auto* p = static_cast<const uint8_t*>(data);
            bytes.insert(bytes.end(), p, p + size);
            ++blocks;
        };
    }
};

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "<no exception>";
}

// Feeds `data` in chunks of `chunk` bytes.
void Feed(TkaAudioConvertor& c, const std::vector<uint8_t>& data, size_t chunk)
{
    for (size_t at = 0; at < data.size(); at += chunk)
        c.Convert(data.data() + at, static_cast<int32_t>(std::min(chunk, data.size() - at)));
}

class ConvertorTest : public ::testing::Test {
protected:
    ConvertorTest() : root(nullptr), conv(new TkaAudioConvertor(&root)) { out.Attach(*conv); }
    void Formats(const TkaWaveFormat& in, const TkaWaveFormat& outFormat)
    {
        conv->SetFormatIn(in);
        conv->SetFormatOut(outFormat);
    }

    rtl::TComponent root;
    TkaAudioConvertor* conv;
    TCollector out;
};

} // namespace

TEST_F(ConvertorTest, NewConvertorIsInactiveWithDefaultFormats)
{
    EXPECT_FALSE(conv->Active());
    EXPECT_TRUE(conv->FormatIn().IsEqual(TkaWaveFormat()));
    EXPECT_TRUE(conv->FormatOut().IsEqual(TkaWaveFormat()));
    EXPECT_TRUE(conv->Set8087FPUFlag);
    EXPECT_FALSE(conv->RequestRealTime());
    EXPECT_EQ(conv->StageCount(), 0);
    // Its subject answers for its observer too, through the convertor.
    IkaAudioSubject* subject = QueryAudioSubject(conv);
    ASSERT_NE(subject, nullptr);
    EXPECT_EQ(subject->QueryAudioObserver(), QueryAudioObserver(conv));
    EXPECT_EQ(subject->GetFormat(), &conv->FormatOut());
}

TEST_F(ConvertorTest, EqualFormatsStillGoThroughOneStage)
{
    const TkaWaveFormat f = Pcm(2, 44100, 16);
    Formats(f, f);
    conv->Open();
    ASSERT_EQ(conv->StageCount(), 1);
    EXPECT_EQ(conv->ChainFormatCount(), 2);
    EXPECT_TRUE(conv->Stage(0).Opened());
    const auto audio = Sine16(44100, 2, 0.1);
    Feed(*conv, audio, 4410);
    EXPECT_EQ(out.bytes, audio);
    EXPECT_EQ(out.blocks, 4);
    EXPECT_EQ(conv->ConvertedSize(), 4412); // 2 bytes carried over from the block before
}

TEST_F(ConvertorTest, DirectPcmPairIsOneStage)
{
    Formats(Pcm(2, 44100, 16), Pcm(1, 22050, 8));
    conv->Open();
    ASSERT_EQ(conv->StageCount(), 1);
    EXPECT_TRUE(conv->ChainFormat(0).IsEqual(Pcm(2, 44100, 16)));
    EXPECT_TRUE(conv->ChainFormat(1).IsEqual(Pcm(1, 22050, 8)));
}

TEST_F(ConvertorTest, CompressedToOtherPcmGoesThroughItsOwnPcm)
{
    Formats(G711(WAVE_FORMAT_MULAW, 1, 8000), Pcm(2, 44100, 16));
    conv->Open();
    ASSERT_EQ(conv->StageCount(), 2);
    ASSERT_EQ(conv->ChainFormatCount(), 3);
    EXPECT_TRUE(conv->ChainFormat(1).IsEqual(Pcm(1, 8000, 16)));
    EXPECT_TRUE(conv->Stage(0).DstFormat().IsEqual(conv->Stage(1).SrcFormat()));
}

TEST_F(ConvertorTest, CompressedToOtherCompressedGoesThroughTwoPcmFormats)
{
    Formats(G711(WAVE_FORMAT_MULAW, 1, 8000), G711(WAVE_FORMAT_ALAW, 1, 16000));
    conv->Open();
    ASSERT_EQ(conv->StageCount(), 3);
    EXPECT_TRUE(conv->ChainFormat(1).IsEqual(Pcm(1, 8000, 16)));
    EXPECT_TRUE(conv->ChainFormat(2).IsEqual(Pcm(1, 16000, 16)));
    EXPECT_TRUE(conv->ChainFormat(3).IsEqual(G711(WAVE_FORMAT_ALAW, 1, 16000)));
}

TEST_F(ConvertorTest, NoChainMeansConversionNotPossible)
{
    // Nothing encodes MPEG layer 3.
    Formats(Pcm(1, 22050, 16), Mp3(1, 22050, 64000));
    try {
        conv->Open();
        FAIL() << "a chain was planned";
    } catch (const EACMConversionError& e) {
        EXPECT_STREQ(e.what(), "Conversion not possible.");
    }
    EXPECT_FALSE(conv->Active());
    EXPECT_THROW(conv->Convert("x", 1), EACMConversionError);
}

TEST_F(ConvertorTest, UnknownSourceFormatIsRefusedByTheService)
{
    TkaWaveFormat strange = Pcm(1, 8000, 16);
    strange.SetFormatTag(0x7777);
    Formats(strange, Pcm(1, 8000, 16));
    EXPECT_THROW(conv->Open(), EACMConversionError);
    EXPECT_FALSE(conv->Active());
}

TEST_F(ConvertorTest, NonsenseFormatsAreRefusedNotDividedBy)
{
    TkaWaveFormat zero = Pcm(2, 44100, 16);
    zero.SetBlockAlign(0);
    Formats(zero, Pcm(2, 44100, 16));
    EXPECT_THROW(conv->Open(), EACMConversionError);
    zero = Pcm(0, 44100, 16);
    Formats(Pcm(2, 44100, 16), zero);
    EXPECT_THROW(conv->Open(), EACMConversionError);
    zero = Pcm(2, 0, 16);
    Formats(zero, zero);
    EXPECT_THROW(conv->Open(), EACMConversionError);
    EXPECT_FALSE(conv->Active());
}

TEST_F(ConvertorTest, PartialBlocksWaitForTheRest)
{
    const TkaWaveFormat f = Pcm(2, 44100, 16); // 4-byte blocks
    Formats(f, f);
    conv->Open();
    const uint8_t a[3] = {1, 2, 3}, b[5] = {4, 5, 6, 7, 8}, c[6] = {9, 10, 11, 12, 13, 14};
    conv->Convert(a, 3); // less than one block: nothing yet
    EXPECT_EQ(out.blocks, 0);
    EXPECT_EQ(conv->ConvertedData(), nullptr);
    EXPECT_EQ(conv->ConvertedSize(), 0);
    EXPECT_EQ(conv->Stage(0).SrcPending(), 3);
    conv->Convert(b, 5); // 8 pending: two blocks
    EXPECT_EQ(out.blocks, 1);
    EXPECT_EQ(out.bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    conv->Convert(c, 6); // 4 converted, 2 stay
    EXPECT_EQ(out.bytes.size(), 12u);
    EXPECT_EQ(conv->Stage(0).SrcPending(), 2);
    EXPECT_EQ(out.bytes.back(), 12);
}

TEST_F(ConvertorTest, BuffersAreSizedOnceFromTheFirstConvertibleBlock)
{
    const TkaWaveFormat f = Pcm(2, 44100, 16);
    Formats(f, f);
    conv->Open();
    const auto audio = Sine16(44100, 2, 0.5);
    conv->Convert(audio.data(), 402); // 400 converted, 2 pending
    EXPECT_TRUE(conv->Stage(0).IsPrepared());
    EXPECT_EQ(conv->Stage(0).SrcCapacity(), 3 * 402);
    const uint8_t* dst = conv->Stage(0).DstBuffer();
    // 2 pending + 1205 exceeds the 1206-byte input buffer.
    EXPECT_EQ(MessageOf([&] { conv->Convert(audio.data() + 402, 1205); }),
              "Audio is too large to fit into conversion buffer");
    EXPECT_EQ(conv->Stage(0).SrcPending(), 2); // the block was not taken
    conv->Convert(audio.data() + 402, 1204);   // exactly fills it
    EXPECT_EQ(conv->Stage(0).SrcPending(), 2);
    EXPECT_EQ(conv->Stage(0).DstBuffer(), dst); // no reallocation
    std::vector<uint8_t> expected(audio.begin(), audio.begin() + 1604);
    EXPECT_EQ(out.bytes, expected);
}

TEST_F(ConvertorTest, ReopeningStartsWithFreshBuffers)
{
    const TkaWaveFormat f = Pcm(1, 8000, 8);
    Formats(f, f);
    conv->Open();
    const std::vector<uint8_t> small(10, 0x80), big(100, 0x80);
    conv->Convert(small.data(), 10);
    EXPECT_THROW(conv->Convert(big.data(), 100), EACMConversionError);
    conv->Close();
    EXPECT_EQ(conv->StageCount(), 0);
    EXPECT_EQ(conv->ConvertedData(), nullptr);
    conv->Open();
    EXPECT_NO_THROW(conv->Convert(big.data(), 100));
}

TEST_F(ConvertorTest, ActiveStateRules)
{
    EXPECT_EQ(MessageOf([&] { conv->Close(); }), "Cannot perform this action while not active.");
    EXPECT_NO_THROW(conv->SetActive(false));
    EXPECT_EQ(MessageOf([&] { conv->Convert("ab", 2); }), "Cannot perform this action while not active.");
    conv->SetActive(true);
    EXPECT_TRUE(conv->Active());
    EXPECT_NO_THROW(conv->SetActive(true));
    EXPECT_EQ(MessageOf([&] { conv->Open(); }), "Cannot perform this action while active.");
    EXPECT_THROW(conv->Open(), EACMConversionError);
    EXPECT_EQ(MessageOf([&] { conv->SetRequestRealTime(true); }), "Cannot perform this action while active.");
    EXPECT_FALSE(conv->RequestRealTime());
    conv->SetActive(false);
    conv->SetRequestRealTime(true);
    EXPECT_TRUE(conv->RequestRealTime());
}

TEST_F(ConvertorTest, FormatChangesWhileActiveWaitForTheNextChain)
{
    Formats(Pcm(1, 8000, 8), Pcm(1, 8000, 8));
    conv->Open();
    conv->SetFormatOut(Pcm(1, 8000, 16));
    const uint8_t block[4] = {0x80, 0x80, 0x80, 0x80};
    conv->Convert(block, 4);
    EXPECT_EQ(conv->ConvertedSize(), 4);
    conv->SetActive(false);
    conv->SetActive(true);
    conv->Convert(block, 4);
    EXPECT_EQ(conv->ConvertedSize(), 8);
}

TEST(ConvertorStage, StateErrors)
{
    TMiniConvertor stage(Pcm(1, 8000, 8), Pcm(1, 8000, 8));
    EXPECT_FALSE(stage.Opened());
    EXPECT_EQ(MessageOf([&] { stage.Convert("a", 1, false, ACM_STREAMCONVERTF_BLOCKALIGN); }),
              "Cannot perform this action while not active.");
    stage.Open(false);
    try {
        stage.Open(false);
        FAIL();
    } catch (const EACMConversionError&) {
        FAIL() << "an open stage raises the general engine error";
    } catch (const EACMError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this action while active.");
    }
    stage.Close();
    EXPECT_FALSE(stage.Opened());
    EXPECT_EQ(stage.SrcCapacity(), 0);
    EXPECT_EQ(stage.DstBuffer(), nullptr);
}

TEST(ConvertorStage, HostileSizesAreRefused)
{
    TMiniConvertor stage(Pcm(1, 8000, 8), Pcm(1, 8000, 8));
    stage.Open(false);
    EXPECT_THROW(stage.Convert("a", -1, false, 0), rtl::EAssertionFailed);
    EXPECT_THROW(stage.Convert(nullptr, 10, false, 0), rtl::EAssertionFailed);
    // Far beyond any buffer: refused before anything is allocated.
    static const uint8_t byte = 0;
    EXPECT_THROW(stage.Convert(&byte, INT32_MAX, false, 0), EACMConversionError);
    EXPECT_EQ(stage.SrcPending(), 0);
}

// ---- Blocks from a source ----

namespace {

class TSource : public TkaAudioComponent {
public:
    explicit TSource(rtl::TComponent* owner) : TkaAudioComponent(owner)
    {
        Subject = new TkaAudioSubject(this, &Format);
    }
    ~TSource() override
    {
        delete Subject;
        Subject = nullptr;
    }
    IkaAudioSubject* QueryAudioSubject() override { return Subject; }
    void Deliver(const std::vector<uint8_t>& data)
    {
        Subject->NotifyObservers(Subject, data.data(), static_cast<int32_t>(data.size()));
    }
    TkaWaveFormat Format;
    TkaAudioSubject* Subject;
};

} // namespace

TEST_F(ConvertorTest, FollowsItsSourcesFormat)
{
    auto* source = new TSource(&root);
    source->Format = Pcm(1, 11025, 8);
    conv->SetFormatOut(Pcm(1, 11025, 16));
    conv->SetAudioSource(source);
    EXPECT_EQ(conv->AudioSource(), source);

    source->Deliver(std::vector<uint8_t>(100, 0x80)); // an inactive convertor opens itself
    EXPECT_TRUE(conv->Active());
    EXPECT_TRUE(conv->FormatIn().IsEqual(source->Format));
    EXPECT_EQ(out.bytes.size(), 200u);

    source->Format = Pcm(2, 11025, 16);
    source->Deliver(std::vector<uint8_t>(400, 0));
    EXPECT_TRUE(conv->FormatIn().IsEqual(source->Format));
    EXPECT_TRUE(conv->ChainFormat(0).IsEqual(source->Format));
    EXPECT_EQ(out.bytes.size(), 400u);
}

TEST_F(ConvertorTest, DestroyingTheSourceLeavesTheConvertorUsable)
{
    auto* source = new TSource(&root);
    conv->SetAudioSource(source);
    delete source;
    EXPECT_EQ(conv->AudioSource(), nullptr);
    EXPECT_EQ(MessageOf([&] { conv->SetAudioSource(conv); }), "Component cannot observe itself.");
}

TEST_F(ConvertorTest, DestroyingTheConvertorDetachesItsObservers)
{
    auto* next = new TkaAudioConvertor(&root);
    next->SetAudioSource(conv);
    EXPECT_EQ(conv->QueryAudioSubject()->GetFormat(), &conv->FormatOut());
    conv->Open();
    delete conv;
    EXPECT_EQ(next->AudioSource(), nullptr);
}

TEST_F(ConvertorTest, ObserversGetTheBlockBeforeTheEvent)
{
    auto* next = new TkaAudioConvertor(&root);
    next->SetFormatOut(Pcm(2, 11025, 8));
    std::vector<std::string> order;
    next->OnAudioConverted = [&](rtl::TComponent*, const void*, int32_t, bool&) {
        order.push_back("observer");
    };
    conv->OnAudioConverted = [&](rtl::TComponent* sender, const void* data, int32_t size, bool& abort) {
        EXPECT_EQ(sender, conv);
        EXPECT_EQ(data, conv->ConvertedData());
        EXPECT_EQ(size, conv->ConvertedSize());
        EXPECT_FALSE(abort);
        order.push_back("event");
    };
    next->SetAudioSource(conv);
    conv->Open();
    conv->Convert(std::vector<uint8_t>(8, 0x80).data(), 8);
    EXPECT_EQ(order, (std::vector<std::string>{"observer", "event"}));
}

TEST_F(ConvertorTest, ObserverErrorPropagatesAndSkipsTheEvent)
{
    auto* next = new TkaAudioConvertor(&root);
    next->SetAudioSource(conv);
    next->SetFormatOut(Mp3(1, 22050, 64000)); // it cannot open: every block raises
    conv->Open();
    const std::vector<uint8_t> block(8, 0x80);
    EXPECT_EQ(MessageOf([&] { conv->Convert(block.data(), 8); }), "Conversion not possible.");
    EXPECT_EQ(out.blocks, 0);

    conv->OnObserverError = [&](IkaAudioSubject* sender, IkaAudioObserver* observer, const std::exception&,
                                bool& raise) {
        EXPECT_EQ(sender, QueryAudioSubject(conv));
        EXPECT_EQ(observer, QueryAudioObserver(next));
        raise = false;
    };
    EXPECT_NO_THROW(conv->Convert(block.data(), 8));
    EXPECT_EQ(out.blocks, 1);
}

// The block lives in the chain's buffer: an observer that closes the convertor frees it,
// so neither the observers waiting after it nor the event get the block.
TEST_F(ConvertorTest, ObserverClosingTheConvertorEndsTheBlocksDelivery)
{
    Formats(Pcm(1, 8000, 8), Pcm(2, 44100, 16));
    auto* next = new TkaAudioConvertor(&root);
    auto* last = new TkaAudioConvertor(&root);
    next->SetAudioSource(conv);
    last->SetAudioSource(conv);
    int nextBlocks = 0;
    next->OnAudioConverted = [&](rtl::TComponent*, const void*, int32_t, bool&) {
        ++nextBlocks;
        conv->Close();
    };
    TCollector after;
    after.Attach(*last);
    conv->Open();
    conv->Convert(std::vector<uint8_t>(800, 0x80).data(), 800);
    EXPECT_EQ(nextBlocks, 1);
    EXPECT_EQ(after.blocks, 0) << "a block from a freed buffer";
    EXPECT_EQ(out.blocks, 0);
    EXPECT_FALSE(conv->Active());

    // Reopened, the convertor delivers to all of them again.
    next->OnAudioConverted = nullptr;
    conv->Open();
    conv->Convert(std::vector<uint8_t>(800, 0x80).data(), 800);
    EXPECT_EQ(after.blocks, 1);
    EXPECT_EQ(out.blocks, 1);
}

// ---- Stored properties ----

TEST(ConvertorStore, FormatsAndFlagsRoundTrip)
{
    rtl::TComponent root(nullptr);
    auto* a = new TkaAudioConvertor(&root);
    a->SetFormatIn(Pcm(2, 44100, 16));
    a->SetFormatOut(Pcm(1, 22050, 8));
    a->FormatOut().Buffer()[300] = 0x5A;
    a->SetRequestRealTime(true);
    a->Set8087FPUFlag = false;
    rtl::TMemoryStream stream;
    rtl::WriteProperties(stream, *a);

    const std::string bytes(stream.Bytes().begin(), stream.Bytes().end());
    EXPECT_NE(bytes.find("FormatIn.FormatBuffer"), std::string::npos);
    EXPECT_NE(bytes.find("FormatOut.FormatBuffer"), std::string::npos);

    auto* b = new TkaAudioConvertor(&root);
    stream.SetPosition(0);
    b->ReadState(stream);
    EXPECT_TRUE(b->FormatIn().IsEqual(a->FormatIn()));
    EXPECT_TRUE(b->FormatOut().IsEqual(a->FormatOut()));
    EXPECT_TRUE(b->RequestRealTime());
    EXPECT_FALSE(b->Set8087FPUFlag);
    EXPECT_FALSE(b->Active());
}
