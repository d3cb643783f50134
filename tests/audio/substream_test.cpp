#include "audio/kaCommon.h"
#include "audio/kaErrors.h"
#include "rtl/Stream.h"

#include "riff_wave_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <type_traits>

using riff_test::Bytes;
using riff_test::Pattern;
using rtl::TSeekOrigin;

namespace {

// The 1044-byte file of the recording example: a 44-byte header and 1000 audio bytes.
class SubStreamTest : public ::testing::Test {
protected:
    SubStreamTest() : bytes(Pattern(1044, 3)), file(bytes.data(), bytes.size()) {}

    Bytes bytes;
    rtl::TMemoryStream file;
};

template <class F> std::string AssertionMessage(F&& f)
{
    try {
        f();
    } catch (const rtl::EAssertionFailed& e) {
        return e.Message();
    }
    return "no assertion";
}

} // namespace

TEST_F(SubStreamTest, ReadsTheWindowAndStopsAtItsEnd)
{
    TkaSubStream sub(&file, 44, 1000);
    EXPECT_EQ(sub.Size(), 1000);
    EXPECT_EQ(file.Position(), 44) << "the underlying stream is put on the window's start";
    Bytes got(600);
    EXPECT_EQ(sub.Read(got.data(), 600), 600);
    EXPECT_EQ(Bytes(got.begin(), got.end()), Bytes(bytes.begin() + 44, bytes.begin() + 644));
    EXPECT_EQ(sub.Read(got.data(), 600), 400);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 400), Bytes(bytes.begin() + 644, bytes.end()));
    EXPECT_EQ(sub.Read(got.data(), 600), 0);
    EXPECT_EQ(sub.Position(), 1000);
    EXPECT_EQ(sub.Read(got.data(), -5), 0);
}

TEST_F(SubStreamTest, SeeksAreClampedToTheWindow)
{
    TkaSubStream sub(&file, 44, 1000);
    EXPECT_EQ(sub.Seek(0, TSeekOrigin::soEnd), 1000);
    EXPECT_EQ(sub.Seek(-10, TSeekOrigin::soBeginning), 0);
    EXPECT_EQ(sub.Seek(5000, TSeekOrigin::soBeginning), 1000);
    EXPECT_EQ(sub.Seek(-1, TSeekOrigin::soCurrent), 999);
    EXPECT_EQ(file.Position(), 44 + 999);
    EXPECT_EQ(sub.Seek(-300, TSeekOrigin::soEnd), 700);
    EXPECT_EQ(sub.Seek(std::numeric_limits<int64_t>::max(), TSeekOrigin::soCurrent), 1000);
    EXPECT_EQ(sub.Seek(std::numeric_limits<int64_t>::min(), TSeekOrigin::soCurrent), 0);
    EXPECT_EQ(sub.Seek(std::numeric_limits<int64_t>::min(), TSeekOrigin::soEnd), 0);

    sub.Seek(10, TSeekOrigin::soBeginning);
    uint8_t b = 0;
    ASSERT_EQ(sub.Read(&b, 1), 1);
    EXPECT_EQ(b, bytes[54]);
}

TEST_F(SubStreamTest, WritePastTheEndRaisesAndWritesNothing)
{
    TkaSubStream sub(&file, 44, 1000);
    sub.Seek(995, TSeekOrigin::soBeginning);
    const Bytes ten(10, 0xEE);
    try {
        sub.Write(ten.data(), 10);
        FAIL() << "no error";
    } catch (const ESubStreamError& e) {
        EXPECT_EQ(e.Message(), "Write past end of sub stream.");
    }
    EXPECT_EQ(sub.Position(), 995);
    EXPECT_EQ(file.Bytes(), bytes) << "nothing reached the underlying stream";
    EXPECT_EQ(file.Size(), 1044);

    EXPECT_EQ(sub.Write(ten.data(), 5), 5);
    EXPECT_EQ(sub.Position(), 1000);
    EXPECT_EQ(Bytes(file.Bytes().begin() + 1039, file.Bytes().end()), Bytes(5, 0xEE));
    EXPECT_EQ(file.Size(), 1044);
    EXPECT_THROW(sub.Write(ten.data(), 1), ESubStreamError);
    EXPECT_EQ(sub.Write(ten.data(), 0), 0);
}

TEST_F(SubStreamTest, ErrorClassIsOutsideTheEngineTree)
{
    static_assert(std::is_base_of_v<rtl::Exception, ESubStreamError>);
    static_assert(!std::is_base_of_v<EACMError, ESubStreamError>);
}

TEST_F(SubStreamTest, WindowsSharingOneStreamKeepTheirOwnPlace)
{
    TkaSubStream a(&file, 44, 500);
    TkaSubStream b(&file, 544, 500);
    uint8_t x = 0;
    uint8_t y = 0;
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(a.Read(&x, 1), 1);
        file.Seek(3, TSeekOrigin::soBeginning); // someone else moves the stream meanwhile
        ASSERT_EQ(b.Read(&y, 1), 1);
        ASSERT_EQ(x, bytes[44 + i]);
        ASSERT_EQ(y, bytes[544 + i]);
    }
    const uint8_t mark = 0x5A;
    a.Seek(0, TSeekOrigin::soBeginning);
    file.Seek(0, TSeekOrigin::soEnd);
    a.Write(&mark, 1);
    EXPECT_EQ(file.Bytes()[44], mark);
    EXPECT_EQ(file.Size(), 1044);
}

TEST_F(SubStreamTest, SizeIsFixed)
{
    TkaSubStream sub(&file, 44, 1000);
    sub.SetSize(10);
    EXPECT_EQ(sub.Size(), 1000);
    EXPECT_EQ(file.Size(), 1044);
}

TEST_F(SubStreamTest, DestroyEventNamesTheSubStreamAndLeavesTheStream)
{
    TkaSubStream* seen = nullptr;
    TkaSubStream* made = nullptr;
    {
        TkaSubStream sub(&file, 44, 1000);
        made = &sub;
        sub.OnDestroy = [&](TkaSubStream* sender) { seen = sender; };
    }
    EXPECT_EQ(seen, made);
    EXPECT_EQ(file.Size(), 1044);
    uint8_t b = 0;
    file.Seek(0, TSeekOrigin::soBeginning);
    EXPECT_EQ(file.Read(&b, 1), 1);
}

TEST_F(SubStreamTest, WindowOutsideItsStreamIsAnAssertion)
{
    EXPECT_EQ(AssertionMessage([&] { TkaSubStream s(nullptr, 44, 10); }).rfind("Assertion failure", 0), 0u);
    EXPECT_EQ(AssertionMessage([&] { TkaSubStream s(&file, 0, 10); }).rfind("Assertion failure", 0), 0u);
    EXPECT_EQ(AssertionMessage([&] { TkaSubStream s(&file, 1044, 1); }).rfind("Assertion failure", 0), 0u);
    EXPECT_EQ(AssertionMessage([&] { TkaSubStream s(&file, 44, 1001); }).rfind("Assertion failure", 0), 0u);
    EXPECT_EQ(AssertionMessage([&] { TkaSubStream s(&file, 44, -1); }).rfind("Assertion failure", 0), 0u);
    EXPECT_EQ(AssertionMessage([&] { TkaSubStream s(&file, 2000, 0); }).rfind("Assertion failure", 0), 0u);
    EXPECT_EQ(AssertionMessage([&] { TkaSubStream s(&file, 44, 1000); }), "no assertion");
    EXPECT_EQ(AssertionMessage([&] { TkaSubStream s(&file, 1, 1043); }), "no assertion");
}

TEST_F(SubStreamTest, EmptyWindowAtTheEndReadsNothing)
{
    TkaSubStream sub(&file, 1044, 0);
    uint8_t b = 0;
    EXPECT_EQ(sub.Size(), 0);
    EXPECT_EQ(sub.Read(&b, 1), 0);
    EXPECT_EQ(sub.Seek(10, TSeekOrigin::soBeginning), 0);
    EXPECT_THROW(sub.Write(&b, 1), ESubStreamError);
    EXPECT_EQ(file.Size(), 1044);
}

TEST_F(SubStreamTest, ShortUnderlyingReadAdvancesOnlyByWhatCame)
{
    TkaSubStream sub(&file, 44, 1000);
    file.SetSize(100); // the file shrank under the window
    Bytes got(1000);
    EXPECT_EQ(sub.Read(got.data(), 1000), 56);
    EXPECT_EQ(sub.Position(), 56);
    EXPECT_EQ(sub.Read(got.data(), 1000), 0);
}
