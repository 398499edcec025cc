#pragma once
// The back wall behind the plot: a framed rectangle, filled only when it has a colour or a non-solid brush.
#include "chart/chart_pen.h"

namespace quorvel {

class TChartWall {
public:
    TChartWall() = default;
    TChartWall(const TChartWall&) = delete;
    TChartWall& operator=(const TChartWall&) = delete;

    TChartPen& Pen() { return pen_; }
    const TChartPen& Pen() const { return pen_; }
    TChartBrush& Brush() { return brush_; }
    const TChartBrush& Brush() const { return brush_; }
    // AutoColor: the wall has no colour of its own.
    TColor Color() const { return color_; }
    void SetColor(TColor v) {
        if (color_ != v) {
            color_ = v;
            if (OnChange) {
                OnChange();
            }
        }
    }
    // Wired by the chart to its Invalidate.
    void SetOnChange(std::function<void()> f) {
        OnChange = f;
        pen_.OnChange = f;
        brush_.OnChange = f;
    }

private:
    std::function<void()> OnChange;
    TChartPen pen_{clBlack, 1};
    TChartBrush brush_{clWhite, bsClear};
    TColor color_ = AutoColor;
};

}  // namespace quorvel
