#pragma once
// The chart as the clipboard and chart files take it: drawn straight into an SVG document (the scalable
// picture) or onto a bitmap (PNG) at the chart's size, by the one drawing path the screen uses.
#include <QByteArray>

#include "chart/geometry.h"

namespace quorvel {

class TCanvas;
class TCustomChartPanel;

enum TPictureFormat { pfSvg, pfPng };

// Label steps follow the axes' pixel spans of the previous layout, which a chart never drawn lacks: such
// a chart is laid out once into rect on a canvas that measures text as `metrics` does and draws nothing,
// so that what is drawn next is what a shown window's chart gives.
void LayOutIfNeverDrawn(TCustomChartPanel& chart, TCanvas& metrics, const TRect& rect);

// The whole chart (its client area, at least 1 x 1 pixels) as SVG or PNG bytes. SVG states its size in
// pixels.
QByteArray ExportChart(TCustomChartPanel& chart, TPictureFormat format);

}  // namespace quorvel
