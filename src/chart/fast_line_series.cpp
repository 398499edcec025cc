#include "chart/fast_line_series.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "chart/chart.h"

namespace quorvel {

TFastLineSeries::TFastLineSeries() {
    linePen_.OnChange = [this] { RequestRepaint(); };
}

void TFastLineSeries::SetLinePen(const TChartPen& pen) {
    linePen_.Assign(pen);
    TChartSeries::SetSeriesColor(pen.Color());
}

void TFastLineSeries::SetSeriesColor(TColor v) {
    TChartSeries::SetSeriesColor(v);
    linePen_.SetColor(v);
}

bool TFastLineSeries::Segment(const TRenderContext& context, int index, TPoint& from, TPoint& to) const {
    from = TPoint{CalcXPos(context, index - 1), CalcYPos(context, index - 1)};
    to = TPoint{CalcXPos(context, index), CalcYPos(context, index)};
    const auto far = [](TPoint p) { return std::abs(p.X) >= kFarPixel || std::abs(p.Y) >= kFarPixel; };
    if (!far(from) && !far(to)) {
        return true;
    }
    // An end held at the far pixel would bend the segment: cut the true segment at the far square in
    // real numbers instead, so the part that can be seen keeps its place and direction.
    if (ParentChart() == nullptr) {
        return false;
    }
    const TScaleMap& h = HorizScale(context);
    const TScaleMap& v = VertScale(context);
    TSegmentF s{h.ToPixelUnrounded(XValues().ValueAt(index - 1)),
                v.ToPixelUnrounded(YValues().ValueAt(index - 1)),
                h.ToPixelUnrounded(XValues().ValueAt(index)), v.ToPixelUnrounded(YValues().ValueAt(index))};
    const double limit = kFarPixel;
    if (!ClipSegment(s, -limit, -limit, limit, limit)) {
        return false;
    }
    const auto pixel = [](double x, double y) {
        return TPoint{static_cast<int>(std::clamp(RoundHalfEven(x), -1LL * kFarPixel, 1LL * kFarPixel)),
                      static_cast<int>(std::clamp(RoundHalfEven(y), -1LL * kFarPixel, 1LL * kFarPixel))};
    };
    from = pixel(s.X0, s.Y0);
    to = pixel(s.X1, s.Y1);
    return true;
}

void TFastLineSeries::DrawPoint(const TRenderContext& context, int index, bool entering,
                                TLineWalk& walk) const {
    const TChartCanvas& c = context.Canvas;
    const TPoint p{CalcXPos(context, index), CalcYPos(context, index)};
    if (entering && index == 0) {
        c.MoveTo(p.X, p.Y);
        walk.penAtLast = true;
    } else if (entering || !(p == walk.last)) {
        TPoint from;
        TPoint to;
        if (!Segment(context, index, from, to)) {
            walk.penAtLast = false;
        } else if (!entering && walk.penAtLast && from == walk.last && to == p) {
            c.LineTo(p.X, p.Y);
        } else {
            // The segment entering the visible range, or one cut short at the far square.
            c.MoveTo(from.X, from.Y);
            c.LineTo(to.X, to.Y);
            walk.penAtLast = to == p;
        }
    }
    walk.last = p;
}

bool TFastLineSeries::ExactPosition(const TRenderContext& context, int index, TPointF& p) const {
    if (ParentChart() == nullptr) {
        return false;
    }
    p = TPointF{HorizScale(context).ToPixelUnrounded(XValues().ValueAt(index)),
                VertScale(context).ToPixelUnrounded(YValues().ValueAt(index))};
    return std::isfinite(p.X) && std::isfinite(p.Y);
}

void TFastLineSeries::DrawExact(const TRenderContext& context, const TSeriesLayout& visible) const {
    // The same segments as the pixel path: from the point before the first visible one on. An undefined
    // value breaks the line there, as it does in whole pixels.
    std::vector<TPointF> run;
    const auto flush = [&] {
        if (run.size() > 1) {
            context.Canvas.PolylineF(run);
        }
        run.clear();
    };
    for (int i = std::max(visible.FirstVisible - 1, 0); i <= visible.LastVisible; ++i) {
        TPointF p;
        if (ExactPosition(context, i, p)) {
            run.push_back(p);
        } else {
            flush();
        }
    }
    flush();
}

void TFastLineSeries::DrawAllPoints(const TRenderContext& context, const TSeriesLayout& visible) {
    const TChartCanvas& c = context.Canvas;
    c.SetPen(linePen_.CanvasPen(context.Options.Printing()));
    c.SetBrush(TBrush{clWhite, bsClear});
    if (!linePen_.Visible()) {
        return;
    }
    if (c.DrawsSubPixelLines()) {
        DrawExact(context, visible);
        return;
    }
    TLineWalk walk;
    for (int i = visible.FirstVisible; i <= visible.LastVisible && i >= 0; ++i) {
        DrawPoint(context, i, i == visible.FirstVisible, walk);
    }
}

void TFastLineSeries::AfterAdd(int index) {
    if (autoRepaint_) {
        TChartSeries::AfterAdd(index);
        return;
    }
    if (OnAfterAdd) {
        OnAfterAdd(*this, index);
    }
    // Without auto repaint the new segment goes straight onto the window, when there is one, on the
    // screen's layout.
    const TChart* chart = ParentChart();
    if (chart == nullptr || chart->WindowCanvas == nullptr || index < 1) {
        return;
    }
    TRenderContext window = chart->ScreenLayout();
    window.Canvas = TChartCanvas(chart->WindowCanvas);
    const TChartCanvas& c = window.Canvas;
    c.SetPen(linePen_.CanvasPen());
    if (c.DrawsSubPixelLines()) {
        TPointF ends[2];
        if (ExactPosition(window, index - 1, ends[0]) && ExactPosition(window, index, ends[1])) {
            c.PolylineF(ends);
        }
        return;
    }
    TLineWalk walk{TPoint{CalcXPos(window, index - 1), CalcYPos(window, index - 1)}, true};
    c.MoveTo(walk.last.X, walk.last.Y);
    DrawPoint(window, index, false, walk);
}

bool PixelOnSegment(TPoint p, TPoint a, TPoint b) {
    const long long dx = static_cast<long long>(b.X) - a.X;
    const long long dy = static_cast<long long>(b.Y) - a.Y;
    const long long m = std::max(std::llabs(dx), std::llabs(dy));
    const long long cross =
        (static_cast<long long>(p.X) - a.X) * dy - (static_cast<long long>(p.Y) - a.Y) * dx;
    if (std::llabs(cross) >= m) {
        return false;
    }
    // Strictly beyond either end, along an axis where the segment has extent.
    auto beyond = [](int from, int to, int at) {
        if (to < from) {
            return at > from || at < to;
        }
        if (to > from) {
            return at < from || at > to;
        }
        return false;
    };
    return !beyond(a.X, b.X, p.X) && !beyond(a.Y, b.Y, p.Y);
}

int TFastLineSeries::PointAtPixel(const TRenderContext& context, int x, int y) {
    const TSeriesLayout visible = context.Visible(*this);
    if (visible.FirstVisible == -1 || visible.LastVisible == -1 || ParentChart() == nullptr) {
        return -1;
    }
    const TPoint press{x, y};
    for (int i = visible.FirstVisible; i <= visible.LastVisible; ++i) {
        const TPoint p{CalcXPos(context, i), CalcYPos(context, i)};
        if (p == press) {
            return i;
        }
        // The segment as it is drawn, so a press is judged against what is on the screen.
        TPoint from;
        TPoint to;
        if (i > visible.FirstVisible && Segment(context, i, from, to) && PixelOnSegment(press, to, from)) {
            return i - 1;
        }
    }
    return -1;
}

}  // namespace quorvel
