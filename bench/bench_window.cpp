// The main window under load: Enter in column 1 of a 10 000-row table (two recomputes and the repaint),
// one recompute of 100 000 rows, resident memory with a million rows, and start-up to the shown window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/string_grid.h"
#include "runtime/large_buffers.h"
#include "runtime/number_text.h"

using namespace quorvel;

namespace {

void FillTable(TGridModel& model, int rows) {
    model.BeginBulkUpdate();
    model.SetRowCount(rows + 2);
    char buffer[64];
    for (int i = 1; i <= rows; ++i) {
        const double x = i * 0.001;
        const double y = ((0.5 * x - 2) * x + 3) * x + 1 + ((i * 7919) % 101 - 50) * 1e-4;
        std::snprintf(buffer, sizeof buffer, "%.6f", y);
        model.SetCellText(0, i, buffer);
        std::snprintf(buffer, sizeof buffer, "%.3f", x);
        model.SetCellText(1, i, buffer);
    }
    model.EndBulkUpdate();
}

std::unique_ptr<TFormMain> ShownWindow(int rows) {
    auto form = std::make_unique<TFormMain>();
    FillTable(*form->findChild<TStringGrid*>("sgData")->Model(), rows);
    form->show();
    form->activateWindow();
    QApplication::processEvents();
    return form;
}

void PressEnter() {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(QApplication::focusWidget(), &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(QApplication::focusWidget(), &release);
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

void BM_EnterInColumn1_10k(benchmark::State& state) {
    auto form = ShownWindow(10000);
    TStringGrid* grid = form->findChild<TStringGrid*>("sgData");
    grid->SetFocus();
    grid->SetCurrentCell(1, 100);
    QApplication::processEvents();
    for (auto _ : state) {
        PressEnter();  // row, then column: two recomputes
        form->repaint();
        state.PauseTiming();
        grid->SetCurrentCell(1, grid->Row());
        if (grid->Row() > 9000) {
            grid->SetCurrentCell(1, 100);
        }
        state.ResumeTiming();
    }
    state.counters["rows"] = 10000;
}
BENCHMARK(BM_EnterInColumn1_10k)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_Recompute_100k(benchmark::State& state) {
    auto form = ShownWindow(100000);
    form->recompute();
    for (auto _ : state) {
        form->recompute();
    }
    state.counters["rows"] = 100000;
}
BENCHMARK(BM_Recompute_100k)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MillionRowsResident(benchmark::State& state) {
    for (auto _ : state) {
        auto form = ShownWindow(1000000);
        form->recompute();
        form->repaint();
        state.counters["rss_MB"] = static_cast<double>(ResidentKilobytes()) / 1024.0;
    }
}
BENCHMARK(BM_MillionRowsResident)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_StartupToShown(benchmark::State& state) {
    for (auto _ : state) {
        TFormMain form;
        form.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(form.isVisible());
    }
}
BENCHMARK(BM_StartupToShown)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    // As the program starts.
    quorvel::KeepFreedRoomForReuse();
    benchmark::Initialize(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ReadNumberSettingsFromLocale();
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
