#pragma once
// The marker drawn at every point of a point series: style, half sizes, outline pen and fill brush.
#include "chart/canvas.h"
#include "chart/chart_pen.h"

namespace quorvel {

class TChartSeries;
class TChartCanvas;

enum class TSeriesPointerStyle {
    Rectangle,
    Circle,
    Triangle,
    DownTriangle,
    Cross,
    DiagCross,
    Star,
    Diamond,
    SmallDot
};

class TSeriesPointer {
public:
    explicit TSeriesPointer(TChartSeries* owner);
    TSeriesPointer(const TSeriesPointer&) = delete;
    TSeriesPointer& operator=(const TSeriesPointer&) = delete;

    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    TSeriesPointerStyle Style() const { return style_; }
    void SetStyle(TSeriesPointerStyle v);
    int HorizSize() const { return horizSize_; }
    // Refuses a size below 1 with ChartException, keeping the old size.
    void SetHorizSize(int v);
    int VertSize() const { return vertSize_; }
    void SetVertSize(int v);
    bool InflateMargins() const { return inflateMargins_; }
    void SetInflateMargins(bool v);
    TChartPen& Pen() { return pen_; }
    const TChartPen& Pen() const { return pen_; }
    TChartBrush& Brush() { return brush_; }
    const TChartBrush& Brush() const { return brush_; }

    // Selects pen and brush for a marker of the point colour (AutoColor parts take the point colour), for
    // a printer's page or not.
    void PreparePointerCanvas(const TChartCanvas& canvas, TColor color, bool printing = false) const;
    // Draws the marker centred on (x, y).
    void DrawPointer(const TChartCanvas& canvas, int x, int y, TColor color, TSeriesPointerStyle style) const;

private:
    void Changed();

    TChartSeries* owner_;
    bool visible_ = true;
    TSeriesPointerStyle style_ = TSeriesPointerStyle::Rectangle;
    int horizSize_ = 4;
    int vertSize_ = 4;
    bool inflateMargins_ = true;
    TChartPen pen_{clBlack, 1};
    TChartBrush brush_{AutoColor, bsSolid};
};

}  // namespace quorvel
