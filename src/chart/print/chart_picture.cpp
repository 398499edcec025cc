#include "chart/print/chart_picture.h"

#include <QPainter>
#include <algorithm>

#include "chart/chart_panel.h"
#include "chart/qt/qt_canvas.h"

namespace quorvel {

std::unique_ptr<QPicture> CreatePicture(TCustomChartPanel& chart, const TRect& rect, qreal replayRatio,
                                        const TRenderOptions& options) {
    auto picture = std::make_unique<QPicture>();
    {
        // The painter closes the recording also when drawing fails.
        QPainter painter(picture.get());
        TQtCanvas canvas(painter);
        canvas.SetDeviceRatio(replayRatio);
        chart.DrawToForeignCanvas(canvas, rect, options);
    }
    picture->setBoundingRect(QRect(0, 0, std::max(1, rect.Width() - 1), std::max(1, rect.Height() - 1)));
    return picture;
}

}  // namespace quorvel
