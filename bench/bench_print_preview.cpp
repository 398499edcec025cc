// The print preview: opening the dialog up to its first painted sheet, a full page paint at the dialog's
// size, and one step of a margin drag (with and without the full repaint a release brings).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <memory>

#include "bench_main.h"
#include "calibration/form_chart.h"
#include "chart/print/chart_preview.h"
#include "chart/print/chart_preview_page.h"
#include "chart/print/printer.h"
#include "runtime/number_text.h"
#include "ui/offscreen_app.h"

namespace {

using namespace quorvel;

// A landscape A4 printer at 600 dpi that prints nowhere.
class BenchPrinter final : public TPrinter {
public:
    QStringList Printers() const override { return {"Bench"}; }
    int PrinterIndex() const override { return 0; }
    void SetPrinterIndex(int) override {}
    TPrinterOrientation Orientation() const override { return orientation_; }
    void SetOrientation(TPrinterOrientation o) override { orientation_ = o; }
    int PageWidth() const override { return orientation_ == poLandscape ? 7016 : 4960; }
    int PageHeight() const override { return orientation_ == poLandscape ? 4960 : 7016; }
    int DpiX() const override { return 600; }
    int DpiY() const override { return 600; }
    QString Title() const override { return {}; }
    void SetTitle(const QString&) override {}
    bool BeginDoc(QWidget*) override { return false; }
    void EndDoc() override {}
    void Abort() override {}
    bool Printing() const override { return false; }
    TCanvas& Canvas() override { throw EPrinter("Printer is not currently printing"); }
    void Setup(QWidget*) override {}

private:
    TPrinterOrientation orientation_ = poPortrait;
};

// The window's chart with measured points, their labels and the curve, and a two-line title.
std::unique_ptr<TChart> MakeChart(int points) {
    SetDecimalChar(U'.');
    SetThousandsChar(U',');
    auto chart = CreateFormChart();
    const TFormChartSeries s = FormSeries(*chart);
    for (int i = 0; i < points; ++i) {
        const double x = 0.1 * i;
        s.measured->AddPoint(x, 0.5 * x * x - 2 * x + 1 + ((i % 7) - 3) * 0.2, NumberToText(x), clBlue);
    }
    const double end = 0.1 * (points - 1);
    for (int k = 0; k < 50; ++k) {
        const double x = end * 0.02 * k;
        s.curve->AddPoint(x, 0.5 * x * x - 2 * x + 1);
    }
    chart->Title().SetText({"", "Y = 0.5000000*X^2 - 2.0000000*X + 1.0000000"});
    chart->Title().SetVisible(true);
    chart->SetVisible(true);
    return chart;
}

void BM_OpenPreview(benchmark::State& state) {
    auto chart = MakeChart(static_cast<int>(state.range(0)));
    BenchPrinter printer;
    int painted = 0;
    for (auto _ : state) {
        TChartPrintSettings settings;
        auto dialog = std::make_unique<TChartPreview>(nullptr, *chart, settings, printer);
        dialog->show();
        // Until the dialog is on screen with its sheet painted.
        QCoreApplication::processEvents();
        painted += dialog->Page()->Frame().isNull() ? 0 : 1;
        dialog.reset();
    }
    state.counters["painted"] = benchmark::Counter(painted, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_OpenPreview)->Arg(20)->Arg(500)->Unit(benchmark::kMillisecond);

// The same with the system's printer services (print queues read afresh at every opening).
void BM_OpenPreviewSystemPrinter(benchmark::State& state) {
    auto chart = MakeChart(static_cast<int>(state.range(0)));
    TPrinter& printer = Printer();
    for (auto _ : state) {
        TChartPrintSettings settings;
        auto dialog = std::make_unique<TChartPreview>(nullptr, *chart, settings, printer);
        dialog->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(dialog->Page()->Frame().constBits());
        dialog.reset();
    }
    state.counters["queues"] = static_cast<double>(printer.Printers().size() - 1);
}
BENCHMARK(BM_OpenPreviewSystemPrinter)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_PagePaint(benchmark::State& state) {
    auto chart = MakeChart(static_cast<int>(state.range(0)));
    BenchPrinter printer;
    TChartPrintSettings settings;
    TChartPreview dialog(nullptr, *chart, settings, printer);
    dialog.show();
    for (auto _ : state) {
        dialog.Page()->RenderFrame();
        benchmark::DoNotOptimize(dialog.Page()->Frame().constBits());
    }
    state.counters["page_w"] = dialog.Page()->width();
    state.counters["page_h"] = dialog.Page()->height();
}
BENCHMARK(BM_PagePaint)->Arg(20)->Arg(500)->Unit(benchmark::kMillisecond);

// One mouse move of an edge drag: margin lines erased and redrawn, margins and edits updated; with
// repaint, also the full page paint that the release (or an edit) brings.
void DragStep(benchmark::State& state, bool repaint) {
    auto chart = MakeChart(static_cast<int>(state.range(0)));
    BenchPrinter printer;
    TChartPrintSettings settings;
    TChartPreview dialog(nullptr, *chart, settings, printer);
    dialog.show();
    TChartPreviewPage* page = dialog.Page();
    page->RenderFrame();
    const TRect picture = page->PictureRect();
    const int y = (picture.Top + picture.Bottom) / 2;
    const auto send = [&](QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(x, y), page->mapToGlobal(QPointF(x, y)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(page, &event);
    };
    send(QEvent::MouseButtonPress, picture.Left, Qt::LeftButton, Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        send(QEvent::MouseMove, picture.Left - 10 + (step++ % 20), Qt::NoButton, Qt::LeftButton);
        if (repaint) {
            page->RenderFrame();
        }
        benchmark::DoNotOptimize(page->Frame().constBits());
    }
    send(QEvent::MouseButtonRelease, picture.Left, Qt::LeftButton, Qt::NoButton);
}

void BM_MarginDragStep(benchmark::State& state) {
    DragStep(state, false);
}
BENCHMARK(BM_MarginDragStep)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_MarginDragStepWithRepaint(benchmark::State& state) {
    DragStep(state, true);
}
BENCHMARK(BM_MarginDragStepWithRepaint)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    quorvel::KeepFreedRoomForReuse();
    EnsureOffscreenApplication(true);
    return quorvel::RunBenchmarks(argc, argv);
}
