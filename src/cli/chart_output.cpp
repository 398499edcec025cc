#include "cli/chart_output.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QSaveFile>
#include <QString>
#include <QSvgGenerator>
#include <charconv>

#include "chart/form_chart.h"
#include "chart/qt/offscreen_app.h"
#include "chart/qt/picture_export.h"
#include "chart/qt/qt_canvas.h"
#include "runtime/exceptions.h"
#include "runtime/number_text.h"

namespace quorvel {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
        if (c != suffix[i]) {
            return false;
        }
    }
    return true;
}

bool ParseSide(std::string_view text, int& out) {
    if (text.empty() || text.size() > 6) {
        return false;
    }
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < 1 || v > kMaxChartSide) {
        return false;
    }
    out = v;
    return true;
}

QByteArray RenderPng(TChart& chart) {
    const TRect rect = chart.ClientRect();
    QImage probe(1, 1, QImage::Format_RGB32);
    TQtCanvas factory(&probe);
    factory.SetPixelsPerInch(96);
    std::unique_ptr<TCanvasBuffer> bitmap = chart.CreateBitmapImage(factory, clWhite, rect);
    auto* buffer = dynamic_cast<TQtImageBuffer*>(bitmap.get());
    QByteArray bytes;
    if (buffer != nullptr) {
        QBuffer out(&bytes);
        out.open(QIODevice::WriteOnly);
        buffer->TakeImage().save(&out, "PNG");
    }
    return bytes;
}

QByteArray RenderSvg(TChart& chart) {
    const TRect rect = chart.ClientRect();
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&out);
    svg.setSize(QSize(rect.Width(), rect.Height()));
    svg.setViewBox(QRect(0, 0, rect.Width(), rect.Height()));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("Quorvel chart"));
    {
        TQtCanvas canvas(&svg);
        canvas.SetPixelsPerInch(96);
        chart.DrawToForeignCanvas(canvas, rect);
    }
    SetSvgPixelSize(bytes, QSize(rect.Width(), rect.Height()));
    return bytes;
}

}  // namespace

bool ParseChartSize(std::string_view text, int& width, int& height) {
    std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) {
        return false;
    }
    int w = 0;
    int h = 0;
    if (!ParseSide(text.substr(0, x), w) || !ParseSide(text.substr(x + 1), h)) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

void RenderChartFile(const std::string& path, int width, int height, const TRecomputeResult& result,
                     const std::optional<TDataPoint>& evaluated) {
    const bool svg = EndsWithNoCase(path, ".svg");
    if (!svg && !EndsWithNoCase(path, ".png")) {
        throw Exception("Unknown chart file type: " + path + " (use .png or .svg)");
    }
    if (width < 1 || height < 1 || width > kMaxChartSide || height > kMaxChartSide) {
        throw Exception("Chart size out of range: " + std::to_string(width) + "x" + std::to_string(height));
    }
    EnsureOffscreenApplication();

    std::unique_ptr<TChart> chart = CreateFormChart();
    chart->SetBounds(0, 0, width, height);
    // The window's recompute: clear all three series, the points in X order, the curve, the point at X.
    TFormChartSeries series = FormSeries(*chart);
    series.Series3->ClearPoints();
    FeedMeasuredPoints(*series.Series1, result.measured, result.measuredByX);
    FeedCurve(*series.Series2, result.curve);
    if (evaluated) {
        series.Series3->AddPoint(evaluated->X, evaluated->Y, NumberToText(evaluated->X), clRed);
    }
    chart->SetVisible(true);

    const QByteArray bytes = svg ? RenderSvg(*chart) : RenderPng(*chart);
    QSaveFile file(QString::fromStdString(path));
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
        !file.commit()) {
        throw Exception("Cannot write chart file: " + path);
    }
}

}  // namespace quorvel
