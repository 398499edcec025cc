#pragma once
// The main window's chart exactly as its stored layout gives it, and the one feed of its series from a
// recompute, for the window and quorvel-fit alike.
#include <memory>

#include "chart/chart.h"
#include "chart/fast_line_series.h"
#include "chart/point_series.h"
#include "runtime/work_steps.h"

namespace quorvel {

struct TEvaluation;
struct TRecomputeResult;

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

// The evaluated point's series emptied, then, for an evaluation that gave a Y, that point in red with the
// label of its X.
void FeedEvaluatedPoint(TChart& chart, const TEvaluation* evaluated);

}  // namespace quorvel
