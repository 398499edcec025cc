#include "chart/qt/clipboard_picture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

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

std::unique_ptr<QMimeData> ChartMimeData(TCustomChartPanel& chart) {
    const QByteArray png = ExportChart(chart, pfPng);
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/svg+xml"), ExportChart(chart, pfSvg));
    data->setData(QStringLiteral("image/png"), png);
    data->setImageData(QImage::fromData(png, "PNG"));
    return data;
}

void CopyChartToClipboard(TCustomChartPanel& chart) {
    QClipboard& clipboard = OpenClipboard();
    std::unique_ptr<QMimeData> data = ChartMimeData(chart);
    const QMimeData* offered = data.get();
    // The clipboard owns the data from here on, also when the platform fails to take it.
    clipboard.setMimeData(data.release(), QClipboard::Clipboard);
    if (clipboard.mimeData(QClipboard::Clipboard) != offered) {
        throw Exception(kClipboardError);
    }
}

}  // namespace quorvel
