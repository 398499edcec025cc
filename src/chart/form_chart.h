#pragma once
// The main window's chart exactly as its stored layout gives it, and the helpers that refill its series
// from a recompute.
#include <memory>
#include <vector>

#include "chart/chart.h"
#include "chart/fast_line_series.h"
#include "chart/point_series.h"
#include "runtime/number_text.h"

namespace quorvel {

// Chart1: 289 x 208 at (208, 152), hidden, flat, no legend, hidden one-empty-line title, clear white back
// wall, the stored axis settings and the three series Series1 (points), Series2 (curve), Series3 (point).
std::unique_ptr<TChart> CreateFormChart();

struct TFormChartSeries {
    TPointSeries* Series1 = nullptr;
    TFastLineSeries* Series2 = nullptr;
    TPointSeries* Series3 = nullptr;
};

// The three series of a chart made by CreateFormChart.
TFormChartSeries FormSeries(TChart& chart);

// Refills Series1 with the measured points, appended in the stable ascending X order byX gives (the same
// arrangement as adding them in table order, at one comparison per point). Each label is NumberToText(x).
template <class Points>
void FeedMeasuredPoints(TPointSeries& series, const Points& measured, const std::vector<int>& byX) {
    series.ClearPoints();
    for (int index : byX) {
        const auto& p = measured[static_cast<std::size_t>(index)];
        series.AddPoint(p.x, p.y, NumberToText(p.x), p.color);
    }
}

// Refills Series2 with the curve samples (ascending x), empty labels and the series' own colour.
template <class Points>
void FeedCurve(TFastLineSeries& series, const Points& curve) {
    series.ClearPoints();
    for (const auto& p : curve) {
        series.AddPoint(p.x, p.y, {}, AutoColor);
    }
}

}  // namespace quorvel
