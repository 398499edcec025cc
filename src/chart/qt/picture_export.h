#pragma once
// The chart as the clipboard and chart files take it: drawn straight into an SVG document (the scalable
// picture) or onto a bitmap (PNG) at the chart's size, by the one drawing path the screen uses.
#include <QByteArray>

namespace quorvel {

class TCustomChartPanel;

enum TPictureFormat { pfSvg, pfPng };

// The whole chart (its client area, at least 1 x 1 pixels) as SVG or PNG bytes. SVG states its size in
// pixels.
QByteArray ExportChart(TCustomChartPanel& chart, TPictureFormat format);

}  // namespace quorvel
