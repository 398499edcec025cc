#include "chart/chart.h"

namespace quorvel {

TChart::TChart() : title_(this, false), foot_(this, true) {
    axes_[0] = std::make_unique<TChartAxis>(this, akLeft);
    axes_[1] = std::make_unique<TChartAxis>(this, akTop);
    axes_[2] = std::make_unique<TChartAxis>(this, akRight);
    axes_[3] = std::make_unique<TChartAxis>(this, akBottom);
    ScreenLayout().Axes.resize(axes_.size());
    UseLayout(ScreenLayout());
    backWall_.SetOnChange([this] { Invalidate(); });
    FinishConstruction();
}

TChart::~TChart() {
    BeginDestruction();
    series_.clear();
}

void TChart::DrawTitles() {
    TChartLayoutState& layout = LayoutState();
    TRect plot = PlotRect();
    layout.TitleRect = TRect{};
    if (title_.Visible()) {
        layout.TitleRect = title_.Draw(Canvas(), plot);
        SetPlotRect(plot);
    }
    plot = PlotRect();
    layout.FootRect = TRect{};
    if (foot_.Visible()) {
        layout.FootRect = foot_.Draw(Canvas(), plot);
        SetPlotRect(plot);
    }
}

void TChart::DrawWalls() {
    TChartCanvas& c = Canvas();
    const TRect& p = PlotRect();
    c.SetPen(backWall_.Pen().CanvasPen(Printing()));
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

void TChart::DrawZoomOverlay() {
    interaction_.DrawOverlay(Canvas());
}

TClickedPart TChart::ClickedPart(int x, int y) {
    TClickedPart part;
    for (int i = SeriesCount() - 1; i >= 0; --i) {
        TChartSeries& s = Series(i);
        if (!s.Active()) {
            continue;
        }
        const int index = s.PointAtPixel(x, y);
        if (index != -1) {
            part.Part = cpSeries;
            part.Series = &s;
            part.PointIndex = index;
            return part;
        }
    }
    for (int k = 0; k < AxisCount(); ++k) {
        if (Axis(k).HitTest(x, y)) {
            part.Part = cpAxis;
            part.Axis = &Axis(k);
            return part;
        }
    }
    if (title_.Visible() && LayoutState().TitleRect.Contains(x, y)) {
        part.Part = cpTitle;
        return part;
    }
    if (foot_.Visible() && LayoutState().FootRect.Contains(x, y)) {
        part.Part = cpFoot;
        return part;
    }
    if (ActiveSeriesCount() > 0 && PlotRect().Contains(x, y)) {
        part.Part = cpChartRect;
        return part;
    }
    return part;
}

}  // namespace quorvel
