#pragma once
// The panel with series and axes: owns both, answers the chart-wide value queries and runs the paint
// pipeline (background, titles, axis layout, margins, walls, axes, series, overlay).
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart/axis.h"
#include "chart/chart_panel.h"
#include "chart/series.h"

namespace quorvel {

class TCustomAxisPanel : public TCustomChartPanel {
public:
    TCustomAxisPanel();
    ~TCustomAxisPanel() override;

    // --- axes, in layout order: left, top, right, bottom, depth ---
    TChartAxis& LeftAxis() { return *axes_[0]; }
    TChartAxis& TopAxis() { return *axes_[1]; }
    TChartAxis& RightAxis() { return *axes_[2]; }
    TChartAxis& BottomAxis() { return *axes_[3]; }
    TChartAxis& DepthAxis() { return *axes_[4]; }
    const TChartAxis& LeftAxis() const { return *axes_[0]; }
    const TChartAxis& TopAxis() const { return *axes_[1]; }
    const TChartAxis& RightAxis() const { return *axes_[2]; }
    const TChartAxis& BottomAxis() const { return *axes_[3]; }
    const TChartAxis& DepthAxis() const { return *axes_[4]; }
    int AxisCount() const { return static_cast<int>(axes_.size()); }
    TChartAxis& Axis(int index) { return *axes_.at(static_cast<std::size_t>(index)); }
    bool AxisVisible() const { return axisVisible_; }
    void SetAxisVisible(bool v) { Set(axisVisible_, v); }

    // --- series, in list order ---
    // Takes ownership; a series without a colour gets one from the palette. Returns the series.
    template <class S>
    S& AddSeries(std::unique_ptr<S> series) {
        S& ref = *series;
        AdoptSeries(std::move(series));
        return ref;
    }
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    // EListError for an index outside the list.
    TChartSeries& Series(int index) const;
    // Removes and destroys the series.
    void RemoveSeries(TChartSeries& series);
    int ActiveSeriesCount() const;

    // --- chart-wide value queries (0 when no series counts) ---
    double LowestXOnAxis(const TChartAxis& axis) const { return MinMaxOnAxis(axis, true, true); }
    double HighestXOnAxis(const TChartAxis& axis) const { return MinMaxOnAxis(axis, false, true); }
    double LowestYOnAxis(const TChartAxis& axis) const { return MinMaxOnAxis(axis, true, false); }
    double HighestYOnAxis(const TChartAxis& axis) const { return MinMaxOnAxis(axis, false, false); }
    // Whether an active series is drawn against the axis (or no series is active at all).
    bool AxisHasSeries(const TChartAxis& axis) const;
    // The widest point label of the active labelled series on the axis.
    int WidestPointLabel(const TChartAxis& axis);

    // The chart's default font for axis labels, marks and titles: "Arial", size 8, black.
    TFont DefaultFont;

    std::function<void(TCustomAxisPanel&)> OnBeforeDrawAxes;
    std::function<void(TCustomAxisPanel&)> OnBeforeDrawSeries;
    std::function<void(TCustomAxisPanel&)> OnAfterDraw;
    // May replace an axis label text; series is null and index -1 for value labels.
    std::function<void(TChartAxis&, TChartSeries*, int, std::string&)> OnGetAxisLabel;
    // Supplies value label positions instead of the step: called with label index 0, 1, ... until it sets
    // stop; value is where the label goes.
    std::function<void(TChartAxis&, int, double&, bool&)> OnGetNextAxisLabel;
    // While set, OnGetAxisLabel is not called (label measuring).
    bool AxisLabelHookSuspended = false;

protected:
    void DrawPipeline() override;
    void UseLayout(TChartLayoutState& layout) override;
    // Step 3 of the pipeline: titles and legend.
    virtual void DrawTitles() {}
    // Step 6: the walls.
    virtual void DrawWalls() {}
    // Step 10: the zoom rectangle of an active drag.
    virtual void DrawZoomOverlay() {}

private:
    void AdoptSeries(std::unique_ptr<TChartSeries> series);
    double MinMaxOnAxis(const TChartAxis& axis, bool lowest, bool isX) const;
    void LayoutAxes();
    void ApplySeriesMargins();

    std::array<std::unique_ptr<TChartAxis>, 5> axes_;
    std::vector<std::unique_ptr<TChartSeries>> series_;
    bool axisVisible_ = true;
};

}  // namespace quorvel
