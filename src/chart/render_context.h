#pragma once
// What one rendering of a chart works with, as one value: the canvas it draws on, the options of this
// rendering (its target, the title it shows, whom it tells how far it has come), and what its layout step
// makes: the rectangles, each axis' value <-> pixel mapping and each series' visible points. A rendering
// makes its own and hands it to the axes, series and marks; the screen keeps the one of its last rendering
// for hit tests, zoom and scroll. Nothing is bound to the chart, saved or put back.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "chart/canvas.h"
#include "chart/chart_types.h"
#include "chart/geometry.h"
#include "chart/scale_map.h"
#include "runtime/work_steps.h"

namespace quorvel {

class TChartSeries;

// The chart's axes, in layout order; an axis' kind is its place in a rendering's layout.
enum TAxisKind { akLeft, akTop, akRight, akBottom };
inline constexpr std::size_t kAxisCount = 4;

// Lines of a chart title, top first.
using TTitleLines = std::vector<std::string>;

struct TRenderOptions {
    // The options of a rendering for target that shows the chart's own title; a target stands for them.
    TRenderOptions(TRenderTarget target = TRenderTarget::Screen) : Target(target) {}  // NOLINT: converts

    TRenderTarget Target;
    // Shown as the chart's title in place of its own (a printed page with the formula line).
    std::optional<TTitleLines> Title;
    // Told how far the drawing of many points and labels has gone; null: nobody asks.
    const TWorkSteps* Steps = nullptr;

    // A printer's page (or the preview's picture of it): no background, cosmetic pens.
    bool Printing() const { return Target == TRenderTarget::Printer; }
    // A picture or a page, whose clipping the chart's own switches decide.
    bool Exporting() const { return Target == TRenderTarget::Picture || Target == TRenderTarget::Printer; }
};

// One axis as laid out: its mapping, where its line and labels lie, and the outer edge of the room its
// labels and ticks take (for hit testing).
struct TAxisLayout {
    TScaleMap Scale;
    int AxisLinePos = 0;
    int LabelsPos = 0;
    int OuterPos = 0;
};

// The points of one series that lie in the plot's X range (-1: none).
struct TSeriesLayout {
    const TChartSeries* Series = nullptr;
    int FirstVisible = -1;
    int LastVisible = -1;
};

class TRenderContext {
public:
    TRenderContext() = default;
    TRenderContext(TCanvas* canvas, TRenderOptions options) : Canvas(canvas), Options(std::move(options)) {}

    // Where this rendering draws; without a target it draws and measures nothing.
    TChartCanvas Canvas;
    TRenderOptions Options;

    TRect PanelRect;
    // Axes map values into it and series draw inside it.
    TRect PlotRect;
    // The titles as drawn (empty when not), for hit testing.
    TRect TitleRect;
    TRect FootRect;
    std::array<TAxisLayout, kAxisCount> Axes = NotLaidOut();

    TAxisLayout& Axis(TAxisKind kind) { return Axes[static_cast<std::size_t>(kind)]; }
    const TAxisLayout& Axis(TAxisKind kind) const { return Axes[static_cast<std::size_t>(kind)]; }
    TScaleMap& Scale(TAxisKind kind) { return Axis(kind).Scale; }
    const TScaleMap& Scale(TAxisKind kind) const { return Axis(kind).Scale; }

    // The visible points of a series as this rendering found them: none for a series it has not drawn.
    TSeriesLayout Visible(const TChartSeries& series) const;
    void SetVisible(const TChartSeries& series, int first, int last);
    // Forgets a series (it leaves the chart).
    void Forget(const TChartSeries& series);

    // Tells the steps, if any, that `part` (0 ... 1) of the rendering is done; never less than told before.
    void TellStep(double part) const;

private:
    // The axes before any layout: empty ranges, each on its own direction.
    static std::array<TAxisLayout, kAxisCount> NotLaidOut() {
        std::array<TAxisLayout, kAxisCount> axes;
        axes[akLeft].Scale.Horizontal = false;
        axes[akRight].Scale.Horizontal = false;
        return axes;
    }

    std::vector<TSeriesLayout> series_;
    // The most told so far: the steps hear a share that never falls.
    mutable double told_ = 0;
};

// Tells a rendering's steps how far a pass over `count` items has come, as the share [from, from + share]
// of the whole rendering: once at each whole multiple of kItemsPerStep items passed.
class TStepTeller {
public:
    TStepTeller(const TRenderContext& context, std::size_t count, double from, double share)
        : context_(context), count_(count), from_(from), share_(share) {}
    // `done` items are passed (counted from the pass' start; never fewer than before).
    void Passed(std::size_t done) {
        const std::size_t step = done / kItemsPerStep;
        if (step > told_) {
            told_ = step;
            context_.TellStep(from_ + share_ * static_cast<double>(step * kItemsPerStep) /
                                          static_cast<double>(count_));
        }
    }

private:
    const TRenderContext& context_;
    std::size_t count_;
    double from_;
    double share_;
    std::size_t told_ = 0;
};

}  // namespace quorvel
