#include "chart/custom_series.h"

#include <cstdlib>

#include "chart/axis_panel.h"

namespace quorvel {

namespace {

constexpr int kPixelLimit = 32766;

}  // namespace

TCustomSeries::TCustomSeries() : pointer_(this) {}

TSeriesMargins TCustomSeries::SeriesMargins() const {
    if (!pointer_.Visible() || !pointer_.InflateMargins()) {
        return {};
    }
    const int h = pointer_.HorizSize() + 1;
    const int v = pointer_.VertSize() + 1;
    return TSeriesMargins{h, v, h, v};
}

void TCustomSeries::DrawAllPoints() {
    TChartCanvas3D& c = ChartCanvas();
    for (int i = FirstVisible; i <= LastVisible && i >= 0; ++i) {
        const int x = CalcXPos(i);
        const int y = CalcYPos(i);
        if (x < -kPixelLimit || x > kPixelLimit || y < -kPixelLimit || y > kPixelLimit) {
            continue;
        }
        const TColor color = PointColor(i);
        if (!pointer_.Visible() || color == clNullPoint) {
            continue;
        }
        pointer_.PreparePointerCanvas(c, color);
        const TSeriesPointerStyle style = OnGetPointerStyle ? OnGetPointerStyle(*this, i) : pointer_.Style();
        pointer_.DrawPointer(c, x, y, color, style);
    }
}

int TCustomSeries::PointAtPixel(int x, int y) {
    if (FirstVisible == -1 || LastVisible == -1 || ParentChart() == nullptr) {
        return -1;
    }
    for (int i = FirstVisible; i <= LastVisible; ++i) {
        const int px = CalcXPos(i);
        const int py = CalcYPos(i);
        if (pointer_.Visible() && std::abs(px - x) < pointer_.HorizSize() &&
            std::abs(py - y) < pointer_.VertSize()) {
            if (OnClickPointer) {
                OnClickPointer(*this, i, x, y);
            }
            return i;
        }
        if (px == x && py == y) {
            return i;
        }
    }
    return -1;
}

}  // namespace quorvel
