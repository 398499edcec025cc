#include "chart/print/chart_printing.h"

#include <string>

#include "chart/canvas.h"
#include "chart/chart.h"
#include "chart/chart_panel.h"
#include "chart/print/printer.h"
#include "ui/message_boxes.h"

namespace quorvel {

namespace {

class MappingScope {
public:
    MappingScope(TCanvas& canvas, const TMapping& mapping) : canvas_(canvas), previous_(canvas.Mapping()) {
        canvas_.SetMapping(mapping);
    }
    ~MappingScope() {
        canvas_.ClearClip();
        canvas_.SetMapping(previous_);
    }
    MappingScope(const MappingScope&) = delete;
    MappingScope& operator=(const MappingScope&) = delete;

private:
    TCanvas& canvas_;
    TMapping previous_;
};

// What the job and a PDF's document are called: the title lines printed on the page (the formula
// line), else the application's name; the chart's component name means nothing to a reader.
QString JobTitle(const TCustomChartPanel& panel, const std::optional<TTitleLines>& printed) {
    const auto* chart = dynamic_cast<const TChart*>(&panel);
    const TTitleLines* lines = printed                                        ? &*printed
                               : chart != nullptr && chart->Title().Visible() ? &chart->Title().Text()
                                                                              : nullptr;
    std::string title;
    if (lines != nullptr) {
        for (const std::string& line : *lines) {
            if (!line.empty()) {
                title += title.empty() ? "" : " ";
                title += line;
            }
        }
    }
    return QString::fromStdString(title.empty() ? std::string(kApplicationTitle) : title);
}

}  // namespace

void DrawToPrinterCanvas(TCustomChartPanel& chart, const TChartPrintSettings& settings, TCanvas& canvas,
                         const TRect& rect, const std::optional<TTitleLines>& title) {
    const TRect r = NormalisedRect(rect);
    const TLogicalExtent extent = LogicalExtent(r, chart.ClientRect(), settings.PrintDetail);
    // Nothing can be mapped onto an empty rectangle or from an empty chart.
    if (r.Width() <= 0 || r.Height() <= 0 || extent.Width <= 0 || extent.Height <= 0) {
        return;
    }
    MappingScope mapping(canvas, TMapping{TPoint{0, 0}, TPoint{extent.Width, extent.Height}, TPoint{0, 0},
                                          TPoint{r.Width(), r.Height()}});
    canvas.SetClipRect(extent.Scaled);
    TRenderOptions options(TRenderTarget::Printer);
    options.Title = title;
    chart.DrawToForeignCanvas(canvas, extent.Scaled, options);
}

bool PrintInRect(TCustomChartPanel& chart, const TChartPrintSettings& settings, TPrinter& printer,
                 const TRect& rect, QWidget* parent, const std::optional<TTitleLines>& title) {
    printer.SetTitle(JobTitle(chart, title));
    if (!printer.BeginDoc(parent)) {
        return false;
    }
    try {
        DrawToPrinterCanvas(chart, settings, printer.Canvas(), rect, title);
        printer.EndDoc();
    } catch (...) {
        printer.Abort();
        if (printer.Printing()) {
            try {
                printer.EndDoc();
            } catch (...) {
                // The first error is the one to report.
            }
        }
        throw;
    }
    return true;
}

bool PrintChart(TCustomChartPanel& chart, TChartPrintSettings& settings, TPrinter& printer, QWidget* parent,
                const std::optional<TTitleLines>& title) {
    const TRect rect = PagePrintRect(settings, chart.Width(), chart.Height(), printer.Metrics());
    return PrintInRect(chart, settings, printer, rect, parent, title);
}

}  // namespace quorvel
