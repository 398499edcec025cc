#include "chart/chart.h"

namespace quorvel {

TChart::TChart() : title_(this, false), foot_(this, true) {
    for (const TAxisKind kind : {akLeft, akTop, akRight, akBottom}) {
        axes_[static_cast<std::size_t>(kind)] = std::make_unique<TChartAxis>(this, kind);
    }
    backWall_.SetOnChange([this] { Invalidate(); });
    FinishConstruction();
}

TChart::~TChart() {
    BeginDestruction();
    series_.clear();
}

void TChart::DrawTitles(TRenderContext& context) {
    // A page printed with its own title lines shows them in place of the chart's title, visible.
    const TTitleLines* lines = context.Options.Title ? &*context.Options.Title
                               : title_.Visible()    ? &title_.Text()
                                                     : nullptr;
    context.TitleRect = TRect{};
    if (lines != nullptr) {
        TRect plot = context.PlotRect;
        context.TitleRect = title_.Draw(context.Canvas, plot, *lines);
        SetPlotRect(context, plot);
    }
    context.FootRect = TRect{};
    if (foot_.Visible()) {
        TRect plot = context.PlotRect;
        context.FootRect = foot_.Draw(context.Canvas, plot, foot_.Text());
        SetPlotRect(context, plot);
    }
}

void TChart::DrawWalls(TRenderContext& context) {
    const TChartCanvas& c = context.Canvas;
    const TRect& p = context.PlotRect;
    c.SetPen(backWall_.Pen().CanvasPen(context.Options.Printing()));
    const TChartBrush& brush = backWall_.Brush();
    if (backWall_.Color() == AutoColor && brush.Style() == bsSolid) {
        c.SetBrush(TBrush{clWhite, bsClear});
    } else {
        const TColor color = backWall_.Color() == AutoColor ? brush.Color() : backWall_.Color();
        c.SetBrush(TBrush{color, brush.Style()});
        if (brush.Style() != bsSolid && brush.Style() != bsClear) {
            // A hatch is drawn over an opaque background of the brush colour, in a contrasting colour.
            c.SetBackMode(bmOpaque);
            c.SetBackColor(color);
            c.SetBrush(TBrush{color == clBlack ? clWhite : clBlack, brush.Style()});
        }
    }
    c.Rectangle(TRect{p.Left, p.Top, p.Right + 1, p.Bottom + 1});
    c.SetBackMode(bmTransparent);
}

void TChart::DrawZoomOverlay(TRenderContext& context) {
    interaction_.DrawOverlay(context.Canvas,
                             context.Options.Target == TRenderTarget::Screen && ScreenBuffer().BufferedPaint);
}

TClickedPart TChart::ClickedPart(int x, int y) {
    const TRenderContext& screen = ScreenLayout();
    TClickedPart part;
    for (int i = SeriesCount() - 1; i >= 0; --i) {
        TChartSeries& s = Series(i);
        if (!s.Active()) {
            continue;
        }
        const int index = s.PointAtPixel(screen, x, y);
        if (index != -1) {
            part.Part = cpSeries;
            part.Series = &s;
            part.PointIndex = index;
            return part;
        }
    }
    for (int k = 0; k < AxisCount(); ++k) {
        if (Axis(k).HitTest(screen, x, y)) {
            part.Part = cpAxis;
            part.Axis = &Axis(k);
            return part;
        }
    }
    if (title_.Visible() && screen.TitleRect.Contains(x, y)) {
        part.Part = cpTitle;
        return part;
    }
    if (foot_.Visible() && screen.FootRect.Contains(x, y)) {
        part.Part = cpFoot;
        return part;
    }
    if (ActiveSeriesCount() > 0 && screen.PlotRect.Contains(x, y)) {
        part.Part = cpChartRect;
        return part;
    }
    return part;
}

}  // namespace quorvel
