#include "chart/axis.h"

#include <algorithm>
#include <cmath>

#include "chart/axis_panel.h"
#include "chart/chart_exceptions.h"
#include "runtime/number_text.h"
#include "runtime/work_steps.h"

namespace quorvel {

namespace {

constexpr double kMaxInt = 2147483647.0;

}  // namespace

TCustomChartAxis::TCustomChartAxis(TCustomAxisPanel* chart, TAxisKind kind)
    : chart_(chart),
      kind_(kind),
      horizontal_(kind == akTop || kind == akBottom),
      otherSide_(kind == akTop || kind == akRight) {
    for (TChartPen* pen : {&axisPen_, &ticks_, &ticksInner_, &minorTicks_, &grid_, &minorGrid_}) {
        pen->OnChange = [this] { Changed(); };
    }
}

void TCustomChartAxis::Changed() {
    if (chart_ != nullptr) {
        chart_->Invalidate();
    }
}

TChartCanvas3D& TCustomChartAxis::Canvas() const {
    return chart_->Canvas();
}

void TCustomChartAxis::SetIncrement(double v) {
    if (v < 0) {
        throw AxisException("Axis increment must be >= 0");
    }
    Set(increment_, v);
}

void TCustomChartAxis::SetLabelsSeparation(int v) {
    if (v < 0) {
        throw AxisException("Labels Separation % must be greater than 0");
    }
    Set(labelsSeparation_, v);
}

void TCustomChartAxis::SetLabelsFont(const TFont& v) {
    Set(labelsFont_, v);
}

void TCustomChartAxis::SetMinMax(double a, double b) {
    automatic_ = false;
    automaticMinimum_ = false;
    automaticMaximum_ = false;
    minimum_ = std::min(a, b);
    maximum_ = std::max(a, b);
    if (maximum_ - minimum_ < 1e-10) {
        maximum_ = minimum_ + 1e-10;
    }
    Changed();
}

bool TCustomChartAxis::CountsAsVisible() const {
    if (chart_ == nullptr || !chart_->AxisVisible() || !visible_) {
        return false;
    }
    // The 3-D view is drawn flat, so the depth axis never takes part.
    if (IsDepthAxis()) {
        return false;
    }
    return chart_->AxisHasSeries(*this);
}

void TCustomChartAxis::ComputeAutoRange() {
    if (automatic_ || automaticMaximum_) {
        maximum_ = horizontal_ ? chart_->HighestXOnAxis(*this) : chart_->HighestYOnAxis(*this);
    }
    if (automatic_ || automaticMinimum_) {
        minimum_ = horizontal_ ? chart_->LowestXOnAxis(*this) : chart_->LowestYOnAxis(*this);
    }
    layout_->RangeMin = minimum_;
    layout_->RangeMax = maximum_;
}

void TCustomChartAxis::ComputePixelSpan() {
    const TRect& r = chart_->PlotRect();
    const int origin = horizontal_ ? r.Left : r.Top;
    const int size = horizontal_ ? r.Width() : r.Height();
    layout_->StartPixel = origin + RoundToInt(size * 0.01 * startPosition_);
    layout_->EndPixel = origin + RoundToInt(size * 0.01 * endPosition_);
}

void TCustomChartAxis::SetScale(const TScaleMap& scale) {
    layout_->RangeMin = scale.RangeMin;
    layout_->RangeMax = scale.RangeMax;
    layout_->StartPixel = scale.StartPixel;
    layout_->EndPixel = scale.EndPixel;
}

void TCustomChartAxis::InflateRangeByMargins(int left, int top, int right, int bottom) {
    const int a = horizontal_ ? left : top;
    const int b = horizontal_ ? right : bottom;
    const int s0 = layout_->StartPixel;
    const int e0 = layout_->EndPixel;
    layout_->StartPixel = s0 + a;
    layout_->EndPixel = e0 - b;
    const double lo = PixelToValue(s0);
    const double hi = PixelToValue(e0);
    ComputePixelSpan();
    layout_->RangeMin = lo;
    layout_->RangeMax = hi;
    if (layout_->RangeMin > layout_->RangeMax) {
        std::swap(layout_->RangeMin, layout_->RangeMax);
    }
}

std::string TCustomChartAxis::LabelText(double value) const {
    std::string text = FormatNumber(axisValuesFormat_, value);
    if (chart_ != nullptr && chart_->OnGetAxisLabel && !chart_->AxisLabelHookSuspended) {
        chart_->OnGetAxisLabel(const_cast<TCustomChartAxis&>(*this), nullptr, -1, text);
    }
    if (labelsMultiLine_) {
        std::replace(text.begin(), text.end(), ' ', '\r');
    }
    return text;
}

int TCustomChartAxis::LineHeight() const {
    return Canvas().TextHeight("W");
}

int TCustomChartAxis::LineCount(const std::string& text) const {
    return static_cast<int>(std::count(text.begin(), text.end(), '\r')) + 1;
}

int TCustomChartAxis::LabelExtent(const std::string& text) const {
    const bool rotated = labelsAngle_ == 90 || labelsAngle_ == 270;
    const bool alongWidth = horizontal_ != rotated;
    if (alongWidth) {
        int widest = 0;
        for (const std::string& line : SplitMarkLines(text)) {
            widest = std::max(widest, Canvas().TextWidth(line));
        }
        return widest;
    }
    return LineHeight() * LineCount(text);
}

double TCustomChartAxis::NextNiceStep(double x) {
    if (!std::isfinite(x) || x <= 0) {
        return x;  // no nicer step exists; callers stop on a non-finite step
    }
    if (x >= 10) {
        return 10 * NextNiceStep(x * 0.1);
    }
    if (x < 1) {
        return 0.1 * NextNiceStep(x * 10);
    }
    if (x < 2) {
        return 2;
    }
    if (x < 5) {
        return 5;
    }
    return 10;
}

double TCustomChartAxis::IncrementForLabelCount(int n) const {
    if (n < 1) {
        return 1e-12;
    }
    double step = increment_ > 0 ? increment_ : (std::fabs(layout_->RangeSpan()) >= 1 ? 1.0 : 1e-12);
    if (!std::isfinite(layout_->RangeSpan())) {
        // A range of infinities or not-a-numbers has no step; the label loop then draws nothing.
        return 1e-12;
    }
    if (labelsSeparation_ > 0) {
        while (std::isfinite(step)) {
            const double q = layout_->RangeSpan() / step;
            if (std::fabs(q) < kMaxInt && RoundHalfEven(q) <= n) {
                break;
            }
            step = NextNiceStep(step);
        }
    }
    return std::max(step, 1e-12);
}

double TCustomChartAxis::IncrementForLabelSize(int size) const {
    int n = 1;
    if (size > 0) {
        if (labelsSeparation_ > 0) {
            size += RoundToInt(labelsSeparation_ * 0.01 * size);
        }
        n = RoundToInt(static_cast<double>(layout_->PixelSpan()) / size);
    }
    return IncrementForLabelCount(n);
}

double TCustomChartAxis::LabelIncrement() {
    Canvas().SetFont(labelsFont_);
    const int size =
        std::max(LabelExtent(LabelText(layout_->RangeMax)), LabelExtent(LabelText(layout_->RangeMin)));
    return IncrementForLabelSize(size);
}

TAxisLabelStyle TCustomChartAxis::EffectiveLabelStyle() const {
    if (labelStyle_ != talAuto) {
        return labelStyle_;
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

int TCustomChartAxis::WidestValueLabel() {
    switch (EffectiveLabelStyle()) {
        case talValue: {
            double hi = layout_->RangeMax;
            double lo = layout_->RangeMin;
            if (roundFirstLabel_) {
                const double step = LabelIncrement();
                hi = std::trunc(layout_->RangeMax / step) * step;
                lo = std::trunc(layout_->RangeMin / step) * step;
            }
            const bool suspended = chart_->AxisLabelHookSuspended;
            chart_->AxisLabelHookSuspended = true;
            const int w = std::max(Canvas().TextWidth(LabelText(hi)), Canvas().TextWidth(LabelText(lo)));
            chart_->AxisLabelHookSuspended = suspended;
            return w + Canvas().TextWidth(" ");
        }
        case talMark:
        case talText:
            return chart_->WidestPointLabel(*this);
        default:
            return 0;
    }
}

int TCustomChartAxis::LabelBandSize() {
    if (labelsSize_ != 0) {
        return labelsSize_;
    }
    Canvas().SetFont(labelsFont_);
    const bool flat = labelsAngle_ == 0 || labelsAngle_ == 180;
    const bool upright = labelsAngle_ == 90 || labelsAngle_ == 270;
    if ((horizontal_ && flat) || (!horizontal_ && upright)) {
        return LineHeight();
    }
    return WidestValueLabel();
}

int TCustomChartAxis::TickBandSize() const {
    int size = axisPen_.Visible() ? axisPen_.Width() : 0;
    if (ticks_.Visible()) {
        size += tickLength_;
    }
    if (minorTicks_.Visible()) {
        size = std::max(size, minorTickLength_);
    }
    return size;
}

void TCustomChartAxis::ReserveAxisSpace(TRect& rect) {
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
    layout_->OuterPos = take(0);
    if (!title_.empty()) {
        Canvas().SetFont(labelsFont_);
        take(LineHeight());
    }
    if (labels_) {
        layout_->LabelsPos = take(LabelBandSize());
    }
    const int ticks = TickBandSize();
    if (ticks > 0) {
        take(ticks);
    }
    if (positionPercent_ != 0) {
        const TRect& plot = chart_->PlotRect();
        const int size = horizontal_ ? plot.Height() : plot.Width();
        const int shift = RoundToInt(size * 0.01 * positionPercent_);
        layout_->LabelsPos += (kind_ == akLeft || kind_ == akTop) ? shift : -shift;
    }
}

void TCustomChartAxis::RecordTick(int p) {
    if (ticks_list_.size() < kMaxAxisTicks) {
        ticks_list_.push_back(p);
    }
}

void TCustomChartAxis::DrawLabelText(int p, const std::string& text) {
    TChartCanvas3D& c = Canvas();
    c.SetBrush(TBrush{clWhite, bsClear});
    c.SetBackMode(bmTransparent);
    TFont font = labelsFont_;
    if (chart_->Printing() && font.Color == clWhite) {
        font.Color = clBlack;
    }
    c.SetFont(font);
    const int h = LineHeight();
    const auto lines = SplitMarkLines(text);
    if (horizontal_) {
        if (kind_ == akTop) {
            c.SetTextAlign(taCenter | taBottom);
            int y = layout_->LabelsPos - h * (static_cast<int>(lines.size()) - 1);
            for (const auto& line : lines) {
                c.TextOut(p, y, line);
                y += h;
            }
        } else {
            c.SetTextAlign(taCenter | taTop);
            int y = layout_->LabelsPos;
            for (const auto& line : lines) {
                c.TextOut(p, y, line);
                y += h;
            }
        }
    } else {
        c.SetTextAlign((kind_ == akRight ? taLeft : taRight) | taTop);
        int y = p - h / 2;
        for (const auto& line : lines) {
            c.TextOut(layout_->LabelsPos, y, line);
            y += h;
        }
    }
    c.SetTextAlign(taLeft | taTop);
}

void TCustomChartAxis::DrawOneLabel(double value) {
    const int p = ValueToPixel(value);
    if (labelsOnAxis_ || (layout_->StartPixel < p && p < layout_->EndPixel)) {
        if (!tickOnLabelsOnly_) {
            RecordTick(p);
        }
        if (labels_) {
            if (tickOnLabelsOnly_) {
                RecordTick(p);
            }
            DrawLabelText(p, LabelText(value));
        }
    }
}

void TCustomChartAxis::DrawValueLabels(double step) {
    if (!(std::fabs(layout_->RangeSpan() / step) < 10000)) {
        return;
    }
    if (layout_->RangeMin == layout_->RangeMax) {
        // All points at one value: one label there. Stepping down by the tiny step of an empty range
        // would repeat the same text once per step until the tolerance below runs out.
        DrawOneLabel(layout_->RangeMax);
        return;
    }
    double v;
    if (roundFirstLabel_) {
        v = std::trunc(layout_->RangeMax / step) * step;
    } else {
        v = layout_->RangeMax;
    }
    // Near the end of the double range a step may be below the spacing of the values; subtracting it then
    // changes nothing, and the loops below stop instead of running forever.
    while (v > layout_->RangeMax && v - step != v) {
        v -= step;
    }
    // The tolerance admits a label at layout_->RangeMin despite the drift of the repeated subtraction.
    // Dividing by 1.000000000001 widens it only for a non-negative minimum; a negative minimum is widened by
    // the same factor instead, so a label exactly at a negative minimum is drawn too.
    const double limit = layout_->RangeMin < 0 ? layout_->RangeMin * 1.000000000001
                                               : (layout_->RangeMin - 1e-12) / 1.000000000001;
    while (v >= limit) {
        DrawOneLabel(v);
        if (v - step == v) {
            break;
        }
        v -= step;
    }
}

void TCustomChartAxis::DrawPointLabels() {
    std::vector<TChartSeries*> labelled;
    for (int i = 0; i < chart_->SeriesCount(); ++i) {
        TChartSeries& s = chart_->Series(i);
        if (s.Active() && s.AssociatedToAxis(*this) && s.LabelCount() > 0) {
            labelled.push_back(&s);
        }
    }
    if (labelled.empty()) {
        return;
    }
    int first = -1;
    int last = -1;
    for (TChartSeries* s : labelled) {
        s->FindVisibleRange();
        if (first == -1) {
            first = s->FirstVisible();
        }
        last = std::max(last, s->LastVisible());
    }
    if (first < 0) {
        return;
    }
    const bool style = EffectiveLabelStyle() == talMark;
    hasLastLabel_ = false;
    TChartCanvas3D& c = Canvas();
    const double labelledPoints = static_cast<double>(last - first + 1);
    // Labels do not move the scale: one copy for the whole pass.
    const TScaleMap scale = Scale();
    for (int i = first; i <= last; ++i) {
        // A rendering in steps hears of the labels as its last half.
        if (static_cast<std::size_t>(i - first) % kItemsPerStep == 0 && i > first) {
            chart_->TellRenderStep(0.5 + 0.5 * (i - first) / labelledPoints);
        }
        TChartSeries* owner = nullptr;
        for (TChartSeries* s : labelled) {
            if (s->LabelCount() > i) {
                owner = s;
                break;
            }
        }
        if (owner == nullptr) {
            continue;
        }
        // Where no hook hears of each label, a label is made only where it could be drawn: a point inside
        // the span of the label drawn last never fits (whatever its own width), and a million points
        // give only a few hundred labels.
        const bool hooked = style || (chart_->OnGetAxisLabel && !chart_->AxisLabelHookSuspended);
        std::string text;
        if (hooked) {
            text = style ? owner->MarkText(i) : owner->PointLabel(i);
            if (chart_->OnGetAxisLabel && !chart_->AxisLabelHookSuspended) {
                chart_->OnGetAxisLabel(*this, owner, i, text);
            }
        }
        const double value = horizontal_ ? owner->XValues().ValueAt(i) : owner->YValues().ValueAt(i);
        if (value < scale.RangeMin || value > scale.RangeMax) {
            continue;
        }
        const int p = scale.ToPixel(value);
        if (!tickOnLabelsOnly_) {
            RecordTick(p);
        }
        if (!labels_) {
            continue;
        }
        if (!hooked) {
            if (labelsSeparation_ > 0 && hasLastLabel_ && p > lastLabelPos_ - lastLabelHalf_ &&
                p < lastLabelPos_ + lastLabelHalf_) {
                continue;
            }
            text = owner->PointLabel(i);
        }
        c.SetFont(labelsFont_);
        const int extent = horizontal_ ? c.TextWidth(text) : LineHeight() * LineCount(text);
        int half = extent / 2;
        if (labelsSeparation_ != 0 && hasLastLabel_) {
            half = (extent + static_cast<int>(std::trunc(extent * 0.02 * labelsSeparation_))) / 2;
            const bool fits = p < lastLabelPos_ ? lastLabelPos_ - lastLabelHalf_ >= p + half
                                                : p - half >= lastLabelPos_ + lastLabelHalf_;
            if (!fits) {
                continue;
            }
        }
        if (tickOnLabelsOnly_) {
            RecordTick(p);
        }
        if (!text.empty()) {
            DrawLabelText(p, text);
        }
        hasLastLabel_ = true;
        lastLabelPos_ = p;
        lastLabelHalf_ = half;
    }
}

void TCustomChartAxis::DrawTick(const TChartPen& pen, int p, int from, int length, bool outward) {
    if (length <= 0) {
        return;
    }
    // Outward is away from the plot: left for the left axis, down for the bottom axis.
    const bool towardsLower = (kind_ == akLeft || kind_ == akTop) == outward;
    const int to = towardsLower ? from - length : from + length;
    TChartCanvas3D& c = Canvas();
    c.SetPen(pen.CanvasPen(chart_->Printing()));
    if (horizontal_) {
        c.Line(p, from, p, to);
    } else {
        c.Line(from, p, to, p);
    }
}

void TCustomChartAxis::DrawGridLine(const TChartPen& pen, int p) {
    const TRect& r = chart_->PlotRect();
    TChartCanvas3D& c = Canvas();
    TPen cp = pen.CanvasPen(chart_->Printing());
    if (cp.Color == AutoColor) {
        cp.Color = clGray;
    }
    c.SetPen(cp);
    if (horizontal_) {
        c.Line(p, r.Top, p, r.Bottom);
    } else {
        c.Line(r.Left, p, r.Right, p);
    }
}

void TCustomChartAxis::DrawTicksAndGrid() {
    TChartCanvas3D& c = Canvas();
    const bool lowSide = kind_ == akLeft || kind_ == akTop;
    // Outward ticks start one pixel outside the axis line, inner ticks one pixel inside.
    const int outside = lowSide ? layout_->AxisLinePos - 1 : layout_->AxisLinePos + 1;
    const int inside = lowSide ? layout_->AxisLinePos + 1 : layout_->AxisLinePos - 1;
    if (axisPen_.Visible()) {
        c.SetPen(axisPen_.CanvasPen(chart_->Printing()));
        if (horizontal_) {
            c.Line(layout_->StartPixel, layout_->AxisLinePos, layout_->EndPixel, layout_->AxisLinePos);
        } else {
            c.Line(layout_->AxisLinePos, layout_->StartPixel, layout_->AxisLinePos, layout_->EndPixel);
        }
    }
    if (ticks_.Visible()) {
        for (int p : ticks_list_) {
            DrawTick(ticks_, p, outside, tickLength_, true);
        }
    }
    if (grid_.Visible()) {
        c.SetBrush(TBrush{clWhite, bsClear});
        c.SetBackMode(bmTransparent);
        if (gridCentered_) {
            for (std::size_t i = 1; i < ticks_list_.size(); ++i) {
                DrawGridLine(grid_, RoundToInt((ticks_list_[i] + ticks_list_[i - 1]) * 0.5));
            }
        } else {
            for (int p : ticks_list_) {
                DrawGridLine(grid_, p);
            }
        }
    }
    if (ticksInner_.Visible()) {
        for (int p : ticks_list_) {
            DrawTick(ticksInner_, p, inside, tickInnerLength_, false);
        }
    }
    if (ticks_list_.empty() || minorTickCount_ <= 0) {
        return;
    }
    std::vector<int> minor;
    const auto& t = ticks_list_;
    const std::size_t n = t.size();
    const int count = minorTickCount_;
    if (n > 1) {
        const double d = static_cast<double>(t[1] - t[0]) / (count + 1);
        for (int k = 1; k <= count; ++k) {
            minor.push_back(t[0] - RoundToInt(k * d));
            minor.push_back(t[n - 1] + RoundToInt(k * d));
        }
    }
    for (std::size_t i = 1; i < n; ++i) {
        const double d = static_cast<double>(t[i] - t[i - 1]) / (count + 1);
        for (int k = 1; k <= count; ++k) {
            minor.push_back(t[i] - RoundToInt(d * k));
        }
    }
    if (minorTicks_.Visible()) {
        for (int p : minor) {
            if (layout_->StartPixel < p && p < layout_->EndPixel) {
                DrawTick(minorTicks_, p, outside, minorTickLength_, true);
            }
        }
    }
    if (minorGrid_.Visible()) {
        for (int p : minor) {
            if (layout_->StartPixel < p && p < layout_->EndPixel) {
                DrawGridLine(minorGrid_, p);
            }
        }
    }
}

void TCustomChartAxis::DrawAxis() {
    Canvas().SetFont(labelsFont_);
    const double step = LabelIncrement();
    const TRect& r = chart_->PlotRect();
    switch (kind_) {
        case akLeft:
            layout_->AxisLinePos = r.Left;
            break;
        case akRight:
            layout_->AxisLinePos = r.Right;
            break;
        case akTop:
            layout_->AxisLinePos = r.Top;
            break;
        default:
            layout_->AxisLinePos = r.Bottom;
            break;
    }
    if (positionPercent_ != 0) {
        const int size = horizontal_ ? r.Height() : r.Width();
        const int shift = RoundToInt(size * 0.01 * positionPercent_);
        layout_->AxisLinePos += (kind_ == akLeft || kind_ == akTop) ? shift : -shift;
    }
    ticks_list_.clear();
    ticks_list_.reserve(64);
    if (step > 0 && layout_->RangeMax >= layout_->RangeMin) {
        switch (EffectiveLabelStyle()) {
            case talValue:
                if (chart_->OnGetNextAxisLabel) {
                    for (int index = 0; index < 10000; ++index) {
                        double value = 0;
                        bool stop = true;
                        chart_->OnGetNextAxisLabel(*this, index, value, stop);
                        if (stop) {
                            break;
                        }
                        if (value >= layout_->RangeMin && value <= layout_->RangeMax) {
                            DrawOneLabel(value);
                        }
                    }
                } else {
                    DrawValueLabels(step);
                }
                break;
            case talMark:
            case talText:
                DrawPointLabels();
                break;
            default:
                break;
        }
    }
    DrawTicksAndGrid();
}

bool TCustomChartAxis::HitTest(int x, int y) const {
    if (!CountsAsVisible()) {
        return false;
    }
    const int along = horizontal_ ? x : y;
    const int across = horizontal_ ? y : x;
    const int lo = std::min(layout_->StartPixel, layout_->EndPixel);
    const int hi = std::max(layout_->StartPixel, layout_->EndPixel);
    if (along < lo || along > hi) {
        return false;
    }
    const int a = std::min(layout_->AxisLinePos, layout_->OuterPos);
    const int b = std::max(layout_->AxisLinePos, layout_->OuterPos);
    return across >= a && across <= b;
}

}  // namespace quorvel
