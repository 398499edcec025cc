#include "chart/fast_line_series.h"

#include <algorithm>
#include <cstdlib>

#include "chart/axis_panel.h"

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

void TFastLineSeries::DrawPoint(int index) {
    TChartCanvas3D& c = ChartCanvas();
    const TPoint p{CalcXPos(index), CalcYPos(index)};
    if (index == FirstVisible) {
        if (index == 0) {
            c.MoveTo(p.X, p.Y);
        } else {
            c.MoveTo(CalcXPos(index - 1), CalcYPos(index - 1));
            c.LineTo(p.X, p.Y);
        }
    } else if (!(p == last_)) {
        c.LineTo(p.X, p.Y);
    }
    last_ = p;
}

void TFastLineSeries::DrawAllPoints() {
    TChartCanvas3D& c = ChartCanvas();
    c.SetPen(linePen_.CanvasPen(IsPrinting()));
    c.SetBrush(TBrush{clWhite, bsClear});
    if (!linePen_.Visible()) {
        return;
    }
    for (int i = FirstVisible; i <= LastVisible && i >= 0; ++i) {
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
    NotifyDependents(TValueEvent::veAdd, index);
    // Without auto repaint the new segment goes straight onto the window, when there is one.
    TCustomAxisPanel* chart = ParentChart();
    if (chart == nullptr || chart->WindowCanvas == nullptr || index < 1) {
        return;
    }
    TChartCanvas3D& c = chart->Canvas();
    TCanvas* previous = c.Target();
    c.SetTarget(chart->WindowCanvas);
    c.SetPen(linePen_.CanvasPen(IsPrinting()));
    c.MoveTo(CalcXPos(index - 1), CalcYPos(index - 1));
    last_ = TPoint{CalcXPos(index - 1), CalcYPos(index - 1)};
    const int keepFirst = FirstVisible;
    FirstVisible = -2;  // not the first visible point: draw a plain segment
    DrawPoint(index);
    FirstVisible = keepFirst;
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
    if (FirstVisible == -1 || LastVisible == -1 || ParentChart() == nullptr) {
        return -1;
    }
    const TPoint press{x, y};
    TPoint previous;
    for (int i = FirstVisible; i <= LastVisible; ++i) {
        const TPoint p{CalcXPos(i), CalcYPos(i)};
        if (p == press) {
            return i;
        }
        if (i > FirstVisible && PixelOnSegment(press, p, previous)) {
            return i - 1;
        }
        previous = p;
    }
    return -1;
}

}  // namespace quorvel
