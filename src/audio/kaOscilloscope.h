#pragma once

// The live waveform view: TkaAudioControl, a small widget that observes a control source and
// repaints for every buffer it passes on, and the oscilloscope, which draws the latest buffer
// as one polyline per channel.

#include "audio/kaAudioControlSource.h"
#include "audio/kaAudioSubject.h"
#include "audio/kaOscilloscopeGeometry.h"
#include "rtl/Events.h"
#include "rtl/Persistent.h"

#include <QColor>
#include <QPoint>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QPainter;

// A pen: colour, width and style, stored as "Color", "Width" and "Style".
class TkaPen : public rtl::TPersistent {
public:
    std::string ClassName() const override { return "TkaPen"; }
    void DefineProperties(rtl::TFiler& filer) override;

    QColor Color = Qt::black;
    int Width = 1;
    Qt::PenStyle Style = Qt::SolidLine;

protected:
    void AssignTo(rtl::TPersistent* dest) const override;
};

// Sender, and Handled passed by reference.
using THandledEvent = std::function<void(rtl::TComponent* sender, bool& handled)>;

// The widget base of the audio controls. It is an audio observer of a control source; the
// window's widget tree or a component owner may own it (either way it leaves the other).
class TkaAudioControl : public QWidget, public TkaAudioComponent {
public:
    explicit TkaAudioControl(QWidget* parent = nullptr, rtl::TComponent* owner = nullptr);
    ~TkaAudioControl() override;

    std::string ClassName() const override { return "TkaAudioControl"; }
    void DefineProperties(rtl::TFiler& filer) override;

    // The control source observed (none detaches).
    TkaAudioControlSource* AudioControlSource() const;
    void SetAudioControlSource(TkaAudioControlSource* value);

    // The background: Color, or the parent's background while ParentColor is set.
    QColor Color() const { return color_; }
    void SetColor(const QColor& value);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);
    QColor BackgroundColor() const;

    // No background fill: whatever lies behind shows through the polylines.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);

    IkaAudioObserver* QueryAudioObserver() override { return observer_; }

    // Called at the start of every paint with Handled false; Handled true skips the fill.
    THandledEvent OnPaintBackground;

    // Paints the control as it would appear, into any painter (a window or an image).
    void PaintTo(QPainter& painter);

protected:
    // A buffer went by: repaint.
    virtual void DoReceiveAudio(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize);
    virtual void PaintBackground(QPainter& painter);
    virtual void Paint(QPainter& painter);
    void paintEvent(QPaintEvent* event) override;

    // What the control source holds (nothing when there is none).
    const int16_t* LeftSamples() const;
    const int16_t* RightSamples() const;
    int32_t SampleCount() const;

private:
    TkaAudioObserver* observer_ = nullptr; // owned (component ownership)
    bool transparent_ = false;
    QColor color_;
    bool parentColor_ = true;
};

class TkaCustomOscilloscope : public TkaAudioControl {
public:
    explicit TkaCustomOscilloscope(QWidget* parent = nullptr, rtl::TComponent* owner = nullptr);

    std::string ClassName() const override { return "TkaCustomOscilloscope"; }
    void DefineProperties(rtl::TFiler& filer) override;

    TOscilloscopeLayout Layout() const { return layout_; }
    void SetLayout(TOscilloscopeLayout value);
    static constexpr int32_t kMaxNumberOfPoints = 1 << 20;
    int32_t NumberOfPoints() const { return numberOfPoints_; }
    // Raises EOscilloscopeError "Invalid number of points." below 10 (and above a million).
    void SetNumberOfPoints(int32_t value);
    TOscilloscopeOrientation Orientation() const { return orientation_; }
    void SetOrientation(TOscilloscopeOrientation value);
    // Setting copies the given pen.
    const TkaPen& PenLeft() const { return penLeft_; }
    void SetPenLeft(const TkaPen& value);
    const TkaPen& PenRight() const { return penRight_; }
    void SetPenRight(const TkaPen& value);

protected:
    void Paint(QPainter& painter) override;
    virtual void DrawChannel(QPainter& painter, const int16_t* samples, const TkaRect& rect,
                             const TkaPen& pen);

private:
    TOscilloscopeLayout layout_ = olTopBottom;
    int32_t numberOfPoints_ = 200;
    TOscilloscopeOrientation orientation_ = ooHorizontal;
    TkaPen penLeft_;
    TkaPen penRight_;
    // Reused from paint to paint.
    std::vector<TkaPoint> points_;
    std::vector<QPoint> polyline_;
};

// The oscilloscope as placed on a window.
class TkaOscilloscope : public TkaCustomOscilloscope {
public:
    using TkaCustomOscilloscope::TkaCustomOscilloscope;
    std::string ClassName() const override { return "TkaOscilloscope"; }
};
