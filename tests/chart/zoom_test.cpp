#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "chart/chart_fixture.h"

namespace quorvel::testing {
namespace {

struct Range {
    double min;
    double max;
};

class ZoomScroll : public FormChartTest {
protected:
    void SetUp() override {
        FormChartTest::SetUp();
        // Y stays within two-digit labels, so the left label band keeps its width while scrolling.
        series.measured->AddPoint(0, 10, "0");
        series.measured->AddPoint(50, 50, "50");
        series.measured->AddPoint(100, 90, "100");
        Render();
    }

    void Drag(TMouseButton button, int x0, int y0, int x1, int y1) {
        chart->Interaction().Press(button, 0, x0, y0);
        chart->Interaction().Move(0, x1, y1);
        chart->Interaction().Release(button, 0, x1, y1);
    }

    static Range Of(const TChartAxis& a) { return Range{a.Minimum(), a.Maximum()}; }
    static bool Automatic(const TChartAxis& a) {
        return a.Automatic() && a.AutomaticMinimum() && a.AutomaticMaximum();
    }
};

TEST_F(ZoomScroll, LeftDragSetsTheRangesUnderItsPixels) {
    const TChartAxis& bottom = chart->BottomAxis();
    const TChartAxis& left = chart->LeftAxis();
    const double x100 = bottom.PixelToValue(100);
    const double x150 = bottom.PixelToValue(150);
    const double y100 = left.PixelToValue(100);
    const double y50 = left.PixelToValue(50);
    int zooms = 0;
    chart->OnZoom = [&](TChart&) { ++zooms; };
    Drag(mbLeft, 100, 50, 150, 100);
    EXPECT_EQ(bottom.Minimum(), x100);
    EXPECT_EQ(bottom.Maximum(), x150);
    EXPECT_EQ(left.Minimum(), y100);
    EXPECT_EQ(left.Maximum(), y50);
    EXPECT_FALSE(Automatic(bottom));
    EXPECT_TRUE(chart->Interaction().Zoomed());
    EXPECT_TRUE(chart->Interaction().AxesSaved());
    EXPECT_EQ(zooms, 1);
    // The next paint shows exactly that range (no marker margins on manual ends).
    Render();
    EXPECT_EQ(bottom.Scale().RangeMin, x100);
    EXPECT_EQ(bottom.Scale().RangeMax, x150);
}

TEST_F(ZoomScroll, SixteenPixelRule) {
    struct Row {
        const char* name;
        int dx;
        int dy;
        bool zooms;
    };
    const Row rows[] = {
        {"16 x 40 does nothing", 16, 40, false},
        {"40 x 16 does nothing", 40, 16, false},
        {"17 x 17 zooms", 17, 17, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        const Range before = Of(chart->BottomAxis());
        Drag(mbLeft, 100, 50, 100 + row.dx, 50 + row.dy);
        EXPECT_EQ(chart->Interaction().Zoomed(), row.zooms);
        EXPECT_EQ(Automatic(chart->BottomAxis()), !row.zooms);
        if (!row.zooms) {
            EXPECT_EQ(Of(chart->BottomAxis()).min, before.min);
        }
    }
}

TEST_F(ZoomScroll, LeftwardDragUndoesTheZoom) {
    Drag(mbLeft, 100, 50, 150, 100);
    Render();
    int undos = 0;
    chart->OnUndoZoom = [&](TChart&) { ++undos; };
    Drag(mbLeft, 150, 100, 120, 70);
    EXPECT_TRUE(Automatic(chart->BottomAxis()));
    EXPECT_TRUE(Automatic(chart->LeftAxis()));
    EXPECT_FALSE(chart->Interaction().Zoomed());
    EXPECT_FALSE(chart->Interaction().AxesSaved());
    EXPECT_EQ(undos, 1);
    Render();
    EXPECT_EQ(chart->BottomAxis().Minimum(), 0);
    EXPECT_EQ(chart->BottomAxis().Maximum(), 100);
}

TEST_F(ZoomScroll, TwoZoomsAndOneUndoReturnToTheStart) {
    const Range bottomBefore{chart->BottomAxis().Scale().RangeMin, chart->BottomAxis().Scale().RangeMax};
    Drag(mbLeft, 60, 30, 200, 150);
    Render();
    Drag(mbLeft, 100, 50, 150, 100);
    Render();
    chart->Interaction().UndoZoom();
    Render();
    EXPECT_TRUE(Automatic(chart->BottomAxis()));
    EXPECT_EQ(chart->BottomAxis().Scale().RangeMin, bottomBefore.min);
    EXPECT_EQ(chart->BottomAxis().Scale().RangeMax, bottomBefore.max);
}

TEST_F(ZoomScroll, UndoWithoutZoomChangesNoAxis) {
    const Range left = Of(chart->LeftAxis());
    int undos = 0;
    chart->OnUndoZoom = [&](TChart&) { ++undos; };
    chart->Interaction().UndoZoom();
    EXPECT_EQ(undos, 1);
    EXPECT_TRUE(Automatic(chart->LeftAxis()));
    EXPECT_EQ(Of(chart->LeftAxis()).min, left.min);
}

TEST_F(ZoomScroll, UndoRestoresAManualRangeExactly) {
    chart->LeftAxis().SetMinMax(0, 100);
    chart->LeftAxis().SetAutomaticMaximum(true);
    Render();
    Drag(mbLeft, 100, 50, 150, 100);
    chart->Interaction().UndoZoom();
    EXPECT_FALSE(chart->LeftAxis().Automatic());
    EXPECT_FALSE(chart->LeftAxis().AutomaticMinimum());
    EXPECT_TRUE(chart->LeftAxis().AutomaticMaximum());
    EXPECT_EQ(chart->LeftAxis().Minimum(), 0);
}

TEST_F(ZoomScroll, RefilledSeriesKeepAZoomedRange) {
    Drag(mbLeft, 100, 50, 150, 100);
    const Range zoomed = Of(chart->BottomAxis());
    series.measured->ClearPoints();
    series.measured->AddPoint(-500, 3);
    series.measured->AddPoint(900, 7);
    Render();
    EXPECT_EQ(chart->BottomAxis().Scale().RangeMin, zoomed.min);
    EXPECT_EQ(chart->BottomAxis().Scale().RangeMax, zoomed.max);
}

TEST_F(ZoomScroll, RightDragContentFollowsTheMouseExactly) {
    struct Row {
        const char* name;
        int dx;
        int dy;
    };
    const Row rows[] = {{"right and up", 10, -10}, {"left", -7, 0}, {"down", 0, 9}, {"left and down", -5, 6}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        TPointSeries& s = *series.measured;
        // Point 0 sits a whole 4 pixels inside the axis ends, clear of any rounding tie.
        const TPoint before{s.CalcXPos(0), s.CalcYPos(0)};
        const TRect plotBefore = chart->PlotRect();
        chart->Interaction().Press(mbRight, 0, 120, 100);
        ASSERT_TRUE(chart->Interaction().ScrollDrag().Active);
        chart->Interaction().Move(0, 120 + row.dx / 2, 100 + row.dy / 2);
        chart->Interaction().Move(0, 120 + row.dx, 100 + row.dy);
        chart->Interaction().Release(mbRight, 0, 120 + row.dx, 100 + row.dy);
        EXPECT_FALSE(chart->Interaction().ScrollDrag().Active);
        Render();
        ASSERT_EQ(chart->PlotRect(), plotBefore);
        EXPECT_EQ(s.CalcXPos(0), before.X + row.dx);
        EXPECT_EQ(s.CalcYPos(0), before.Y + row.dy);
    }
}

TEST_F(ZoomScroll, RightDragStopsOutsideThePlot) {
    int scrolls = 0;
    chart->OnScroll = [&](TChart&) { ++scrolls; };
    chart->Interaction().Press(mbRight, 0, 120, 100);
    chart->Interaction().Move(0, 130, 100);
    const Range reached = Of(chart->BottomAxis());
    chart->Interaction().Move(0, chart->PlotRect().Right + 5, 100);
    EXPECT_FALSE(chart->Interaction().ScrollDrag().Active);
    chart->Interaction().Move(0, 140, 100);
    EXPECT_EQ(Of(chart->BottomAxis()).min, reached.min);
    EXPECT_EQ(scrolls, 1);
}

TEST_F(ZoomScroll, AllowScrollMayRefuse) {
    chart->OnAllowScroll = [](TChartAxis& axis, double&, bool& allowed, double&) {
        allowed = axis.Horizontal();
    };
    const double leftMin = chart->LeftAxis().Minimum();
    chart->Interaction().Press(mbRight, 0, 120, 100);
    chart->Interaction().Move(0, 130, 110);
    EXPECT_FALSE(Automatic(chart->BottomAxis()));
    EXPECT_TRUE(Automatic(chart->LeftAxis()));
    EXPECT_EQ(chart->LeftAxis().Minimum(), leftMin);
}

TEST_F(ZoomScroll, PressOnASeriesWithClickHandlerStartsNoDrag) {
    int clicks = 0;
    chart->OnClickSeries = [&](TChart&, TChartSeries& s, int index, TMouseButton, TShiftState, int, int) {
        EXPECT_EQ(&s, series.measured);
        EXPECT_EQ(index, 1);
        ++clicks;
    };
    const int x = series.measured->CalcXPos(1);
    const int y = series.measured->CalcYPos(1);
    for (TMouseButton b : {mbLeft, mbRight}) {
        chart->Interaction().Press(b, 0, x, y);
        EXPECT_FALSE(chart->Interaction().ZoomDrag().Active);
        EXPECT_FALSE(chart->Interaction().ScrollDrag().Active);
        chart->Interaction().Release(b, 0, x, y);
    }
    EXPECT_EQ(clicks, 2);
    // A handler that passes the click on lets the press start a drag.
    chart->OnClickSeries = [&](TChart& c, TChartSeries&, int, TMouseButton, TShiftState, int, int) {
        c.Interaction().PassClickOn();
    };
    chart->Interaction().Press(mbLeft, 0, x, y);
    EXPECT_TRUE(chart->Interaction().ZoomDrag().Active);
}

TEST_F(ZoomScroll, ClickOrderOnReleaseAndBackgroundClicks) {
    std::vector<std::string> events;
    chart->OnClick = [&](TChart& c) {
        events.push_back(c.Interaction().ZoomDrag().Active ? "click during drag" : "click");
    };
    chart->OnZoom = [&](TChart&) { events.push_back("zoom"); };
    Drag(mbLeft, 100, 50, 150, 100);
    EXPECT_EQ(events, (std::vector<std::string>{"click during drag", "zoom"}));
    // A press outside every part neither zooms nor raises the background hook's drag.
    int background = 0;
    chart->OnClickBackground = [&](TChart&, TMouseButton, TShiftState, int, int) { ++background; };
    chart->Interaction().Press(mbLeft, 0, 2, 2);
    EXPECT_FALSE(chart->Interaction().ZoomDrag().Active);
    EXPECT_EQ(background, 1);
    chart->Interaction().Press(mbLeft, 0, 120, 100);
    EXPECT_FALSE(chart->Interaction().ZoomDrag().Active);  // the hook kept the click
    EXPECT_EQ(background, 2);
}

TEST_F(ZoomScroll, ZoomRectangleIsDrawnNotXorOnTheWindow) {
    RecordingCanvas window;
    chart->WindowCanvas = &window;
    chart->Interaction().Press(mbLeft, 0, 100, 50);
    chart->Interaction().Move(0, 130, 90);
    const auto rects = window.Find(Op::Rectangle);
    ASSERT_EQ(rects.size(), 3u);  // drawn, erased, drawn again
    EXPECT_EQ(rects[0]->rect, (TRect{100, 50, 100, 50}));
    EXPECT_EQ(rects[2]->rect, (TRect{100, 50, 130, 90}));
    EXPECT_EQ(rects[2]->pen.Mode, TPenMode::NotXor);
    EXPECT_EQ(rects[2]->brush.Style, bsClear);
    // A full paint during the drag draws it as well.
    Render();
    EXPECT_EQ(canvas.Find(Op::Rectangle).back()->rect, (TRect{100, 50, 130, 90}));
    chart->WindowCanvas = nullptr;
}

// Y = X over X = 1..10 with its curve samples, zoomed ten times into a 20-pixel square on the curve at
// the plot's centre: the samples end up some 10^10 pixels apart.
TEST_F(FormChartTest, DeepZoomKeepsTheCurveThroughTheMiddleAndDrawsNoPhantomPoint) {
    for (int x = 1; x <= 10; ++x) {
        series.measured->AddPoint(x, x, std::to_string(x), clBlue);
    }
    for (int k = 0; k < 50; ++k) {
        const double x = 1 + 0.18 * k;
        series.curve->AddPoint(x, x);
    }
    const TChartAxis& bottom = chart->BottomAxis();
    const TChartAxis& left = chart->LeftAxis();
    const auto curveAtCentre = [&] {
        const int cx = chart->PlotXCenter();
        return TPoint{
            cx, static_cast<int>(RoundHalfEven(left.Scale().ToPixelUnrounded(bottom.PixelToValue(cx))))};
    };
    for (int zoom = 0; zoom < 10; ++zoom) {
        Render();
        const TPoint c = curveAtCentre();
        chart->Interaction().Press(mbLeft, 0, c.X - 10, c.Y - 10);
        chart->Interaction().Move(0, c.X + 10, c.Y + 10);
        chart->Interaction().Release(mbLeft, 0, c.X + 10, c.Y + 10);
        ASSERT_TRUE(chart->Interaction().Zoomed()) << zoom;
    }
    Render();
    ASSERT_LT(bottom.Scale().RangeSpan(), 1e-8);
    // The curve: one green segment that runs within a pixel of the curve's point at the centre.
    const TPoint c = curveAtCentre();
    int throughCentre = 0;
    for (const Record* r : canvas.Find(Op::LineTo)) {
        if (r->pen.Color != clGreen) {
            continue;
        }
        const double dx = static_cast<double>(r->to.X) - r->from.X;
        const double dy = static_cast<double>(r->to.Y) - r->from.Y;
        const double cross = (c.X - r->from.X) * dy - (c.Y - r->from.Y) * dx;
        throughCentre += std::fabs(cross) / std::hypot(dx, dy) <= 1.5 ? 1 : 0;
    }
    EXPECT_EQ(throughCentre, 1);
    // No measured point lies in view: none is drawn, and a press at the centre hits none.
    for (const Record* r : canvas.Find(Op::Rectangle)) {
        EXPECT_NE(r->brush.Color, clBlue) << r->rect.Left << "," << r->rect.Top;
    }
    EXPECT_EQ(
        series.measured->PointAtPixel(chart->ScreenLayout(), chart->PlotXCenter(), chart->PlotYCenter()), -1);
}

TEST_F(ZoomScroll, WheelScrollsVerticalAxesByThreePercentOfTheirEnds) {
    const TChartAxis& left = chart->LeftAxis();
    // Automatic: the ends are the data range 10..90, without the marker margins the plot shows.
    ASSERT_EQ(Of(left).min, 10);
    ASSERT_EQ(Of(left).max, 90);
    ASSERT_LT(left.Scale().RangeMin, 10);
    const Range bottom = Of(chart->BottomAxis());
    chart->Interaction().WheelNotch(true);
    EXPECT_DOUBLE_EQ(left.Minimum(), 10 + 0.03 * 80);
    EXPECT_DOUBLE_EQ(left.Maximum(), 90 + 0.03 * 80);
    EXPECT_FALSE(Automatic(left));
    EXPECT_FALSE(chart->Interaction().AxesSaved());
    EXPECT_EQ(Of(chart->BottomAxis()).min, bottom.min);
    chart->Interaction().WheelNotch(false);
    EXPECT_DOUBLE_EQ(left.Minimum(), 10);
    EXPECT_DOUBLE_EQ(left.Maximum(), 90);
}

TEST_F(ZoomScroll, LimitedScrollOnlyTowardsData) {
    TChartAxis& bottom = chart->BottomAxis();
    bottom.SetMinMax(0, 100);
    chart->Interaction().ScrollAxis(bottom, 10, true);  // no data beyond 100
    EXPECT_EQ(bottom.Maximum(), 100);
    chart->Interaction().ScrollAxis(bottom, -10, true);  // nor below 0
    EXPECT_EQ(bottom.Minimum(), 0);
    bottom.SetMinMax(10, 60);
    chart->Interaction().ScrollAxis(bottom, 5, true);
    EXPECT_EQ(bottom.Minimum(), 15);
    EXPECT_EQ(bottom.Maximum(), 65);
}

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

TEST_F(ZoomScroll, SmallDragAfterABufferedPaintLeavesNoRectangleBehind) {
    chart->SetBufferedPaint(true);
    RecordingCanvas window;
    chart->Paint(window);
    chart->Interaction().Press(mbLeft, 0, 100, 50);
    chart->Interaction().Move(0, 110, 60);
    chart->Invalidate();
    chart->Paint(window);  // renders the rectangle into the buffer
    const int renders = chart->RenderCount();
    chart->Interaction().Release(mbLeft, 0, 110, 60);  // too small to zoom
    EXPECT_FALSE(chart->Interaction().Zoomed());
    EXPECT_TRUE(chart->ScreenBuffer().NeedsRedraw);
    chart->Paint(window);
    EXPECT_EQ(chart->RenderCount(), renders + 1);
}

TEST_F(ZoomScroll, FastLineWithoutAutoRepaintDrawsItsNewSegmentAtOnce) {
    RecordingCanvas window;
    chart->WindowCanvas = &window;
    series.curve->SetAutoRepaint(false);
    series.curve->AddPoint(10, 20);
    chart->ScreenBuffer().NeedsRedraw = false;
    series.curve->AddPoint(60, 70);
    EXPECT_FALSE(chart->ScreenBuffer().NeedsRedraw);
    const auto lines = window.Find(Op::LineTo);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->from,
              (TPoint{chart->BottomAxis().ValueToPixel(10), chart->LeftAxis().ValueToPixel(20)}));
    EXPECT_EQ(lines[0]->to,
              (TPoint{chart->BottomAxis().ValueToPixel(60), chart->LeftAxis().ValueToPixel(70)}));
    EXPECT_EQ(lines[0]->pen.Color, clGreen);
    chart->WindowCanvas = nullptr;
}

}  // namespace
}  // namespace quorvel::testing
