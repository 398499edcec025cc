// Number text conversion speed: reading table cells and writing result texts.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_main.h"
#include "runtime/number_text.h"

namespace {

struct CommaLocale {
    CommaLocale() {
        quorvel::SetDecimalChar(U',');
        quorvel::SetThousandsChar(U'\u00A0');
    }
};

void BM_TextToNumber(benchmark::State& state, const char* text) {
    CommaLocale locale;
    const std::string cell = text;
    for (auto _ : state) {
        benchmark::DoNotOptimize(quorvel::TextToNumber(cell));
    }
}
BENCHMARK_CAPTURE(BM_TextToNumber, integer, "101025");
BENCHMARK_CAPTURE(BM_TextToNumber, fraction, "1010,425");
BENCHMARK_CAPTURE(BM_TextToNumber, exponent, "-1,2345678e-4");
BENCHMARK_CAPTURE(BM_TextToNumber, seventeen_digits, "0,14285714285714285");

// A column of varied cells, as the table reader sees them.
void BM_TextToNumberColumn(benchmark::State& state) {
    CommaLocale locale;
    std::vector<std::string> cells;
    for (int i = 0; i < 1000; ++i)
        cells.push_back(std::to_string(1000 + i * 37) + "," + std::to_string(i % 1000));
    for (auto _ : state) {
        for (const std::string& cell : cells)
            benchmark::DoNotOptimize(quorvel::TextToNumber(cell));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(cells.size()));
}
BENCHMARK(BM_TextToNumberColumn);

// A typed "." brought to the decimal character before reading, as every cell is read.
void BM_ReplaceThenRead(benchmark::State& state) {
    CommaLocale locale;
    const std::string cell = "1010.425";
    const std::string decimal = quorvel::DecimalText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(quorvel::TextToNumber(quorvel::ReplaceText(cell, ".", decimal)));
    }
}
BENCHMARK(BM_ReplaceThenRead);

void BM_NumberToText(benchmark::State& state, double value) {
    CommaLocale locale;
    for (auto _ : state) {
        benchmark::DoNotOptimize(quorvel::NumberToText(value));
    }
}
BENCHMARK_CAPTURE(BM_NumberToText, short_value, 12.5);
BENCHMARK_CAPTURE(BM_NumberToText, full_precision, 1.0 / 7);
BENCHMARK_CAPTURE(BM_NumberToText, exponent_form, -2.5e-8);

void BM_FormatNumber(benchmark::State& state, const char* pattern, double value) {
    CommaLocale locale;
    for (auto _ : state) {
        benchmark::DoNotOptimize(quorvel::FormatNumber(pattern, value));
    }
}
BENCHMARK_CAPTURE(BM_FormatNumber, coefficient, "0.0000000", 123.456789012);
BENCHMARK_CAPTURE(BM_FormatNumber, coefficient_scientific, "0.0000000e+0", 1.0 / 7);
BENCHMARK_CAPTURE(BM_FormatNumber, axis_label, "#,##0.###", 12345.678);

}  // namespace

int main(int argc, char** argv) {
    quorvel::KeepFreedRoomForReuse();
    return quorvel::RunBenchmarks(argc, argv);
}
