#pragma once
// The main window's chart exactly as its stored layout gives it, and the one feed of its series from a
// recompute, for the window and quorvel-fit alike.
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include "chart/chart.h"
#include "chart/fast_line_series.h"
#include "chart/point_series.h"
#include "fitting/fit_uncertainty.h"
#include "fitting/presentation.h"
#include "runtime/work_steps.h"

namespace quorvel {

// Chart1: 289 x 208 at (208, 152), hidden, flat, no legend, hidden one-empty-line title, clear white back
// wall, the stored axis settings and the three series Series1 (points), Series2 (curve), Series3 (point).
std::unique_ptr<TChart> CreateFormChart();

// The three series of a chart made by CreateFormChart, by what they show; their stored names are Series1,
// Series2 and Series3.
struct TFormChartSeries {
    TPointSeries* measured = nullptr;
    TFastLineSeries* curve = nullptr;
    TPointSeries* evaluated = nullptr;  // the point evaluated at the window's X
};

TFormChartSeries FormSeries(TChart& chart);

// The chart's part of a recompute, as far as it got: the chart shown unless the table held too few
// points; the three series cleared; once the points were reached the measured points refilled in the
// stable ascending X order (labels NumberToText(x), the deviation colours); once the curve was reached the
// curve refilled with its samples (empty labels, the series' own colour). Then the evaluated point as
// FeedEvaluatedPoint adds it, when one is given.
void FeedFormChart(TChart& chart, const TRecomputeResult& result, const TEvaluation* evaluated,
                   const TWorkSteps& steps = {});

// The measured points of a recompute in their X order (measuredByX), with their deviation colours, as the
// feed takes them. Each comes from anywhere in the table, so the one kAhead places on is asked of memory
// already: the reads overlap instead of waiting one after another (for a million points in random order
// the feed takes half the time).
class TMeasuredInXOrder {
public:
    explicit TMeasuredInXOrder(const TRecomputeResult& result) : result_(result) {}
    std::size_t Count() const { return result_.measuredByX.size(); }
    // The k-th point in X order.
    TFeedPoint operator()(std::size_t k) const {
        const std::vector<int>& byX = result_.measuredByX;
        if (k + kAhead < byX.size()) {
            const auto ahead = static_cast<std::size_t>(byX[k + kAhead]);
            __builtin_prefetch(&result_.measured[ahead]);
            __builtin_prefetch(&result_.colors[ahead]);
        }
        const auto i = static_cast<std::size_t>(byX[k]);
        const TDataPoint& p = result_.measured[i];
        return TFeedPoint{p.X, p.Y, result_.colors[i]};
    }

private:
    static constexpr std::size_t kAhead = 16;
    const TRecomputeResult& result_;
};

// The evaluated point's series emptied, then, for an evaluation that gave a Y, that point in red with the
// label of its X.
void FeedEvaluatedPoint(TChart& chart, const TEvaluation* evaluated);

// U(Y at X), the expanded uncertainty of the fitted value at an X; nothing beyond the number range.
using TBandWidth = std::function<std::optional<double>(double x)>;

// The width of a fit's band: of the calibration with given uncertainties where there is one, else of the
// ordinary fit's scatter; none (an empty function) without either.
TBandWidth BandWidthOf(const std::shared_ptr<const TCalibration>& calibration,
                       const std::optional<TFitUncertainty>& uncertainty);

// The 95 % band of the chart's curve: Y ± U(Y at X) at each of the curve's samples, as two thin grey
// lines after the other series, and the curve drawn again on top, so that a band narrower than a line
// never hides it. A band fed before goes first; an empty width leaves none. A sample whose band lies
// beyond the number range is left out.
void FeedBand(TChart& chart, const TBandWidth& width);

}  // namespace quorvel
