#include "chart/chart_panel.h"

#include <algorithm>

namespace quorvel {

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
    screenBuffer_.NeedsRedraw = true;
    ++invalidations_;
    if (OnInvalidate) {
        OnInvalidate();
    }
}

void TCustomChartPanel::SetPlotRect(TRenderContext& context, const TRect& plot) const {
    TRect r = plot;
    const TRect& panel = context.PanelRect;
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
    context.PlotRect = r;
}

TRenderContext TCustomChartPanel::Render(TCanvas& canvas, const TRect& bounds, TRenderOptions options) {
    const TRenderingCount counted(renderings_);
    TRenderContext context(&canvas, std::move(options));
    // The axes size their labels by the pixel spans of a layout before (TChart::LayoutAxes): those of the
    // screen's last one stand in, so that any rendering is laid out as the next screen rendering would be.
    context.Axes = screen_.Axes;
    context.PanelRect = bounds;
    const int w = bounds.Width();
    const int h = bounds.Height();
    SetPlotRect(context, TRect{bounds.Left + borderWidth_ + MulDiv(marginLeft_, w, 100),
                               bounds.Top + borderWidth_ + MulDiv(marginTop_, h, 100),
                               bounds.Right - borderWidth_ - MulDiv(marginRight_, w, 100),
                               bounds.Bottom - borderWidth_ - MulDiv(marginBottom_, h, 100)});
    ++renderCount_;
    DrawPipeline(context);
    return context;
}

void TCustomChartPanel::PaintScreen(TCanvas& canvas, const TRect& rect, const TWorkSteps* steps) {
    const bool buffered = screenBuffer_.BufferedPaint;
    TCanvas* target = &canvas;
    TRect bounds = rect;
    if (buffered) {
        const int w = rect.Width();
        const int h = rect.Height();
        std::unique_ptr<TCanvasBuffer>& buffer = screenBuffer_.Buffer;
        if (!buffer || buffer->Width() != w || buffer->Height() != h) {
            buffer = canvas.CreateBuffer(w, h);
        }
        target = &buffer->Canvas();
        bounds = TRect{0, 0, w, h};
    }
    TRenderOptions options;
    options.Steps = steps;
    TRenderContext laidOut = Render(*target, bounds, std::move(options));
    // The screen keeps the layout; the canvas and the options belonged to this rendering.
    laidOut.Canvas = TChartCanvas{};
    laidOut.Options = TRenderOptions{};
    screen_ = std::move(laidOut);
    if (buffered) {
        canvas.DrawBuffer(rect.Left, rect.Top, *screenBuffer_.Buffer);
        screenBuffer_.NeedsRedraw = false;
    }
}

void TCustomChartPanel::PaintTo(TCanvas& canvas, const TRect& rect) {
    PaintScreen(canvas, rect, nullptr);
}

void TCustomChartPanel::RenderBuffer(TCanvas& canvas, const TWorkSteps& steps) {
    if (Rendering() || !screenBuffer_.BufferedPaint) {
        return;
    }
    const unsigned before = invalidations_;
    PaintScreen(canvas, ClientRect(), &steps);
    if (invalidations_ != before) {
        screenBuffer_.NeedsRedraw = true;
    }
}

void TCustomChartPanel::Paint(TCanvas& windowCanvas) {
    if (Rendering()) {
        return;
    }
    if (screenBuffer_.BufferedPaint && !screenBuffer_.NeedsRedraw && screenBuffer_.Buffer) {
        windowCanvas.DrawBuffer(0, 0, *screenBuffer_.Buffer);
        return;
    }
    PaintTo(windowCanvas, ClientRect());
}

void TCustomChartPanel::DrawToForeignCanvas(TCanvas& canvas, const TRect& rect,
                                            const TRenderOptions& options) {
    // As the classic control does, the off-screen buffer is let go: the screen renders anew next time.
    // One a screen rendering draws into now stays until that rendering is done with it.
    if (Rendering()) {
        screenBuffer_.NeedsRedraw = true;
    } else {
        screenBuffer_.Discard();
    }
    Render(canvas, rect, options);
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

void TCustomChartPanel::DrawBevel(const TChartCanvas& c, TRect& r, TPanelBevel bevel, int width) const {
    const TColor topLeft = bevel == bvRaised ? clBtnHighlight : clBtnShadow;
    const TColor bottomRight = bevel == bvRaised ? clBtnShadow : clBtnHighlight;
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

void TCustomChartPanel::DrawBackground(TRenderContext& context) const {
    if (context.Options.Printing()) {
        return;
    }
    const TChartCanvas& c = context.Canvas;
    c.SetPen(TPen{clBlack, TPenStyle::Clear, 1, TPenMode::Copy});
    c.SetBrush(TBrush{Color(), bsSolid});
    c.FillRect(context.PanelRect);
    TRect r = context.PanelRect;
    if (BevelOuter() != bvNone) {
        DrawBevel(c, r, BevelOuter(), BevelWidth());
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
        DrawBevel(c, r, BevelInner(), BevelWidth());
    }
}

}  // namespace quorvel
