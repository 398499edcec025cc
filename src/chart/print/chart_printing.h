#pragma once
// Printing a chart: the chart is laid out at its screen size (enlarged by the print detail) in logical
// units, and the canvas mapping stretches it onto the printed rectangle, as vector graphics.
#include <optional>

#include "chart/geometry.h"
#include "chart/print_settings.h"
#include "chart/render_context.h"

class QWidget;

namespace quorvel {

class TCanvas;
class TCustomChartPanel;
class TPrinter;

// Draws chart onto a printer canvas into rect (device pixels, either corner order), for the printer target;
// title, when given, is shown as the chart's title in place of its own.
void DrawToPrinterCanvas(TCustomChartPanel& chart, const TChartPrintSettings& settings, TCanvas& canvas,
                         const TRect& rect, const std::optional<TTitleLines>& title = std::nullopt);

// One print job titled with the title lines it prints (else "Quorvel"), holding the chart in rect. An error
// aborts the job (and ends it if the printer still reports it running) and is passed on. False when the job
// was called off before it began (no file name for the PDF target); parent owns any dialog that asks.
bool PrintInRect(TCustomChartPanel& chart, const TChartPrintSettings& settings, TPrinter& printer,
                 const TRect& rect, QWidget* parent = nullptr,
                 const std::optional<TTitleLines>& title = std::nullopt);

// PrintInRect into the page rectangle the margins leave (recomputed first when proportional).
bool PrintChart(TCustomChartPanel& chart, TChartPrintSettings& settings, TPrinter& printer,
                QWidget* parent = nullptr, const std::optional<TTitleLines>& title = std::nullopt);

}  // namespace quorvel
