#include "chart/print/chart_picture.h"

#include <QPainter>
#include <algorithm>

#include "chart/chart_panel.h"
#include "chart/qt/qt_canvas.h"

namespace quorvel {

namespace {

// Measures text as the recording canvas does and draws nothing: a layout pass.
class TMeasuringCanvas final : public TNullCanvas {
public:
    explicit TMeasuringCanvas(TCanvas& metrics) : metrics_(metrics) {}
    void SetFont(const TFont& font) override {
        TNullCanvas::SetFont(font);
        metrics_.SetFont(font);
    }
    int PixelsPerInch() const override { return metrics_.PixelsPerInch(); }
    int TextWidth(std::string_view text) const override { return metrics_.TextWidth(text); }
    int TextHeight(std::string_view text) const override { return metrics_.TextHeight(text); }

private:
    TCanvas& metrics_;
};

}  // namespace

std::unique_ptr<QPicture> CreatePicture(TCustomChartPanel& chart, const TRect& rect, qreal replayRatio) {
    auto picture = std::make_unique<QPicture>();
    {
        // The painter closes the recording also when drawing fails.
        QPainter painter(picture.get());
        TQtCanvas canvas(painter);
        canvas.SetDeviceRatio(replayRatio);
        if (chart.RenderCount() == 0) {
            // Label steps follow the axes' pixel spans of the previous layout, which a chart never
            // drawn lacks; a shown window has laid its chart out before anyone copies it.
            TMeasuringCanvas layout(canvas);
            chart.DrawToForeignCanvas(layout, rect);
        }
        chart.DrawToForeignCanvas(canvas, rect);
    }
    picture->setBoundingRect(QRect(0, 0, std::max(1, rect.Width() - 1), std::max(1, rect.Height() - 1)));
    return picture;
}

}  // namespace quorvel
