#include "audio/kaOscilloscope.h"

#include "audio/kaAudioConsts.h"
#include "audio/kaErrors.h"

#include <QPainter>
#include <QPalette>
#include <QPen>

// ---- TkaPen ----

void TkaPen::DefineProperties(rtl::TFiler& filer)
{
    rtl::TPersistent::DefineProperties(filer);
    filer.DefineInteger(
        "Color", [this] { return static_cast<int32_t>(Color.rgba()); },
        [this](int32_t v) { Color = QColor::fromRgba(static_cast<QRgb>(v)); });
    filer.DefineInteger(
        "Width", [this] { return static_cast<int32_t>(Width); },
        [this](int32_t v) { Width = v < 0 ? 0 : v; });
    filer.DefineInteger(
        "Style", [this] { return static_cast<int32_t>(Style); },
        [this](int32_t v) {
            Style = v >= Qt::NoPen && v <= Qt::DashDotDotLine ? static_cast<Qt::PenStyle>(v) : Qt::SolidLine;
        });
}

void TkaPen::AssignTo(rtl::TPersistent* dest) const
{
    if (auto* pen = dynamic_cast<TkaPen*>(dest)) {
        pen->Color = Color;
        pen->Width = Width;
        pen->Style = Style;
        return;
    }
    rtl::TPersistent::AssignTo(dest);
}

// ---- TkaAudioControl ----

TkaAudioControl::TkaAudioControl(QWidget* parent, rtl::TComponent* owner)
    : QWidget(parent), TkaAudioComponent(owner)
{
    observer_ = new TkaAudioObserver(this);
    observer_->OnReceive = [this](IkaAudioSubject* sender, const void* data, int32_t size) {
        DoReceiveAudio(sender, data, size);
    };
    resize(80, 40);
    color_ = palette().color(QPalette::Base); // the system's window colour
}

TkaAudioControl::~TkaAudioControl()
{
    delete observer_;
    observer_ = nullptr;
}

void TkaAudioControl::DefineProperties(rtl::TFiler& filer)
{
    TkaAudioComponent::DefineProperties(filer);
    filer.DefineInteger(
        "Color", [this] { return static_cast<int32_t>(color_.rgba()); },
        [this](int32_t v) { color_ = QColor::fromRgba(static_cast<QRgb>(v)); });
    filer.DefineBoolean(
        "ParentColor", [this] { return parentColor_; }, [this](bool v) { SetParentColor(v); });
    filer.DefineBoolean(
        "Transparent", [this] { return transparent_; }, [this](bool v) { SetTransparent(v); });
}

TkaAudioControlSource* TkaAudioControl::AudioControlSource() const
{
    return observer_ ? dynamic_cast<TkaAudioControlSource*>(observer_->AudioSource()) : nullptr;
}

void TkaAudioControl::SetAudioControlSource(TkaAudioControlSource* value)
{
    if (observer_)
        observer_->SetAudioSource(value);
    update();
}

void TkaAudioControl::SetColor(const QColor& value)
{
    color_ = value;
    parentColor_ = false;
    update();
}

void TkaAudioControl::SetParentColor(bool value)
{
    parentColor_ = value;
    update();
}

QColor TkaAudioControl::BackgroundColor() const
{
    if (parentColor_ && parentWidget())
        return parentWidget()->palette().color(parentWidget()->backgroundRole());
    return color_;
}

void TkaAudioControl::SetTransparent(bool value)
{
    transparent_ = value;
    update();
}

void TkaAudioControl::DoReceiveAudio(IkaAudioSubject*, const void*, int32_t)
{
    update();
}

const int16_t* TkaAudioControl::LeftSamples() const
{
    const TkaAudioControlSource* source = AudioControlSource();
    return source ? source->LeftSamples() : nullptr;
}

const int16_t* TkaAudioControl::RightSamples() const
{
    const TkaAudioControlSource* source = AudioControlSource();
    return source ? source->RightSamples() : nullptr;
}

int32_t TkaAudioControl::SampleCount() const
{
    const TkaAudioControlSource* source = AudioControlSource();
    return source ? source->SampleCount() : 0;
}

void TkaAudioControl::PaintBackground(QPainter& painter)
{
    painter.fillRect(rect(), BackgroundColor());
}

void TkaAudioControl::Paint(QPainter& painter)
{
    bool handled = false;
    if (OnPaintBackground)
        OnPaintBackground(this, handled);
    if (!handled && !transparent_)
        PaintBackground(painter);
}

void TkaAudioControl::PaintTo(QPainter& painter)
{
    Paint(painter);
}

void TkaAudioControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Paint(painter);
}

// ---- TkaCustomOscilloscope ----

TkaCustomOscilloscope::TkaCustomOscilloscope(QWidget* parent, rtl::TComponent* owner)
    : TkaAudioControl(parent, owner)
{
    penLeft_.Width = 1;
    penLeft_.Style = Qt::SolidLine;
    penRight_.Assign(&penLeft_);
    points_.reserve(256);
    polyline_.reserve(256);
}

void TkaCustomOscilloscope::DefineProperties(rtl::TFiler& filer)
{
    TkaAudioControl::DefineProperties(filer);
    filer.DefineInteger(
        "Layout", [this] { return static_cast<int32_t>(layout_); },
        [this](int32_t v) {
            if (v >= olLeftRight && v <= olOverlay)
                SetLayout(static_cast<TOscilloscopeLayout>(v));
        });
    filer.DefineInteger(
        "NumberOfPoints", [this] { return numberOfPoints_; }, [this](int32_t v) { SetNumberOfPoints(v); });
    filer.DefineInteger(
        "Orientation", [this] { return static_cast<int32_t>(orientation_); },
        [this](int32_t v) {
            if (v == ooHorizontal || v == ooVertical)
                SetOrientation(static_cast<TOscilloscopeOrientation>(v));
        });
    filer.DefineNested("PenLeft", penLeft_);
    filer.DefineNested("PenRight", penRight_);
}

void TkaCustomOscilloscope::SetLayout(TOscilloscopeLayout value)
{
    layout_ = value;
    update();
}

void TkaCustomOscilloscope::SetNumberOfPoints(int32_t value)
{
    // The upper bound keeps a corrupt stored value from making every paint allocate gigabytes;
    // a control never has anywhere near that many pixels to put points on.
    if (value < 10 || value > kMaxNumberOfPoints)
        throw EOscilloscopeError(SInvalidNumberOfPoints);
    numberOfPoints_ = value;
    update();
}

void TkaCustomOscilloscope::SetOrientation(TOscilloscopeOrientation value)
{
    orientation_ = value;
    update();
}

void TkaCustomOscilloscope::SetPenLeft(const TkaPen& value)
{
    penLeft_.Assign(&value);
    update();
}

void TkaCustomOscilloscope::SetPenRight(const TkaPen& value)
{
    penRight_.Assign(&value);
    update();
}

void TkaCustomOscilloscope::Paint(QPainter& painter)
{
    TkaAudioControl::Paint(painter);
    if (SampleCount() == 0)
        return;
    const TkaChannelPlan plan = OscilloscopeChannelPlan(layout_, {0, 0, width(), height()});
    for (int i = 0; i < plan.Count; ++i) {
        const TkaChannelPlacement& channel = plan.Channels[i];
        DrawChannel(painter, channel.Right ? RightSamples() : LeftSamples(), channel.Rect,
                    channel.Right ? penRight_ : penLeft_);
    }
}

void TkaCustomOscilloscope::DrawChannel(QPainter& painter, const int16_t* samples, const TkaRect& rect,
                                        const TkaPen& pen)
{
    OscilloscopeChannelPoints(samples, SampleCount(), numberOfPoints_, rect, orientation_, points_);
    if (points_.empty())
        return;
    polyline_.clear();
    for (const TkaPoint& p : points_)
        polyline_.emplace_back(p.X, p.Y);
    painter.setPen(QPen(pen.Color, pen.Width, pen.Style));
    painter.drawPolyline(polyline_.data(), static_cast<int>(polyline_.size()));
}
