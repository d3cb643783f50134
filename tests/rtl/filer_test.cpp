#include "rtl/Component.h"
#include "rtl/Filer.h"
#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace rtl;

namespace {

class TBlob : public TPersistent {
public:
    std::array<uint8_t, 16> bytes{};
    std::string ClassName() const override { return "TBlob"; }
    void DefineProperties(TFiler& filer) override
    {
        filer.DefineBinaryProperty(
            "Data", [this](TStream& s) { s.ReadBuffer(bytes.data(), 16); },
            [this](TStream& s) { s.WriteBuffer(bytes.data(), 16); }, true);
    }

protected:
    void AssignTo(TPersistent* dest) const override
    {
        if (auto* blob = dynamic_cast<TBlob*>(dest))
            blob->bytes = bytes;
        else
            TPersistent::AssignTo(dest);
    }
};

class TDevice : public TComponent {
public:
    explicit TDevice(TComponent* owner) : TComponent(owner) {}
    int32_t bufferSize = 0;
    bool autoOpen = true;
    std::string caption;
    TBlob format;
    bool loadedSawValues = false;

    void DefineProperties(TFiler& filer) override
    {
        filer.DefineInteger("BufferSize", [this] { return bufferSize; }, [this](int32_t v) { bufferSize = v; });
        filer.DefineBoolean("AutoOpen", [this] { return autoOpen; }, [this](bool v) { autoOpen = v; });
        filer.DefineString("Caption", [this] { return caption; }, [this](const std::string& v) { caption = v; });
        filer.DefineNested("Format", format);
    }

protected:
    void Loaded() override
    {
        TComponent::Loaded();
        loadedSawValues = bufferSize != 0;
    }
};

TMemoryStream Stored(TDevice& d)
{
    TMemoryStream s;
    WriteProperties(s, d);
    s.SetPosition(0);
    return s;
}

} // namespace

TEST(StoredProperties, RoundTripOfEveryKindThenLoaded)
{
    TDevice original(nullptr);
    original.bufferSize = -22052;
    original.autoOpen = false;
    original.caption = "Lime \xC3\xA9";
    for (int i = 0; i < 16; ++i)
        original.format.bytes[i] = static_cast<uint8_t>(i * 17);
    TMemoryStream s = Stored(original);

    TDevice copy(nullptr);
    copy.ReadState(s);
    EXPECT_EQ(copy.bufferSize, -22052);
    EXPECT_FALSE(copy.autoOpen);
    EXPECT_EQ(copy.caption, "Lime \xC3\xA9");
    EXPECT_EQ(copy.format.bytes, original.format.bytes);
    EXPECT_TRUE(copy.loadedSawValues);
    EXPECT_FALSE(copy.IsLoading());
}

TEST(StoredProperties, NestedNamesAreQualified)
{
    TDevice d(nullptr);
    TMemoryStream s = Stored(d);
    const std::string bytes(s.Bytes().begin(), s.Bytes().end());
    EXPECT_NE(bytes.find("Format.Data"), std::string::npos);
}

TEST(StoredProperties, HostileStreamsRaiseAndNeverOverRead)
{
    TDevice d(nullptr);
    TMemoryStream good = Stored(d);
    const auto& bytes = good.Bytes();
    // Every truncation of a valid stream is refused cleanly.
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        TMemoryStream s(bytes.data(), cut);
        TDevice target(nullptr);
        EXPECT_THROW(target.ReadState(s), EFilerError) << "cut at " << cut;
        EXPECT_FALSE(target.IsLoading());
    }
    // A huge declared length allocates nothing and raises.
    const uint8_t huge[] = {'L', 'X', 'P', '1', 7, 'C', 'a', 'p', 't', 'i', 'o', 'n', 4, 0xFF, 0xFF, 0xFF, 0x7F};
    TMemoryStream s(huge, sizeof huge);
    EXPECT_THROW(d.ReadState(s), EFilerError);
}

TEST(StoredProperties, UnknownNameAndWrongKindRaise)
{
    const uint8_t unknown[] = {'L', 'X', 'P', '1', 3, 'F', 'o', 'o', 2, 0};
    TMemoryStream s1(unknown, sizeof unknown);
    TDevice d(nullptr);
    EXPECT_THROW(d.ReadState(s1), EFilerError);

    const uint8_t wrongKind[] = {'L', 'X', 'P', '1', 8, 'A', 'u', 't', 'o', 'O', 'p', 'e', 'n', 1, 1, 0, 0, 0, 0};
    TMemoryStream s2(wrongKind, sizeof wrongKind);
    EXPECT_THROW(d.ReadState(s2), EFilerError);

    const uint8_t badSignature[] = {'X', 'X', 'P', '1', 0};
    TMemoryStream s3(badSignature, sizeof badSignature);
    EXPECT_THROW(d.ReadState(s3), EFilerError);
}

TEST(Persistent, AssignCopiesSameKindAndRejectsOthers)
{
    TBlob a, b;
    a.bytes[3] = 9;
    b.Assign(&a);
    EXPECT_EQ(b.bytes[3], 9);
    TDevice device(nullptr);
    EXPECT_THROW(b.Assign(&device), EConvertError);
    EXPECT_THROW(b.Assign(nullptr), EConvertError);
}

TEST(StoredProperties, HandBuiltLayoutReadsLikeAWrittenOne)
{
    TBlob blob;
    for (int i = 0; i < 16; ++i)
        blob.bytes[i] = static_cast<uint8_t>(255 - i);
    TLayoutWriter layout;
    layout.Integer("BufferSize", 22050).Boolean("AutoOpen", false).String("Caption", "Scope");
    layout.Binary("Format.Data", blob.bytes.data(), 16);

    TDevice d(nullptr);
    d.ReadState(layout.Finish());
    EXPECT_EQ(d.bufferSize, 22050);
    EXPECT_FALSE(d.autoOpen);
    EXPECT_EQ(d.caption, "Scope");
    EXPECT_EQ(d.format.bytes, blob.bytes);
    EXPECT_TRUE(d.loadedSawValues);
}
