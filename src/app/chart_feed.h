#pragma once
// The window's view of what its chart's series hold, by series number: the points with their labels
// and colours. The series are filled by FeedFormChart and FeedEvaluatedPoint.
#include <string>

#include "runtime/colors.h"

namespace quorvel {

class TChart;
class TChartSeries;

class TChartFeed {
public:
    static constexpr int kMeasured = 1;   // Series1
    static constexpr int kCurve = 2;      // Series2
    static constexpr int kEvaluated = 3;  // Series3

    struct TPoint {
        double x = 0;
        double y = 0;
        std::string label;
        TColor color = AutoColor;
    };

    explicit TChartFeed(TChart& chart);

    int PointCount(int series) const;
    TPoint Point(int series, int index) const;

private:
    TChartSeries& Series(int series) const;

    TChart& chart_;
};

}  // namespace quorvel
