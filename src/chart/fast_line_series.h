#pragma once
// A series drawn as one polyline through its points in index order (the fitted curve).
#include "chart/chart_pen.h"
#include "chart/series.h"

namespace quorvel {

class TFastLineSeries : public TChartSeries {
public:
    TFastLineSeries();

    TChartPen& LinePen() { return linePen_; }
    const TChartPen& LinePen() const { return linePen_; }
    // Takes the pen and makes its colour the series colour.
    void SetLinePen(const TChartPen& pen);
    // Also colours the line pen.
    void SetSeriesColor(TColor v) override;
    bool AutoRepaint() const { return autoRepaint_; }
    void SetAutoRepaint(bool v) { autoRepaint_ = v; }

    // The point whose pixel is the press, or the first point of the segment through it; -1 otherwise.
    int PointAtPixel(int x, int y) override;

protected:
    void DrawAllPoints() override;
    void AfterAdd(int index) override;
    bool HearsEachAdd() const override { return !autoRepaint_ || TChartSeries::HearsEachAdd(); }

private:
    void DrawPoint(int index);
    // The position of point index between pixels; false when it has none (an undefined value).
    bool ExactPosition(int index, TPointF& p) const;
    // The visible part of the line from the points' exact positions, for canvases finer than a pixel.
    void DrawExact();
    // The pixels of the segment from point index - 1 to point index, cut short where an end lies
    // beyond the far pixel; false when nothing of it comes near the plot.
    bool Segment(int index, TPoint& from, TPoint& to) const;

    TChartPen linePen_{clBlack, 1};
    bool autoRepaint_ = true;
    TPoint last_;
    bool penAtLast_ = false;  // the canvas pen stands at last_
};

// Whether P lies on the segment from A to B, within one pixel across its major direction.
bool PixelOnSegment(TPoint p, TPoint a, TPoint b);

}  // namespace quorvel
