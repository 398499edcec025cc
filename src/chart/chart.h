#pragma once
// The chart control: titles, back wall and legend over the axis panel, the clicked-part search and the
// mouse machine (series clicks, zoom drag, scroll drag, wheel, UndoZoom). Mouse input comes in as plain
// values (button, shift flags, client pixels) from whatever window hosts the chart.
#include <array>
#include <functional>

#include "chart/axis_panel.h"
#include "chart/chart_title.h"
#include "chart/chart_wall.h"

namespace quorvel {

// A drag in progress: start point (X0, Y0) and current point (X1, Y1), in client pixels.
struct TZoomPanningRecord {
    bool Active = false;
    int X0 = 0;
    int Y0 = 0;
    int X1 = 0;
    int Y1 = 0;
    void Activate(int x, int y) {
        Active = true;
        X0 = X1 = x;
        Y0 = Y1 = y;
    }
};

// One axis' range settings as saved by the first zoom or scroll.
struct TAxisSavedState {
    bool Automatic = true;
    bool AutomaticMinimum = true;
    bool AutomaticMaximum = true;
    double Minimum = 0;
    double Maximum = 0;
};

struct TClickedPart {
    TChartClickedPartStyle Part = cpNone;
    TChartSeries* Series = nullptr;
    TChartAxis* Axis = nullptr;
    int PointIndex = -1;
};

enum TChartCursor { crDefault = 0, crCross = 1, crHandPoint = 2 };

class TCustomChart : public TCustomAxisPanel {
public:
    TCustomChart();
    ~TCustomChart() override;

    TChartTitle& Title() { return title_; }
    const TChartTitle& Title() const { return title_; }
    TChartTitle& Foot() { return foot_; }
    const TChartTitle& Foot() const { return foot_; }
    TChartWall& BackWall() { return backWall_; }
    const TChartWall& BackWall() const { return backWall_; }
    bool LegendVisible() const { return legendVisible_; }
    void SetLegendVisible(bool v) { Set(legendVisible_, v); }

    // --- zoom and scroll settings and state ---
    bool AllowZoom = true;
    TPanningMode AllowPanning = pmBoth;
    bool AnimatedZoom = false;
    int AnimatedZoomSteps = 8;
    TZoomPanningRecord Zoom;
    TZoomPanningRecord Panning;
    // Set while a click event handler runs; the handler may clear it to let the press start a drag.
    bool ClickTaken = false;
    bool AxesStateSaved = false;
    // Top, bottom, left, right.
    std::array<TAxisSavedState, 4> SavedAxes;
    int Cursor = crDefault;
    int OriginalCursor = crDefault;

    static constexpr TMouseButton kZoomButton = mbLeft;
    static constexpr TMouseButton kScrollButton = mbRight;
    static constexpr TShiftState kZoomShift = 0;
    static constexpr TShiftState kScrollShift = 0;
    static constexpr double kAnimatedZoomFactor = 3.0;
    // A zoom drag must exceed this many pixels in both directions.
    static constexpr int kMinZoomDrag = 16;
    // The wheel scrolls vertical axes by this share of their span.
    static constexpr double kWheelShare = 0.03;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void MouseMove(TShiftState shift, int x, int y);
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    // A wheel turn: towards the user (down) scrolls vertical axes by +3 % of their span, away by -3 %.
    void MouseWheel(bool towardsUser);
    // Sets the four axes to the values under a pixel rectangle.
    void ZoomToRect(TRect rect);
    // Puts back the axis state saved by the first zoom or scroll, and repaints.
    virtual void UndoZoom();
    // Moves an axis' range by a value delta (limited: only towards data beyond the range).
    void ScrollAxis(TChartAxis& axis, double delta, bool limited);
    // The part of the chart under a pixel, as judged against the last paint.
    TClickedPart ClickedPart(int x, int y);
    // Draws the zoom rectangle of the active drag (not-xor, so a second call erases it).
    void DrawZoomRectangle(TCanvas& canvas) const;

    // The framework's click: a left release inside the chart, raised before the chart's own release handling.
    std::function<void(TCustomChart&)> OnClick;
    std::function<void(TCustomChart&, TChartSeries&, int, TMouseButton, TShiftState, int, int)> OnClickSeries;
    std::function<void(TCustomChart&, TChartAxis&, TMouseButton, TShiftState, int, int)> OnClickAxis;
    std::function<void(TCustomChart&, TMouseButton, TShiftState, int, int)> OnClickLegend;
    std::function<void(TCustomChart&, TMouseButton, TShiftState, int, int)> OnClickBackground;
    std::function<void(TCustomChart&)> OnZoom;
    std::function<void(TCustomChart&)> OnScroll;
    // Axis, new minimum, allowed, new maximum; may change the values or refuse.
    std::function<void(TChartAxis&, double&, bool&, double&)> OnAllowScroll;
    // The zoom rectangle moved: a window that cannot draw outside its paint repaints its overlay.
    std::function<void()> OnOverlayChanged;

protected:
    void SaveLayout(TChartLayoutState& state) const override;
    void RestoreLayout(const TChartLayoutState& state) override;
    void DrawTitles() override;
    void DrawWalls() override;
    void DrawZoomOverlay() override;

private:
    void StartDrag(TMouseButton button, TShiftState shift, int x, int y, bool& handled);
    void BackgroundClick(TMouseButton button, TShiftState shift, int x, int y, bool& handled);
    void SaveAxesState();
    void ToggleZoomRectangleOnWindow();
    void ScrollAxisByPixels(TChartAxis& axis, int from, int to);
    TPen ZoomPen() const;

    // A full rendering during the zoom drag drew the rectangle into the off-screen buffer.
    bool zoomRectInBuffer_ = false;
    TChartTitle title_;
    TChartTitle foot_;
    TChartWall backWall_;
    bool legendVisible_ = true;
};

class TChart : public TCustomChart {
public:
    TChart() = default;
};

// The range an axis shows now: the laid-out range while an end is automatic, else Minimum..Maximum.
void DisplayedRange(const TChartAxis& axis, double& lo, double& hi);

}  // namespace quorvel
