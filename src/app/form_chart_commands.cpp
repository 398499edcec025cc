// The chart's commands: the picture to the clipboard, and the two mouse handlers that toggle the value
// marks or undo the zoom.
#include <QString>

#include "app/command_dialogs.h"
#include "app/form_main.h"
#include "calibration/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/clipboard_picture.h"
#include "runtime/message_catalog.h"

namespace quorvel {
namespace {

// Set by a press on a series; the click that ends at the release then leaves the zoom alone.
bool SeriesClicked = false;

}  // namespace

void TFormMain::onCopyChart() {
    CopyChartToClipboard(chart->Chart());
    TCommandDialogs(nullptr, {}).Inform(QString::fromUtf8(Tr("График скопирован в буфер обмена Windows")));
}

void TFormMain::onChartSeriesClick() {
    TSeriesMarks& marks = FormSeries(chart->Chart()).measured->Marks();
    marks.SetVisible(!marks.Visible());
    SeriesClicked = true;
}

void TFormMain::onChartClick() {
    if (SeriesClicked) {
        SeriesClicked = false;
        return;
    }
    chart->Chart().Interaction().UndoZoom();
}

}  // namespace quorvel
