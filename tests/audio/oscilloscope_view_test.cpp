#include "audio/kaAudioControls.h"
#include "audio/kaAudioIO.h"

#include "audioio_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cstring>
#include <memory>
#include <vector>

namespace {

// A subject that delivers blocks in a format of the test's choosing.
class Feeder : public TkaAudioComponent {
public:
    explicit Feeder(rtl::TComponent* owner)
        : TkaAudioComponent(owner), subject(new TkaAudioSubject(this, &format))
    {
        SetFormat(2, 48000, 16);
    }
    IkaAudioSubject* QueryAudioSubject() override { return subject; }
    void SetFormat(uint16_t channels, uint32_t rate, uint16_t bits)
    {
        format.SetFormatTag(WAVE_FORMAT_PCM);
        format.SetChannels(channels);
        format.SetSamplesPerSec(rate);
        format.SetBitsPerSample(bits);
        format.SetBlockAlign(static_cast<uint16_t>(channels * bits / 8));
        format.SetAvgBytesPerSec(rate * channels * bits / 8);
    }
    void Push(const void* data, int32_t size) { subject->NotifyObservers(subject, data, size); }
    // Stereo 16-bit frames.
    void PushFrames(const std::vector<int16_t>& left, const std::vector<int16_t>& right)
    {
        std::vector<int16_t> frames;
        for (size_t i = 0; i < left.size(); ++i) {
            frames.push_back(left[i]);
            frames.push_back(right[i]);
        }
        Push(frames.data(), static_cast<int32_t>(frames.size() * 2));
    }
    TkaWaveFormat format;
    TkaAudioSubject* subject;
};

const QColor kBack(0, 84, 227);
const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);

class OscilloscopeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        feeder = new Feeder(&owner);
        source = new TkaAudioControlSource(&owner);
        source->SetAudioSource(feeder);
        scope = std::make_unique<TkaOscilloscope>();
        scope->resize(219, 54);
        scope->SetAudioControlSource(source);
        scope->SetColor(kBack);
        scope->SetLayout(olOverlay);
        TkaPen pen;
        pen.Color = kLime;
        scope->SetPenLeft(pen);
        pen.Color = kYellow;
        scope->SetPenRight(pen);
    }
    void TearDown() override { scope.reset(); }

    QImage Draw()
    {
        QImage image(scope->width(), scope->height(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        scope->PaintTo(painter);
        return image;
    }
    static QColor At(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

    rtl::TComponent owner{nullptr};
    Feeder* feeder = nullptr;
    TkaAudioControlSource* source = nullptr;
    std::unique_ptr<TkaOscilloscope> scope;
};

} // namespace

TEST_F(OscilloscopeTest, DefaultsOfANewOscilloscope)
{
    TkaOscilloscope plain;
    EXPECT_EQ(plain.width(), 80);
    EXPECT_EQ(plain.height(), 40);
    EXPECT_EQ(plain.NumberOfPoints(), 200);
    EXPECT_EQ(plain.Layout(), olTopBottom);
    EXPECT_EQ(plain.Orientation(), ooHorizontal);
    EXPECT_TRUE(plain.ParentColor());
    EXPECT_FALSE(plain.Transparent());
    EXPECT_EQ(plain.PenLeft().Color, QColor(Qt::black));
    EXPECT_EQ(plain.PenRight().Width, 1);
    EXPECT_EQ(plain.AudioControlSource(), nullptr);
    EXPECT_NE(QueryAudioObserver(&plain), nullptr);
}

TEST_F(OscilloscopeTest, NumberOfPointsBelowTenIsRefused)
{
    try {
        scope->SetNumberOfPoints(9);
        FAIL();
    } catch (const EOscilloscopeError& e) {
        EXPECT_STREQ(e.what(), "Invalid number of points.");
    }
    EXPECT_EQ(scope->NumberOfPoints(), 200);
    scope->SetNumberOfPoints(10);
    EXPECT_EQ(scope->NumberOfPoints(), 10);
    EXPECT_THROW(scope->SetNumberOfPoints(-5), EACMControlError);
    EXPECT_THROW(scope->SetNumberOfPoints(0x7FFFFFFF), EOscilloscopeError); // a corrupt stored value
    EXPECT_EQ(scope->NumberOfPoints(), 10);
}

TEST_F(OscilloscopeTest, OnlyTheBackgroundBeforeTheFirstBuffer)
{
    const QImage image = Draw();
    for (int y = 0; y < 54; y += 3)
        for (int x = 0; x < 219; x += 7)
            ASSERT_EQ(At(image, x, y), kBack) << x << "," << y;
    scope->SetAudioControlSource(nullptr);
    EXPECT_EQ(At(Draw(), 100, 27), kBack);
}

TEST_F(OscilloscopeTest, PositiveSampleIsDrawnAtY41InA54PixelControl)
{
    feeder->PushFrames(std::vector<int16_t>(600, 16384), std::vector<int16_t>(600, -16384));
    ASSERT_EQ(source->SampleCount(), 600);
    const QImage image = Draw();
    for (int x : {1, 50, 150, 217}) {
        EXPECT_EQ(At(image, x, 41), kLime) << x;   // 27 + Round(13.5)
        EXPECT_EQ(At(image, x, 13), kYellow) << x; // 27 + Round(-13.5)
        EXPECT_EQ(At(image, x, 40), kBack) << x;
        EXPECT_EQ(At(image, x, 42), kBack) << x;
        EXPECT_EQ(At(image, x, 27), kBack) << x; // no middle line
    }
}

TEST_F(OscilloscopeTest, RightChannelIsDrawnOverTheLeftInOverlay)
{
    feeder->PushFrames(std::vector<int16_t>(100, 0), std::vector<int16_t>(100, 0));
    EXPECT_EQ(At(Draw(), 100, 27), kYellow);
    scope->SetLayout(olLeftChannel);
    EXPECT_EQ(At(Draw(), 100, 27), kLime);
    scope->SetLayout(olRightChannel);
    EXPECT_EQ(At(Draw(), 100, 27), kYellow);
}

TEST_F(OscilloscopeTest, LeftRightSplitsAtX109)
{
    scope->SetLayout(olLeftRight);
    feeder->PushFrames(std::vector<int16_t>(100, 0), std::vector<int16_t>(100, 0));
    const QImage image = Draw();
    EXPECT_EQ(At(image, 0, 27), kLime);
    EXPECT_EQ(At(image, 108, 27), kLime);
    EXPECT_EQ(At(image, 109, 27), kYellow); // the right channel starts there, drawn last
    EXPECT_EQ(At(image, 110, 27), kYellow);
    EXPECT_EQ(At(image, 218, 27), kYellow);
}

TEST_F(OscilloscopeTest, TopBottomGivesEachChannelHalfTheHeight)
{
    scope->SetLayout(olTopBottom);
    feeder->PushFrames(std::vector<int16_t>(100, 0), std::vector<int16_t>(100, 0));
    const QImage image = Draw();
    EXPECT_EQ(At(image, 60, 13), kLime);   // middle of 0 ... 27
    EXPECT_EQ(At(image, 60, 40), kYellow); // 27 + 13
    EXPECT_EQ(At(image, 60, 27), kBack);
}

TEST_F(OscilloscopeTest, VerticalOrientationSwingsAcross)
{
    scope->SetOrientation(ooVertical);
    scope->SetLayout(olLeftChannel);
    feeder->PushFrames(std::vector<int16_t>(100, 16384), std::vector<int16_t>(100, 0));
    const QImage image = Draw();
    // Half = 219 div 2 = 109; 16384 * 109 / 32768 = 54.5, rounded to 54 (even).
    for (int y : {2, 20, 50})
        EXPECT_EQ(At(image, 109 + 54, y), kLime) << y;
    EXPECT_EQ(At(image, 109, 20), kBack);
}

TEST_F(OscilloscopeTest, SixThousandFramesAtTwoHundredPoints)
{
    // Only every thirtieth frame is a peak; the polyline must hit exactly those.
    std::vector<int16_t> left(6000, 0);
    for (int i = 0; i < 6000; i += 30)
        left[i] = 16384;
    scope->SetLayout(olLeftChannel);
    feeder->PushFrames(left, std::vector<int16_t>(6000, 0));
    ASSERT_EQ(source->SampleCount(), 6000);
    const QImage image = Draw();
    for (int x = 0; x < 219; ++x)
        ASSERT_EQ(At(image, x, 41), kLime) << x;
    EXPECT_EQ(At(image, 100, 27), kBack); // never dips to the zero samples in between
}

TEST_F(OscilloscopeTest, TransparentLeavesTheBackgroundAlone)
{
    feeder->PushFrames(std::vector<int16_t>(100, 0), std::vector<int16_t>(100, 0));
    scope->SetTransparent(true);
    QImage image = Draw();
    EXPECT_EQ(At(image, 10, 5), QColor(Qt::white));
    EXPECT_EQ(At(image, 10, 27), kYellow);
}

TEST_F(OscilloscopeTest, PaintBackgroundHandlerCanTakeOverTheFill)
{
    int calls = 0;
    scope->OnPaintBackground = [&](rtl::TComponent* sender, bool& handled) {
        EXPECT_EQ(sender, scope.get());
        EXPECT_FALSE(handled);
        ++calls;
        handled = true;
    };
    EXPECT_EQ(At(Draw(), 10, 5), QColor(Qt::white));
    scope->OnPaintBackground = [&](rtl::TComponent*, bool&) { ++calls; };
    EXPECT_EQ(At(Draw(), 10, 5), kBack);
    EXPECT_EQ(calls, 2);
}

TEST_F(OscilloscopeTest, ParentColorFollowsTheParent)
{
    QWidget parent;
    QPalette palette = parent.palette();
    palette.setColor(parent.backgroundRole(), QColor(10, 20, 30));
    parent.setPalette(palette);
    TkaOscilloscope child(&parent);
    EXPECT_EQ(child.BackgroundColor(), QColor(10, 20, 30));
    child.SetColor(kBack);
    EXPECT_FALSE(child.ParentColor());
    EXPECT_EQ(child.BackgroundColor(), kBack);
}

TEST_F(OscilloscopeTest, WidgetPaintsThroughItsPaintEvent)
{
    feeder->PushFrames(std::vector<int16_t>(100, 16384), std::vector<int16_t>(100, 16384));
    QImage image(219, 54, QImage::Format_RGB32);
    image.fill(Qt::white);
    scope->render(&image);
    EXPECT_EQ(At(image, 50, 41), kYellow);
    EXPECT_EQ(At(image, 50, 20), kBack);
}

TEST_F(OscilloscopeTest, ControlSourceSplitsStereoAndKeepsTheLargestCapacity)
{
    int changed = 0;
    source->OnDataChanged = [&](rtl::TComponent* sender) {
        EXPECT_EQ(sender, source);
        ++changed;
    };
    feeder->PushFrames({1, 2, 3}, {-1, -2, -3});
    ASSERT_EQ(source->SampleCount(), 3);
    EXPECT_EQ(source->LeftSamples()[2], 3);
    EXPECT_EQ(source->RightSamples()[0], -1);
    const int16_t* before = source->LeftSamples();
    feeder->PushFrames({7}, {8});
    EXPECT_EQ(source->SampleCount(), 1);
    EXPECT_EQ(source->Capacity(), 3);
    EXPECT_EQ(source->LeftSamples(), before); // reused, not reallocated
    EXPECT_EQ(changed, 2);
}

TEST_F(OscilloscopeTest, ShortBuffersGiveOneFrameOrNone)
{
    const int16_t six[3] = {100, 200, 300};
    feeder->Push(six, 6);
    EXPECT_EQ(source->SampleCount(), 1);
    feeder->Push(six, 3);
    EXPECT_EQ(source->SampleCount(), 0);
    feeder->Push(six, 6);
    feeder->Push(six, -6); // a broken producer's count is an empty buffer
    EXPECT_EQ(source->SampleCount(), 0);
    EXPECT_EQ(At(Draw(), 100, 27), kBack);
}

TEST_F(OscilloscopeTest, ControlSourceConvertsAnyFormatToStereo48k)
{
    feeder->SetFormat(1, 24000, 8);        // mono 8-bit, half the rate
    std::vector<uint8_t> block(240, 0xC0); // +64 of 128: a half-scale positive level
    feeder->Push(block.data(), static_cast<int32_t>(block.size()));
    EXPECT_GE(source->SampleCount(), 470);
    EXPECT_LE(source->SampleCount(), 480);
    const TkaWaveFormat* out = QueryAudioSubject(source)->GetFormat();
    EXPECT_EQ(out->SamplesPerSec(), 48000u);
    EXPECT_EQ(out->Channels(), 2);
    EXPECT_EQ(out->BitsPerSample(), 16);
    const int mid = source->SampleCount() / 2;
    EXPECT_NEAR(source->LeftSamples()[mid], 16384, 300);
    EXPECT_EQ(source->LeftSamples()[mid], source->RightSamples()[mid]);
}

TEST_F(OscilloscopeTest, FailedConversionKeepsThePreviousBuffer)
{
    feeder->PushFrames({5, 6}, {7, 8});
    feeder->format.SetFormatTag(0x7777); // nothing converts this
    EXPECT_THROW(feeder->Push("abcd", 4), EACMError);
    EXPECT_EQ(source->SampleCount(), 2);
    EXPECT_EQ(source->LeftSamples()[1], 6);
}

TEST_F(OscilloscopeTest, ShowsWhatAWaveOutputPlays)
{
    platform::wave::UseVirtualBackend();
    platform::wave::VirtualAudio::instance().reset();
    platform::wave::VirtualAudio::instance().setSpeed(0);
    TkaAudioOut out(nullptr);
    audioio_test::SetPcm(*out.Format(), 2, 48000, 16);
    source->SetAudioSource(&out);
    EXPECT_EQ(source->AudioSource(), &out);
    int repaints = 0;
    source->OnDataChanged = [&](rtl::TComponent*) { ++repaints; };
    out.Open();
    std::vector<int16_t> frames(2 * 6000, 16384);
    out.PlayData(frames.data(), static_cast<int32_t>(frames.size() * 2));
    ASSERT_TRUE(audioio_test::PumpUntil([&] { return repaints == 1; }));
    EXPECT_EQ(source->SampleCount(), 6000);
    EXPECT_EQ(At(Draw(), 100, 41), kYellow);
    out.Close();
    platform::wave::VirtualAudio::instance().reset();

    // Destroying the observed device detaches the source.
    TkaAudioIn* in = new TkaAudioIn(&owner);
    source->SetAudioSource(in);
    delete in;
    EXPECT_EQ(source->AudioSource(), nullptr);
}

TEST_F(OscilloscopeTest, DestroyingTheControlSourceDetachesTheOscilloscope)
{
    delete source;
    source = nullptr;
    EXPECT_EQ(scope->AudioControlSource(), nullptr);
    EXPECT_EQ(At(Draw(), 100, 27), kBack);
}
