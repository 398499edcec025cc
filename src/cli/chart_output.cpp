#include "cli/chart_output.h"

#include <QString>
#include <memory>

#include "calibration/form_chart.h"
#include "chart/qt/picture_export.h"
#include "chart/qt/whole_file.h"
#include "runtime/exceptions.h"
#include "runtime/file_target.h"
#include "ui/offscreen_app.h"

namespace quorvel {

void WriteChartFile(const std::string& path, int width, int height, const TRecomputeResult& result,
                    const TEvaluation* evaluated) {
    if (!IsChartFileName(path)) {
        throw Exception("Unknown chart file type: " + path + " (use .png or .svg)");
    }
    if (width < 1 || height < 1 || width > kMaxChartSide || height > kMaxChartSide) {
        throw Exception("Chart size out of range: " + std::to_string(width) + "x" + std::to_string(height));
    }
    if (!IsReplaceableFile(path)) {
        throw Exception("Cannot write chart file: " + path + " (not a regular file)");
    }
    EnsureOffscreenApplication();

    std::unique_ptr<TChart> chart = CreateFormChart();
    chart->SetBounds(0, 0, width, height);
    FeedFormChart(*chart, result, evaluated);
    const QByteArray bytes = ExportChart(*chart, IsSvgFileName(path) ? pfSvg : pfPng);

    const QString reason = bytes.isEmpty() ? QStringLiteral("the picture is empty")
                                           : WriteWholeFile(QString::fromStdString(path), bytes);
    if (!reason.isEmpty()) {
        throw Exception("Cannot write chart file: " + path + " (" + reason.toStdString() + ")");
    }
}

}  // namespace quorvel
