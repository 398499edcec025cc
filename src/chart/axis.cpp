#include "chart/axis.h"

#include <algorithm>
#include <cmath>

#include "chart/axis_painter.h"
#include "chart/chart.h"
#include "chart/chart_exceptions.h"
#include "runtime/number_text.h"

namespace quorvel {

TCustomChartAxis::TCustomChartAxis(TChart* chart, TAxisKind kind)
    : chart_(chart),
      kind_(kind),
      horizontal_(kind == akTop || kind == akBottom),
      otherSide_(kind == akTop || kind == akRight) {
    TAxisSettings& s = settings_;
    for (TChartPen* pen : {&s.AxisPen, &s.Ticks, &s.TicksInner, &s.MinorTicks, &s.Grid, &s.MinorGrid}) {
        pen->OnChange = [this] { Changed(); };
    }
}

void TCustomChartAxis::Changed() {
    if (chart_ != nullptr) {
        chart_->Invalidate();
    }
}

void TCustomChartAxis::SetIncrement(double v) {
    if (v < 0) {
        throw AxisException("Axis increment must be >= 0");
    }
    Set(settings_.Increment, v);
}

void TCustomChartAxis::SetLabelsSeparation(int v) {
    if (v < 0) {
        throw AxisException("Labels Separation % must be greater than 0");
    }
    Set(settings_.LabelsSeparation, v);
}

void TCustomChartAxis::SetLabelsFont(const TFont& v) {
    Set(settings_.LabelsFont, v);
}

void TCustomChartAxis::SetMinMax(double a, double b) {
    settings_.Automatic = false;
    settings_.AutomaticMinimum = false;
    settings_.AutomaticMaximum = false;
    settings_.Minimum = std::min(a, b);
    settings_.Maximum = std::max(a, b);
    if (settings_.Maximum - settings_.Minimum < 1e-10) {
        settings_.Maximum = settings_.Minimum + 1e-10;
    }
    Changed();
}

bool TCustomChartAxis::CountsAsVisible() const {
    if (chart_ == nullptr || !chart_->AxisVisible() || !settings_.Visible) {
        return false;
    }
    return chart_->AxisHasSeries(*this);
}

const TScaleMap& TCustomChartAxis::Scale() const {
    static const TScaleMap kNone;
    return chart_ != nullptr ? chart_->ScreenLayout().Scale(kind_) : kNone;
}

void TCustomChartAxis::ComputeAutoRange(TRenderContext& context) {
    if (settings_.Automatic || settings_.AutomaticMaximum) {
        settings_.Maximum = horizontal_ ? chart_->HighestXOnAxis(*this) : chart_->HighestYOnAxis(*this);
    }
    if (settings_.Automatic || settings_.AutomaticMinimum) {
        settings_.Minimum = horizontal_ ? chart_->LowestXOnAxis(*this) : chart_->LowestYOnAxis(*this);
    }
    TScaleMap& scale = context.Scale(kind_);
    scale.RangeMin = settings_.Minimum;
    scale.RangeMax = settings_.Maximum;
    scale.Horizontal = horizontal_;
    scale.Inverted = settings_.Inverted;
}

void TCustomChartAxis::ComputePixelSpan(TRenderContext& context) const {
    const TRect& r = context.PlotRect;
    const int origin = horizontal_ ? r.Left : r.Top;
    const int size = horizontal_ ? r.Width() : r.Height();
    TScaleMap& scale = context.Scale(kind_);
    scale.StartPixel = origin + RoundToInt(size * 0.01 * settings_.StartPosition);
    scale.EndPixel = origin + RoundToInt(size * 0.01 * settings_.EndPosition);
}

void TCustomChartAxis::InflateRangeByMargins(TRenderContext& context, int left, int top, int right,
                                             int bottom) const {
    const int a = horizontal_ ? left : top;
    const int b = horizontal_ ? right : bottom;
    TScaleMap& scale = context.Scale(kind_);
    const int s0 = scale.StartPixel;
    const int e0 = scale.EndPixel;
    scale.StartPixel = s0 + a;
    scale.EndPixel = e0 - b;
    const double lo = scale.ToValue(s0);
    const double hi = scale.ToValue(e0);
    ComputePixelSpan(context);
    scale.RangeMin = lo;
    scale.RangeMax = hi;
    if (scale.RangeMin > scale.RangeMax) {
        std::swap(scale.RangeMin, scale.RangeMax);
    }
}

std::string TCustomChartAxis::LabelText(double value, bool askHook) const {
    std::string text = FormatNumber(settings_.AxisValuesFormat, value);
    if (askHook && chart_ != nullptr && chart_->OnGetAxisLabel) {
        chart_->OnGetAxisLabel(const_cast<TCustomChartAxis&>(*this), nullptr, -1, text);
    }
    if (settings_.LabelsMultiLine) {
        std::replace(text.begin(), text.end(), ' ', '\r');
    }
    return text;
}

TAxisLabelStyle TCustomChartAxis::EffectiveLabelStyle() const {
    if (settings_.LabelStyle != talAuto) {
        return settings_.LabelStyle;
    }
    bool anyActive = false;
    for (int i = 0; i < chart_->SeriesCount(); ++i) {
        const TChartSeries& s = chart_->Series(i);
        if (!s.Active() || !s.AssociatedToAxis(*this)) {
            continue;
        }
        anyActive = true;
        // Ordinary series lay their labels along the X values, hence along horizontal axes.
        if (horizontal_ && s.UsesHorizAxis(*this) && s.LabelCount() > 0 && s.HasLabelAt(0)) {
            return talText;
        }
    }
    return anyActive ? talValue : talNone;
}

void TCustomChartAxis::ReserveAxisSpace(TRenderContext& context, TRect& rect) const {
    auto take = [&](int amount) {
        switch (kind_) {
            case akLeft:
                rect.Left += amount;
                return rect.Left;
            case akRight:
                rect.Right -= amount;
                return rect.Right;
            case akTop:
                rect.Top += amount;
                return rect.Top;
            default:
                rect.Bottom -= amount;
                return rect.Bottom;
        }
    };
    const TAxisPainter painter(*this, context);
    TAxisLayout& layout = context.Axis(kind_);
    layout.OuterPos = take(0);
    if (!settings_.Title.empty()) {
        context.Canvas.SetFont(settings_.LabelsFont);
        take(painter.LineHeight());
    }
    if (settings_.Labels) {
        layout.LabelsPos = take(painter.LabelBandSize());
    }
    const int ticks = painter.TickBandSize();
    if (ticks > 0) {
        take(ticks);
    }
    if (settings_.PositionPercent != 0) {
        const TRect& plot = context.PlotRect;
        const int size = horizontal_ ? plot.Height() : plot.Width();
        const int shift = RoundToInt(size * 0.01 * settings_.PositionPercent);
        layout.LabelsPos += (kind_ == akLeft || kind_ == akTop) ? shift : -shift;
    }
}

double TCustomChartAxis::LabelIncrement(const TRenderContext& context) const {
    return TAxisPainter(*this, context).LabelIncrement();
}

void TCustomChartAxis::DrawAxis(TRenderContext& context) const {
    const TRect& r = context.PlotRect;
    TAxisLayout& layout = context.Axis(kind_);
    switch (kind_) {
        case akLeft:
            layout.AxisLinePos = r.Left;
            break;
        case akRight:
            layout.AxisLinePos = r.Right;
            break;
        case akTop:
            layout.AxisLinePos = r.Top;
            break;
        default:
            layout.AxisLinePos = r.Bottom;
            break;
    }
    if (settings_.PositionPercent != 0) {
        const int size = horizontal_ ? r.Height() : r.Width();
        const int shift = RoundToInt(size * 0.01 * settings_.PositionPercent);
        layout.AxisLinePos += (kind_ == akLeft || kind_ == akTop) ? shift : -shift;
    }
    TAxisPainter(*this, context).Draw();
}

bool TCustomChartAxis::HitTest(const TRenderContext& context, int x, int y) const {
    if (!CountsAsVisible()) {
        return false;
    }
    const TAxisLayout& layout = context.Axis(kind_);
    const int along = horizontal_ ? x : y;
    const int across = horizontal_ ? y : x;
    const int lo = std::min(layout.Scale.StartPixel, layout.Scale.EndPixel);
    const int hi = std::max(layout.Scale.StartPixel, layout.Scale.EndPixel);
    if (along < lo || along > hi) {
        return false;
    }
    const int a = std::min(layout.AxisLinePos, layout.OuterPos);
    const int b = std::max(layout.AxisLinePos, layout.OuterPos);
    return across >= a && across <= b;
}

}  // namespace quorvel
