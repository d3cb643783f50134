#include "audio/kaACM.h"
#include "rtl/Filer.h"
#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A persistent that stores one format the way a component stores its Format property.
class TFormatHolder : public rtl::TPersistent {
public:
    TkaWaveFormat Format;
    void DefineProperties(rtl::TFiler& filer) override { filer.DefineNested("Format", Format); }
};

void FillPattern(TkaWaveFormat& format)
{
    for (size_t i = 0; i < TkaWaveFormat::BufferSize; ++i)
        format.Buffer()[i] = static_cast<uint8_t>(i * 7 + 3);
}

} // namespace

TEST(TkaWaveFormat, NewObjectHasTheDefaults)
{
    TkaWaveFormat f;
    EXPECT_EQ(f.FormatTag(), WAVE_FORMAT_PCM);
    EXPECT_EQ(f.Channels(), 2);
    EXPECT_EQ(f.SamplesPerSec(), 11025u);
    EXPECT_EQ(f.AvgBytesPerSec(), 22050u);
    EXPECT_EQ(f.BlockAlign(), 2);
    EXPECT_EQ(f.BitsPerSample(), 8);
    EXPECT_EQ(f.ExtraSize(), 0);
    for (size_t i = 18; i < 512; ++i)
        ASSERT_EQ(f.Buffer()[i], 0) << "extra byte " << i;
}

TEST(TkaWaveFormat, FieldsSitAtTheirOffsetsLittleEndian)
{
    TkaWaveFormat f;
    f.SetFormatTag(0x1122);
    f.SetChannels(0x3344);
    f.SetSamplesPerSec(0x55667788);
    f.SetAvgBytesPerSec(0x99AABBCC);
    f.SetBlockAlign(0xDDEE);
    f.SetBitsPerSample(0x0F10);
    f.SetExtraSize(0x01EE);
    const uint8_t expected[18] = {0x22, 0x11, 0x44, 0x33, 0x88, 0x77, 0x66, 0x55, 0xCC,
                                  0xBB, 0xAA, 0x99, 0xEE, 0xDD, 0x10, 0x0F, 0xEE, 0x01};
    EXPECT_EQ(std::memcmp(f.Buffer(), expected, 18), 0);
    EXPECT_EQ(f.WaveFormatEx()->nSamplesPerSec, 0x55667788u);
    EXPECT_EQ(static_cast<const void*>(f.WaveFormatEx()), static_cast<const void*>(f.Buffer()));
}

TEST(TkaWaveFormat, SettersDeriveNothing)
{
    TkaWaveFormat f;
    f.SetSamplesPerSec(44100);
    EXPECT_EQ(f.AvgBytesPerSec(), 22050u);
    f.SetChannels(1);
    EXPECT_EQ(f.BlockAlign(), 2);
}

TEST(TkaWaveFormat, ExtraSizeLimit)
{
    TkaWaveFormat f;
    f.SetExtraSize(494);
    EXPECT_EQ(f.ExtraSize(), 494);
    try {
        f.SetExtraSize(495);
        FAIL() << "495 extra bytes accepted";
    } catch (const EACMError& e) {
        EXPECT_STREQ(e.what(), "The wave format buffer is too small.");
    }
    EXPECT_EQ(f.ExtraSize(), 494);
    EXPECT_THROW(f.SetExtraSize(0xFFFF), EACMError);
}

TEST(TkaWaveFormat, StoredExtraSizeBeyondTheBufferReadsCapped)
{
    TkaWaveFormat f;
    f.Buffer()[16] = 600 & 0xFF;
    f.Buffer()[17] = 600 >> 8;
    EXPECT_EQ(f.ExtraSize(), 494);
    EXPECT_EQ(f.WaveFormatEx()->cbSize, 600);
}

TEST(TkaWaveFormat, IsEqualComparesAllBytes)
{
    TkaWaveFormat a, b;
    EXPECT_TRUE(a.IsEqual(b));
    b.Buffer()[511] = 1; // far beyond ExtraSize 0
    EXPECT_FALSE(a.IsEqual(b));
    EXPECT_FALSE(b.IsEqual(a));
    a.Buffer()[511] = 1;
    EXPECT_TRUE(a.IsEqual(b));
}

TEST(TkaWaveFormat, AssignCopiesTheWholeBuffer)
{
    TkaWaveFormat src, dst;
    FillPattern(src);
    dst.Assign(&src);
    EXPECT_TRUE(dst.IsEqual(src));
}

TEST(TkaWaveFormat, AssignFromAnythingElseIsRefused)
{
    TkaWaveFormat dst;
    rtl::TPersistent other;
    EXPECT_THROW(dst.Assign(&other), rtl::EConvertError);
    EXPECT_THROW(dst.Assign(nullptr), rtl::EConvertError);
    EXPECT_TRUE(dst.IsEqual(TkaWaveFormat()));
}

TEST(TkaWaveFormat, SetDefaultsKeepsTheExtraBytes)
{
    TkaWaveFormat f;
    FillPattern(f);
    f.SetDefaults();
    EXPECT_EQ(f.ExtraSize(), 0);
    EXPECT_EQ(f.Channels(), 2);
    EXPECT_EQ(f.Buffer()[100], static_cast<uint8_t>(100 * 7 + 3));
}

TEST(TkaWaveFormat, StoredAsFormatBufferAndRestoredExactly)
{
    TFormatHolder out;
    FillPattern(out.Format);
    rtl::TMemoryStream stream;
    rtl::WriteProperties(stream, out);

    // The stored record names "Format.FormatBuffer" with a 512-byte binary value.
    const auto& bytes = stream.Bytes();
    const std::string name = "Format.FormatBuffer";
    ASSERT_GE(bytes.size(), 4 + 1 + name.size() + 1 + 4 + 512 + 1);
    EXPECT_EQ(bytes[4], name.size());
    EXPECT_EQ(std::string(bytes.begin() + 5, bytes.begin() + 5 + name.size()), name);
    const size_t kindAt = 5 + name.size();
    EXPECT_EQ(bytes[kindAt], uint8_t(rtl::TValueKind::vaBinary));
    EXPECT_EQ(bytes[kindAt + 1] | bytes[kindAt + 2] << 8, 512);

    TFormatHolder in;
    stream.SetPosition(0);
    rtl::ReadProperties(stream, in);
    EXPECT_TRUE(in.Format.IsEqual(out.Format));
}

TEST(TkaWaveFormat, CutOffStoredValueLeavesTheFormatAlone)
{
    // A hand-made record whose binary value holds only 100 bytes.
    rtl::TMemoryStream stream;
    const std::string name = "Format.FormatBuffer";
    stream.WriteBuffer("LXP1", 4);
    const uint8_t len = static_cast<uint8_t>(name.size()), kind = uint8_t(rtl::TValueKind::vaBinary);
    stream.WriteBuffer(&len, 1);
    stream.WriteBuffer(name.data(), len);
    stream.WriteBuffer(&kind, 1);
    const uint8_t size[4] = {100, 0, 0, 0};
    stream.WriteBuffer(size, 4);
    const std::string junk(100, '\x7F');
    stream.WriteBuffer(junk.data(), 100);
    const uint8_t end = 0;
    stream.WriteBuffer(&end, 1);

    TFormatHolder in;
    stream.SetPosition(0);
    EXPECT_ANY_THROW(rtl::ReadProperties(stream, in));
    EXPECT_TRUE(in.Format.IsEqual(TkaWaveFormat()));
}
