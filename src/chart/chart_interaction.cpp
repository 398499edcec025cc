// The mouse machine of the chart: press dispatch, zoom drag, scroll drag, wheel and UndoZoom.
#include "chart/chart_interaction.h"

#include <cstdlib>
#include <utility>

#include "chart/chart.h"

namespace quorvel {

void DisplayedRange(const TChartAxis& axis, double& lo, double& hi) {
    const bool automaticEnd = axis.Automatic() || axis.AutomaticMinimum() || axis.AutomaticMaximum();
    const TScaleMap shown = axis.Scale();
    if (automaticEnd && shown.PixelSpan() > 0) {
        lo = shown.RangeMin;
        hi = shown.RangeMax;
    } else {
        lo = axis.Minimum();
        hi = axis.Maximum();
    }
}

template <class Hook, class... Args>
void TChartInteraction::Offer(const Hook& hook, bool& handled, Args&&... args) {
    if (hook) {
        clickTaken_ = true;
        hook(std::forward<Args>(args)...);
        handled = clickTaken_;
    }
}

void TChartInteraction::ToggleZoomRectangleOnWindow() {
    if (chart_.WindowCanvas != nullptr) {
        DrawZoomRectangle(*chart_.WindowCanvas);
    }
}

void TChartInteraction::StartDrag(TMouseButton button, int x, int y, bool& handled) {
    if (AllowZoom && button == kZoomButton) {
        zoom_.Activate(x, y);
        ToggleZoomRectangleOnWindow();
        if (chart_.OnOverlayChanged) {
            chart_.OnOverlayChanged();
        }
        handled = true;
    }
    if (AllowPanning != TPanningMode::None && button == kScrollButton) {
        scroll_.Activate(x, y);
        handled = true;
    }
}

void TChartInteraction::Press(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbRight) {
        rightPress_ = TPoint{x, y};
        rightPressed_ = true;
        rightDragged_ = false;
    }
    if (zoom_.Active || scroll_.Active) {
        return;
    }
    // A press raised from inside a click hook.
    if (clickTaken_) {
        clickTaken_ = false;
        return;
    }
    const TClickedPart part = chart_.ClickedPart(x, y);
    bool handled = false;
    switch (part.Part) {
        case cpSeries: {
            TChartSeries& s = *part.Series;
            auto& hook = (shift & ssDouble) != 0 ? s.OnDblClick : s.OnClick;
            if (hook) {
                hook(s, part.PointIndex, button, shift, x, y);
                handled = true;
            }
            Offer(chart_.OnClickSeries, handled, chart_, s, part.PointIndex, button, shift, x, y);
            break;
        }
        case cpAxis:
            Offer(chart_.OnClickAxis, handled, chart_, *part.Axis, button, shift, x, y);
            break;
        case cpChartRect:
            Offer(chart_.OnClickBackground, handled, chart_, button, shift, x, y);
            break;
        default:
            break;
    }
    // A press on the plot, a series or an axis that no hook kept starts a drag of its button.
    if (!handled && (part.Part == cpSeries || part.Part == cpAxis || part.Part == cpChartRect)) {
        StartDrag(button, x, y, handled);
    }
    if (!handled) {
        Offer(chart_.OnClickBackground, handled, chart_, button, shift, x, y);
    }
    clickTaken_ = false;
}

void TChartInteraction::SaveAxes() {
    if (axesSaved_) {
        return;
    }
    const TChartAxis* axes[4] = {&chart_.TopAxis(), &chart_.BottomAxis(), &chart_.LeftAxis(),
                                 &chart_.RightAxis()};
    for (std::size_t k = 0; k < 4; ++k) {
        SavedAxis& s = savedAxes_[k];
        s.Automatic = axes[k]->Automatic();
        s.AutomaticMinimum = axes[k]->AutomaticMinimum();
        s.AutomaticMaximum = axes[k]->AutomaticMaximum();
        s.Minimum = axes[k]->Minimum();
        s.Maximum = axes[k]->Maximum();
    }
    axesSaved_ = true;
}

void TChartInteraction::ScrollAxisByPixels(TChartAxis& axis, int from, int to) {
    const TScaleMap scale = axis.Scale();
    const double d = scale.ToValue(from) - scale.ToValue(to);
    // Start from what the axis shows, so the first step of an automatic axis keeps its margins and the
    // content follows the mouse exactly.
    double lo;
    double hi;
    DisplayedRange(axis, lo, hi);
    double newMin = lo + d;
    double newMax = hi + d;
    bool allowed = true;
    if (chart_.OnAllowScroll) {
        chart_.OnAllowScroll(axis, newMin, allowed, newMax);
    }
    if (allowed) {
        axis.SetMinMax(newMin, newMax);
    }
}

bool TChartInteraction::PastDragDistance(int x, int y) const {
    const int distance = std::abs(x - rightPress_.X) + std::abs(y - rightPress_.Y);
    return distance > 0 && distance >= DragDistance;
}

void TChartInteraction::MoveZoomRectangle(int x, int y) {
    if (x == zoom_.X1 && y == zoom_.Y1) {
        return;
    }
    ToggleZoomRectangleOnWindow();
    zoom_.X1 = x;
    zoom_.Y1 = y;
    ToggleZoomRectangleOnWindow();
    if (chart_.OnOverlayChanged) {
        chart_.OnOverlayChanged();
    }
}

void TChartInteraction::MoveScroll(int x, int y) {
    if (!chart_.PlotRect().Contains(x, y)) {
        scroll_.Active = false;
        return;
    }
    if (x == scroll_.X1 && y == scroll_.Y1) {
        return;
    }
    SaveAxes();
    bool scrolled = false;
    const auto scrollAxes = [&](bool horizontal, int from, int to) {
        for (int k = 0; k < chart_.AxisCount(); ++k) {
            TChartAxis& axis = chart_.Axis(k);
            if (axis.Horizontal() == horizontal) {
                ScrollAxisByPixels(axis, from, to);
            }
        }
        scrolled = true;
    };
    if (x != scroll_.X1 && (AllowPanning == TPanningMode::Horizontal || AllowPanning == TPanningMode::Both)) {
        scrollAxes(true, scroll_.X1, x);
    }
    if (y != scroll_.Y1 && (AllowPanning == TPanningMode::Vertical || AllowPanning == TPanningMode::Both)) {
        scrollAxes(false, scroll_.Y1, y);
    }
    scroll_.X1 = x;
    scroll_.Y1 = y;
    if (scrolled) {
        if (chart_.OnScroll) {
            chart_.OnScroll(chart_);
        }
        chart_.Invalidate();
    }
}

void TChartInteraction::Move(TShiftState shift, int x, int y) {
    if (rightPressed_ && !rightDragged_) {
        // A hand's jitter during a right click scrolls nothing: the scroll starts once the pointer leaves
        // the drag distance, and then covers the whole way from the press.
        if (!PastDragDistance(x, y)) {
            if (scroll_.Active) {
                return;
            }
        } else {
            rightDragged_ = true;
        }
    }
    if (zoom_.Active) {
        MoveZoomRectangle(x, y);
        return;
    }
    if (scroll_.Active) {
        MoveScroll(x, y);
        return;
    }
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
        chart_.Series(i).MouseMove(shift, x, y);
    }
}

void TChartInteraction::EndZoomDrag(int x, int y) {
    ToggleZoomRectangleOnWindow();
    zoom_.Active = false;
    if (chart_.WindowCanvas != nullptr) {
        TPen pen = chart_.WindowCanvas->Pen();
        pen.Mode = TPenMode::Copy;
        chart_.WindowCanvas->SetPen(pen);
    }
    if (chart_.OnOverlayChanged) {
        chart_.OnOverlayChanged();
    }
    zoom_.X1 = x;
    zoom_.Y1 = y;
    if (zoomRectInBuffer_) {
        // Erasing on the window cannot reach the buffer: render it afresh, or its copies would keep
        // showing the rectangle.
        zoomRectInBuffer_ = false;
        chart_.Invalidate();
    }
    if (std::abs(zoom_.X1 - zoom_.X0) > kMinZoomDrag && std::abs(zoom_.Y1 - zoom_.Y0) > kMinZoomDrag) {
        if (zoom_.X0 < zoom_.X1 && zoom_.Y0 < zoom_.Y1) {
            ZoomToRect(TRect{zoom_.X0, zoom_.Y0, zoom_.X1, zoom_.Y1});
        } else {
            UndoZoom();
        }
        chart_.Invalidate();
    }
}

bool TChartInteraction::Release(TMouseButton button, TShiftState shift, int x, int y) {
    // The click of a left release inside the chart comes before the chart's own release handling.
    if (button == mbLeft && chart_.ClientRect().Contains(x, y) && chart_.OnClick) {
        chart_.OnClick(chart_);
    }
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
        chart_.Series(i).MouseUp(button, shift, x, y);
    }
    if (zoom_.Active && button == kZoomButton) {
        EndZoomDrag(x, y);
    }
    scroll_.Active = false;
    if (button != mbRight || !rightPressed_) {
        return false;
    }
    // A right drag scrolls the chart; only a click that never left the drag distance asks for the menu.
    rightPressed_ = false;
    return !rightDragged_ && !PastDragDistance(x, y) && chart_.ClientRect().Contains(x, y);
}

void TChartInteraction::ZoomToRect(TRect rect) {
    if (rect.Left > rect.Right) {
        std::swap(rect.Left, rect.Right);
    }
    if (rect.Top > rect.Bottom) {
        std::swap(rect.Top, rect.Bottom);
    }
    struct Target {
        TChartAxis* axis;
        double a;
        double b;
    };
    auto target = [&](TChartAxis& axis) {
        const TScaleMap scale = axis.Scale();
        if (scale.Horizontal) {
            return Target{&axis, scale.ToValue(rect.Left), scale.ToValue(rect.Right)};
        }
        return Target{&axis, scale.ToValue(rect.Bottom), scale.ToValue(rect.Top)};
    };
    const Target targets[4] = {target(chart_.LeftAxis()), target(chart_.RightAxis()),
                               target(chart_.TopAxis()), target(chart_.BottomAxis())};
    SaveAxes();
    for (const Target& t : targets) {
        t.axis->SetMinMax(t.a, t.b);
    }
    zoomed_ = true;
    if (chart_.OnZoom) {
        chart_.OnZoom(chart_);
    }
}

void TChartInteraction::UndoZoom() {
    if (axesSaved_) {
        TChartAxis* axes[4] = {&chart_.TopAxis(), &chart_.BottomAxis(), &chart_.LeftAxis(),
                               &chart_.RightAxis()};
        for (std::size_t k = 0; k < 4; ++k) {
            const SavedAxis& s = savedAxes_[k];
            // The range first: SetMinMax switches the axis to manual, the saved flags then win.
            if (!s.Automatic) {
                axes[k]->SetMinMax(s.Minimum, s.Maximum);
            }
            axes[k]->SetAutomatic(s.Automatic);
            axes[k]->SetAutomaticMinimum(s.AutomaticMinimum);
            axes[k]->SetAutomaticMaximum(s.AutomaticMaximum);
        }
    }
    axesSaved_ = false;
    if (chart_.OnUndoZoom) {
        chart_.OnUndoZoom(chart_);
    }
    chart_.Invalidate();
    zoomed_ = false;
}

void TChartInteraction::ScrollAxis(TChartAxis& axis, double delta, bool limited) {
    // From the axis' own ends (the data range while automatic), not from the range with the marker
    // margins that the last paint showed.
    const double lo = axis.Minimum();
    const double hi = axis.Maximum();
    if (limited) {
        if (delta > 0) {
            const double top = axis.Horizontal() ? chart_.HighestXOnAxis(axis) : chart_.HighestYOnAxis(axis);
            if (!(top > hi)) {
                return;
            }
        } else if (delta < 0) {
            const double bottom = axis.Horizontal() ? chart_.LowestXOnAxis(axis) : chart_.LowestYOnAxis(axis);
            if (!(bottom < lo)) {
                return;
            }
        }
    }
    axis.SetAutomatic(false);
    axis.SetAutomaticMinimum(false);
    axis.SetAutomaticMaximum(false);
    axis.SetMaximum(hi + delta);
    axis.SetMinimum(lo + delta);
    chart_.Invalidate();
}

void TChartInteraction::WheelNotch(bool towardsUser) {
    for (int k = 0; k < chart_.AxisCount(); ++k) {
        TChartAxis& axis = chart_.Axis(k);
        if (axis.Horizontal()) {
            continue;
        }
        const double delta = (axis.Maximum() - axis.Minimum()) * kWheelShare;
        ScrollAxis(axis, towardsUser ? delta : -delta, false);
    }
    chart_.Invalidate();
}

void TChartInteraction::Wheel(int eighthsOfDegree) {
    wheelRemainder_ += eighthsOfDegree;
    while (wheelRemainder_ <= -kWheelNotch) {
        wheelRemainder_ += kWheelNotch;
        WheelNotch(true);
    }
    while (wheelRemainder_ >= kWheelNotch) {
        wheelRemainder_ -= kWheelNotch;
        WheelNotch(false);
    }
}

void TChartInteraction::DrawZoomRectangle(TCanvas& canvas) const {
    canvas.SetPen(
        TPen{chart_.Color() == clWhite ? clBlack : chart_.Color(), TPenStyle::Solid, 1, TPenMode::NotXor});
    canvas.SetBrush(TBrush{clWhite, bsClear});
    canvas.Rectangle(TRect{zoom_.X0, zoom_.Y0, zoom_.X1, zoom_.Y1});
}

void TChartInteraction::DrawOverlay(const TChartCanvas& canvas, bool inBuffer) {
    if (zoom_.Active && canvas.HasTarget()) {
        DrawZoomRectangle(canvas.Canvas());
        zoomRectInBuffer_ = inBuffer;
    }
}

}  // namespace quorvel
