#pragma once
// A series with a pointer (marker) at every point: margins, marker drawing and the marker hit test.
#include <functional>

#include "chart/series.h"
#include "chart/series_pointer.h"

namespace quorvel {

class TCustomSeries : public TChartSeries {
public:
    TCustomSeries();

    TSeriesPointer& Pointer() { return pointer_; }
    const TSeriesPointer& Pointer() const { return pointer_; }

    // HorizSize + 1 left and right, VertSize + 1 top and bottom, when the pointer is visible and inflates.
    TSeriesMargins SeriesMargins() const override;
    // The lowest index whose marker box (strictly inside the half sizes) holds the pixel, or -1.
    int PointAtPixel(const TRenderContext& context, int x, int y) override;

    // Chooses the marker style of one point.
    std::function<TSeriesPointerStyle(TCustomSeries&, int)> OnGetPointerStyle;
    // Called when a press falls on a marker: series, index, x, y.
    std::function<void(TCustomSeries&, int, int, int)> OnClickPointer;

protected:
    void DrawAllPoints(const TRenderContext& context, const TSeriesLayout& visible) override;

private:
    class TPointPixels;
    class TPointColors;
    void DrawMarker(const TRenderContext& context, int index, int x, int y, TColor color);
    // Draws only the markers not drawn over by a later one; false when they are too few or too spread
    // for that to pay.
    bool DrawUncovered(const TRenderContext& context, const TPointPixels& pixels, TPointColors& colors);

    TSeriesPointer pointer_;
};

}  // namespace quorvel
