#pragma once

// The drawing math of the oscilloscope, kept apart from any window so it can be checked
// point by point: which rectangle each channel gets for a layout, and where the points of
// a channel's polyline fall inside its rectangle.

#include <cstdint>
#include <vector>

// Which way time runs.
enum TOscilloscopeOrientation { ooHorizontal, ooVertical };

// Which channels are drawn where.
enum TOscilloscopeLayout { olLeftRight, olTopBottom, olLeftChannel, olRightChannel, olOverlay };

struct TkaRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

struct TkaPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TkaPoint&) const = default;
};

// One channel to draw: which samples (left or right) in which rectangle. Channels are drawn
// in the order given, so in olOverlay the right channel lies over the left.
struct TkaChannelPlacement {
    bool Right = false; // false: LeftSamples with PenLeft; true: RightSamples with PenRight
    TkaRect Rect;
};

struct TkaChannelPlan {
    int Count = 0;
    TkaChannelPlacement Channels[2];
};

// Splits the client rectangle (origin 0, 0) for a layout; halves are integer halves.
TkaChannelPlan OscilloscopeChannelPlan(TOscilloscopeLayout layout, const TkaRect& client);

// Rounds to the nearest integer, halves to even.
int RoundHalfEven(long double value);

// The polyline of one channel: numberOfPoints points (at least 2) picking samples
// Trunc(k * sampleCount / numberOfPoints), spread evenly from the rectangle's first edge to
// its last, each sample scaled by the rectangle's integer half and added to its middle line.
// The positions advance by repeated addition in extended precision, so they match the view
// exactly. `points` is reused (no allocation once it is large enough). Nothing is produced for
// an empty channel.
void OscilloscopeChannelPoints(const int16_t* samples, int sampleCount, int numberOfPoints,
                               const TkaRect& rect, TOscilloscopeOrientation orientation,
                               std::vector<TkaPoint>& points);
