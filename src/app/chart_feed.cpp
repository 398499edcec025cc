#include "app/chart_feed.h"

#include <QWidget>
#include <utility>

#include "fitting/presentation.h"
#include "runtime/number_text.h"

namespace quorvel {

TChartFeed::TChartFeed(QWidget* chart) : chart_(chart) {}

std::vector<TChartFeed::TPoint>& TChartFeed::Series(int series) {
    return series_.at(static_cast<size_t>(series - 1));
}

const std::vector<TChartFeed::TPoint>& TChartFeed::Series(int series) const {
    return series_.at(static_cast<size_t>(series - 1));
}

void TChartFeed::ClearPoints(int series) {
    Series(series).clear();
    chart_->update();
}

void TChartFeed::AddPoint(int series, double x, double y, std::string label, TColor color) {
    auto& points = Series(series);
    // Ascending X; an X equal to stored ones goes after them.
    auto pos = points.end();
    while (pos != points.begin() && (pos - 1)->x > x) {
        --pos;
    }
    points.insert(pos, TPoint{x, y, std::move(label), color});
    chart_->update();
}

int TChartFeed::PointCount(int series) const {
    return static_cast<int>(Series(series).size());
}

const TChartFeed::TPoint& TChartFeed::Point(int series, int index) const {
    return Series(series).at(static_cast<size_t>(index));
}

void TChartFeed::FeedRecompute(const TRecomputeResult& result) {
    ClearPoints(kMeasured);
    ClearPoints(kCurve);
    ClearPoints(kEvaluated);
    Series(kMeasured).reserve(result.measured.size());
    // Appending in stable X order gives the series the order that adding in table order would.
    for (int i : result.measuredByX) {
        const TFeedPoint& p = result.measured[static_cast<size_t>(i)];
        AddPoint(kMeasured, p.x, p.y, NumberToText(p.x), p.color);
    }
    Series(kCurve).reserve(result.curve.size());
    for (const TFeedPoint& p : result.curve) {
        AddPoint(kCurve, p.x, p.y, std::string(), AutoColor);
    }
}

}  // namespace quorvel
