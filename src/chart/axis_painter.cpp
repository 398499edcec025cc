#include "chart/axis_painter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "chart/chart.h"
#include "chart/marks.h"
#include "runtime/work_steps.h"

namespace quorvel {

namespace {

int LineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\r')) + 1;
}

}  // namespace

TAxisPainter::TAxisPainter(TCustomChartAxis& axis)
    : axis_(axis),
      settings_(axis.Settings()),
      layout_(axis.Layout()),
      chart_(*axis.ParentChart()),
      canvas_(axis.ParentChart()->Canvas()),
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
    const int size = std::max(LabelExtent(axis_.LabelText(layout_.RangeMax)),
                              LabelExtent(axis_.LabelText(layout_.RangeMin)));
    return axis_.LabelScale().StepForLabelSize(size);
}

int TAxisPainter::WidestValueLabel() const {
    switch (axis_.EffectiveLabelStyle()) {
        case talValue: {
            const double step = settings_.RoundFirstLabel ? LabelIncrement() : 1;
            const TAxisScale scale = axis_.LabelScale();
            const bool suspended = chart_.AxisLabelHookSuspended;
            chart_.AxisLabelHookSuspended = true;
            const int w = std::max(canvas_.TextWidth(axis_.LabelText(scale.FirstLabel(step))),
                                   canvas_.TextWidth(axis_.LabelText(scale.LastLabel(step))));
            chart_.AxisLabelHookSuspended = suspended;
            return w + canvas_.TextWidth(" ");
        }
        case talMark:
        case talText:
            return chart_.WidestPointLabel(axis_);
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
    TChartCanvas& c = canvas_;
    c.SetBrush(TBrush{clWhite, bsClear});
    c.SetBackMode(bmTransparent);
    TFont font = settings_.LabelsFont;
    if (chart_.Printing() && font.Color == clWhite) {
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
    const TAxisScale scale = axis_.LabelScale();
    for (const double v : scale.ValueLabels(step)) {
        DrawOneLabel(scale.Map(), v);
    }
}

void TAxisPainter::DrawPointLabels() {
    std::vector<TChartSeries*> labelled;
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
        TChartSeries& s = chart_.Series(i);
        if (s.Active() && s.AssociatedToAxis(axis_) && s.LabelCount() > 0) {
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
    const bool style = axis_.EffectiveLabelStyle() == talMark;
    // Where no hook hears of each label, a label is made only where it could be drawn: a point inside
    // the span of the label drawn last never fits (whatever its own width), and a million points
    // give only a few hundred labels.
    const bool hooked = style || (chart_.OnGetAxisLabel && !chart_.AxisLabelHookSuspended);
    hasLastLabel_ = false;
    TChartCanvas& c = canvas_;
    const double labelledPoints = static_cast<double>(last - first + 1);
    // Labels do not move the scale: one copy for the whole pass.
    const TScaleMap scale = axis_.Scale();
    // Points of one series in ascending X on a scale that grows with X, and nothing but the labels hears
    // of each point: the points inside the span of the label drawn last, which the loop would pass over
    // one by one, are passed over by halving.
    const int separation = settings_.LabelsSeparation;
    const bool mayLeap = horizontal_ && !hooked && settings_.Labels && settings_.TickOnLabelsOnly &&
                         settings_.LabelsSeparation > 0 && scale.RangeSpan() > 0 && scale.PixelSpan() > 0 &&
                         !scale.Inverted;
    // Most points past a drawn label's span are tried and do not fit. Where labels come with a key of
    // their layout, the narrowest width of each layout (any digits in its digits' places) is found once:
    // a point whose label could not fit even that narrow is passed over without its label being made.
    const bool byShape = horizontal_ && !hooked && separation > 0;
    struct TShapeWidth {
        std::uint32_t shape = 0;
        int width = 0;  // narrowest; -1: the canvas cannot tell
    };
    std::array<TShapeWidth, 64> shapeWidths{};
    const auto widthOfShape = [&shapeWidths](std::uint32_t shape) -> TShapeWidth& {
        std::size_t slot = (shape * 2654435761u) >> 26;
        for (std::size_t tries = 0; tries < shapeWidths.size();
             ++tries, slot = (slot + 1) % shapeWidths.size()) {
            if (shapeWidths[slot].shape == shape || shapeWidths[slot].shape == 0) {
                return shapeWidths[slot];
            }
        }
        return shapeWidths[0];  // full: slot 0 is measured anew each time
    };
    const auto halfOf = [separation](int extent) {
        return (extent + static_cast<int>(std::trunc(extent * 0.02 * separation))) / 2;
    };
    // Whether a label of this half width at pixel p keeps clear of the label drawn last.
    const auto clearOfLast = [this](int p, int half) {
        return p < lastLabelPos_ ? lastLabelPos_ - lastLabelHalf_ >= p + half
                                 : p - half >= lastLabelPos_ + lastLabelHalf_;
    };
    for (int i = first; i <= last; ++i) {
        // A rendering in steps hears of the labels as its last half.
        if (static_cast<std::size_t>(i - first) % kItemsPerStep == 0 && i > first) {
            chart_.TellRenderStep(0.5 + 0.5 * (i - first) / labelledPoints);
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
        std::string text;
        if (hooked) {
            text = style ? owner->MarkText(i) : owner->PointLabel(i);
            if (chart_.OnGetAxisLabel && !chart_.AxisLabelHookSuspended) {
                chart_.OnGetAxisLabel(axis_, owner, i, text);
            }
        }
        const double value = horizontal_ ? owner->XValues().ValueAt(i) : owner->YValues().ValueAt(i);
        if (value < scale.RangeMin || value > scale.RangeMax) {
            continue;
        }
        const int p = scale.ToPixel(value);
        if (!settings_.TickOnLabelsOnly) {
            RecordTick(p);
        }
        if (!settings_.Labels) {
            continue;
        }
        if (!hooked && separation > 0 && hasLastLabel_ && p > lastLabelPos_ - lastLabelHalf_ &&
            p < lastLabelPos_ + lastLabelHalf_) {
            continue;
        }
        c.SetFont(settings_.LabelsFont);
        if (const std::uint32_t shape = byShape && hasLastLabel_ ? owner->LabelShape(i) : 0; shape != 0) {
            TShapeWidth& known = widthOfShape(shape);
            if (known.shape != shape) {
                known = TShapeWidth{shape, c.NarrowestWithOtherDigits(owner->PointLabel(i))};
            }
            // The narrowest label of this layout: a wider one fits no better.
            if (known.width >= 0 && !clearOfLast(p, halfOf(known.width))) {
                continue;
            }
        }
        if (!hooked) {
            text = owner->PointLabel(i);
        }
        const int extent = horizontal_ ? c.TextWidth(text) : LineHeight() * LineCount(text);
        int half = extent / 2;
        if (separation != 0 && hasLastLabel_) {
            half = halfOf(extent);
            if (!clearOfLast(p, half)) {
                continue;
            }
        }
        if (settings_.TickOnLabelsOnly) {
            RecordTick(p);
        }
        if (!text.empty()) {
            DrawLabelText(p, text);
        }
        hasLastLabel_ = true;
        lastLabelPos_ = p;
        lastLabelHalf_ = half;
        if (mayLeap && owner->XValues().Ascending()) {
            // The first later point the pass would not skip: beyond the range, at or past the span's end, or
            // of another series (the series before this one in the list have no labels this far on).
            int lo = i + 1;
            int hi = std::min(last, owner->LabelCount() - 1) + 1;
            while (lo < hi) {
                const int mid = lo + (hi - lo) / 2;
                const double v = owner->XValues().ValueAt(mid);
                if (v > scale.RangeMax || scale.ToPixel(v) >= lastLabelPos_ + lastLabelHalf_) {
                    hi = mid;
                } else {
                    lo = mid + 1;
                }
            }
            if ((lo - 1 - first) / static_cast<int>(kItemsPerStep) >
                (i - first) / static_cast<int>(kItemsPerStep)) {
                const int passed =
                    (lo - 1 - first) / static_cast<int>(kItemsPerStep) * static_cast<int>(kItemsPerStep);
                chart_.TellRenderStep(0.5 + 0.5 * passed / labelledPoints);
            }
            i = lo - 1;
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
    canvas_.SetPen(pen.CanvasPen(chart_.Printing()));
    if (horizontal_) {
        canvas_.Line(p, from, p, to);
    } else {
        canvas_.Line(from, p, to, p);
    }
}

void TAxisPainter::DrawGridLine(const TChartPen& pen, int p) {
    const TRect& r = chart_.PlotRect();
    TPen cp = pen.CanvasPen(chart_.Printing());
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

void TAxisPainter::DrawTicksAndGrid() {
    TChartCanvas& c = canvas_;
    const TAxisSettings& s = settings_;
    const int line = layout_.AxisLinePos;
    const bool lowSide = kind_ == akLeft || kind_ == akTop;
    // Outward ticks start one pixel outside the axis line, inner ticks one pixel inside.
    const int outside = lowSide ? line - 1 : line + 1;
    const int inside = lowSide ? line + 1 : line - 1;
    if (s.AxisPen.Visible()) {
        c.SetPen(s.AxisPen.CanvasPen(chart_.Printing()));
        if (horizontal_) {
            c.Line(layout_.StartPixel, line, layout_.EndPixel, line);
        } else {
            c.Line(line, layout_.StartPixel, line, layout_.EndPixel);
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
    std::vector<int> minor;
    const auto& t = ticks_;
    const std::size_t n = t.size();
    const int count = s.MinorTickCount;
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
    const auto inSpan = [&](int p) { return layout_.StartPixel < p && p < layout_.EndPixel; };
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
    if (step > 0 && layout_.RangeMax >= layout_.RangeMin) {
        switch (axis_.EffectiveLabelStyle()) {
            case talValue:
                if (chart_.OnGetNextAxisLabel) {
                    const TScaleMap scale = axis_.Scale();
                    for (int index = 0; index < 10000; ++index) {
                        double value = 0;
                        bool stop = true;
                        chart_.OnGetNextAxisLabel(axis_, index, value, stop);
                        if (stop) {
                            break;
                        }
                        if (value >= scale.RangeMin && value <= scale.RangeMax) {
                            DrawOneLabel(scale, value);
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

}  // namespace quorvel
