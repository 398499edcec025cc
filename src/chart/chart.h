#pragma once
// The chart control: titles, back wall and legend over the axis panel, the clicked-part search, and the
// hooks its interaction raises. Mouse input goes to Interaction() as plain values (button, shift flags,
// client pixels) from whatever window hosts the chart.
#include <array>
#include <functional>

#include "chart/axis_panel.h"
#include "chart/chart_interaction.h"
#include "chart/chart_title.h"
#include "chart/chart_wall.h"

namespace quorvel {

struct TClickedPart {
    TChartClickedPartStyle Part = cpNone;
    TChartSeries* Series = nullptr;
    TChartAxis* Axis = nullptr;
    int PointIndex = -1;
};

class TChart : public TCustomAxisPanel {
public:
    TChart();
    ~TChart() override;

    TChartTitle& Title() { return title_; }
    const TChartTitle& Title() const { return title_; }
    TChartTitle& Foot() { return foot_; }
    const TChartTitle& Foot() const { return foot_; }
    TChartWall& BackWall() { return backWall_; }
    const TChartWall& BackWall() const { return backWall_; }
    bool LegendVisible() const { return legendVisible_; }
    void SetLegendVisible(bool v) { Set(legendVisible_, v); }

    // The mouse: zoom, scroll, wheel, the saved axes and UndoZoom.
    TChartInteraction& Interaction() { return interaction_; }
    const TChartInteraction& Interaction() const { return interaction_; }
    // The part of the chart under a pixel, as judged against the last paint.
    TClickedPart ClickedPart(int x, int y);

    // The framework's click: a left release inside the chart, raised before the chart's own release handling.
    std::function<void(TChart&)> OnClick;
    std::function<void(TChart&, TChartSeries&, int, TMouseButton, TShiftState, int, int)> OnClickSeries;
    std::function<void(TChart&, TChartAxis&, TMouseButton, TShiftState, int, int)> OnClickAxis;
    std::function<void(TChart&, TMouseButton, TShiftState, int, int)> OnClickLegend;
    std::function<void(TChart&, TMouseButton, TShiftState, int, int)> OnClickBackground;
    std::function<void(TChart&)> OnZoom;
    std::function<void(TChart&)> OnUndoZoom;
    std::function<void(TChart&)> OnScroll;
    // Axis, new minimum, allowed, new maximum; may change the values or refuse.
    std::function<void(TChartAxis&, double&, bool&, double&)> OnAllowScroll;
    // The zoom rectangle moved: a window that cannot draw outside its paint repaints its overlay.
    std::function<void()> OnOverlayChanged;

protected:
    void DrawTitles() override;
    void DrawWalls() override;
    void DrawZoomOverlay() override;

private:
    TChartInteraction interaction_{*this};
    TChartTitle title_;
    TChartTitle foot_;
    TChartWall backWall_;
    bool legendVisible_ = true;
};

}  // namespace quorvel
