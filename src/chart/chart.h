#pragma once
// The chart control, put together from parts on its drawing panel: four axes, the series list, titles,
// back wall and the interaction. It answers the chart-wide value queries, runs the paint pipeline in each
// rendering's context (background, titles, axis layout, margins, walls, axes, series, overlay), finds the
// clicked part on the screen's layout and raises the hooks. Mouse input goes to Interaction() as plain values
// (button, shift flags, client pixels) from whatever window hosts the chart.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart/axis.h"
#include "chart/chart_interaction.h"
#include "chart/chart_panel.h"
#include "chart/chart_title.h"
#include "chart/chart_wall.h"
#include "chart/series.h"

namespace quorvel {

struct TClickedPart {
    TChartClickedPartStyle Part = cpNone;
    TChartSeries* Series = nullptr;
    TChartAxis* Axis = nullptr;
    int PointIndex = -1;
};

class TChart : public TCustomChartPanel {
public:
    TChart();
    ~TChart() override;

    // --- axes, in layout order: left, top, right, bottom (the chart is flat: it has no depth axis) ---
    TChartAxis& LeftAxis() { return *axes_[0]; }
    TChartAxis& TopAxis() { return *axes_[1]; }
    TChartAxis& RightAxis() { return *axes_[2]; }
    TChartAxis& BottomAxis() { return *axes_[3]; }
    const TChartAxis& LeftAxis() const { return *axes_[0]; }
    const TChartAxis& TopAxis() const { return *axes_[1]; }
    const TChartAxis& RightAxis() const { return *axes_[2]; }
    const TChartAxis& BottomAxis() const { return *axes_[3]; }
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
    // The widest point label of the active labelled series on the axis, on the rendering's canvas.
    int WidestPointLabel(const TChartAxis& axis, const TChartCanvas& canvas) const;

    // The chart's default font for axis labels, marks and titles: "Arial", size 8, black.
    TFont DefaultFont;

    // Heard at these steps of every rendering, with its context (its canvas and layout so far).
    std::function<void(TChart&, TRenderContext&)> OnBeforeDrawAxes;
    std::function<void(TChart&, TRenderContext&)> OnBeforeDrawSeries;
    std::function<void(TChart&, TRenderContext&)> OnAfterDraw;
    // May replace an axis label text; series is null and index -1 for value labels.
    std::function<void(TChartAxis&, TChartSeries*, int, std::string&)> OnGetAxisLabel;
    // Supplies value label positions instead of the step: called with label index 0, 1, ... until it sets
    // stop; value is where the label goes.
    std::function<void(TChartAxis&, int, double&, bool&)> OnGetNextAxisLabel;

    TChartTitle& Title() { return title_; }
    const TChartTitle& Title() const { return title_; }
    TChartTitle& Foot() { return foot_; }
    const TChartTitle& Foot() const { return foot_; }
    TChartWall& BackWall() { return backWall_; }
    const TChartWall& BackWall() const { return backWall_; }

    // The mouse: zoom, scroll, wheel, the saved axes and UndoZoom.
    TChartInteraction& Interaction() { return interaction_; }
    const TChartInteraction& Interaction() const { return interaction_; }
    // The part of the chart under a pixel, as judged against the screen's last rendering.
    TClickedPart ClickedPart(int x, int y);

    // The framework's click: a left release inside the chart, raised before the chart's own release handling.
    std::function<void(TChart&)> OnClick;
    std::function<void(TChart&, TChartSeries&, int, TMouseButton, TShiftState, int, int)> OnClickSeries;
    std::function<void(TChart&, TChartAxis&, TMouseButton, TShiftState, int, int)> OnClickAxis;
    std::function<void(TChart&, TMouseButton, TShiftState, int, int)> OnClickBackground;
    std::function<void(TChart&)> OnZoom;
    std::function<void(TChart&)> OnUndoZoom;
    std::function<void(TChart&)> OnScroll;
    // Axis, new minimum, allowed, new maximum; may change the values or refuse.
    std::function<void(TChartAxis&, double&, bool&, double&)> OnAllowScroll;
    // The zoom rectangle moved: a window that cannot draw outside its paint repaints its overlay.
    std::function<void()> OnOverlayChanged;

protected:
    void DrawPipeline(TRenderContext& context) override;

private:
    void AdoptSeries(std::unique_ptr<TChartSeries> series);
    double MinMaxOnAxis(const TChartAxis& axis, bool lowest, bool isX) const;
    // Steps of the pipeline: titles, the axes' ranges and room, the series' margins, the walls, and the
    // zoom rectangle of an active drag.
    void DrawTitles(TRenderContext& context);
    void LayoutAxes(TRenderContext& context);
    void ApplySeriesMargins(TRenderContext& context);
    void DrawWalls(TRenderContext& context);
    void DrawZoomOverlay(TRenderContext& context);

    // The parts.
    std::array<std::unique_ptr<TChartAxis>, 4> axes_;
    std::vector<std::unique_ptr<TChartSeries>> series_;
    bool axisVisible_ = true;
    TChartInteraction interaction_{*this};
    TChartTitle title_;
    TChartTitle foot_;
    TChartWall backWall_;
};

}  // namespace quorvel
