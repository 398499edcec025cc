#include "chart/series_pointer.h"

#include <array>

#include "chart/chart.h"
#include "chart/chart_exceptions.h"
#include "chart/series.h"

namespace quorvel {

TSeriesPointer::TSeriesPointer(TChartSeries* owner) : owner_(owner) {
    pen_.OnChange = [this] { Changed(); };
    brush_.OnChange = [this] { Changed(); };
}

void TSeriesPointer::Changed() {
    if (owner_ != nullptr) {
        owner_->RequestRepaint();
    }
}

void TSeriesPointer::SetVisible(bool v) {
    if (visible_ != v) {
        visible_ = v;
        Changed();
    }
}

void TSeriesPointer::SetStyle(TSeriesPointerStyle v) {
    if (style_ != v) {
        style_ = v;
        Changed();
    }
}

void TSeriesPointer::SetHorizSize(int v) {
    if (v < 1) {
        throw ChartException("Pointer size must be greater than zero");
    }
    if (horizSize_ != v) {
        horizSize_ = v;
        Changed();
    }
}

void TSeriesPointer::SetVertSize(int v) {
    if (v < 1) {
        throw ChartException("Pointer size must be greater than zero");
    }
    if (vertSize_ != v) {
        vertSize_ = v;
        Changed();
    }
}

void TSeriesPointer::SetInflateMargins(bool v) {
    if (inflateMargins_ != v) {
        inflateMargins_ = v;
        Changed();
    }
}

void TSeriesPointer::PreparePointerCanvas(const TChartCanvas& canvas, TColor color, bool printing) const {
    TPen pen = pen_.CanvasPen(printing);
    if (pen_.Visible() && pen.Color == AutoColor) {
        pen.Color = color;
    }
    canvas.SetPen(pen);
    canvas.SetBrush(TBrush{brush_.Color() == AutoColor ? color : brush_.Color(), brush_.Style()});
}

void TSeriesPointer::DrawPointer(const TChartCanvas& canvas, int x, int y, TColor color,
                                 TSeriesPointerStyle style) const {
    const int h = horizSize_;
    const int v = vertSize_;
    auto linePen = [&] {
        TPen p = pen_.CanvasPen();
        p.Color = color;
        if (p.Style == TPenStyle::Clear) {
            p.Style = TPenStyle::Solid;
        }
        canvas.SetPen(p);
    };
    switch (style) {
        case TSeriesPointerStyle::Rectangle:
            canvas.Rectangle(TRect{x - h, y - v, x + h + 1, y + v + 1});
            break;
        case TSeriesPointerStyle::Circle:
            canvas.Ellipse(TRect{x - h, y - v, x + h, y + v});
            break;
        case TSeriesPointerStyle::Triangle: {
            const std::array<TPoint, 3> pts{TPoint{x - h, y + v}, TPoint{x + h, y + v}, TPoint{x, y - v}};
            canvas.Polygon(pts);
            break;
        }
        case TSeriesPointerStyle::DownTriangle: {
            const std::array<TPoint, 3> pts{TPoint{x - h, y - v}, TPoint{x + h, y - v}, TPoint{x, y + v}};
            canvas.Polygon(pts);
            break;
        }
        case TSeriesPointerStyle::Cross:
            linePen();
            canvas.Line(x - h, y, x + h + 1, y);
            canvas.Line(x, y - v, x, y + v + 1);
            break;
        case TSeriesPointerStyle::DiagCross:
            linePen();
            canvas.Line(x - h, y - v, x + h + 1, y + v + 1);
            canvas.Line(x + h, y - v, x - h - 1, y + v + 1);
            break;
        case TSeriesPointerStyle::Star:
            linePen();
            canvas.Line(x - h, y, x + h + 1, y);
            canvas.Line(x, y - v, x, y + v + 1);
            canvas.Line(x - h, y - v, x + h + 1, y + v + 1);
            canvas.Line(x + h, y - v, x - h - 1, y + v + 1);
            break;
        case TSeriesPointerStyle::Diamond: {
            const std::array<TPoint, 4> pts{TPoint{x - h, y}, TPoint{x, y - v}, TPoint{x + h, y},
                                            TPoint{x, y + v}};
            canvas.Polygon(pts);
            break;
        }
        case TSeriesPointerStyle::SmallDot:
            canvas.SetPixel(x, y, color);
            break;
    }
}

}  // namespace quorvel
