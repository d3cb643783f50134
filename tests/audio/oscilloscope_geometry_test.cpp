#include "audio/kaOscilloscopeGeometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<TkaPoint> Points(const std::vector<int16_t>& samples, int points, TkaRect rect,
                             TOscilloscopeOrientation orientation = ooHorizontal)
{
    std::vector<TkaPoint> out;
    OscilloscopeChannelPoints(samples.data(), static_cast<int>(samples.size()), points, rect, orientation,
                              out);
    return out;
}

} // namespace

TEST(OscilloscopeGeometry, RoundsHalvesToEven)
{
    EXPECT_EQ(RoundHalfEven(13.5L), 14);
    EXPECT_EQ(RoundHalfEven(12.5L), 12);
    EXPECT_EQ(RoundHalfEven(-13.5L), -14);
    EXPECT_EQ(RoundHalfEven(-0.5L), 0);
    EXPECT_EQ(RoundHalfEven(0.5000001L), 1);
    EXPECT_EQ(RoundHalfEven(2.4999L), 2);
}

TEST(OscilloscopeGeometry, PositiveSampleLiesBelowTheMiddleWithHalfRoundedToEven)
{
    // 54 pixels high: Half 27, 16384 * 27 / 32768 = 13.5, rounded to 14.
    const std::vector<int16_t> samples(10, 16384);
    const auto pts = Points(samples, 10, {0, 0, 219, 54});
    ASSERT_EQ(pts.size(), 10u);
    for (const TkaPoint& p : pts)
        EXPECT_EQ(p.Y, 41);
    // 52 high: Half 26, 16384 * 26 / 32768 = 13 exactly.
    EXPECT_EQ(Points(samples, 10, {0, 0, 219, 52})[0].Y, 26 + 13);
    // 50 high: Half 25, 12.5 rounds to 12.
    EXPECT_EQ(Points(samples, 10, {0, 0, 219, 50})[0].Y, 25 + 12);
}

TEST(OscilloscopeGeometry, ExtremeSamplesStayInsideTheHalves)
{
    const std::vector<int16_t> samples = {-32768, 32767};
    const auto pts = Points(samples, 10, {0, 0, 100, 54});
    EXPECT_EQ(pts[0].Y, 0);  // 27 - 27
    EXPECT_EQ(pts[9].Y, 54); // 27 + Round(26.999) = 54
    // An odd height: Half 26 (integer half of 53), middle 26.
    EXPECT_EQ(Points(samples, 10, {0, 0, 100, 53})[0].Y, 0);
}

TEST(OscilloscopeGeometry, SixThousandFramesAtTwoHundredPointsPickEveryThirtiethSample)
{
    std::vector<int16_t> samples(6000);
    for (int i = 0; i < 6000; ++i)
        samples[i] = static_cast<int16_t>(i); // the sample value tells its index
    // Half 32768 maps a sample value onto itself.
    const auto pts = Points(samples, 200, {0, -32768, 219, 32768});
    ASSERT_EQ(pts.size(), 200u);
    for (int k = 0; k < 200; ++k)
        ASSERT_EQ(pts[k].Y, 30 * k) << "point " << k;
    EXPECT_EQ(pts.front().X, 0);
    EXPECT_EQ(pts.back().X, 219); // the last point falls on the right edge
    // Points are spread by Dx = 219 / 199 with repeated addition: X = Round(k * Dx).
    EXPECT_EQ(pts[1].X, 1);
    EXPECT_EQ(pts[100].X, 110); // 110.05...
}

TEST(OscilloscopeGeometry, MorePointsThanSamplesRepeatSamples)
{
    const std::vector<int16_t> samples = {0, 32767 / 2, -32768 / 2};
    const auto pts = Points(samples, 12, {0, 0, 110, 200});
    ASSERT_EQ(pts.size(), 12u);
    // Step 0.25: indices 0,0,0,0,1,1,1,1,2,2,2,2.
    for (int k = 0; k < 12; ++k) {
        const int expectedY = k < 4 ? 100 : (k < 8 ? 100 + 50 : 100 - 50);
        EXPECT_EQ(pts[k].Y, expectedY) << k;
    }
    EXPECT_EQ(pts[11].X, 110);
}

TEST(OscilloscopeGeometry, VerticalOrientationExchangesTheAxes)
{
    std::vector<int16_t> samples(100, 16384);
    samples[0] = -16384;
    const auto pts = Points(samples, 10, {10, 20, 64, 65}, ooVertical);
    ASSERT_EQ(pts.size(), 10u);
    // Half = 54 / 2 = 27 across, middle 37; time runs from 20 to 65.
    EXPECT_EQ(pts[0], (TkaPoint{37 - 14, 20}));
    EXPECT_EQ(pts[1], (TkaPoint{37 + 14, 25}));
    EXPECT_EQ(pts[9], (TkaPoint{37 + 14, 65}));
}

TEST(OscilloscopeGeometry, EmptyChannelDrawsNothing)
{
    EXPECT_TRUE(Points({}, 200, {0, 0, 219, 54}).empty());
    std::vector<TkaPoint> out{{1, 2}};
    OscilloscopeChannelPoints(nullptr, 5, 200, {0, 0, 219, 54}, ooHorizontal, out);
    EXPECT_TRUE(out.empty());
}

TEST(OscilloscopeGeometry, OneSampleFillsTheWholeWidth)
{
    const auto pts = Points({8192}, 10, {0, 0, 219, 54});
    ASSERT_EQ(pts.size(), 10u);
    for (const TkaPoint& p : pts)
        EXPECT_EQ(p.Y, 27 + 7); // 6.75 rounds to 7
    EXPECT_EQ(pts.back().X, 219);
}

TEST(OscilloscopeGeometry, LayoutsSplitTheClientRectangle)
{
    const TkaRect client{0, 0, 219, 54};
    const auto lr = OscilloscopeChannelPlan(olLeftRight, client);
    ASSERT_EQ(lr.Count, 2);
    EXPECT_FALSE(lr.Channels[0].Right);
    EXPECT_EQ(lr.Channels[0].Rect.Right, 109);
    EXPECT_TRUE(lr.Channels[1].Right);
    EXPECT_EQ(lr.Channels[1].Rect.Left, 109);
    EXPECT_EQ(lr.Channels[1].Rect.Right, 219);

    const auto tb = OscilloscopeChannelPlan(olTopBottom, client);
    ASSERT_EQ(tb.Count, 2);
    EXPECT_EQ(tb.Channels[0].Rect.Bottom, 27);
    EXPECT_EQ(tb.Channels[1].Rect.Top, 27);
    EXPECT_EQ(tb.Channels[1].Rect.Bottom, 54);

    const auto left = OscilloscopeChannelPlan(olLeftChannel, client);
    ASSERT_EQ(left.Count, 1);
    EXPECT_FALSE(left.Channels[0].Right);
    const auto right = OscilloscopeChannelPlan(olRightChannel, client);
    ASSERT_EQ(right.Count, 1);
    EXPECT_TRUE(right.Channels[0].Right);
    EXPECT_EQ(right.Channels[0].Rect.Right, 219);

    const auto overlay = OscilloscopeChannelPlan(olOverlay, client);
    ASSERT_EQ(overlay.Count, 2);
    EXPECT_FALSE(overlay.Channels[0].Right); // the right channel is drawn last, on top
    EXPECT_TRUE(overlay.Channels[1].Right);
    EXPECT_EQ(overlay.Channels[1].Rect.Bottom, 54);
}

TEST(OscilloscopeGeometry, LeftRightPointsMeetAtTheSplit)
{
    const std::vector<int16_t> samples(50, 0);
    const auto plan = OscilloscopeChannelPlan(olLeftRight, {0, 0, 219, 54});
    const auto left = Points(samples, 200, plan.Channels[0].Rect);
    const auto right = Points(samples, 200, plan.Channels[1].Rect);
    EXPECT_EQ(left.front().X, 0);
    EXPECT_EQ(left.back().X, 109);
    EXPECT_EQ(right.front().X, 109);
    EXPECT_EQ(right.back().X, 219);
}
