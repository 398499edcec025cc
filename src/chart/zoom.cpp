// The mouse machine of the chart: press dispatch, zoom drag, scroll drag, wheel and UndoZoom.
#include <cstdlib>

#include "chart/chart.h"

namespace quorvel {

void DisplayedRange(const TChartAxis& axis, double& lo, double& hi) {
    const bool automaticEnd = axis.Automatic() || axis.AutomaticMinimum() || axis.AutomaticMaximum();
    if (automaticEnd && axis.PixelSpan > 0) {
        lo = axis.RangeMin;
        hi = axis.RangeMax;
    } else {
        lo = axis.Minimum();
        hi = axis.Maximum();
    }
}

void TCustomChart::BackgroundClick(TMouseButton button, TShiftState shift, int x, int y, bool& handled) {
    if (OnClickBackground) {
        ClickTaken = true;
        OnClickBackground(*this, button, shift, x, y);
        handled = ClickTaken;
    }
}

void TCustomChart::ToggleZoomRectangleOnWindow() {
    if (WindowCanvas != nullptr) {
        DrawZoomRectangle(*WindowCanvas);
    }
}

void TCustomChart::StartDrag(TMouseButton button, TShiftState shift, int x, int y, bool& handled) {
    if (AllowZoom && button == kZoomButton && (shift & kZoomShift) == kZoomShift) {
        Cursor = crDefault;
        Zoom.Activate(x, y);
        ToggleZoomRectangleOnWindow();
        if (OnOverlayChanged) {
            OnOverlayChanged();
        }
        handled = true;
    }
    if (AllowPanning != pmNone && button == kScrollButton && (shift & kScrollShift) == kScrollShift) {
        Cursor = crDefault;
        Panning.Activate(x, y);
        handled = true;
    }
}

void TCustomChart::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (Zoom.Active || Panning.Active) {
        return;
    }
    if (ClickTaken) {
        ClickTaken = false;
        return;
    }
    const TClickedPart part = ClickedPart(x, y);
    bool handled = false;
    switch (part.Part) {
        case cpSeries: {
            TChartSeries& s = *part.Series;
            auto& hook = (shift & ssDouble) != 0 ? s.OnDblClick : s.OnClick;
            if (hook) {
                hook(s, part.PointIndex, button, shift, x, y);
                handled = true;
            }
            if (OnClickSeries) {
                ClickTaken = true;
                OnClickSeries(*this, s, part.PointIndex, button, shift, x, y);
                handled = ClickTaken;
            }
            if (!handled) {
                StartDrag(button, shift, x, y, handled);
            }
            break;
        }
        case cpAxis:
            if (OnClickAxis) {
                ClickTaken = true;
                OnClickAxis(*this, *part.Axis, button, shift, x, y);
                handled = ClickTaken;
            }
            if (!handled) {
                StartDrag(button, shift, x, y, handled);
            }
            break;
        case cpChartRect:
            BackgroundClick(button, shift, x, y, handled);
            if (!handled) {
                StartDrag(button, shift, x, y, handled);
            }
            break;
        case cpLegend:
            if (OnClickLegend) {
                ClickTaken = true;
                OnClickLegend(*this, button, shift, x, y);
                handled = ClickTaken;
            }
            break;
        default:
            break;
    }
    if (!handled) {
        BackgroundClick(button, shift, x, y, handled);
    }
    ClickTaken = false;
}

void TCustomChart::SaveAxesState() {
    TChartAxis* axes[4] = {&TopAxis(), &BottomAxis(), &LeftAxis(), &RightAxis()};
    for (int k = 0; k < 4; ++k) {
        TAxisSavedState& s = SavedAxes[static_cast<std::size_t>(k)];
        s.Automatic = axes[k]->Automatic();
        s.AutomaticMinimum = axes[k]->AutomaticMinimum();
        s.AutomaticMaximum = axes[k]->AutomaticMaximum();
        s.Minimum = axes[k]->Minimum();
        s.Maximum = axes[k]->Maximum();
    }
}

void TCustomChart::ScrollAxisByPixels(TChartAxis& axis, int from, int to) {
    const double d = axis.PixelToValue(from) - axis.PixelToValue(to);
    // Start from what the axis shows, so the first step of an automatic axis keeps its margins and the
    // content follows the mouse exactly.
    double lo;
    double hi;
    DisplayedRange(axis, lo, hi);
    double newMin = lo + d;
    double newMax = hi + d;
    bool allowed = true;
    if (OnAllowScroll) {
        OnAllowScroll(axis, newMin, allowed, newMax);
    }
    if (allowed) {
        axis.SetMinMax(newMin, newMax);
    }
}

void TCustomChart::MouseMove(TShiftState shift, int x, int y) {
    if (Zoom.Active) {
        if (x == Zoom.X1 && y == Zoom.Y1) {
            return;
        }
        ToggleZoomRectangleOnWindow();
        Zoom.X1 = x;
        Zoom.Y1 = y;
        ToggleZoomRectangleOnWindow();
        if (OnOverlayChanged) {
            OnOverlayChanged();
        }
        return;
    }
    if (Panning.Active) {
        if (!PlotRect().Contains(x, y)) {
            Panning.Active = false;
            return;
        }
        if (x == Panning.X1 && y == Panning.Y1) {
            return;
        }
        if (!AxesStateSaved) {
            SaveAxesState();
            AxesStateSaved = true;
        }
        bool scrolled = false;
        if (x != Panning.X1 && (AllowPanning == pmHorizontal || AllowPanning == pmBoth)) {
            for (int k = 0; k < AxisCount(); ++k) {
                TChartAxis& axis = Axis(k);
                if (axis.Horizontal() && !axis.IsDepthAxis()) {
                    ScrollAxisByPixels(axis, Panning.X1, x);
                }
            }
            scrolled = true;
        }
        if (y != Panning.Y1 && (AllowPanning == pmVertical || AllowPanning == pmBoth)) {
            for (int k = 0; k < AxisCount(); ++k) {
                TChartAxis& axis = Axis(k);
                if (!axis.Horizontal() && !axis.IsDepthAxis()) {
                    ScrollAxisByPixels(axis, Panning.Y1, y);
                }
            }
            scrolled = true;
        }
        Panning.X1 = x;
        Panning.Y1 = y;
        if (scrolled) {
            if (OnScroll) {
                OnScroll(*this);
            }
            Invalidate();
        }
        return;
    }
    // No series of this chart has a cursor of its own.
    Cursor = OriginalCursor;
    for (int i = 0; i < SeriesCount(); ++i) {
        Series(i).MouseMove(shift, x, y);
    }
}

void TCustomChart::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && ClientRect().Contains(x, y) && OnClick) {
        OnClick(*this);
    }
    for (int i = 0; i < SeriesCount(); ++i) {
        Series(i).MouseUp(button, shift, x, y);
    }
    if (Zoom.Active && button == kZoomButton) {
        ToggleZoomRectangleOnWindow();
        Zoom.Active = false;
        if (WindowCanvas != nullptr) {
            TPen pen = WindowCanvas->Pen();
            pen.Mode = pmCopy;
            WindowCanvas->SetPen(pen);
        }
        if (OnOverlayChanged) {
            OnOverlayChanged();
        }
        Zoom.X1 = x;
        Zoom.Y1 = y;
        if (zoomRectInBuffer_) {
            // Erasing on the window cannot reach the buffer: render it afresh, or its copies would keep
            // showing the rectangle.
            zoomRectInBuffer_ = false;
            Invalidate();
        }
        if (std::abs(Zoom.X1 - Zoom.X0) > kMinZoomDrag && std::abs(Zoom.Y1 - Zoom.Y0) > kMinZoomDrag) {
            if (Zoom.X0 < Zoom.X1 && Zoom.Y0 < Zoom.Y1) {
                ZoomToRect(TRect{Zoom.X0, Zoom.Y0, Zoom.X1, Zoom.Y1});
            } else {
                UndoZoom();
            }
            Invalidate();
        }
    }
    Panning.Active = false;
}

void TCustomChart::ZoomToRect(TRect rect) {
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
        if (axis.Horizontal()) {
            return Target{&axis, axis.PixelToValue(rect.Left), axis.PixelToValue(rect.Right)};
        }
        return Target{&axis, axis.PixelToValue(rect.Bottom), axis.PixelToValue(rect.Top)};
    };
    Target targets[4] = {target(LeftAxis()), target(RightAxis()), target(TopAxis()), target(BottomAxis())};
    if (!AxesStateSaved) {
        SaveAxesState();
        AxesStateSaved = true;
    }
    if (AnimatedZoom) {
        for (int step = 1; step < AnimatedZoomSteps; ++step) {
            for (Target& t : targets) {
                const double mx = t.axis->Maximum() + (t.b - t.axis->Maximum()) / kAnimatedZoomFactor;
                const double mn = t.axis->Minimum() + (t.a - t.axis->Minimum()) / kAnimatedZoomFactor;
                t.axis->SetMinMax(mn, mx);
            }
            Invalidate();
        }
    }
    for (const Target& t : targets) {
        t.axis->SetMinMax(t.a, t.b);
    }
    ChartZoomed = true;
    if (OnZoom) {
        OnZoom(*this);
    }
}

void TCustomChart::UndoZoom() {
    if (AxesStateSaved) {
        TChartAxis* axes[4] = {&TopAxis(), &BottomAxis(), &LeftAxis(), &RightAxis()};
        for (int k = 0; k < 4; ++k) {
            const TAxisSavedState& s = SavedAxes[static_cast<std::size_t>(k)];
            // The range first: SetMinMax switches the axis to manual, the saved flags then win.
            if (!s.Automatic) {
                axes[k]->SetMinMax(s.Minimum, s.Maximum);
            }
            axes[k]->SetAutomatic(s.Automatic);
            axes[k]->SetAutomaticMinimum(s.AutomaticMinimum);
            axes[k]->SetAutomaticMaximum(s.AutomaticMaximum);
        }
    }
    AxesStateSaved = false;
    if (OnUndoZoom) {
        OnUndoZoom(*this);
    }
    Invalidate();
    ChartZoomed = false;
}

void TCustomChart::ScrollAxis(TChartAxis& axis, double delta, bool limited) {
    // From the axis' own ends (the data range while automatic), not from the range with the marker
    // margins that the last paint showed.
    const double lo = axis.Minimum();
    const double hi = axis.Maximum();
    if (limited) {
        if (delta > 0) {
            const double top = axis.Horizontal() ? HighestXOnAxis(axis) : HighestYOnAxis(axis);
            if (!(top > hi)) {
                return;
            }
        } else if (delta < 0) {
            const double bottom = axis.Horizontal() ? LowestXOnAxis(axis) : LowestYOnAxis(axis);
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
    Invalidate();
}

void TCustomChart::MouseWheel(bool towardsUser) {
    for (int k = 0; k < AxisCount(); ++k) {
        TChartAxis& axis = Axis(k);
        if (axis.Horizontal() || axis.IsDepthAxis()) {
            continue;
        }
        const double delta = (axis.Maximum() - axis.Minimum()) * kWheelShare;
        ScrollAxis(axis, towardsUser ? delta : -delta, false);
    }
    Invalidate();
}

}  // namespace quorvel
