#pragma once
// The chart as a recorded drawing (QPicture), and the picture played into SVG or PNG bytes: the vector
// picture the clipboard and the preview sheet take, and the bitmap for programs that take only bitmaps.
#include <QByteArray>
#include <QPicture>
#include <QSize>

#include "chart/chart_panel.h"

namespace quorvel {

// Records the whole chart drawn into rect, in screen pixels, as the screen shows it (with IsPrinting
// clear: panel colour and bevel included). The picture measures max(1, width - 1) x max(1, height - 1)
// and remembers the enhanced flag only for its caller; both formats are the same drawing here.
QPicture CreatePicture(TCustomChartPanel& chart, bool enhanced, const TRect& rect);

// The picture's size as CreatePicture sets it.
QSize PictureSize(const QPicture& picture);

// The picture played into an SVG document of its size.
QByteArray PictureToSvg(const QPicture& picture);

// QSvgGenerator states the document size in millimetres; other programs then guess the pixel size from
// their own resolution. This states it in pixels.
void SetSvgPixelSize(QByteArray& svg, QSize size);

// The picture played onto a white bitmap of its size, as PNG bytes.
QByteArray PictureToPng(const QPicture& picture);

}  // namespace quorvel
