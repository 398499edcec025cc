#include "app/chart_feed.h"

#include <stdexcept>

#include "chart/form_chart.h"
#include "fitting/presentation.h"

namespace quorvel {

TChartFeed::TChartFeed(TChart& chart) : chart_(chart) {}

TChartSeries& TChartFeed::Series(int series) const {
    const TFormChartSeries s = FormSeries(chart_);
    switch (series) {
        case kMeasured:
            return *s.Series1;
        case kCurve:
            return *s.Series2;
        case kEvaluated:
            return *s.Series3;
        default:
            throw std::out_of_range("no such series");
    }
}

void TChartFeed::SetVisible(bool visible) {
    // The chart widget follows the chart's own setting.
    chart_.SetVisible(visible);
}

bool TChartFeed::Visible() const {
    return chart_.Visible();
}

void TChartFeed::ClearPoints(int series) {
    Series(series).ClearPoints();
}

void TChartFeed::AddPoint(int series, double x, double y, const std::string& label, TColor color) {
    Series(series).AddPoint(x, y, label, color);
}

int TChartFeed::PointCount(int series) const {
    return Series(series).PointCount();
}

TChartFeed::TPoint TChartFeed::Point(int series, int index) const {
    const TChartSeries& s = Series(series);
    return TPoint{s.XValues().ValueAt(index), s.YValues().ValueAt(index), s.PointLabel(index),
                  s.PointColor(index)};
}

void TChartFeed::FeedRecompute(const TRecomputeResult& result) {
    const TFormChartSeries s = FormSeries(chart_);
    s.Series1->ClearPoints();
    s.Series2->ClearPoints();
    s.Series3->ClearPoints();
    FeedMeasuredPoints(*s.Series1, result.measured, result.measuredByX);
    FeedCurve(*s.Series2, result.curve);
}

}  // namespace quorvel
