// Table exchange at size: reading and writing a million-line data file, and pasting 10^5 rows followed
// by the recompute.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/command_ui.h"
#include "app/data_file.h"
#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/string_grid.h"
#include "app/table_access.h"
#include "app/table_commands.h"
#include "app/table_text.h"
#include "app/window_work.h"
#include "app/work_progress.h"
#include "fitting/fit_types.h"
#include "fitting/presentation.h"
#include "runtime/large_buffers.h"

namespace quorvel {
namespace {

// Cell texts in one vector per column, as the grid keeps them.
class TVectorTable : public TTableAccess, public ITableSource {
public:
    explicit TVectorTable(int rows) : rows_(rows) {}
    int RowCount() const override { return rows_; }
    void SetRowCount(int rows) override { rows_ = rows; }
    std::string_view Cell(int column, int row) const override {
        const auto& cells = cells_[column];
        return static_cast<std::size_t>(row) < cells.size() ? std::string_view(cells[row])
                                                            : std::string_view();
    }
    std::string_view CellText(int column, int row) const override { return Cell(column, row); }
    void ReserveRows(int rows) override {
        for (auto& cells : cells_) {
            cells.reserve(static_cast<std::size_t>(rows) + 1);
        }
    }
    void SetCell(int column, int row, std::string text) override {
        auto& cells = cells_[column];
        if (static_cast<std::size_t>(row) >= cells.size()) {
            cells.resize(static_cast<std::size_t>(row) + 1);  // grows by doubling, as the grid's store
        }
        cells[row] = std::move(text);
    }
    void BeginChange() override {
        before_[0] = cells_[0];
        before_[1] = cells_[1];
        rowsBefore_ = rows_;
    }
    void EndChange(bool keep) override {
        if (!keep) {
            cells_[0].swap(before_[0]);
            cells_[1].swap(before_[1]);
            rows_ = rowsBefore_;
        }
        before_[0].clear();
        before_[1].clear();
    }
    void EraseRowsFrom(int row) override {
        for (auto& cells : cells_) {
            if (cells.size() > static_cast<std::size_t>(row)) {
                cells.resize(static_cast<std::size_t>(row));
            }
        }
    }

private:
    int rows_;
    std::vector<std::string> cells_[2];
    std::vector<std::string> before_[2];
    int rowsBefore_ = 0;
};

constexpr int kFileRows = 1000000;

// A table of a million rows of about 20 characters each, as a calibration run might give.
TVectorTable MillionRowTable() {
    TVectorTable table(kFileRows + 2);
    for (int row = 1; row <= kFileRows; ++row) {
        table.SetCell(0, row, std::to_string(100000 + row) + ".25");
        table.SetCell(1, row, std::to_string(1000000 + 3 * row) + ".125");
    }
    return table;
}

struct TFixture {
    QTemporaryDir dir;
    QString path = dir.filePath("million.txt");
    TFixture() {
        if (WriteDataFile(path, MillionRowTable()) != TWriteStatus::Ok) {
            std::abort();
        }
    }
};

TFixture& Fixture() {
    static TFixture fixture;
    return fixture;
}

// Arg 1: with the window's progress (its steps and the events between them), to weigh what it costs.
void BM_ReadMillionLineFile(benchmark::State& state) {
    const QString path = Fixture().path;
    for (auto _ : state) {
        TVectorTable table(20);
        std::unique_ptr<TWorkProgress> progress;
        if (state.range(0) == 1) {
            progress = std::make_unique<TWorkProgress>(nullptr, nullptr, QString(), TOnClose::Stop);
        }
        const TReadResult result = ReadDataFile(path, table, progress.get());
        if (result.status != TReadStatus::Ok || result.lines != kFileRows) {
            state.SkipWithError("read failed");
        }
        benchmark::DoNotOptimize(table.RowCount());
    }
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
}
BENCHMARK(BM_ReadMillionLineFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_WriteMillionLineFile(benchmark::State& state) {
    const TVectorTable table = MillionRowTable();
    const QString path = Fixture().dir.filePath("written.txt");
    for (auto _ : state) {
        if (WriteDataFile(path, table) != TWriteStatus::Ok) {
            state.SkipWithError("write failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
}
BENCHMARK(BM_WriteMillionLineFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The read command on the real window with a chosen file: read, recompute, and the paint that follows.
class TChosenFile : public TCommandUi {
public:
    TChosenFile(QString path, TFormMain& form) : path_(std::move(path)), form_(form) {}
    std::optional<QString> ChooseFileToRead() override { return path_; }
    std::optional<QString> ChooseFileToWrite() override { return path_; }
    TOpenFailureAnswer AskAfterOpenFailure(const QString&) override { return TOpenFailureAnswer::Abort; }
    void ShowError(const QString&, const QString&) override { std::abort(); }
    bool Confirm(const QString&) override { return true; }
    void Inform(const QString&) override {}
    void SetBusy(bool) override {}
    // The window's own progress, so that its cost is in the figures.
    std::unique_ptr<TProgress> StartProgress(const QString& text, TOnClose onClose) override {
        return std::make_unique<TWorkProgress>(&form_, nullptr, text, onClose);
    }
    void Recompute() override { form_.recompute(); }

private:
    QString path_;
    TFormMain& form_;
};

// Times a command on a fresh real window, with the paint that follows; the window's making and
// closing are left out. The command must leave the table with rowsAfter rows.
template <class Command>
void TimeWindowCommand(benchmark::State& state, const QString& path, int rowsAfter, Command command,
                       bool uncertainties = false) {
    double paintMs = 0;
    double longestWaitMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<TFormMain>();
        form->show();
        QApplication::processEvents();
        TGridModel& table = *form->findChild<TStringGrid*>("sgData")->Model();
        if (uncertainties) {
            form->findChild<QAction*>("itmUncertainties")->trigger();
        }
        TChosenFile ui(path, *form);
        // The longest time the window ran no events, from the command's start to the paint's end: how
        // long it would not answer.
        QElapsedTimer sinceEvents;
        QTimer events;
        QObject::connect(&events, &QTimer::timeout, [&] {
            longestWaitMs = std::max(longestWaitMs, static_cast<double>(sinceEvents.nsecsElapsed()) / 1e6);
            sinceEvents.start();
        });
        events.start(0);
        sinceEvents.start();
        state.ResumeTiming();
        command(table, ui);
        QElapsedTimer paint;
        paint.start();
        form->repaint();
        QApplication::processEvents();
        paintMs += static_cast<double>(paint.nsecsElapsed()) / 1e6;
        state.PauseTiming();
        events.stop();
        if (table.RowCount() != rowsAfter) {
            state.SkipWithError("the command failed");
        }
        form.reset();
        state.ResumeTiming();
    }
    // The paint that follows the command, of the whole time.
    state.counters["paint_ms"] = paintMs / static_cast<double>(state.iterations());
    state.counters["longest_wait_ms"] = longestWaitMs;
}

void BM_ReadMillionLineFileIntoWindow(benchmark::State& state) {
    TimeWindowCommand(state, Fixture().path, kFileRows + 2, RunReadCommand);
}
BENCHMARK(BM_ReadMillionLineFileIntoWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same for a data file of one's own, named by QUORVEL_BENCH_DATA: for example readings in random
// order with full precision, `bench_fit --make-data FILE 1000000 random`.
void BM_ReadGivenFileIntoWindow(benchmark::State& state, const QString& path) {
    QFile file(path);
    int lines = 0;
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            file.readLine();
            ++lines;
        }
    }
    TimeWindowCommand(state, path, lines + 2, RunReadCommand);
}

// Calibration points as a lab's file gives them: readings in random order with full precision around
// an offset, a cubic's reference values, u(Y) a part of Y and, in the second file, u(X) of the reading.
struct TCalibrationFiles {
    QTemporaryDir dir;
    QString weighted = dir.filePath("weighted.txt");
    QString both = dir.filePath("both.txt");
    explicit TCalibrationFiles(int rows) {
        QFile w(weighted);
        QFile b(both);
        if (!w.open(QIODevice::WriteOnly) || !b.open(QIODevice::WriteOnly)) {
            std::abort();
        }
        std::mt19937_64 rng(20261211);
        std::uniform_real_distribution<double> reading(1000, 1100);
        std::normal_distribution<double> noise(0, 1);
        for (int row = 0; row < rows; ++row) {
            const double x = reading(rng);
            const double t = x - 1050;
            const double uy = 0.002 + 1e-6 * x;
            const double y = 0.25 + 1.0003 * x + 2e-6 * t * t - 3e-9 * t * t * t + uy * noise(rng);
            const QByteArray line = QByteArray::number(y, 'g', 17) + ' ' + QByteArray::number(x, 'g', 17) +
                                    ' ' + QByteArray::number(uy, 'g', 6);
            w.write(line + '\n');
            b.write(line + " 0.001\n");
        }
    }
};

TCalibrationFiles& CalibrationFiles(int rows) {
    static std::map<int, std::unique_ptr<TCalibrationFiles>> files;
    std::unique_ptr<TCalibrationFiles>& made = files[rows];
    if (!made) {
        made = std::make_unique<TCalibrationFiles>(rows);
    }
    return *made;
}

// First argument 0: the file with u(Y) and u(X) read without the columns (the ordinary fit, as before);
// 1: the file with u(Y) read into them (the weighted fit); 2: the file with u(X) too (the fit in both
// variables). The second: the rows.
void BM_ReadCalibrationFileIntoWindow(benchmark::State& state) {
    const auto rows = static_cast<int>(state.range(1));
    const TCalibrationFiles& files = CalibrationFiles(rows);
    TimeWindowCommand(state, state.range(0) == 1 ? files.weighted : files.both, rows + 2, RunReadCommand,
                      state.range(0) != 0);
}
BENCHMARK(BM_ReadCalibrationFileIntoWindow)
    ->ArgsProduct({{0, 1, 2}, {100000, 1000000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

constexpr int kPasteRows = 100000;

// 10^5 rows of two numbers as a spreadsheet copies them: about 1.3 MB.
QString PasteText() {
    QString text;
    text.reserve(14 * kPasteRows);
    for (int row = 1; row <= kPasteRows; ++row) {
        text += QString("%1.%2\t%3.%4\r\n")
                    .arg(1000 + row % 9000)
                    .arg(row % 97)
                    .arg(2000 + row % 8900)
                    .arg(row % 83);
    }
    return text;
}

void BM_Paste100kRowsAndRecompute(benchmark::State& state) {
    const QString text = PasteText();
    for (auto _ : state) {
        TVectorTable table(20);
        if (PasteTableText(text, table) != TPasteResult::Pasted) {
            state.SkipWithError("paste failed");
        }
        TFitCoefficients store;
        const TRecomputeResult result = Recompute(table, fkCubic, store, false, true, {}, kWindowWork);
        int points = result.pointCount;  // a non-const value: newer Google Benchmark deprecates const ones
        benchmark::DoNotOptimize(points);
    }
    state.counters["rows"] = kPasteRows;
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(BM_Paste100kRowsAndRecompute)->Unit(benchmark::kMillisecond);

// The paste command on the real window: the clipboard text into the grid, the recompute and the paint.
void BM_Paste100kRowsIntoWindow(benchmark::State& state) {
    const QString text = PasteText();
    TimeWindowCommand(state, QString(), kPasteRows + 2,
                      [&text](TTableAccess& table, TCommandUi& ui) { RunPasteCommand(text, table, ui); });
}
BENCHMARK(BM_Paste100kRowsIntoWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
    // As the program starts.
    quorvel::KeepFreedRoomForReuse();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (const QString given = qEnvironmentVariable("QUORVEL_BENCH_DATA"); !given.isEmpty()) {
        benchmark::RegisterBenchmark("BM_ReadGivenFileIntoWindow", quorvel::BM_ReadGivenFileIntoWindow, given)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
        // A user's first read after starting the program, into memory the process has not had before:
        // meaningful when it runs alone (--benchmark_filter=FirstRead), once per process.
        benchmark::RegisterBenchmark("BM_FirstReadOfGivenFileIntoWindow", quorvel::BM_ReadGivenFileIntoWindow,
                                     given)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
