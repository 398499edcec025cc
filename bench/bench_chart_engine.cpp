// The chart engine without any window: filling series in every X order, and a full layout and paint of
// the main window's chart into a canvas that draws nothing (so the figures are the engine's own).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_main.h"
#include "calibration/form_chart.h"
#include "chart/point_series.h"
#include "fitting/presentation.h"
#include "runtime/number_text.h"

namespace {

using namespace quorvel;

// Draws nothing but counts the drawing calls; measures text as 6 pixels per byte and 13 per line.
class NullCanvas : public TNullCanvas {
public:
    void LineTo(int x, int y) override {
        TNullCanvas::LineTo(x, y);
        ++calls;
    }
    void Polyline(std::span<const TPoint>) override { ++calls; }
    void Rectangle(const TRect&) override { ++calls; }
    void FillRect(const TRect&) override { ++calls; }
    void Ellipse(const TRect&) override { ++calls; }
    void Polygon(std::span<const TPoint>) override { ++calls; }
    void SetPixel(int, int, TColor) override { ++calls; }
    void TextOut(int, int, std::string_view) override { ++calls; }
    int TextWidth(std::string_view t) const override { return 6 * static_cast<int>(t.size()); }
    int TextHeight(std::string_view) const override { return 13; }

    long long calls = 0;
};

std::vector<double> Xs(std::size_t n, int order) {
    std::vector<double> xs(n);
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> u(-1000, 1000);
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = order == 0 ? static_cast<double>(i) : order == 1 ? -static_cast<double>(i) : u(rng);
    }
    return xs;
}

// Adds n points (with a label, as the measured points carry one) to a loAscending series.
void AddPoints(benchmark::State& state, int order) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> xs = Xs(n, order);
    const std::string label = "123.456";
    for (auto _ : state) {
        TPointSeries s;
        for (double x : xs) {
            s.AddPoint(x, x * 0.5, label, clBlue);
        }
        benchmark::DoNotOptimize(s.PointCount());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}

void BM_AddAscending(benchmark::State& state) {
    AddPoints(state, 0);
}
void BM_AddDescending(benchmark::State& state) {
    AddPoints(state, 1);
}
void BM_AddRandom(benchmark::State& state) {
    AddPoints(state, 2);
}
BENCHMARK(BM_AddAscending)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddDescending)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddRandom)->Arg(100000)->Unit(benchmark::kMillisecond);

// The form chart with n measured points (labels NumberToText(x), deviation colours), a 50-sample curve and
// the evaluated point: one full layout and paint per iteration.
void BM_FormChartPaint(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    auto chart = CreateFormChart();
    const TFormChartSeries s = FormSeries(*chart);
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> noise(-0.5, 0.5);
    const TColor colours[3] = {clBlue, clPurple, clRed};
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i) * 0.01;
        s.measured->AddPoint(x, 2 * x + noise(rng), NumberToText(x), colours[i % 3]);
    }
    const double end = static_cast<double>(n) * 0.01;
    for (int k = 0; k < 50; ++k) {
        const double x = end * k / 50;
        s.curve->AddPoint(x, 2 * x);
    }
    s.evaluated->AddPoint(end / 2, end, NumberToText(end / 2));
    chart->SetBufferedPaint(false);
    NullCanvas canvas;
    for (auto _ : state) {
        chart->Invalidate();
        chart->PaintTo(canvas, chart->ClientRect());
    }
    state.counters["draw_calls"] =
        static_cast<double>(canvas.calls) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FormChartPaint)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Hit testing a press that misses every point: the worst case of the series walk.
void BM_ClickedPartMiss(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    auto chart = CreateFormChart();
    const TFormChartSeries s = FormSeries(*chart);
    for (std::size_t i = 0; i < n; ++i) {
        s.measured->AddPoint(static_cast<double>(i), static_cast<double>(i % 100));
    }
    chart->SetBufferedPaint(false);
    NullCanvas canvas;
    chart->PaintTo(canvas, chart->ClientRect());
    for (auto _ : state) {
        benchmark::DoNotOptimize(chart->ClickedPart(3, 3));
    }
}
BENCHMARK(BM_ClickedPartMiss)->Arg(100000)->Unit(benchmark::kMillisecond);

// The window's feed of a recompute's measured points, taken in X order from a table in random X order (a
// file of unsorted readings): each point is fetched from anywhere in the table.
void BM_FeedFormChart(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    TRecomputeResult result;
    const std::vector<double> xs = Xs(n, 2);
    result.measured.reserve(n);
    result.colors.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        result.measured.push_back(TDataPoint{xs[i], 0.5 * xs[i]});
        result.colors.push_back(i % 2 == 0 ? clBlue : clRed);
    }
    result.measuredByX.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        result.measuredByX[i] = static_cast<int>(i);
    }
    std::stable_sort(result.measuredByX.begin(), result.measuredByX.end(), [&](int a, int b) {
        return xs[static_cast<std::size_t>(a)] < xs[static_cast<std::size_t>(b)];
    });
    result.reached = rsPoints;
    auto chart = CreateFormChart();
    for (auto _ : state) {
        FeedFormChart(*chart, result, nullptr);
        benchmark::DoNotOptimize(chart->Series(0).PointCount());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}
BENCHMARK(BM_FeedFormChart)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    quorvel::KeepFreedRoomForReuse();
    return quorvel::RunBenchmarks(argc, argv);
}
