#pragma once
// The chart as a recorded drawing, replayed onto the preview sheet.
#include <QPicture>
#include <memory>

#include "chart/chart_types.h"
#include "chart/geometry.h"

namespace quorvel {

class TCustomChartPanel;

// The whole chart drawn into rect on a new picture of max(1, width - 1) x max(1, height - 1) pixels,
// for replay on a device of replayRatio device pixels per logical pixel. A chart never drawn before is
// laid out once first, so that the picture is the one a shown window's chart gives. The caller owns
// the picture. The preview draws its page's picture for the printer target.
std::unique_ptr<QPicture> CreatePicture(TCustomChartPanel& chart, const TRect& rect, qreal replayRatio = 1,
                                        TRenderTarget target = TRenderTarget::Picture);

}  // namespace quorvel
