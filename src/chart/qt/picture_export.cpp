#include "chart/qt/picture_export.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <algorithm>

namespace quorvel {

QSize PictureSize(const QPicture& picture) {
    const QRect r = picture.boundingRect();
    return QSize(std::max(1, r.width()), std::max(1, r.height()));
}

void SetSvgPixelSize(QByteArray& svg, QSize size) {
    const qsizetype start = svg.indexOf("<svg");
    const qsizetype end = start < 0 ? -1 : svg.indexOf('>', start);
    if (end < 0) {
        return;
    }
    QString head = QString::fromUtf8(svg.mid(start, end - start));
    static const QRegularExpression width(QStringLiteral(R"(\bwidth="[^"]*")"));
    static const QRegularExpression height(QStringLiteral(R"(\bheight="[^"]*")"));
    head.replace(width, QStringLiteral("width=\"%1\"").arg(size.width()));
    head.replace(height, QStringLiteral("height=\"%1\"").arg(size.height()));
    svg.replace(start, end - start, head.toUtf8());
}

QByteArray PictureToSvg(const QPicture& picture) {
    const QSize size = PictureSize(picture);
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&bytes);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(QStringLiteral("Quorvel chart"));
    {
        QPainter painter(&svg);
        painter.setClipRect(QRect(QPoint(0, 0), size));
        painter.drawPicture(0, 0, picture);
    }
    QByteArray out = bytes.data();
    SetSvgPixelSize(out, size);
    return out;
}

QByteArray PictureToPng(const QPicture& picture) {
    const QSize size = PictureSize(picture);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.drawPicture(0, 0, picture);
    }
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    image.save(&bytes, "PNG");
    return bytes.data();
}

QByteArray ExportPicture(const QPicture& picture, QSize size, TPictureFormat format) {
    QPicture frame = picture;
    frame.detach();
    frame.setBoundingRect(QRect(QPoint(0, 0), size.expandedTo(QSize(1, 1))));
    return format == pfSvg ? PictureToSvg(frame) : PictureToPng(frame);
}

}  // namespace quorvel
