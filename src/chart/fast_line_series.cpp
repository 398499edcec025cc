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

bool TFastLineSeries::Segment(int index, TPoint& from, TPoint& to) const {
    from = TPoint{CalcXPos(index - 1), CalcYPos(index - 1)};
    to = TPoint{CalcXPos(index), CalcYPos(index)};
    const auto far = [](TPoint p) { return std::abs(p.X) >= kFarPixel || std::abs(p.Y) >= kFarPixel; };
    if (!far(from) && !far(to)) {
        return true;
    }
    // An end held at the far pixel would bend the segment: cut the true segment at the far square in
    // real numbers instead, so the part that can be seen keeps its place and direction.
    const TChartAxis* h = GetHorizAxis();
    const TChartAxis* v = GetVertAxis();
    if (h == nullptr || v == nullptr) {
        return false;
    }
    TSegmentF s{h->ValueToPixelUnrounded(XValues().ValueAt(index - 1)),
                v->ValueToPixelUnrounded(YValues().ValueAt(index - 1)),
                h->ValueToPixelUnrounded(XValues().ValueAt(index)),
                v->ValueToPixelUnrounded(YValues().ValueAt(index))};
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

void TFastLineSeries::DrawPoint(int index) {
    TChartCanvas& c = ChartCanvas();
    const TPoint p{CalcXPos(index), CalcYPos(index)};
    if (index == FirstVisible() && index == 0) {
        c.MoveTo(p.X, p.Y);
        penAtLast_ = true;
    } else if (index == FirstVisible() || !(p == last_)) {
        TPoint from;
        TPoint to;
        if (!Segment(index, from, to)) {
            penAtLast_ = false;
        } else if (index != FirstVisible() && penAtLast_ && from == last_ && to == p) {
            c.LineTo(p.X, p.Y);
        } else {
            // The segment entering the visible range, or one cut short at the far square.
            c.MoveTo(from.X, from.Y);
            c.LineTo(to.X, to.Y);
            penAtLast_ = to == p;
        }
    }
    last_ = p;
}

bool TFastLineSeries::ExactPosition(int index, TPointF& p) const {
    const TChartAxis* h = GetHorizAxis();
    const TChartAxis* v = GetVertAxis();
    if (h == nullptr || v == nullptr) {
        return false;
    }
    p = TPointF{h->ValueToPixelUnrounded(XValues().ValueAt(index)),
                v->ValueToPixelUnrounded(YValues().ValueAt(index))};
    return std::isfinite(p.X) && std::isfinite(p.Y);
}

void TFastLineSeries::DrawExact() {
    // The same segments as the pixel path: from the point before the first visible one on. An undefined
    // value breaks the line there, as it does in whole pixels.
    TChartCanvas& c = ChartCanvas();
    std::vector<TPointF> run;
    const auto flush = [&] {
        if (run.size() > 1) {
            c.PolylineF(run);
        }
        run.clear();
    };
    for (int i = std::max(FirstVisible() - 1, 0); i <= LastVisible(); ++i) {
        TPointF p;
        if (ExactPosition(i, p)) {
            run.push_back(p);
        } else {
            flush();
        }
    }
    flush();
}

void TFastLineSeries::DrawAllPoints() {
    TChartCanvas& c = ChartCanvas();
    c.SetPen(linePen_.CanvasPen(IsPrinting()));
    c.SetBrush(TBrush{clWhite, bsClear});
    if (!linePen_.Visible()) {
        return;
    }
    if (c.DrawsSubPixelLines()) {
        DrawExact();
        return;
    }
    for (int i = FirstVisible(); i <= LastVisible() && i >= 0; ++i) {
        DrawPoint(i);
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
    // Without auto repaint the new segment goes straight onto the window, when there is one.
    TChart* chart = ParentChart();
    if (chart == nullptr || chart->WindowCanvas == nullptr || index < 1) {
        return;
    }
    TChartCanvas& c = chart->Canvas();
    TCanvas* previous = c.Target();
    c.SetTarget(chart->WindowCanvas);
    c.SetPen(linePen_.CanvasPen(IsPrinting()));
    if (c.DrawsSubPixelLines()) {
        TPointF ends[2];
        if (ExactPosition(index - 1, ends[0]) && ExactPosition(index, ends[1])) {
            c.PolylineF(ends);
        }
        c.SetTarget(previous);
        return;
    }
    c.MoveTo(CalcXPos(index - 1), CalcYPos(index - 1));
    last_ = TPoint{CalcXPos(index - 1), CalcYPos(index - 1)};
    penAtLast_ = true;
    const int keepFirst = FirstVisible();
    const int keepLast = LastVisible();
    SetVisibleRange(-2, keepLast);  // not the first visible point: draw a plain segment
    DrawPoint(index);
    SetVisibleRange(keepFirst, keepLast);
    c.SetTarget(previous);
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

int TFastLineSeries::PointAtPixel(int x, int y) {
    if (FirstVisible() == -1 || LastVisible() == -1 || ParentChart() == nullptr) {
        return -1;
    }
    const TPoint press{x, y};
    for (int i = FirstVisible(); i <= LastVisible(); ++i) {
        const TPoint p{CalcXPos(i), CalcYPos(i)};
        if (p == press) {
            return i;
        }
        // The segment as it is drawn, so a press is judged against what is on the screen.
        TPoint from;
        TPoint to;
        if (i > FirstVisible() && Segment(i, from, to) && PixelOnSegment(press, to, from)) {
            return i - 1;
        }
    }
    return -1;
}

}  // namespace quorvel
