// A full paint of the window's chart into an image at its stored size (289 x 208), with many measured
// points, their labels on the bottom axis, and the 50-sample curve; also on a high-density screen.
#include <benchmark/benchmark.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "bench_main.h"
#include "calibration/form_chart.h"
#include "chart/qt/qt_canvas.h"
#include "fitting/curve_samples.h"
#include "runtime/number_text.h"
#include "ui/offscreen_app.h"

namespace {

using namespace quorvel;

// Readings as users have them: X uniform in 0 ... 100 with 7 decimals, fed in X order and labelled
// from X as the window's chart does.
std::unique_ptr<TChart> MakeReadingsChart(int points) {
    std::unique_ptr<TChart> chart = CreateFormChart();
    TFormChartSeries s = FormSeries(*chart);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> reading(0.0, 100.0);
    std::normal_distribution<double> noise(0.0, 3.0);
    std::vector<double> xs(static_cast<std::size_t>(points));
    for (double& x : xs) {
        x = std::round(reading(rng) * 1e7) / 1e7;
    }
    std::sort(xs.begin(), xs.end());
    const TColor colours[] = {clBlue, clPurple, clRed};
    s.measured->AddPoints(xs.size(), [&](std::size_t k) {
        struct {
            double x, y;
            TColor color;
        } point{xs[k], 0.5 * xs[k] * xs[k] - 2 * xs[k] + 1 + noise(rng), colours[k % 3]};
        return point;
    });
    for (int k = 0; k < 50; ++k) {
        const double x = 2.0 * k;
        s.curve->AddPoint(x, 0.5 * x * x - 2 * x + 1, {}, AutoColor);
    }
    chart->SetVisible(true);
    return chart;
}

std::unique_ptr<TChart> MakeChart(int points) {
    std::unique_ptr<TChart> chart = CreateFormChart();
    TFormChartSeries s = FormSeries(*chart);
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 3.0);
    const TColor colours[] = {clBlue, clPurple, clRed};
    // Ascending X as the recompute feeds them; the labels are the X texts.
    for (int i = 0; i < points; ++i) {
        const double x = 0.01 * i;
        const double y = 0.5 * x * x - 2 * x + 1 + noise(rng);
        s.measured->AddPoint(x, y, NumberToText(x), colours[i % 3]);
    }
    const double end = 0.01 * (points - 1);
    for (int k = 0; k < 50; ++k) {
        const double x = end * 0.02 * k;
        s.curve->AddPoint(x, 0.5 * x * x - 2 * x + 1, {}, AutoColor);
    }
    chart->SetVisible(true);
    return chart;
}

// Points, then the screen's device pixel ratio (2: a 4K laptop at 200 %), as the widget's paint
// does it: the chart into its off-screen buffer at that ratio, then the buffer onto the screen; a
// third argument of 1 takes readings in random order with 7 decimals instead of evenly spaced X.
void BM_FormChartFullPaint(benchmark::State& state) {
    EnsureOffscreenApplication();
    const int points = static_cast<int>(state.range(0));
    std::unique_ptr<TChart> chart = state.range(2) == 1 ? MakeReadingsChart(points) : MakeChart(points);
    const auto ratio = static_cast<qreal>(state.range(1));
    QImage image(QSize(289, 208) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        // A fresh canvas and an invalidated chart each time: the paint of a changed chart.
        TQtCanvas canvas(&image);
        chart->Invalidate();
        chart->Paint(canvas);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["renders"] = chart->RenderCount();
}
BENCHMARK(BM_FormChartFullPaint)
    ->Args({10000, 1, 0})
    ->Args({100000, 1, 0})
    ->Args({100000, 2, 0})
    ->Args({1000000, 1, 1})
    ->Args({8700000, 1, 1})
    ->Unit(benchmark::kMillisecond);

// Y = X over X = 1..10 (the points and the recompute's curve samples), zoomed state.range(0) times into
// a 20-pixel square on the curve at the plot's centre, as a user's drags do.
std::unique_ptr<TChart> ZoomedLineChart(int zooms, QImage& image) {
    std::unique_ptr<TChart> chart = CreateFormChart();
    TFormChartSeries s = FormSeries(*chart);
    for (int x = 1; x <= 10; ++x) {
        s.measured->AddPoint(x, x, NumberToText(x), clBlue);
    }
    const TFitCoefficients line{0, 1, 0, 0};  // the exact fit of these points
    for (const TFeedPoint& p : CurveSamples(1, 10, line)) {
        s.curve->AddPoint(p.x, p.y, {}, AutoColor);
    }
    chart->SetVisible(true);
    const TChartAxis& bottom = chart->BottomAxis();
    const TChartAxis& left = chart->LeftAxis();
    for (int zoom = 0; zoom <= zooms; ++zoom) {
        TQtCanvas canvas(&image);
        chart->Invalidate();
        chart->Paint(canvas);
        if (zoom == zooms) {
            break;
        }
        const int cx = chart->PlotXCenter();
        const auto cy =
            static_cast<int>(RoundHalfEven(left.Scale().ToPixelUnrounded(bottom.PixelToValue(cx))));
        chart->Interaction().ZoomToRect(TRect{cx - 10, cy - 10, cx + 10, cy + 10});
    }
    return chart;
}

void BM_DeepZoomFullPaint(benchmark::State& state) {
    EnsureOffscreenApplication();
    QImage image(289, 208, QImage::Format_RGB32);
    std::unique_ptr<TChart> chart = ZoomedLineChart(static_cast<int>(state.range(0)), image);
    for (auto _ : state) {
        TQtCanvas canvas(&image);
        chart->Invalidate();
        chart->Paint(canvas);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["x_span"] = chart->BottomAxis().Scale().RangeSpan();
}
BENCHMARK(BM_DeepZoomFullPaint)->Arg(0)->Arg(8)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_FormChartBufferCopy(benchmark::State& state) {
    EnsureOffscreenApplication();
    std::unique_ptr<TChart> chart = MakeChart(static_cast<int>(state.range(0)));
    QImage image(289, 208, QImage::Format_RGB32);
    {
        TQtCanvas canvas(&image);
        chart->Paint(canvas);
    }
    for (auto _ : state) {
        TQtCanvas canvas(&image);
        chart->Paint(canvas);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_FormChartBufferCopy)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    quorvel::KeepFreedRoomForReuse();
    return quorvel::RunBenchmarks(argc, argv);
}
