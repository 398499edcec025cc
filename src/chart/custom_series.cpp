#include "chart/custom_series.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "chart/chart.h"
#include "runtime/work_steps.h"

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
    if (!pointer_.Visible() || FirstVisible() < 0 || LastVisible() < FirstVisible()) {
        return;
    }
    const int first = FirstVisible();
    const auto count = static_cast<std::size_t>(LastVisible() - first + 1);
    // The points' pixels and colours are found a block at a time: plain loops over plain arrays.
    constexpr std::size_t kBlock = 2048;
    const auto px = std::make_unique_for_overwrite<int[]>(count);
    const auto py = std::make_unique_for_overwrite<int[]>(count);
    std::vector<double> values(kBlock);
    std::vector<TColor> colors(kBlock);
    const TChartAxis* horizontal = GetHorizAxis();
    const TChartAxis* vertical = GetVertAxis();
    // The pixels of n values of a list from `from` on (0 without an axis).
    const auto pixelsOf = [&](const TChartValueList& list, const TChartAxis* axis, int from, std::size_t n,
                              int* pixels) {
        if (axis == nullptr) {
            std::fill_n(pixels, n, 0);
        } else {
            list.CopyValues(from, n, values.data());
            axis->ValuesToPixels(values.data(), n, pixels);
        }
    };
    const auto onScreen = [&](std::size_t k) { return OnScreen(TPoint{px[k], py[k]}); };
    int minX = kPixelLimit, maxX = -kPixelLimit, minY = kPixelLimit, maxY = -kPixelLimit;
    // A rendering in steps hears of the pixels' pass (the first 30 %) and of the covered markers' (20 %).
    TChart* const chart = ParentChart();
    const auto tellStep = [&](std::size_t done, double from, double share) {
        if (chart != nullptr && done % kItemsPerStep == 0 && done > 0) {
            chart->TellRenderStep(from + share * static_cast<double>(done) / static_cast<double>(count));
        }
    };
    for (std::size_t b = 0; b < count; b += kBlock) {
        tellStep(b, 0, 0.3);
        const std::size_t n = std::min(kBlock, count - b);
        const int from = first + static_cast<int>(b);
        pixelsOf(XValues(), horizontal, from, n, px.get() + b);
        pixelsOf(YValues(), vertical, from, n, py.get() + b);
        for (std::size_t k = b; k < b + n; ++k) {
            if (onScreen(k)) {
                minX = std::min(minX, px[k]);
                maxX = std::max(maxX, px[k]);
                minY = std::min(minY, py[k]);
                maxY = std::max(maxY, py[k]);
            }
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
    TChartCanvas& c = ChartCanvas();
    const auto draw = [&](std::size_t k, TColor color) {
        const int i = first + static_cast<int>(k);
        pointer_.PreparePointerCanvas(c, color);
        const TSeriesPointerStyle style = OnGetPointerStyle ? OnGetPointerStyle(*this, i) : pointer_.Style();
        pointer_.DrawPointer(c, px[k], py[k], color, style);
    };
    // A marker drawn later at the same pixel, whatever its colour, draws the same shape over every pixel
    // of the earlier one (markers are drawn opaque, without antialiasing, in copy mode): the picture is
    // that of the later ones alone. Many points on few pixels are drawn once per pixel, found from the
    // last point back, then drawn in their own order.
    const auto width = static_cast<std::size_t>(maxX - minX + 1);
    const auto height = static_cast<std::size_t>(maxY - minY + 1);
    if (!OnGetPointerStyle && count >= kMergeFrom && minX <= maxX && width * height <= kMergeCells) {
        std::vector<char> drawnLater(width * height, 0);
        std::vector<std::size_t> shown;
        for (std::size_t k = count; k-- > 0;) {
            tellStep(count - k, 0.3, 0.2);
            if (!onScreen(k) || colorOf(k) == clNullPoint) {
                continue;
            }
            char& drawn = drawnLater[static_cast<std::size_t>(py[k] - minY) * width +
                                     static_cast<std::size_t>(px[k] - minX)];
            if (drawn == 0) {
                drawn = 1;
                shown.push_back(k);
            }
        }
        for (auto k = shown.rbegin(); k != shown.rend(); ++k) {
            draw(*k, colorOf(*k));
        }
        return;
    }
    for (std::size_t k = 0; k < count; ++k) {
        if (!onScreen(k)) {
            continue;
        }
        const TColor color = colorOf(k);
        if (color != clNullPoint) {
            draw(k, color);
        }
    }
}

int TCustomSeries::PointAtPixel(int x, int y) {
    if (FirstVisible() == -1 || LastVisible() == -1 || ParentChart() == nullptr) {
        return -1;
    }
    for (int i = FirstVisible(); i <= LastVisible(); ++i) {
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
