#pragma once
// What the mouse does to a chart, in one place: the press dispatch to the click hooks, the zoom drag, the
// scroll drag, the wheel, the saved axes and whether the chart is zoomed. It works only through the chart's
// public API, so the chart holds no mouse state and the window that hosts it only passes events on.
//
// The events, in client pixels:
//   left press on the plot, a series or an axis that no click hook keeps   starts a zoom drag
//   move while zoom-dragging                                               the not-xor rectangle follows
//   left release                                                           right and down more than 16 px
//                                                                          both ways: zoom to the rectangle;
//                                                                          any other way that far: undo zoom
//   right press that no click hook keeps                                   arms a scroll drag
//   move within the drag distance of the right press                       nothing (a hand's jitter)
//   move beyond it, inside the plot                                        the content follows the mouse
//   move out of the plot                                                   ends the scroll drag
//   right release that never left the drag distance                        Release answers: show the menu
//   wheel, per whole notch                                                 vertical axes by 3 % of their ends
#include <array>

#include "chart/canvas.h"
#include "chart/chart_types.h"
#include "chart/geometry.h"

namespace quorvel {

class TChart;
class TCustomChartAxis;
using TChartAxis = TCustomChartAxis;

// A drag in progress: start point (X0, Y0) and current point (X1, Y1), in client pixels.
struct TDragRecord {
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

class TChartInteraction {
public:
    explicit TChartInteraction(TChart& chart) : chart_(chart) {}
    TChartInteraction(const TChartInteraction&) = delete;
    TChartInteraction& operator=(const TChartInteraction&) = delete;

    bool AllowZoom = true;
    TPanningMode AllowPanning = TPanningMode::Both;
    // Pixels (Manhattan) a right press must move before it scrolls; the host sets its platform's value.
    // With 0 every move scrolls, and only a release where the press was is a click.
    int DragDistance = 0;

    static constexpr TMouseButton kZoomButton = mbLeft;
    static constexpr TMouseButton kScrollButton = mbRight;
    // A zoom drag must exceed this many pixels in both directions.
    static constexpr int kMinZoomDrag = 16;
    // The wheel scrolls vertical axes by this share of their span.
    static constexpr double kWheelShare = 0.03;
    // One notch of a classic wheel, in eighths of a degree.
    static constexpr int kWheelNotch = 120;

    void Press(TMouseButton button, TShiftState shift, int x, int y);
    void Move(TShiftState shift, int x, int y);
    // True when the release ends a right click that asks for the context menu.
    bool Release(TMouseButton button, TShiftState shift, int x, int y);
    // A wheel turn in eighths of a degree (positive away from the user); each whole notch scrolls once,
    // parts of a notch from fine-grained wheels add up.
    void Wheel(int eighthsOfDegree);
    // One notch: towards the user (down) scrolls vertical axes by +3 % of their span, away by -3 %.
    void WheelNotch(bool towardsUser);

    // Sets the four axes to the values under a pixel rectangle.
    void ZoomToRect(TRect rect);
    // Puts back the axis state saved by the first zoom or scroll, and repaints.
    void UndoZoom();
    // Moves an axis' range by a value delta (limited: only towards data beyond the range).
    void ScrollAxis(TChartAxis& axis, double delta, bool limited);

    // A click hook calls this to let its press go on to start a drag.
    void PassClickOn() { clickTaken_ = false; }

    // True after a zoom, false after UndoZoom.
    bool Zoomed() const { return zoomed_; }
    // True once a zoom or scroll has saved the axes for UndoZoom.
    bool AxesSaved() const { return axesSaved_; }
    const TDragRecord& ZoomDrag() const { return zoom_; }
    const TDragRecord& ScrollDrag() const { return scroll_; }

    // Draws the zoom rectangle of the active drag (not-xor, so a second call erases it).
    void DrawZoomRectangle(TCanvas& canvas) const;
    // A full rendering during the zoom drag draws the rectangle too; inBuffer: into the screen's
    // off-screen buffer.
    void DrawOverlay(const TChartCanvas& canvas, bool inBuffer);

private:
    // One axis' range settings as saved by the first zoom or scroll.
    struct SavedAxis {
        bool Automatic = true;
        bool AutomaticMinimum = true;
        bool AutomaticMaximum = true;
        double Minimum = 0;
        double Maximum = 0;
    };

    // Raises a click hook, if set: the press counts as handled unless the hook passes the click on.
    template <class Hook, class... Args>
    void Offer(const Hook& hook, bool& handled, Args&&... args);
    void StartDrag(TMouseButton button, int x, int y, bool& handled);
    void MoveZoomRectangle(int x, int y);
    void MoveScroll(int x, int y);
    void EndZoomDrag(int x, int y);
    void SaveAxes();
    void ToggleZoomRectangleOnWindow();
    void ScrollAxisByPixels(TChartAxis& axis, int from, int to);
    // Whether (x, y) lies at or beyond the drag distance from the right press.
    bool PastDragDistance(int x, int y) const;

    TChart& chart_;
    TDragRecord zoom_;
    TDragRecord scroll_;
    // Set while a click hook runs; the hook may clear it (PassClickOn) to let the press start a drag.
    bool clickTaken_ = false;
    bool zoomed_ = false;
    bool axesSaved_ = false;
    // Top, bottom, left, right.
    std::array<SavedAxis, 4> savedAxes_;
    // A full rendering during the zoom drag drew the rectangle into the off-screen buffer.
    bool zoomRectInBuffer_ = false;
    int wheelRemainder_ = 0;
    // The right press that may yet be a click, and whether it has left the drag distance.
    bool rightPressed_ = false;
    bool rightDragged_ = false;
    TPoint rightPress_;
};

// The range an axis shows now: the laid-out range while an end is automatic, else Minimum..Maximum.
void DisplayedRange(const TChartAxis& axis, double& lo, double& hi);

}  // namespace quorvel
