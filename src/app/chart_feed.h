#pragma once
// Everything the window puts into the chart's three series goes through here: the measured points in
// ascending X order with their labels, the curve samples, and the evaluated point.
#include <array>
#include <string>
#include <vector>

#include "runtime/colors.h"

class QWidget;

namespace quorvel {

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

    explicit TChartFeed(QWidget* chart);

    void ClearPoints(int series);
    void AddPoint(int series, double x, double y, std::string label, TColor color);
    int PointCount(int series) const;
    const TPoint& Point(int series, int index) const;

    // Clears the three series, then fills Series1 and Series2 from a recompute.
    void FeedRecompute(const TRecomputeResult& result);

private:
    std::vector<TPoint>& Series(int series);
    const std::vector<TPoint>& Series(int series) const;

    QWidget* chart_;
    std::array<std::vector<TPoint>, 3> series_;
};

}  // namespace quorvel
