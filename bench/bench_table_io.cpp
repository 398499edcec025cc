// Table exchange at size: reading and writing a million-line data file, and pasting a full clipboard
// text followed by the recompute.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
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
#include "fitting/fit_types.h"
#include "fitting/presentation.h"

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
    void SetCell(int column, int row, std::string text) override {
        auto& cells = cells_[column];
        if (static_cast<std::size_t>(row) >= cells.size()) {
            cells.resize(static_cast<std::size_t>(row) + 1 + cells.size() / 2);
        }
        cells[row] = std::move(text);
    }

private:
    int rows_;
    std::vector<std::string> cells_[2];
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

void BM_ReadMillionLineFile(benchmark::State& state) {
    const QString path = Fixture().path;
    for (auto _ : state) {
        TVectorTable table(20);
        const TReadResult result = ReadDataFile(path, table);
        if (result.status != TReadStatus::Ok || result.lines != kFileRows) {
            state.SkipWithError("read failed");
        }
        benchmark::DoNotOptimize(table.RowCount());
    }
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
}
BENCHMARK(BM_ReadMillionLineFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

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
    void Recompute() override { form_.sgDataClick(); }

private:
    QString path_;
    TFormMain& form_;
};

void BM_ReadMillionLineFileIntoWindow(benchmark::State& state) {
    const QString path = Fixture().path;
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<TFormMain>();
        form->show();
        QApplication::processEvents();
        TGridModel& table = *form->findChild<TStringGrid*>("sgData")->Model();
        TChosenFile ui(path, *form);
        state.ResumeTiming();
        RunReadCommand(table, ui);
        form->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        if (table.RowCount() != kFileRows + 2) {
            state.SkipWithError("read failed");
        }
        form.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReadMillionLineFileIntoWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

// A clipboard text at the paste limit: about 2 500 rows of two numbers.
QString FullClipboardText() {
    QString text;
    for (int row = 1; text.size() < kPasteTextLimit; ++row) {
        text += QString("%1.%2\t%3.%4\r\n").arg(row % 100).arg(row % 97).arg(row % 89).arg(row % 83);
    }
    return text;
}

void BM_PasteFullClipboardAndRecompute(benchmark::State& state) {
    const QString text = FullClipboardText();
    for (auto _ : state) {
        TVectorTable table(20);
        if (!PasteTableText(text, table)) {
            state.SkipWithError("paste failed");
        }
        TFitCoefficients store;
        const TRecomputeResult result = Recompute(table, fkCubic, store);
        benchmark::DoNotOptimize(result.pointCount);
        state.counters["rows"] = table.RowCount() - 2;
    }
}
BENCHMARK(BM_PasteFullClipboardAndRecompute)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
