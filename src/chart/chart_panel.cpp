#include "chart/chart_panel.h"

#include <algorithm>

namespace quorvel {

namespace {

// Puts the drawing canvas' target (and a flag) back when a rendering ends, also by an exception.
class TargetRestore {
public:
    TargetRestore(TChartCanvas& canvas, TCanvas* previous) : canvas_(canvas), previous_(previous) {}
    ~TargetRestore() { canvas_.SetTarget(previous_); }
    TargetRestore(const TargetRestore&) = delete;
    TargetRestore& operator=(const TargetRestore&) = delete;

private:
    TChartCanvas& canvas_;
    TCanvas* previous_;
};

// Sets a field for a scope and puts its previous value back at the end, also by an exception.
template <class T>
class ScopedValue {
public:
    ScopedValue(T& field, T value) : field_(field), previous_(field) { field_ = value; }
    ~ScopedValue() { field_ = previous_; }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    T& field_;
    T previous_;
};

}  // namespace

TCustomChartPanel::TCustomChartPanel() = default;

TCustomChartPanel::~TCustomChartPanel() = default;

void TCustomChartPanel::SetBounds(int left, int top, int width, int height) {
    if (left_ != left || top_ != top || width_ != width || height_ != height) {
        left_ = left;
        top_ = top;
        width_ = width;
        height_ = height;
        Invalidate();
    }
}

void TCustomChartPanel::Invalidate() {
    if (!constructed_) {
        return;
    }
    canvas_.NeedsRedraw = true;
    ++invalidations_;
    if (OnInvalidate) {
        OnInvalidate();
    }
}

void TCustomChartPanel::NormalisePlotRect() {
    TRect& r = layout_->PlotRect;
    const TRect& panel = layout_->PanelRect;
    if (r.Left < panel.Left) {
        r.Left = panel.Left;
    }
    if (r.Top < panel.Top) {
        r.Top = panel.Top;
    }
    if (r.Right < r.Left) {
        r.Right = r.Left + 1;
    } else if (r.Right == r.Left) {
        r.Right = r.Left + width_;
    }
    if (r.Bottom < r.Top) {
        r.Bottom = r.Top + 1;
    } else if (r.Bottom == r.Top) {
        r.Bottom = r.Top + height_;
    }
    // A panel of no width or height still gets one pixel.
    if (r.Right <= r.Left) {
        r.Right = r.Left + 1;
    }
    if (r.Bottom <= r.Top) {
        r.Bottom = r.Top + 1;
    }
}

void TCustomChartPanel::PaintTo(TCanvas& canvas, const TRect& rect) {
    const bool buffered = canvas_.BufferedPaint;
    TCanvas* target = &canvas;
    TRect bounds = rect;
    if (buffered) {
        const int w = rect.Width();
        const int h = rect.Height();
        if (!canvas_.Buffer || canvas_.Buffer->Width() != w || canvas_.Buffer->Height() != h) {
            canvas_.Buffer = canvas.CreateBuffer(w, h);
        }
        target = &canvas_.Buffer->Canvas();
        bounds = TRect{0, 0, w, h};
    }
    {
        const ScopedValue rendering(renderings_, renderings_ + 1);
        TargetRestore restore(canvas_, WindowCanvas);
        canvas_.SetTarget(target);
        layout_->PanelRect = bounds;
        const int w = bounds.Width();
        const int h = bounds.Height();
        TRect& plot = layout_->PlotRect;
        plot.Left = bounds.Left + borderWidth_ + MulDiv(marginLeft_, w, 100);
        plot.Top = bounds.Top + borderWidth_ + MulDiv(marginTop_, h, 100);
        plot.Right = bounds.Right - borderWidth_ - MulDiv(marginRight_, w, 100);
        plot.Bottom = bounds.Bottom - borderWidth_ - MulDiv(marginBottom_, h, 100);
        NormalisePlotRect();
        ++renderCount_;
        screenLaidOut_ = screenLaidOut_ || foreignRenderings_ == 0;
        DrawPipeline();
    }
    if (buffered) {
        canvas.DrawBuffer(rect.Left, rect.Top, *canvas_.Buffer);
        canvas_.NeedsRedraw = false;
    }
}

void TCustomChartPanel::RenderBuffer(TCanvas& canvas, const TWorkSteps& steps) {
    if (Rendering() || !canvas_.BufferedPaint) {
        return;
    }
    struct StepsScope {
        TCustomChartPanel& panel;
        ~StepsScope() { panel.renderSteps_ = nullptr; }
    } scope{*this};
    renderSteps_ = steps;
    renderPart_ = 0;
    const unsigned before = invalidations_;
    PaintTo(canvas, ClientRect());
    if (invalidations_ != before) {
        canvas_.NeedsRedraw = true;
    }
}

void TCustomChartPanel::TellRenderStep(double part) {
    if (renderSteps_) {
        renderPart_ = std::max(renderPart_, part);
        renderSteps_(renderPart_);
    }
}

void TCustomChartPanel::Paint(TCanvas& windowCanvas) {
    if (Rendering()) {
        return;
    }
    if (canvas_.BufferedPaint && !canvas_.NeedsRedraw && canvas_.Buffer) {
        windowCanvas.DrawBuffer(0, 0, *canvas_.Buffer);
        return;
    }
    PaintTo(windowCanvas, ClientRect());
}

void TCustomChartPanel::RenderForeign(TRenderTarget target, const std::function<void()>& draw) {
    // A picture or a page is laid out in a layout of its own, begun as a copy of the screen's so that it
    // is laid out as the next screen rendering would be; the screen's layout, which hit tests, zoom and
    // scroll answer from, is never written. A chart never laid out on the screen lays out into the screen's
    // layout, the only one it has, and a rendering inside a foreign one stays in that one's.
    const ScopedValue foreign(foreignRenderings_, foreignRenderings_ + 1);
    const ScopedValue renderTarget(target_, target);
    if (!screenLaidOut_ || layout_ != &screenLayout_) {
        draw();
        return;
    }
    TChartLayoutState own = screenLayout_;
    struct Use {
        TCustomChartPanel& panel;
        ~Use() { panel.UseLayout(panel.screenLayout_); }
    } use{*this};
    UseLayout(own);
    draw();
}

void TCustomChartPanel::DrawToForeignCanvas(TCanvas& canvas, const TRect& rect, TRenderTarget target) {
    const bool wasBuffered = canvas_.BufferedPaint;
    struct Restore {
        TCustomChartPanel& panel;
        bool buffered;
        ~Restore() { panel.canvas_.SetBufferedPaint(buffered); }
    } restore{*this, wasBuffered};
    canvas_.SetBufferedPaint(false);
    RenderForeign(target, [&] { PaintTo(canvas, rect); });
}

std::unique_ptr<TCanvasBuffer> TCustomChartPanel::CreateBitmapImage(TCanvas& factory, TColor color,
                                                                    const TRect& rect) {
    auto bitmap = factory.CreateBuffer(rect.Width(), rect.Height());
    TCanvas& c = bitmap->Canvas();
    if (color != clWhite) {
        c.SetBrush(TBrush{color, bsSolid});
        c.FillRect(rect);
    }
    DrawToForeignCanvas(c, rect, TRenderTarget::Bitmap);
    return bitmap;
}

void TCustomChartPanel::DrawBevel(TRect& r, TPanelBevel bevel, int width) {
    const TColor topLeft = bevel == bvRaised ? clBtnHighlight : clBtnShadow;
    const TColor bottomRight = bevel == bvRaised ? clBtnShadow : clBtnHighlight;
    TChartCanvas& c = Canvas();
    for (int k = 0; k < width && !r.IsEmpty(); ++k) {
        c.SetBrush(TBrush{topLeft, bsSolid});
        c.FillRect(TRect{r.Left, r.Top, r.Right, r.Top + 1});
        c.FillRect(TRect{r.Left, r.Top, r.Left + 1, r.Bottom});
        c.SetBrush(TBrush{bottomRight, bsSolid});
        c.FillRect(TRect{r.Left, r.Bottom - 1, r.Right, r.Bottom});
        c.FillRect(TRect{r.Right - 1, r.Top, r.Right, r.Bottom});
        r = TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    }
}

void TCustomChartPanel::DrawBackground() {
    if (Printing()) {
        return;
    }
    TChartCanvas& c = Canvas();
    c.SetPen(TPen{clBlack, TPenStyle::Clear, 1, TPenMode::Copy});
    c.SetBrush(TBrush{Color(), bsSolid});
    c.FillRect(PanelRect());
    TRect r = PanelRect();
    if (BevelOuter() != bvNone) {
        DrawBevel(r, BevelOuter(), BevelWidth());
    }
    if (BorderWidth() > 0) {
        const int b = BorderWidth();
        c.SetBrush(TBrush{Color(), bsSolid});
        c.FillRect(TRect{r.Left, r.Top, r.Right, r.Top + b});
        c.FillRect(TRect{r.Left, r.Bottom - b, r.Right, r.Bottom});
        c.FillRect(TRect{r.Left, r.Top, r.Left + b, r.Bottom});
        c.FillRect(TRect{r.Right - b, r.Top, r.Right, r.Bottom});
        r = TRect{r.Left + b, r.Top + b, r.Right - b, r.Bottom - b};
    }
    if (BevelInner() != bvNone) {
        DrawBevel(r, BevelInner(), BevelWidth());
    }
}

}  // namespace quorvel
