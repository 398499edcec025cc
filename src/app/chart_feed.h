#pragma once
// Everything the window puts into the chart goes through here: its visibility, the measured points in
// ascending X order with their labels, the curve samples, and the evaluated point.
#include <string>

#include "runtime/colors.h"

namespace quorvel {

class TChart;
class TChartSeries;
struct TRecomputeResult;

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

    void SetVisible(bool visible);
    bool Visible() const;

    void ClearPoints(int series);
    void AddPoint(int series, double x, double y, const std::string& label, TColor color);
    int PointCount(int series) const;
    TPoint Point(int series, int index) const;

    // Clears the three series, then fills Series1 and Series2 from a recompute.
    void FeedRecompute(const TRecomputeResult& result);

private:
    TChartSeries& Series(int series) const;

    TChart& chart_;
};

}  // namespace quorvel
