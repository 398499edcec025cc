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
// Pixels and colours are found a block at a time: plain loops over plain arrays.
constexpr std::size_t kBlock = 2048;
// Markers are merged from this many visible points on, over at most this many pixel positions.
constexpr std::size_t kMergeFrom = 4096;
constexpr std::size_t kMergeCells = std::size_t{1} << 24;

bool OnScreen(int x, int y) {
    return x >= -kPixelLimit && x <= kPixelLimit && y >= -kPixelLimit && y <= kPixelLimit;
}

}  // namespace

// The pixels of the visible points on the context's axes, and the box of those that can be drawn.
class TCustomSeries::TPointPixels {
public:
    TPointPixels(const TCustomSeries& series, const TRenderContext& context, int first, std::size_t count,
                 TStepTeller& steps)
        : first_(first),
          count_(count),
          x_(std::make_unique_for_overwrite<int[]>(count)),
          y_(std::make_unique_for_overwrite<int[]>(count)) {
        std::vector<double> values(kBlock);
        const bool axes = series.ParentChart() != nullptr;
        const auto pixelsOf = [&](const TChartValueList& list, const TScaleMap& scale, int from,
                                  std::size_t n, int* pixels) {
            if (!axes) {
                std::fill_n(pixels, n, 0);
            } else {
                list.CopyValues(from, n, values.data());
                scale.ToPixels(values.data(), n, pixels);
            }
        };
        const TScaleMap& horizontal = series.HorizScale(context);
        const TScaleMap& vertical = series.VertScale(context);
        for (std::size_t b = 0; b < count; b += kBlock) {
            steps.Passed(b);
            const std::size_t n = std::min(kBlock, count - b);
            const int from = first + static_cast<int>(b);
            pixelsOf(series.XValues(), horizontal, from, n, x_.get() + b);
            pixelsOf(series.YValues(), vertical, from, n, y_.get() + b);
            for (std::size_t k = b; k < b + n; ++k) {
                if (OnScreen(k)) {
                    minX_ = std::min(minX_, x_[k]);
                    maxX_ = std::max(maxX_, x_[k]);
                    minY_ = std::min(minY_, y_[k]);
                    maxY_ = std::max(maxY_, y_[k]);
                }
            }
        }
    }

    int First() const { return first_; }
    std::size_t Count() const { return count_; }
    int X(std::size_t k) const { return x_[k]; }
    int Y(std::size_t k) const { return y_[k]; }
    bool OnScreen(std::size_t k) const { return quorvel::OnScreen(x_[k], y_[k]); }
    // The box of the points on screen: none when minX > maxX.
    int MinX() const { return minX_; }
    int MaxX() const { return maxX_; }
    int MinY() const { return minY_; }
    int MaxY() const { return maxY_; }

private:
    int first_;
    std::size_t count_;
    std::unique_ptr<int[]> x_;
    std::unique_ptr<int[]> y_;
    int minX_ = kPixelLimit;
    int maxX_ = -kPixelLimit;
    int minY_ = kPixelLimit;
    int maxY_ = -kPixelLimit;
};

// The shown colours of the visible points, fetched a block at a time when a point leaves the block
// fetched last.
class TCustomSeries::TPointColors {
public:
    TPointColors(const TChartSeries& series, int first, std::size_t count)
        : series_(series), first_(first), count_(count), colors_(kBlock) {}

    TColor operator()(std::size_t k) {
        if (k < from_ || k >= from_ + kBlock) {
            from_ = k - k % kBlock;
            series_.PointColors(first_ + static_cast<int>(from_), std::min(kBlock, count_ - from_),
                                colors_.data());
        }
        return colors_[k - from_];
    }

private:
    const TChartSeries& series_;
    int first_;
    std::size_t count_;
    std::vector<TColor> colors_;
    std::size_t from_ = count_;
};

TCustomSeries::TCustomSeries() : pointer_(this) {}

TSeriesMargins TCustomSeries::SeriesMargins() const {
    if (!pointer_.Visible() || !pointer_.InflateMargins()) {
        return {};
    }
    const int h = pointer_.HorizSize() + 1;
    const int v = pointer_.VertSize() + 1;
    return TSeriesMargins{h, v, h, v};
}

void TCustomSeries::DrawMarker(const TRenderContext& context, int index, int x, int y, TColor color) {
    pointer_.PreparePointerCanvas(context.Canvas, color, context.Options.Printing());
    const TSeriesPointerStyle style = OnGetPointerStyle ? OnGetPointerStyle(*this, index) : pointer_.Style();
    pointer_.DrawPointer(context.Canvas, x, y, color, style);
}

bool TCustomSeries::DrawUncovered(const TRenderContext& context, const TPointPixels& pixels,
                                  TPointColors& colors) {
    // A marker drawn later at the same pixel, whatever its colour, draws the same shape over every pixel
    // of the earlier one (markers are drawn opaque, without antialiasing, in copy mode): the picture is
    // that of the later ones alone. Many points on few pixels are drawn once per pixel, found from the
    // last point back, then drawn in their own order.
    const std::size_t count = pixels.Count();
    if (pixels.MinX() > pixels.MaxX()) {
        return false;
    }
    const auto width = static_cast<std::size_t>(pixels.MaxX() - pixels.MinX() + 1);
    const auto height = static_cast<std::size_t>(pixels.MaxY() - pixels.MinY() + 1);
    if (OnGetPointerStyle || count < kMergeFrom || width * height > kMergeCells) {
        return false;
    }
    // A rendering in steps hears of this pass as the 20 % after the pixels'.
    TStepTeller steps(context, count, 0.3, 0.2);
    std::vector<char> drawnLater(width * height, 0);
    std::vector<std::size_t> shown;
    for (std::size_t k = count; k-- > 0;) {
        steps.Passed(count - k);
        if (!pixels.OnScreen(k) || colors(k) == clNullPoint) {
            continue;
        }
        char& drawn = drawnLater[static_cast<std::size_t>(pixels.Y(k) - pixels.MinY()) * width +
                                 static_cast<std::size_t>(pixels.X(k) - pixels.MinX())];
        if (drawn == 0) {
            drawn = 1;
            shown.push_back(k);
        }
    }
    for (auto k = shown.rbegin(); k != shown.rend(); ++k) {
        DrawMarker(context, pixels.First() + static_cast<int>(*k), pixels.X(*k), pixels.Y(*k), colors(*k));
    }
    return true;
}

void TCustomSeries::DrawAllPoints(const TRenderContext& context, const TSeriesLayout& visible) {
    if (!pointer_.Visible() || visible.FirstVisible < 0 || visible.LastVisible < visible.FirstVisible) {
        return;
    }
    const int first = visible.FirstVisible;
    const auto count = static_cast<std::size_t>(visible.LastVisible - first + 1);
    // A rendering in steps hears of the pixels' pass as its first 30 %.
    TStepTeller pixelSteps(context, count, 0, 0.3);
    const TPointPixels pixels(*this, context, first, count, pixelSteps);
    TPointColors colors(*this, first, count);
    if (DrawUncovered(context, pixels, colors)) {
        return;
    }
    for (std::size_t k = 0; k < count; ++k) {
        if (!pixels.OnScreen(k)) {
            continue;
        }
        const TColor color = colors(k);
        if (color != clNullPoint) {
            DrawMarker(context, first + static_cast<int>(k), pixels.X(k), pixels.Y(k), color);
        }
    }
}

int TCustomSeries::PointAtPixel(const TRenderContext& context, int x, int y) {
    const TSeriesLayout visible = context.Visible(*this);
    if (visible.FirstVisible == -1 || visible.LastVisible == -1 || ParentChart() == nullptr) {
        return -1;
    }
    for (int i = visible.FirstVisible; i <= visible.LastVisible; ++i) {
        const int px = CalcXPos(context, i);
        const int py = CalcYPos(context, i);
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
