#include "chart/qt/clipboard_picture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <algorithm>

#include "chart/qt/picture_export.h"
#include "runtime/exceptions.h"

namespace quorvel {
namespace {

const char* const kClipboardError = "Cannot open clipboard";

}  // namespace

QClipboard& OpenClipboard() {
#if QT_CONFIG(clipboard)
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                                ? QGuiApplication::clipboard()
                                : nullptr;
    if (clipboard != nullptr) {
        return *clipboard;
    }
#endif
    throw Exception(kClipboardError);
}

std::unique_ptr<QMimeData> PictureMimeData(const QPicture& picture, QSize size) {
    size = size.expandedTo(QSize(1, 1));
    // The recording's frame is one pixel short of the chart at the right and the bottom (its last
    // pixel's position); the exported picture covers the chart whole, so nothing of its edge is lost.
    QPicture frame = picture;
    frame.detach();
    frame.setBoundingRect(QRect(QPoint(0, 0), size));
    const QByteArray png = PictureToPng(frame);
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/svg+xml"), PictureToSvg(frame));
    data->setData(QStringLiteral("image/png"), png);
    data->setImageData(QImage::fromData(png, "PNG"));
    return data;
}

void CopyPictureToClipboard(const QPicture& picture, QSize size) {
    QClipboard& clipboard = OpenClipboard();
    std::unique_ptr<QMimeData> data = PictureMimeData(picture, size);
    const QMimeData* offered = data.get();
    // The clipboard owns the data from here on, also when the platform fails to take it.
    clipboard.setMimeData(data.release(), QClipboard::Clipboard);
    if (clipboard.mimeData(QClipboard::Clipboard) != offered) {
        throw Exception(kClipboardError);
    }
}

}  // namespace quorvel
