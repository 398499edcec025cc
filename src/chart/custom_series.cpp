#include "chart/custom_series.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "chart/axis_panel.h"

namespace quorvel {

namespace {

constexpr int kPixelLimit = 32766;
// Markers are merged from this many visible points on, over at most this many pixel positions.
constexpr std::size_t kMergeFrom = 4096;
constexpr std::size_t kMergeCells = std::size_t{1} << 24;

bool OnScreen(TPoint p) {
    return p.X >= -kPixelLimit && p.X <= kPixelLimit && p.Y >= -kPixelLimit && p.Y <= kPixelLimit;
}

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
    if (!pointer_.Visible() || FirstVisible < 0 || LastVisible < FirstVisible) {
        return;
    }
    const int first = FirstVisible;
    const auto count = static_cast<std::size_t>(LastVisible - first + 1);
    std::vector<TPoint> at(count);
    // The points' pixels and colours are found a block at a time: plain loops over plain arrays.
    constexpr std::size_t kBlock = 2048;
    std::vector<double> values(kBlock);
    std::vector<int> pixels(kBlock);
    std::vector<TColor> colors(kBlock);
    const TChartAxis* horizontal = GetHorizAxis();
    const TChartAxis* vertical = GetVertAxis();
    // The pixels of n values of a list from `from` on (0 without an axis).
    const auto pixelsOf = [&](const TChartValueList& list, const TChartAxis* axis, int from, std::size_t n) {
        if (axis == nullptr) {
            std::fill_n(pixels.begin(), n, 0);
        } else {
            list.CopyValues(from, n, values.data());
            axis->ValuesToPixels(values.data(), n, pixels.data());
        }
        return pixels.data();
    };
    for (std::size_t b = 0; b < count; b += kBlock) {
        const std::size_t n = std::min(kBlock, count - b);
        const int from = first + static_cast<int>(b);
        const int* x = pixelsOf(XValues(), horizontal, from, n);
        for (std::size_t k = 0; k < n; ++k) {
            at[b + k].X = x[k];
        }
        const int* y = pixelsOf(YValues(), vertical, from, n);
        for (std::size_t k = 0; k < n; ++k) {
            at[b + k].Y = y[k];
        }
    }
    // The colours of the block that holds point k, fetched when k leaves the block last fetched.
    std::size_t colorsFrom = count;
    const auto colorOf = [&](std::size_t k) {
        if (k < colorsFrom || k >= colorsFrom + kBlock) {
            colorsFrom = k - k % kBlock;
            PointColors(first + static_cast<int>(colorsFrom), std::min(kBlock, count - colorsFrom),
                        colors.data());
        }
        return colors[k - colorsFrom];
    };
    int minX = kPixelLimit, maxX = -kPixelLimit, minY = kPixelLimit, maxY = -kPixelLimit;
    for (std::size_t k = 0; k < count; ++k) {
        if (OnScreen(at[k])) {
            minX = std::min(minX, at[k].X);
            maxX = std::max(maxX, at[k].X);
            minY = std::min(minY, at[k].Y);
            maxY = std::max(maxY, at[k].Y);
        }
    }
    // A marker drawn later at the same pixel, whatever its colour, draws the same shape over every pixel
    // of the earlier one (markers are drawn opaque, without antialiasing, in copy mode): the picture is
    // that of the later ones alone. Many points on few pixels are drawn once per pixel, found from the
    // last point back.
    std::vector<char> skipped;
    const auto width = static_cast<std::size_t>(maxX - minX + 1);
    const auto height = static_cast<std::size_t>(maxY - minY + 1);
    if (!OnGetPointerStyle && count >= kMergeFrom && minX <= maxX && width * height <= kMergeCells) {
        skipped.assign(count, 0);
        std::vector<char> drawnLater(width * height, 0);
        for (std::size_t k = count; k-- > 0;) {
            if (!OnScreen(at[k]) || colorOf(k) == clNullPoint) {
                continue;
            }
            char& drawn = drawnLater[static_cast<std::size_t>(at[k].Y - minY) * width +
                                     static_cast<std::size_t>(at[k].X - minX)];
            skipped[k] = drawn;
            drawn = 1;
        }
    }
    TChartCanvas3D& c = ChartCanvas();
    for (std::size_t k = 0; k < count; ++k) {
        if (!OnScreen(at[k]) || (!skipped.empty() && skipped[k] != 0)) {
            continue;
        }
        const int i = first + static_cast<int>(k);
        const TColor color = colorOf(k);
        if (color == clNullPoint) {
            continue;
        }
        pointer_.PreparePointerCanvas(c, color);
        const TSeriesPointerStyle style = OnGetPointerStyle ? OnGetPointerStyle(*this, i) : pointer_.Style();
        pointer_.DrawPointer(c, at[k].X, at[k].Y, color, style);
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
