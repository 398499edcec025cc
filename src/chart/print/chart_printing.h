#pragma once
// Printing a chart: the chart is laid out at its screen size (enlarged by the print detail) in logical
// units, and the canvas mapping stretches it onto the printed rectangle, as vector graphics.
#include "chart/geometry.h"
#include "chart/print_settings.h"

class QWidget;

namespace quorvel {

class TCanvas;
class TCustomChartPanel;
class TPrinter;

// Draws chart onto a printer canvas into rect (device pixels, either corner order), for the printer target.
void DrawToPrinterCanvas(TCustomChartPanel& chart, const TChartPrintSettings& settings, TCanvas& canvas,
                         const TRect& rect);

// One print job titled with the chart's visible title lines (else "Quorvel"), holding the chart in rect. An
// error aborts the job (and ends it if the printer still reports it running) and is passed on. False when the
// job was called off before it began (no file name for the PDF target); parent owns any dialog that asks.
bool PrintInRect(TCustomChartPanel& chart, const TChartPrintSettings& settings, TPrinter& printer,
                 const TRect& rect, QWidget* parent = nullptr);

// PrintInRect into the page rectangle the margins leave (recomputed first when proportional).
bool PrintChart(TCustomChartPanel& chart, TChartPrintSettings& settings, TPrinter& printer,
                QWidget* parent = nullptr);

}  // namespace quorvel
