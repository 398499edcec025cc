#include "app/chart_feed.h"

#include <stdexcept>

#include "calibration/form_chart.h"

namespace quorvel {

TChartFeed::TChartFeed(TChart& chart) : chart_(chart) {}

TChartSeries& TChartFeed::Series(int series) const {
    const TFormChartSeries s = FormSeries(chart_);
    switch (series) {
        case kMeasured:
            return *s.measured;
        case kCurve:
            return *s.curve;
        case kEvaluated:
            return *s.evaluated;
        default:
            throw std::out_of_range("no such series");
    }
}

int TChartFeed::PointCount(int series) const {
    return Series(series).PointCount();
}

TChartFeed::TPoint TChartFeed::Point(int series, int index) const {
    const TChartSeries& s = Series(series);
    return TPoint{s.XValues().ValueAt(index), s.YValues().ValueAt(index), s.PointLabel(index),
                  s.PointColor(index)};
}

}  // namespace quorvel
