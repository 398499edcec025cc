// The recompute at table size: extraction, exact cubic solve, statistics and presentation.
// Also writes the large files that quorvel-fit is timed on:
//   bench_fit --make-data FILE [LINES [SHAPE]]      (default 1000000 lines "Y X", about 20 MB)
//   bench_fit --make-readings FILE [LINES [SHAPE]]  (the same rows' readings X alone, for --apply)
// SHAPE: "sorted" (the default: X ascending, few digits), "random" (X uniform in 0 … 100 in random order,
// Y a cubic of X plus noise, both with 7 decimals) or "offset" (the same near X = 101 325 ± 50); the
// offset rows with uncertainties: "offset-u" (a u(Y) column of one value, as from one standard's
// certificate), "offset-percent" (u(Y) 0.005 + 0.01 % of Y, a value for each row) or "offset-both" (u(Y) and
// a u(X) of 0.005); "random-csv" (the rows of "random" as a spreadsheet saves them: a byte-order mark, a
// quoted header with the separator inside, ";" and decimal commas, a first column of row numbers, an empty
// last field, CR LF; read with quorvel-fit --columns 2,3).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_main.h"
#include "fitting/presentation.h"
#include "runtime/number_text.h"

namespace {

// A barometer calibration: readings in Pa with two decimals, true values in hPa with four, both
// written with "." (which every locale reads, as the window does). snprintf follows LC_NUMERIC, which
// stays "C" here since nothing sets the locale.
void MakeRow(std::mt19937_64& rng, long k, long n, char* y, char* x) {
    std::uniform_real_distribution<double> noise(-0.002, 0.002);
    const double reading = 100000.0 + 20000.0 * static_cast<double>(k) / static_cast<double>(n);
    const double truth = reading / 100.0 + 2e-9 * (reading - 110000) * (reading - 110000) + noise(rng);
    std::snprintf(y, 32, "%.4f", truth);
    std::snprintf(x, 32, "%.2f", reading);
}

class TCellTable : public quorvel::ITableSource {
public:
    TCellTable(long rows, bool shuffled) {
        std::mt19937_64 rng(42);
        cells_.reserve(static_cast<std::size_t>(rows));
        char y[32], x[32];
        for (long k = 0; k < rows; ++k) {
            MakeRow(rng, k, rows, y, x);
            cells_.emplace_back(y, x);
        }
        if (shuffled) {
            std::shuffle(cells_.begin(), cells_.end(), rng);
        }
    }
    int RowCount() const override { return static_cast<int>(cells_.size()) + 2; }
    std::string_view CellText(int col, int row) const override {
        if (row < 1 || row > static_cast<int>(cells_.size())) {
            return {};
        }
        const auto& r = cells_[static_cast<std::size_t>(row - 1)];
        return col == 0 ? r.first : r.second;
    }

private:
    std::vector<std::pair<std::string, std::string>> cells_;
};

void RunRecompute(benchmark::State& state, bool shuffled, bool uncertainty = false) {
    quorvel::SetDecimalChar(U'.');
    const TCellTable table(state.range(0), shuffled);
    quorvel::TFitCoefficients store;
    for (auto _ : state) {
        // The window's recompute, which takes the second core for a large table.
        quorvel::TRecomputeResult result = quorvel::Recompute(
            table, quorvel::fkCubic, store, uncertainty, true, {}, quorvel::TWorkOptions{.secondCore = true});
        benchmark::DoNotOptimize(result);
    }
    state.counters["time_per_row"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Rows in reading order, as calibration tables usually are. Wall time: large tables are partly summed on
// a second core.
void BM_Recompute(benchmark::State& state) {
    RunRecompute(state, false);
}
BENCHMARK(BM_Recompute)
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The same rows in random order: the X order of the measured points must be sorted out.
void BM_RecomputeShuffled(benchmark::State& state) {
    RunRecompute(state, true);
}
BENCHMARK(BM_RecomputeShuffled)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMillisecond);

// quorvel-fit --json: the same with the sum of the squared Y and the exact uncertainty analysis.
void BM_RecomputeWithUncertainty(benchmark::State& state) {
    RunRecompute(state, false, true);
}
BENCHMARK(BM_RecomputeWithUncertainty)->Arg(1000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMillisecond);

// Full-precision readings in random order, as a lab's logger writes them, around `centre`.
void MakeScatteredRow(std::mt19937_64& rng, double centre, char* y, char* x) {
    std::uniform_real_distribution<double> spread(-50.0, 50.0);
    std::normal_distribution<double> noise(0.0, 0.01);
    const double reading = centre + spread(rng);
    const double u = reading - centre;
    const double truth = 0.5 + 1.0001 * u + 2e-5 * u * u - 3e-8 * u * u * u + noise(rng);
    std::snprintf(y, 32, "%.7f", truth);
    std::snprintf(x, 32, "%.7f", reading);
}

int MakeData(const char* path, long lines, bool readingsOnly, const std::string& shape) {
    static const std::string kShapes[] = {"sorted",         "random",      "offset",    "offset-u",
                                          "offset-percent", "offset-both", "random-csv"};
    if (std::find(std::begin(kShapes), std::end(kShapes), shape) == std::end(kShapes)) {
        std::fprintf(stderr,
                     "unknown shape '%s' (sorted, random, offset, offset-u, offset-percent, offset-both, "
                     "random-csv)\n",
                     shape.c_str());
        return 64;
    }
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) {
        std::perror(path);
        return 1;
    }
    std::mt19937_64 rng(42);
    char y[32], x[32];
    const bool csv = shape == "random-csv";
    if (csv && !readingsOnly) {
        std::fputs("\xEF\xBB\xBF\"№\";\"Y; кПа\";\"X, мВ\";\r\n", f);
    }
    for (long k = 0; k < lines; ++k) {
        if (shape == "sorted") {
            MakeRow(rng, k, lines, y, x);
        } else {
            MakeScatteredRow(rng, shape == "random" || csv ? 50.0 : 101325.0, y, x);
        }
        if (csv && !readingsOnly) {
            std::replace(y, y + std::strlen(y), '.', ',');
            std::replace(x, x + std::strlen(x), '.', ',');
            std::fprintf(f, "%ld;%s;%s;\r\n", k + 1, y, x);
        } else if (readingsOnly) {
            std::fprintf(f, "%s\n", x);
        } else if (shape == "offset-u") {
            std::fprintf(f, "%s %s 0.012\n", y, x);
        } else if (shape == "offset-percent") {
            std::fprintf(f, "%s %s %.7f\n", y, x, 0.005 + 1e-4 * std::fabs(std::atof(y)));
        } else if (shape == "offset-both") {
            std::fprintf(f, "%s %s 0.012 0.005\n", y, x);
        } else {
            std::fprintf(f, "%s %s\n", y, x);
        }
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    quorvel::KeepFreedRoomForReuse();
    const bool readings = argc >= 3 && std::strcmp(argv[1], "--make-readings") == 0;
    if (readings || (argc >= 3 && std::strcmp(argv[1], "--make-data") == 0)) {
        return MakeData(argv[2], argc >= 4 ? std::atol(argv[3]) : 1000000, readings,
                        argc >= 5 ? argv[4] : "sorted");
    }
    return quorvel::RunBenchmarks(argc, argv);
}
