#include "audioio_support.h"

#include "audio/kaAudioControls.h"
#include "rtl/Filer.h"
#include "rtl/Stream.h"

#include <string>

using namespace audioio_test;

namespace {

class StoredTest : public VirtualDeviceTest {};

std::string Bytes(rtl::TMemoryStream& s)
{
    std::string bytes(static_cast<size_t>(s.Size()), '\0');
    s.SetPosition(0);
    s.Read(bytes.data(), static_cast<int32_t>(bytes.size()));
    s.SetPosition(0);
    return bytes;
}

} // namespace

TEST_F(StoredTest, InputPropertiesRoundTripAndAutoOpenStaysOffAsStored)
{
    TkaAudioIn stored(nullptr);
    stored.SetAutoOpen(false);
    stored.SetBufferSize(22054);
    stored.SetBufferCount(6);
    stored.SetAutoAdjustBufferSize(false);
    SetPcm(*stored.Format(), 2, 44100, 16);
    rtl::TMemoryStream stream;
    rtl::WriteProperties(stream, stored);
    const std::string bytes = Bytes(stream);
    EXPECT_NE(bytes.find("Format.FormatBuffer"), std::string::npos);
    EXPECT_NE(bytes.find("AutoOpen"), std::string::npos);

    TkaAudioIn loaded(nullptr);
    loaded.ReadState(stream);
    EXPECT_FALSE(loaded.Active());
    EXPECT_FALSE(loaded.AutoOpen());
    EXPECT_EQ(loaded.BufferSize(), 22054u);
    EXPECT_EQ(loaded.BufferCount(), 6);
    EXPECT_FALSE(loaded.AutoAdjustBufferSize());
    EXPECT_TRUE(loaded.Format()->IsEqual(*stored.Format()));
}

TEST_F(StoredTest, AutoOpenOpensTheDeviceOnceLoaded)
{
    TkaAudioOut stored(nullptr);
    stored.SetBufferCount(4);
    stored.SetMaximumBuffers(9);
    SetPcm(*stored.Format(), 1, 22050, 16);
    rtl::TMemoryStream stream;
    rtl::WriteProperties(stream, stored);
    stream.SetPosition(0);

    TkaAudioOut loaded(nullptr);
    loaded.ReadState(stream);
    EXPECT_TRUE(loaded.Active());
    EXPECT_EQ(loaded.BufferCount(), 4);
    EXPECT_EQ(loaded.MaximumBuffers(), 9u);
    EXPECT_EQ(loaded.PrebufferCount(), 4);
    EXPECT_EQ(Device().openCount(platform::wave::Direction::Output), 1);
}

TEST_F(StoredTest, StoredInputBufferCountBelowTwoIsRefused)
{
    TkaAudioOut stored(nullptr); // an output stores BufferCount 0
    stored.SetAutoOpen(false);
    rtl::TMemoryStream stream;
    rtl::WriteProperties(stream, stored);
    stream.SetPosition(0);
    TkaAudioIn loaded(nullptr);
    EXPECT_THROW(loaded.ReadState(stream), rtl::Exception);
    EXPECT_EQ(loaded.BufferCount(), 4);
    EXPECT_FALSE(loaded.Active());
}

TEST_F(StoredTest, OscilloscopeSettingsRoundTrip)
{
    TkaOscilloscope stored;
    stored.SetColor(QColor(0, 84, 227));
    stored.SetLayout(olOverlay);
    stored.SetNumberOfPoints(123);
    stored.SetOrientation(ooVertical);
    stored.SetTransparent(true);
    TkaPen pen;
    pen.Color = QColor(0, 255, 0);
    pen.Width = 2;
    stored.SetPenLeft(pen);
    pen.Color = QColor(255, 255, 0);
    pen.Style = Qt::DashLine;
    stored.SetPenRight(pen);
    rtl::TMemoryStream stream;
    rtl::WriteProperties(stream, stored);
    EXPECT_NE(Bytes(stream).find("PenLeft.Color"), std::string::npos);

    TkaOscilloscope loaded;
    loaded.ReadState(stream);
    EXPECT_EQ(loaded.Color(), QColor(0, 84, 227));
    EXPECT_FALSE(loaded.ParentColor());
    EXPECT_EQ(loaded.Layout(), olOverlay);
    EXPECT_EQ(loaded.NumberOfPoints(), 123);
    EXPECT_EQ(loaded.Orientation(), ooVertical);
    EXPECT_TRUE(loaded.Transparent());
    EXPECT_EQ(loaded.PenLeft().Color, QColor(0, 255, 0));
    EXPECT_EQ(loaded.PenLeft().Width, 2);
    EXPECT_EQ(loaded.PenRight().Color, QColor(255, 255, 0));
    EXPECT_EQ(loaded.PenRight().Style, Qt::DashLine);
}
