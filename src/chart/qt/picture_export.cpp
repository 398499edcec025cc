#include "chart/qt/picture_export.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <algorithm>

#include "chart/chart_panel.h"
#include "chart/qt/qt_canvas.h"

namespace quorvel {

namespace {

// QSvgGenerator states the document size in millimetres; other programs then guess the pixel size from
// their own resolution. This states it in pixels.
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

}  // namespace

QByteArray ExportChart(TCustomChartPanel& chart, TPictureFormat format) {
    const TRect rect = chart.ClientRect();
    const QSize size(std::max(1, rect.Width()), std::max(1, rect.Height()));
    const int ppi = ScreenPixelsPerInch();
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    if (format == pfSvg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&bytes);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(ppi);
        svg.setTitle(QStringLiteral("Quorvel chart"));
        {
            TQtCanvas canvas(&svg);
            canvas.SetPixelsPerInch(ppi);
            chart.DrawToForeignCanvas(canvas, rect);
        }
        QByteArray out = bytes.data();
        SetSvgPixelSize(out, size);
        return out;
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        TQtCanvas canvas(&image);
        canvas.SetPixelsPerInch(ppi);
        chart.DrawToForeignCanvas(canvas, rect);
    }
    image.save(&bytes, "PNG");
    return bytes.data();
}

}  // namespace quorvel
