#pragma once
// The root of the chart control: size, margins, bevels and colour of the panel, the screen's off-screen
// buffer and layout, and the renderings: each lays the chart out afresh in a context of its own (the one
// drawing path for screen, bitmaps, pictures and printers).
#include <functional>
#include <memory>
#include <string>

#include "chart/canvas.h"
#include "chart/chart_types.h"
#include "chart/print_settings.h"
#include "chart/render_context.h"
#include "runtime/work_steps.h"

namespace quorvel {

enum TPanelBevel { bvNone, bvLowered, bvRaised };

// The window's picture of the chart, kept between paints.
struct TScreenBuffer {
    // Screen painting goes through an off-screen buffer of the panel's size.
    bool BufferedPaint = true;
    // The off-screen buffer is stale.
    bool NeedsRedraw = true;
    // The off-screen buffer; none before the first buffered paint.
    std::unique_ptr<TCanvasBuffer> Buffer;

    // Turning buffering off discards the buffer and marks the chart for a full redraw.
    void SetBufferedPaint(bool on) {
        if (!on) {
            Discard();
        }
        BufferedPaint = on;
    }
    // The next paint renders the chart anew into a new buffer.
    void Discard() {
        Buffer.reset();
        NeedsRedraw = true;
    }
};

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
    // Whether a rendering with these options may clip, by the switches above.
    bool CanClip(const TRenderOptions& options) const {
        return (!options.Printing() || ClipWhenPrinting) && (!options.Exporting() || ClipWhenMetafiling);
    }
    // --- print settings: page margins, proportional placement and detail, kept between previews ---
    TChartPrintSettings PrintSettings;

    // --- the screen: its buffer, and what its last rendering laid out ---
    TScreenBuffer& ScreenBuffer() { return screenBuffer_; }
    const TScreenBuffer& ScreenBuffer() const { return screenBuffer_; }
    void SetBufferedPaint(bool on) { screenBuffer_.SetBufferedPaint(on); }
    // The layout of the screen's last rendering, without its canvas: hit tests, zoom and scroll answer
    // from it. Only a screen rendering writes it.
    const TRenderContext& ScreenLayout() const { return screen_; }
    const TRect& PanelRect() const { return screen_.PanelRect; }
    const TRect& PlotRect() const { return screen_.PlotRect; }
    // The screen's layout forgets a series that leaves the chart or whose points it no longer knows.
    void ForgetOnScreen(const TChartSeries& series) { screen_.Forget(series); }
    int PlotWidth() const { return PlotRect().Right - PlotRect().Left; }
    int PlotHeight() const { return PlotRect().Bottom - PlotRect().Top; }
    int PlotXCenter() const { return (PlotRect().Left + PlotRect().Right) / 2; }
    int PlotYCenter() const { return (PlotRect().Top + PlotRect().Bottom) / 2; }
    // A rendering is under way (for any target, also one that lets events run between its steps): a
    // window paint meanwhile would draw inside it, so paints wait for its end.
    bool Rendering() const { return renderings_ > 0; }

    // The screen's rendering: the whole chart onto canvas inside rect, through the off-screen buffer when
    // buffered.
    void PaintTo(TCanvas& canvas, const TRect& rect);
    // The window's paint request: a copy of the off-screen buffer when nothing changed, else a full
    // rendering.
    void Paint(TCanvas& windowCanvas);
    // Draws onto a canvas other than the window's (a bitmap, picture or page), unbuffered, for the
    // options' target and laid out for it alone; the screen shows the chart anew at its next paint.
    void DrawToForeignCanvas(TCanvas& canvas, const TRect& rect,
                             const TRenderOptions& options = TRenderTarget::Picture);
    // A new bitmap of rect's size holding the chart, made by factory; the caller owns it.
    std::unique_ptr<TCanvasBuffer> CreateBitmapImage(TCanvas& factory, TColor color, const TRect& rect);
    // Marks the chart stale and asks the window for a repaint (no effect before construction has finished).
    void Invalidate();
    // Full renderings done so far (buffer copies not counted).
    int RenderCount() const { return renderCount_; }
    // Renders the chart into its buffer now, as the next paint would, and tells `steps` how far the
    // drawing of many points and their labels has gone, so that the caller may let events run. A change
    // to the chart meanwhile leaves the buffer to be rendered anew by the next paint.
    void RenderBuffer(TCanvas& canvas, const TWorkSteps& steps);

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
    // Sets the rendering's plot rectangle, kept at least one pixel in each direction.
    void SetPlotRect(TRenderContext& context, const TRect& r) const;
    // The paint pipeline over the context's PanelRect.
    virtual void DrawPipeline(TRenderContext& context) = 0;
    // Fills PanelRect with Color and draws bevels and border (nothing while printing).
    void DrawBackground(TRenderContext& context) const;
    void FinishConstruction() { constructed_ = true; }
    void BeginDestruction() { destroying_ = true; }

private:
    // Counts a rendering for as long as it runs, also when it fails.
    class TRenderingCount {
    public:
        explicit TRenderingCount(int& count) : count_(count) { ++count_; }
        ~TRenderingCount() { --count_; }
        TRenderingCount(const TRenderingCount&) = delete;
        TRenderingCount& operator=(const TRenderingCount&) = delete;

    private:
        int& count_;
    };

    // Lays the chart out into bounds on canvas and draws it; returns what it laid out.
    TRenderContext Render(TCanvas& canvas, const TRect& bounds, TRenderOptions options);
    // A screen rendering; steps, when given, hear how far it has come.
    void PaintScreen(TCanvas& canvas, const TRect& rect, const TWorkSteps* steps);
    void DrawBevel(const TChartCanvas& c, TRect& r, TPanelBevel bevel, int width) const;

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
    TScreenBuffer screenBuffer_;
    TRenderContext screen_;
    int renderCount_ = 0;
    unsigned invalidations_ = 0;
    int renderings_ = 0;
    bool constructed_ = false;
    bool destroying_ = false;
};

}  // namespace quorvel
