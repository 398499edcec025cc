#include "chart/axis_painter.h"

#include <algorithm>
#include <cmath>
#include <ranges>

#include "chart/chart.h"
#include "chart/label_thinning.h"
#include "chart/marks.h"

namespace quorvel {

namespace {

int LineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\r')) + 1;
}

}  // namespace

TAxisPainter::TAxisPainter(const TCustomChartAxis& axis, const TRenderContext& context)
    : axis_(axis),
      settings_(axis.Settings()),
      context_(context),
      layout_(context.Axis(axis.Kind())),
      chart_(*axis.ParentChart()),
      canvas_(context.Canvas),
      kind_(axis.Kind()),
      horizontal_(axis.Horizontal()) {}

int TAxisPainter::LineHeight() const {
    return canvas_.TextHeight("W");
}

int TAxisPainter::LabelExtent(const std::string& text) const {
    const bool rotated = settings_.LabelsAngle == 90 || settings_.LabelsAngle == 270;
    const bool alongWidth = horizontal_ != rotated;
    if (alongWidth) {
        int widest = 0;
        for (const std::string& line : SplitMarkLines(text)) {
            widest = std::max(widest, canvas_.TextWidth(line));
        }
        return widest;
    }
    return LineHeight() * LineCount(text);
}

double TAxisPainter::LabelIncrement() const {
    canvas_.SetFont(settings_.LabelsFont);
    const int size = std::max(LabelExtent(axis_.LabelText(layout_.Scale.RangeMax)),
                              LabelExtent(axis_.LabelText(layout_.Scale.RangeMin)));
    return axis_.LabelScale(layout_.Scale).StepForLabelSize(size);
}

int TAxisPainter::WidestValueLabel() const {
    switch (axis_.EffectiveLabelStyle()) {
        case talValue: {
            const double step = settings_.RoundFirstLabel ? LabelIncrement() : 1;
            const TAxisScale scale = axis_.LabelScale(layout_.Scale);
            // Measured as formatted: the hook hears only of labels drawn.
            const int w = std::max(canvas_.TextWidth(axis_.LabelText(scale.FirstLabel(step), false)),
                                   canvas_.TextWidth(axis_.LabelText(scale.LastLabel(step), false)));
            return w + canvas_.TextWidth(" ");
        }
        case talMark:
        case talText:
            return chart_.WidestPointLabel(axis_, canvas_);
        default:
            return 0;
    }
}

int TAxisPainter::LabelBandSize() const {
    if (settings_.LabelsSize != 0) {
        return settings_.LabelsSize;
    }
    canvas_.SetFont(settings_.LabelsFont);
    const bool flat = settings_.LabelsAngle == 0 || settings_.LabelsAngle == 180;
    const bool upright = settings_.LabelsAngle == 90 || settings_.LabelsAngle == 270;
    if ((horizontal_ && flat) || (!horizontal_ && upright)) {
        return LineHeight();
    }
    return WidestValueLabel();
}

int TAxisPainter::TickBandSize() const {
    int size = settings_.AxisPen.Visible() ? settings_.AxisPen.Width() : 0;
    if (settings_.Ticks.Visible()) {
        size += settings_.TickLength;
    }
    if (settings_.MinorTicks.Visible()) {
        size = std::max(size, settings_.MinorTickLength);
    }
    return size;
}

void TAxisPainter::RecordTick(int p) {
    if (ticks_.size() < kMaxAxisTicks) {
        ticks_.push_back(p);
    }
}

void TAxisPainter::DrawLabelText(int p, const std::string& text) {
    const TChartCanvas& c = canvas_;
    c.SetBrush(TBrush{clWhite, bsClear});
    c.SetBackMode(bmTransparent);
    TFont font = settings_.LabelsFont;
    if (context_.Options.Printing() && font.Color == clWhite) {
        font.Color = clBlack;
    }
    c.SetFont(font);
    const int h = LineHeight();
    const auto lines = SplitMarkLines(text);
    if (horizontal_) {
        if (kind_ == akTop) {
            c.SetTextAlign(taCenter | taBottom);
            int y = layout_.LabelsPos - h * (static_cast<int>(lines.size()) - 1);
            for (const auto& line : lines) {
                c.TextOut(p, y, line);
                y += h;
            }
        } else {
            c.SetTextAlign(taCenter | taTop);
            int y = layout_.LabelsPos;
            for (const auto& line : lines) {
                c.TextOut(p, y, line);
                y += h;
            }
        }
    } else {
        c.SetTextAlign((kind_ == akRight ? taLeft : taRight) | taTop);
        int y = p - h / 2;
        for (const auto& line : lines) {
            c.TextOut(layout_.LabelsPos, y, line);
            y += h;
        }
    }
    c.SetTextAlign(taLeft | taTop);
}

void TAxisPainter::DrawOneLabel(const TScaleMap& scale, double value) {
    const int p = scale.ToPixel(value);
    if (settings_.LabelsOnAxis || (scale.StartPixel < p && p < scale.EndPixel)) {
        if (!settings_.TickOnLabelsOnly) {
            RecordTick(p);
        }
        if (settings_.Labels) {
            if (settings_.TickOnLabelsOnly) {
                RecordTick(p);
            }
            DrawLabelText(p, axis_.LabelText(value));
        }
    }
}

void TAxisPainter::DrawValueLabels(double step) {
    const TAxisScale scale = axis_.LabelScale(layout_.Scale);
    for (const double v : scale.ValueLabels(step)) {
        DrawOneLabel(scale.Map(), v);
    }
}

void TAxisPainter::DrawHookedValueLabels() {
    const TScaleMap& scale = layout_.Scale;
    for (int index = 0; index < 10000; ++index) {
        double value = 0;
        bool stop = true;
        chart_.OnGetNextAxisLabel(const_cast<TCustomChartAxis&>(axis_), index, value, stop);
        if (stop) {
            break;
        }
        if (value >= scale.RangeMin && value <= scale.RangeMax) {
            DrawOneLabel(scale, value);
        }
    }
}

namespace {

// The labelled series on an axis and the points to label: from the first series' first visible point to
// the last visible one of any.
struct TLabelledPoints {
    std::vector<TChartSeries*> series;
    int first = -1;
    int last = -1;
};

TLabelledPoints LabelledPoints(const TChart& chart, const TCustomChartAxis& axis,
                               const TRenderContext& context) {
    TLabelledPoints points;
    for (int i = 0; i < chart.SeriesCount(); ++i) {
        TChartSeries& s = chart.Series(i);
        if (s.Active() && s.AssociatedToAxis(axis) && s.LabelCount() > 0) {
            points.series.push_back(&s);
        }
    }
    for (TChartSeries* s : points.series) {
        const TSeriesLayout visible = s->VisibleIn(context);
        if (points.first == -1) {
            points.first = visible.FirstVisible;
        }
        points.last = std::max(points.last, visible.LastVisible);
    }
    return points;
}

// The series whose label list reaches point i first, or null.
TChartSeries* LabelOwner(const std::vector<TChartSeries*>& labelled, int i) {
    const auto it =
        std::ranges::find_if(labelled, [i](const TChartSeries* s) { return s->LabelCount() > i; });
    return it != labelled.end() ? *it : nullptr;
}

}  // namespace

std::string TAxisPainter::HookedLabel(TChartSeries& owner, int i, bool markStyle) const {
    std::string text = markStyle ? owner.MarkText(i) : owner.PointLabel(i);
    if (chart_.OnGetAxisLabel) {
        chart_.OnGetAxisLabel(const_cast<TCustomChartAxis&>(axis_), &owner, i, text);
    }
    return text;
}

int TAxisPainter::FirstUncovered(const TChartSeries& owner, int from, int to,
                                 const TLabelThinning& thinning) const {
    // The points of one series in ascending X: the first that is beyond the range or at or past the end
    // of the last label's span, or `to` (where another series' labels begin: those before this one have
    // none this far on).
    const TScaleMap& scale = layout_.Scale;
    const auto later = std::views::iota(from, to);
    const auto next = std::ranges::partition_point(later, [&](int k) {
        const double v = owner.XValues().ValueAt(k);
        return !(v > scale.RangeMax || scale.ToPixel(v) >= thinning.LastSpanEnd());
    });
    return from + static_cast<int>(std::ranges::distance(later.begin(), next));
}

void TAxisPainter::DrawPointLabels() {
    const TLabelledPoints points = LabelledPoints(chart_, axis_, context_);
    if (points.first < 0) {
        return;
    }
    const int first = points.first;
    const int last = points.last;
    const bool style = axis_.EffectiveLabelStyle() == talMark;
    // Where a hook hears of each label, every label is made; otherwise only where it could be drawn.
    const bool hooked = style || bool(chart_.OnGetAxisLabel);
    const TScaleMap& scale = layout_.Scale;
    TLabelThinning thinning(settings_.LabelsSeparation);
    // Points of one series in ascending X on a scale that grows with X, which nothing but the labels hears
    // of: the points inside the span of the label drawn last are passed over all at once.
    const bool mayLeap = horizontal_ && !hooked && settings_.Labels && settings_.TickOnLabelsOnly &&
                         settings_.LabelsSeparation > 0 && scale.RangeSpan() > 0 && scale.PixelSpan() > 0 &&
                         !scale.Inverted;
    // A rendering in steps hears of the labels as its last half.
    TStepTeller steps(context_, static_cast<std::size_t>(last - first + 1), 0.5, 0.5);
    for (int i = first; i <= last; ++i) {
        steps.Passed(static_cast<std::size_t>(i - first));
        TChartSeries* owner = LabelOwner(points.series, i);
        if (owner == nullptr) {
            continue;
        }
        std::string text = hooked ? HookedLabel(*owner, i, style) : std::string();
        const double value = horizontal_ ? owner->XValues().ValueAt(i) : owner->YValues().ValueAt(i);
        if (value < scale.RangeMin || value > scale.RangeMax) {
            continue;
        }
        const int p = scale.ToPixel(value);
        if (!settings_.TickOnLabelsOnly) {
            RecordTick(p);
        }
        if (!settings_.Labels || thinning.Covered(p)) {
            continue;
        }
        canvas_.SetFont(settings_.LabelsFont);
        if (horizontal_ && !hooked && thinning.ShapeCannotFit(p, owner->LabelShape(i), [&] {
                return canvas_.NarrowestWithOtherDigits(owner->PointLabel(i));
            })) {
            continue;
        }
        if (!hooked) {
            text = owner->PointLabel(i);
        }
        const int extent = horizontal_ ? canvas_.TextWidth(text) : LineHeight() * LineCount(text);
        const int half = thinning.HalfWidth(extent);
        if (!thinning.Fits(p, half)) {
            continue;
        }
        if (settings_.TickOnLabelsOnly) {
            RecordTick(p);
        }
        if (!text.empty()) {
            DrawLabelText(p, text);
        }
        thinning.Place(p, half);
        if (mayLeap && owner->XValues().Ascending()) {
            i = FirstUncovered(*owner, i + 1, std::min(last, owner->LabelCount() - 1) + 1, thinning) - 1;
            steps.Passed(static_cast<std::size_t>(i - first));
        }
    }
}

void TAxisPainter::DrawTick(const TChartPen& pen, int p, int from, int length, bool outward) {
    if (length <= 0) {
        return;
    }
    // Outward is away from the plot: left for the left axis, down for the bottom axis.
    const bool towardsLower = (kind_ == akLeft || kind_ == akTop) == outward;
    const int to = towardsLower ? from - length : from + length;
    canvas_.SetPen(pen.CanvasPen(context_.Options.Printing()));
    if (horizontal_) {
        canvas_.Line(p, from, p, to);
    } else {
        canvas_.Line(from, p, to, p);
    }
}

void TAxisPainter::DrawGridLine(const TChartPen& pen, int p) {
    const TRect& r = context_.PlotRect;
    TPen cp = pen.CanvasPen(context_.Options.Printing());
    if (cp.Color == AutoColor) {
        cp.Color = clGray;
    }
    canvas_.SetPen(cp);
    if (horizontal_) {
        canvas_.Line(p, r.Top, p, r.Bottom);
    } else {
        canvas_.Line(r.Left, p, r.Right, p);
    }
}

std::vector<int> TAxisPainter::MinorTicks() const {
    std::vector<int> minor;
    const auto& t = ticks_;
    const std::size_t n = t.size();
    const int count = settings_.MinorTickCount;
    // Before the first tick and after the last at the first gap's spacing, then between the ticks.
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
    return minor;
}

void TAxisPainter::DrawTicksAndGrid() {
    const TChartCanvas& c = canvas_;
    const TAxisSettings& s = settings_;
    const TScaleMap& scale = layout_.Scale;
    const int line = layout_.AxisLinePos;
    const bool lowSide = kind_ == akLeft || kind_ == akTop;
    // Outward ticks start one pixel outside the axis line, inner ticks one pixel inside.
    const int outside = lowSide ? line - 1 : line + 1;
    const int inside = lowSide ? line + 1 : line - 1;
    if (s.AxisPen.Visible()) {
        c.SetPen(s.AxisPen.CanvasPen(context_.Options.Printing()));
        if (horizontal_) {
            c.Line(scale.StartPixel, line, scale.EndPixel, line);
        } else {
            c.Line(line, scale.StartPixel, line, scale.EndPixel);
        }
    }
    if (s.Ticks.Visible()) {
        for (int p : ticks_) {
            DrawTick(s.Ticks, p, outside, s.TickLength, true);
        }
    }
    if (s.Grid.Visible()) {
        c.SetBrush(TBrush{clWhite, bsClear});
        c.SetBackMode(bmTransparent);
        if (s.GridCentered) {
            for (std::size_t i = 1; i < ticks_.size(); ++i) {
                DrawGridLine(s.Grid, RoundToInt((ticks_[i] + ticks_[i - 1]) * 0.5));
            }
        } else {
            for (int p : ticks_) {
                DrawGridLine(s.Grid, p);
            }
        }
    }
    if (s.TicksInner.Visible()) {
        for (int p : ticks_) {
            DrawTick(s.TicksInner, p, inside, s.TickInnerLength, false);
        }
    }
    if (ticks_.empty() || s.MinorTickCount <= 0) {
        return;
    }
    const std::vector<int> minor = MinorTicks();
    const auto inSpan = [&](int p) { return scale.StartPixel < p && p < scale.EndPixel; };
    if (s.MinorTicks.Visible()) {
        for (int p : minor) {
            if (inSpan(p)) {
                DrawTick(s.MinorTicks, p, outside, s.MinorTickLength, true);
            }
        }
    }
    if (s.MinorGrid.Visible()) {
        for (int p : minor) {
            if (inSpan(p)) {
                DrawGridLine(s.MinorGrid, p);
            }
        }
    }
}

void TAxisPainter::Draw() {
    canvas_.SetFont(settings_.LabelsFont);
    const double step = LabelIncrement();
    ticks_.clear();
    ticks_.reserve(64);
    if (step > 0 && layout_.Scale.RangeMax >= layout_.Scale.RangeMin) {
        switch (axis_.EffectiveLabelStyle()) {
            case talValue:
                if (chart_.OnGetNextAxisLabel) {
                    DrawHookedValueLabels();
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

}  // namespace quorvel
