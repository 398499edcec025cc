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
    int PointAtPixel(const TRenderContext& context, int x, int y) override;

protected:
    void DrawAllPoints(const TRenderContext& context, const TSeriesLayout& visible) override;
    void AfterAdd(int index) override;
    bool HearsEachAdd() const override { return !autoRepaint_ || TChartSeries::HearsEachAdd(); }

private:
    // Where the drawing of the line has got to: the pixel of the point drawn last, and whether the canvas
    // pen stands there.
    struct TLineWalk {
        TPoint last;
        bool penAtLast = false;
    };
    // Draws the line on to point index: its first visible point (`entering`) starts the line.
    void DrawPoint(const TRenderContext& context, int index, bool entering, TLineWalk& walk) const;
    // The position of point index between pixels; false when it has none (an undefined value).
    bool ExactPosition(const TRenderContext& context, int index, TPointF& p) const;
    // The visible part of the line from the points' exact positions, for canvases finer than a pixel.
    void DrawExact(const TRenderContext& context, const TSeriesLayout& visible) const;
    // The pixels of the segment from point index - 1 to point index, cut short where an end lies
    // beyond the far pixel; false when nothing of it comes near the plot.
    bool Segment(const TRenderContext& context, int index, TPoint& from, TPoint& to) const;

    TChartPen linePen_{clBlack, 1};
    bool autoRepaint_ = true;
};

// Whether P lies on the segment from A to B, within one pixel across its major direction.
bool PixelOnSegment(TPoint p, TPoint a, TPoint b);

}  // namespace quorvel
