#pragma once
// The root of the chart control: size, margins, bevels and colour of the panel, the drawing canvas with its
// off-screen buffer, PaintTo (the one drawing path for screen, bitmaps, pictures and printers) and the
// plot rectangle.
#include <functional>
#include <memory>
#include <string>

#include "chart/canvas.h"
#include "chart/chart_types.h"
#include "chart/layout_state.h"
#include "chart/print_settings.h"
#include "runtime/work_steps.h"

namespace quorvel {

enum TPanelBevel { bvNone, bvLowered, bvRaised };

class TCustomChartPanel {
public:
    TCustomChartPanel();
    virtual ~TCustomChartPanel();
    TCustomChartPanel(const TCustomChartPanel&) = delete;
    TCustomChartPanel& operator=(const TCustomChartPanel&) = delete;

    std::string Name;

    // --- window settings ---
    int Left() const { return left_; }
    int Top() const { return top_; }
    void SetBounds(int left, int top, int width, int height);
    int Width() const { return width_; }
    void SetWidth(int v) { Set(width_, v); }
    int Height() const { return height_; }
    void SetHeight(int v) { Set(height_, v); }
    bool Visible() const { return visible_; }
    void SetVisible(bool v) { Set(visible_, v); }
    // The client rectangle (0, 0, Width, Height): the chart's natural size.
    TRect ClientRect() const { return TRect{0, 0, width_, height_}; }

    // --- panel settings (margins in percent of the panel's width or height) ---
    int MarginLeft() const { return marginLeft_; }
    void SetMarginLeft(int v) { Set(marginLeft_, v); }
    int MarginTop() const { return marginTop_; }
    void SetMarginTop(int v) { Set(marginTop_, v); }
    int MarginRight() const { return marginRight_; }
    void SetMarginRight(int v) { Set(marginRight_, v); }
    int MarginBottom() const { return marginBottom_; }
    void SetMarginBottom(int v) { Set(marginBottom_, v); }
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel v) { Set(bevelOuter_, v); }
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel v) { Set(bevelInner_, v); }
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int v) { Set(bevelWidth_, v); }
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int v) { Set(borderWidth_, v); }
    TColor Color() const { return color_; }
    void SetColor(TColor v) { Set(color_, v); }
    bool ClipPoints() const { return clipPoints_; }
    void SetClipPoints(bool v) { Set(clipPoints_, v); }
    // Clipping of series to the plot while printing and while drawing a picture (screen drawing always may).
    bool ClipWhenPrinting = true;
    bool ClipWhenMetafiling = true;
    // Whether drawing may clip now, by the switches above.
    bool CanClip() const {
        const bool exporting = target_ == TRenderTarget::Picture || target_ == TRenderTarget::Printer;
        return (!Printing() || ClipWhenPrinting) && (!exporting || ClipWhenMetafiling);
    }
    // --- print settings: page margins, proportional placement and detail, kept between previews ---
    TChartPrintSettings PrintSettings;

    // --- drawing ---
    TChartCanvas& Canvas() { return canvas_; }
    const TChartCanvas& Canvas() const { return canvas_; }
    const TRect& PanelRect() const { return layout_->PanelRect; }
    // The plot rectangle of the layout (the rendering's in progress, else the screen's last one): axes map
    // values into it and series draw inside it.
    const TRect& PlotRect() const { return layout_->PlotRect; }
    int PlotWidth() const { return PlotRect().Right - PlotRect().Left; }
    int PlotHeight() const { return PlotRect().Bottom - PlotRect().Top; }
    int PlotXCenter() const { return (PlotRect().Left + PlotRect().Right) / 2; }
    int PlotYCenter() const { return (PlotRect().Top + PlotRect().Bottom) / 2; }
    // The target of the rendering in progress; Screen outside any. It belongs to the one rendering call.
    TRenderTarget RenderTarget() const { return target_; }
    // A printer's page is being drawn: no background, cosmetic pens.
    bool Printing() const { return target_ == TRenderTarget::Printer; }
    // A rendering is under way (for any target, also one that lets events run between its steps): a
    // window paint meanwhile would draw inside it, so paints wait for its end.
    bool Rendering() const { return renderings_ > 0; }

    // Draws the whole chart onto canvas inside rect.
    void PaintTo(TCanvas& canvas, const TRect& rect);
    // The window's paint request: a copy of the off-screen buffer when nothing changed, else a full
    // rendering.
    void Paint(TCanvas& windowCanvas);
    // Draws onto a canvas other than the window's (a bitmap, picture or page), unbuffered, for that target
    // only.
    void DrawToForeignCanvas(TCanvas& canvas, const TRect& rect,
                             TRenderTarget target = TRenderTarget::Picture);
    // A new bitmap of rect's size holding the chart, made by factory; the caller owns it.
    std::unique_ptr<TCanvasBuffer> CreateBitmapImage(TCanvas& factory, TColor color, const TRect& rect);
    void SetBufferedPaint(bool on) { canvas_.SetBufferedPaint(on); }
    // Marks the chart stale and asks the window for a repaint (no effect before construction has finished).
    void Invalidate();
    // Full renderings done so far (buffer copies not counted).
    int RenderCount() const { return renderCount_; }
    // Renders the chart into its buffer now, as the next paint would, and tells `steps` how far the
    // drawing of many points and their labels has gone, so that the caller may let events run. A change
    // to the chart meanwhile leaves the buffer to be rendered anew by the next paint.
    void RenderBuffer(TCanvas& canvas, const TWorkSteps& steps);
    // Heard from the drawing of many points: the part of the rendering done, told to RenderBuffer's steps.
    void TellRenderStep(double part);

    // The window's own canvas for drawing outside a paint (the zoom rectangle); may stay null.
    TCanvas* WindowCanvas = nullptr;
    // Asks the window system for a repaint (the widget calls update()).
    std::function<void()> OnInvalidate;
    bool Destroying() const { return destroying_; }

protected:
    template <class T>
    void Set(T& field, const T& v) {
        if (!(field == v)) {
            field = v;
            Invalidate();
        }
    }
    // What a rendering lays out: the screen's layout, which hit tests, zoom and scroll read, or the own
    // layout of a picture's or a page's rendering while that runs.
    TChartLayoutState& LayoutState() { return *layout_; }
    const TChartLayoutState& LayoutState() const { return *layout_; }
    // Makes layout the one that rendering and every query use (each class binds the parts it lays out).
    virtual void UseLayout(TChartLayoutState& layout) { layout_ = &layout; }
    TChartLayoutState& ScreenLayout() { return screenLayout_; }
    // Keeps the plot rectangle at least one pixel in each direction.
    void NormalisePlotRect();
    void SetPlotRect(const TRect& r) {
        layout_->PlotRect = r;
        NormalisePlotRect();
    }
    // The paint pipeline over PanelRect.
    virtual void DrawPipeline() = 0;
    // Fills PanelRect with Color and draws bevels and border (nothing while printing).
    void DrawBackground();
    void FinishConstruction() { constructed_ = true; }
    void BeginDestruction() { destroying_ = true; }

private:
    void DrawBevel(TRect& r, TPanelBevel bevel, int width);
    // Runs draw as a rendering onto a foreign canvas of the target.
    void RenderForeign(TRenderTarget target, const std::function<void()>& draw);

    TChartCanvas canvas_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 400;
    int height_ = 250;
    bool visible_ = true;
    int marginLeft_ = 3;
    int marginTop_ = 4;
    int marginRight_ = 3;
    int marginBottom_ = 4;
    TPanelBevel bevelOuter_ = bvRaised;
    TPanelBevel bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    TColor color_ = clBtnFace;
    bool clipPoints_ = true;
    TChartLayoutState screenLayout_;
    TChartLayoutState* layout_ = &screenLayout_;
    int renderCount_ = 0;
    unsigned invalidations_ = 0;
    TWorkSteps renderSteps_;
    double renderPart_ = 0;
    // Renderings onto a foreign canvas under way, and whether a screen rendering has laid the chart out.
    int foreignRenderings_ = 0;
    int renderings_ = 0;
    TRenderTarget target_ = TRenderTarget::Screen;
    bool screenLaidOut_ = false;
    bool constructed_ = false;
    bool destroying_ = false;
};

}  // namespace quorvel
