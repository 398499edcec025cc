#pragma once
// A recorded chart drawing (QPicture) played into SVG or PNG bytes: the vector picture for the clipboard
// and files, and the bitmap for programs that take only bitmaps.
#include <QByteArray>
#include <QPicture>
#include <QSize>

namespace quorvel {

// The picture's size: its bounding rectangle from the origin, at least 1 x 1.
QSize PictureSize(const QPicture& picture);

// The picture played into an SVG document of its size.
QByteArray PictureToSvg(const QPicture& picture);

// QSvgGenerator states the document size in millimetres; other programs then guess the pixel size from
// their own resolution. This states it in pixels.
void SetSvgPixelSize(QByteArray& svg, QSize size);

// The picture played onto a white bitmap of its size, as PNG bytes.
QByteArray PictureToPng(const QPicture& picture);

enum TPictureFormat { pfSvg, pfPng };

// A recorded chart (CreatePicture) as the clipboard and chart files take it: framed at the chart's
// whole size, at least 1 x 1 (the recording's own frame is one pixel short at the right and the
// bottom, so its edge would be lost), then played into the format.
QByteArray ExportPicture(const QPicture& picture, QSize size, TPictureFormat format);

}  // namespace quorvel
