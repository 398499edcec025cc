#pragma once
// The chart picture on the system clipboard: the recorded drawing as a scalable SVG document and, for
// programs that take only bitmaps, as a PNG image.
#include <QPicture>
#include <QSize>
#include <memory>

class QClipboard;
class QMimeData;

namespace quorvel {

// The system clipboard. Throws the clipboard error "Cannot open clipboard" where no application object
// or no clipboard exists.
QClipboard& OpenClipboard();

// The picture played into the clipboard formats image/svg+xml and image/png, both of size (at least
// 1 x 1), and offered as image data so that other bitmap formats can be derived from it.
std::unique_ptr<QMimeData> PictureMimeData(const QPicture& picture, QSize size);

// Replaces everything the clipboard holds with the picture (see PictureMimeData). Throws the clipboard
// error when the clipboard is missing or does not take the data.
void CopyPictureToClipboard(const QPicture& picture, QSize size);

}  // namespace quorvel
