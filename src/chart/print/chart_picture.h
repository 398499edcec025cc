#pragma once
// The chart as a recorded drawing, replayed onto the preview sheet.
#include <QPicture>
#include <memory>

#include "chart/geometry.h"
#include "chart/render_context.h"

namespace quorvel {

class TCustomChartPanel;

// The whole chart drawn into rect on a new picture of max(1, width - 1) x max(1, height - 1) pixels,
// for replay on a device of replayRatio device pixels per logical pixel, laid out as the next screen
// rendering would be. The caller owns the picture. The preview draws its page's picture with the options
// of the print.
std::unique_ptr<QPicture> CreatePicture(TCustomChartPanel& chart, const TRect& rect, qreal replayRatio = 1,
                                        const TRenderOptions& options = TRenderTarget::Picture);

}  // namespace quorvel
