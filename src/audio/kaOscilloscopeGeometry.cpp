#include "audio/kaOscilloscopeGeometry.h"

#include <cfenv>
#include <cmath>

TkaChannelPlan OscilloscopeChannelPlan(TOscilloscopeLayout layout, const TkaRect& client)
{
    const int halfW = (client.Right - client.Left) / 2;
    const int halfH = (client.Bottom - client.Top) / 2;
    TkaChannelPlan plan;
    switch (layout) {
    case olLeftRight:
        plan.Count = 2;
        plan.Channels[0] = {false, {client.Left, client.Top, halfW, client.Bottom}};
        plan.Channels[1] = {true, {halfW, client.Top, client.Right, client.Bottom}};
        break;
    case olTopBottom:
        plan.Count = 2;
        plan.Channels[0] = {false, {client.Left, client.Top, client.Right, halfH}};
        plan.Channels[1] = {true, {client.Left, halfH, client.Right, client.Bottom}};
        break;
    case olLeftChannel:
        plan.Count = 1;
        plan.Channels[0] = {false, client};
        break;
    case olRightChannel:
        plan.Count = 1;
        plan.Channels[0] = {true, client};
        break;
    case olOverlay:
        plan.Count = 2;
        plan.Channels[0] = {false, client};
        plan.Channels[1] = {true, client};
        break;
    }
    return plan;
}

int RoundHalfEven(long double value)
{
    // nearbyint follows the rounding mode, which is to-nearest-even unless someone changed it.
    const int saved = std::fegetround();
    if (saved != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    const long double r = std::nearbyint(value);
    if (saved != FE_TONEAREST)
        std::fesetround(saved);
    return static_cast<int>(r);
}

namespace {

// Offset of a sample from the middle line: an integer product divided as a float.
int SampleOffset(int16_t sample, int half)
{
    const int64_t product = static_cast<int64_t>(sample) * half;
    return RoundHalfEven(static_cast<long double>(product) / 32768.0L);
}

} // namespace

void OscilloscopeChannelPoints(const int16_t* samples, int sampleCount, int numberOfPoints,
                               const TkaRect& rect, TOscilloscopeOrientation orientation,
                               std::vector<TkaPoint>& points)
{
    points.clear();
    if (!samples || sampleCount <= 0 || numberOfPoints < 2)
        return;
    const bool horizontal = orientation == ooHorizontal;
    // The axis the samples swing on, and the axis time runs along.
    const int swingFirst = horizontal ? rect.Top : rect.Left;
    const int swingLast = horizontal ? rect.Bottom : rect.Right;
    const int timeFirst = horizontal ? rect.Left : rect.Top;
    const int timeLast = horizontal ? rect.Right : rect.Bottom;

    const int half = (swingLast - swingFirst) / 2;
    const int mid = swingFirst + half;
    const long double step = static_cast<long double>(sampleCount) / numberOfPoints;
    const long double delta = static_cast<long double>(timeLast - timeFirst) / (numberOfPoints - 1);

    auto place = [&](int time, int sampleIndex) {
        const int swing = mid + SampleOffset(samples[sampleIndex], half);
        points.push_back(horizontal ? TkaPoint{time, swing} : TkaPoint{swing, time});
    };

    points.reserve(static_cast<std::size_t>(numberOfPoints));
    place(timeFirst, 0);
    long double t = timeFirst + delta;
    long double pos = step;
    for (int k = 1; k < numberOfPoints; ++k) {
        int index = static_cast<int>(pos); // Trunc: pos is never negative
        if (index >= sampleCount)
            index = sampleCount - 1;
        place(RoundHalfEven(t), index);
        t += delta;
        pos += step;
    }
}
