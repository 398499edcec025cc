#pragma once
// The chart picture on the system clipboard: a scalable SVG document and, for programs that take only
// bitmaps, a PNG image, both drawn as the chart files of quorvel-fit are (ExportChart).
#include <memory>

class QClipboard;
class QMimeData;

namespace quorvel {

class TCustomChartPanel;

// The system clipboard. Throws the clipboard error "Cannot open clipboard" where no application object
// or no clipboard exists.
QClipboard& OpenClipboard();

// The chart in the clipboard formats image/svg+xml and image/png, both of the chart's size (at least
// 1 x 1), and offered as image data so that other bitmap formats can be derived from it.
std::unique_ptr<QMimeData> ChartMimeData(TCustomChartPanel& chart);

// Replaces everything the clipboard holds with the chart (see ChartMimeData). Throws the clipboard error
// when the clipboard is missing or does not take the data.
void CopyChartToClipboard(TCustomChartPanel& chart);

}  // namespace quorvel
