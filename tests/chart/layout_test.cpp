#include <gtest/gtest.h>

#include <stdexcept>

#include "chart/chart_fixture.h"
#include "chart/geometry.h"

namespace quorvel::testing {
namespace {

TEST(Geometry, MulDivRoundsHalvesAwayFromZero) {
    struct Row {
        int a;
        int b;
        int c;
        int r;
    };
    for (const Row& row :
         {Row{3, 289, 100, 9}, Row{4, 208, 100, 8}, Row{1, 5, 2, 3}, Row{-1, 5, 2, -3}, Row{1, 3, 2, 2},
          Row{1, -3, 2, -2}, Row{7, 1, -2, -4}, Row{1, 1, 3, 0}, Row{5, 5, 0, -1}}) {
        EXPECT_EQ(MulDiv(row.a, row.b, row.c), row.r) << row.a << "*" << row.b << "/" << row.c;
    }
    EXPECT_EQ(RoundToInt(2.5), 2);
    EXPECT_EQ(RoundToInt(3.5), 4);
    EXPECT_EQ(RoundToInt(-2.5), -2);
}

class Layout : public FormChartTest {};

TEST_F(Layout, PlotRectBeforeTheAxesComesFromTheMargins) {
    // With axes and titles out of the way the plot rectangle is the margins' alone.
    chart->SetAxisVisible(false);
    Render();
    EXPECT_EQ(chart->PlotRect(), (TRect{9, 8, 280, 200}));
    EXPECT_EQ(chart->PlotWidth(), 271);
    EXPECT_EQ(chart->PlotXCenter(), 144);
    EXPECT_EQ(chart->PlotYCenter(), 104);
}

TEST_F(Layout, TitleLinesPushThePlotDown) {
    Render();
    const int top = chart->PlotRect().Top;
    struct Row {
        const char* name;
        std::vector<std::string> lines;
        int shift;
    };
    const Row rows[] = {
        {"two lines, the first empty", {"", "Y = 1"}, 2 * 13 + 5},
        {"one line", {"Y = 1"}, 13 + 5},
        {"no lines", {}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        chart->Title().SetVisible(true);
        chart->Title().SetText(row.lines);
        Render();
        EXPECT_EQ(chart->PlotRect().Top, top + row.shift);
    }
    // Centred text: (Left + Right) / 2 - width / 2, its top at the margin line.
    chart->Title().SetText({"", "Y = 1"});
    Render();
    const Record* line = canvas.FindText("Y = 1");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->to, (TPoint{(9 + 280) / 2 - 25 / 2, 8 + 13}));
    EXPECT_EQ(line->font.Color, clBlue);
}

TEST_F(Layout, FootLiftsThePlotBottom) {
    Render();
    const int bottom = chart->PlotRect().Bottom;
    chart->Foot().SetText({"foot"});
    Render();
    EXPECT_EQ(chart->PlotRect().Bottom, bottom - 13 - 5);
}

TEST_F(Layout, BackWallFrameCoversTheLastColumnAndRow) {
    series.measured->AddPoint(1, 1);
    Render();
    const TRect& p = chart->PlotRect();
    bool found = false;
    for (const Record* r : canvas.Find(Op::Rectangle)) {
        if (r->rect == (TRect{p.Left, p.Top, p.Right + 1, p.Bottom + 1})) {
            found = true;
            EXPECT_EQ(r->brush.Style, bsClear);
            EXPECT_EQ(r->pen.Color, clBlack);
            EXPECT_EQ(r->pen.Width, 1);
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(Layout, PaintOrderBackgroundWallAxesSeries) {
    series.measured->AddPoint(1, 1);
    series.measured->AddPoint(2, 2);
    Render();
    ASSERT_FALSE(canvas.records.empty());
    EXPECT_EQ(canvas.records[0].op, Op::FillRect);
    EXPECT_EQ(canvas.records[0].rect, chart->ClientRect());
    EXPECT_EQ(canvas.records[0].brush.Color, clBtnFace);
    std::size_t wall = 0;
    std::size_t firstText = 0;
    std::size_t firstPoint = 0;
    for (std::size_t i = 0; i < canvas.records.size(); ++i) {
        const Record& r = canvas.records[i];
        if (wall == 0 && r.op == Op::Rectangle && r.rect.Left == chart->PlotRect().Left) {
            wall = i;
        }
        if (firstText == 0 && r.op == Op::Text) {
            firstText = i;
        }
        if (firstPoint == 0 && r.op == Op::Rectangle && r.rect.Width() == 5) {
            firstPoint = i;
        }
    }
    EXPECT_LT(wall, firstText);
    EXPECT_LT(firstText, firstPoint);
}

TEST_F(Layout, PrintingDrawsNoBackgroundButWallAxesAndSeries) {
    series.measured->AddPoint(1, 1);
    series.measured->AddPoint(2, 2);
    // A window paint during the print does nothing.
    RecordingCanvas window;
    chart->SetBufferedPaint(true);
    bool printing = false;
    chart->OnAfterDraw = [&](TChart&, TRenderContext& context) {
        printing = context.Options.Printing();
        chart->Paint(window);
    };
    chart->DrawToForeignCanvas(canvas, chart->ClientRect(), TRenderTarget::Printer);
    chart->OnAfterDraw = nullptr;
    EXPECT_TRUE(printing);
    EXPECT_TRUE(window.records.empty());
    EXPECT_TRUE(canvas.Find(Op::FillRect).empty());
    EXPECT_FALSE(canvas.Find(Op::Text).empty());
    EXPECT_GE(canvas.Find(Op::Rectangle).size(), 3u);
    // The dotted grid is drawn with a cosmetic pen while printing.
    bool dottedZero = false;
    for (const Record* r : canvas.Find(Op::LineTo)) {
        dottedZero = dottedZero || (r->pen.Style == TPenStyle::Dot && r->pen.Width == 0);
    }
    EXPECT_TRUE(dottedZero);
    // The screen is not left printing: its next rendering has its background again.
    chart->SetBufferedPaint(false);
    ASSERT_FALSE(Render().records.empty());
    EXPECT_EQ(canvas.records[0].op, Op::FillRect);
    EXPECT_EQ(canvas.records[0].brush.Color, clBtnFace);
}

TEST_F(Layout, PaintingTwiceWithoutChangeRendersOnce) {
    chart->SetBufferedPaint(true);
    RecordingCanvas window;
    chart->Paint(window);
    EXPECT_EQ(chart->RenderCount(), 1);
    EXPECT_FALSE(chart->ScreenBuffer().NeedsRedraw);
    ASSERT_EQ(window.records.size(), 1u);
    EXPECT_EQ(window.records[0].op, Op::Buffer);
    chart->Paint(window);
    EXPECT_EQ(chart->RenderCount(), 1);
    EXPECT_EQ(window.records.size(), 2u);
    EXPECT_EQ(window.buffersCreated, 1);
    series.measured->AddPoint(1, 1);
    EXPECT_TRUE(chart->ScreenBuffer().NeedsRedraw);
    chart->Paint(window);
    EXPECT_EQ(chart->RenderCount(), 2);
    EXPECT_EQ(window.buffersCreated, 1);  // same size: the buffer is kept
    chart->SetWidth(300);
    chart->Paint(window);
    EXPECT_EQ(window.buffersCreated, 2);
}

// What a rendering drew, by place: enough to tell two layouts apart.
std::vector<std::string> Drawn(const RecordingCanvas& c) {
    std::vector<std::string> out;
    for (const Record& r : c.records) {
        out.push_back(std::to_string(static_cast<int>(r.op)) + " " + std::to_string(r.to.X) + "," +
                      std::to_string(r.to.Y) + " " + std::to_string(r.rect.Left) + "," +
                      std::to_string(r.rect.Top) + "," + std::to_string(r.rect.Right) + "," +
                      std::to_string(r.rect.Bottom) + " " + r.text);
    }
    return out;
}

// Label widths follow the step that an axis' pixel span allows, and the span is known only after the
// layout: the first rendering of a fresh chart, and one at another size, must come out as the next one.
TEST_F(Layout, FirstRenderingIsLaidOutAsTheNext) {
    using Points = std::vector<std::pair<double, double>>;  // x, y
    struct Row {
        const char* name;
        Points measured;
        Points curve;
        TRect size;
    };
    // A linear fit of a thermocouple's table: its line starts a little below 0, at a value whose label
    // is wide unless rounded to the step.
    const Points thermocouple{{-0.0006, 0}, {19.9404, 500}, {39.6004, 1000}};
    const Points line{{-0.0006, -1.1742186776516}, {39.6004, 998.8089982374847}};
    const Row rows[] = {
        {"thermocouple, linear", thermocouple, line, {0, 0, 289, 208}},
        {"thermocouple, printed finer", thermocouple, line, {0, 0, 434, 312}},
        {"small values",
         {{0.001, 0.0002}, {0.003, 0.0009}},
         {{0.001, 0.000123}, {0.003, 0.000987}},
         {0, 0, 289, 208}},
        {"large values", {{1, 1e6}, {3, 2.5e6}}, {{1, -12345.678}, {3, 2.5e6}}, {0, 0, 289, 208}},
        {"no points", {}, {}, {0, 0, 289, 208}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        chart = CreateFormChart();
        series = FormSeries(*chart);
        chart->SetBufferedPaint(false);
        chart->SetBounds(0, 0, row.size.Right, row.size.Bottom);
        for (const auto& [x, y] : row.measured) {
            series.measured->AddPoint(x, y);
        }
        for (const auto& [x, y] : row.curve) {
            series.curve->AddPoint(x, y);
        }
        const std::vector<std::string> first = Drawn(Render());
        const TRect firstPlot = chart->PlotRect();
        EXPECT_EQ(Drawn(Render()), first);
        EXPECT_EQ(chart->PlotRect(), firstPlot);
        // A foreign rendering at another size (the print at finer detail) is laid out for its own size,
        // as a chart first drawn at that size is, and the screen keeps its own layout.
        chart->SetBounds(0, 0, 289, 208);
        Render();
        const TRect screenPlot = chart->PlotRect();
        RecordingCanvas foreign;
        chart->DrawToForeignCanvas(foreign, row.size);
        EXPECT_EQ(Drawn(foreign), first);
        EXPECT_EQ(chart->PlotRect(), screenPlot);
    }
}

TEST_F(Layout, APressBeforeTheNextPaintFindsNoPointThatIsGoneOrMoved) {
    for (int i = 0; i < 60; ++i) {
        series.curve->AddPoint(i, i);
        series.measured->AddPoint(i, 60 - i);
    }
    Render();
    const int x = series.curve->CalcXPos(50);
    const int y = series.curve->CalcYPos(50);
    const int mx = series.measured->CalcXPos(40);
    const int my = series.measured->CalcYPos(40);
    ASSERT_EQ(chart->ClickedPart(x, y).Series, series.curve);
    ASSERT_EQ(chart->ClickedPart(mx, my).PointIndex, 40);
    // A recompute gives fewer points; a press comes before the repaint.
    series.curve->ClearPoints();
    series.measured->ClearPoints();
    for (int i = 0; i < 10; ++i) {
        series.curve->AddPoint(i, i);
        series.measured->AddPoint(i, 60 - i);
    }
    EXPECT_EQ(chart->ClickedPart(x, y).Series, nullptr);
    EXPECT_EQ(chart->ClickedPart(mx, my).PointIndex, -1);
    // A point put between others moves the indices after it: none is named until the next paint.
    Render();
    const int ax = series.measured->CalcXPos(5);
    const int ay = series.measured->CalcYPos(5);
    ASSERT_EQ(chart->ClickedPart(ax, ay).PointIndex, 5);
    series.measured->AddPoint(2.5, 30);
    EXPECT_EQ(chart->ClickedPart(ax, ay).PointIndex, -1);
    Render();
    EXPECT_EQ(chart->ClickedPart(series.measured->CalcXPos(6), series.measured->CalcYPos(6)).PointIndex, 6);
}

TEST_F(Layout, ForeignCanvasDrawingKeepsBufferingAndTheScreenLayoutEvenOnFailure) {
    chart->SetBufferedPaint(true);
    RecordingCanvas picture;
    chart->DrawToForeignCanvas(picture, TRect{0, 0, 289, 208});
    EXPECT_TRUE(chart->ScreenBuffer().BufferedPaint);
    EXPECT_EQ(picture.records[0].op, Op::FillRect);
    // The screen's layout, which presses are judged against, outlives a failed rendering at another size.
    series.measured->AddPoint(50, 5);
    series.measured->AddPoint(70, 9);
    Render();
    const TRect plot = chart->PlotRect();
    const TScaleMap bottom = chart->BottomAxis().Scale();
    const int x = series.measured->CalcXPos(1);
    const int y = series.measured->CalcYPos(1);
    chart->OnAfterDraw = [](TChart&, TRenderContext&) { throw std::runtime_error("draw failed"); };
    EXPECT_THROW(chart->DrawToForeignCanvas(picture, TRect{0, 0, 578, 416}, TRenderTarget::Printer),
                 std::runtime_error);
    chart->OnAfterDraw = nullptr;
    EXPECT_TRUE(chart->ScreenBuffer().BufferedPaint);
    EXPECT_FALSE(chart->Rendering());
    EXPECT_EQ(chart->PlotRect(), plot);
    EXPECT_EQ(chart->BottomAxis().Scale(), bottom);
    EXPECT_EQ(chart->ClickedPart(x, y).PointIndex, 1);
    // Nor is the screen left printing by the failed page.
    chart->SetBufferedPaint(false);
    ASSERT_FALSE(Render().records.empty());
    EXPECT_EQ(canvas.records[0].brush.Color, clBtnFace);
}

TEST_F(Layout, BitmapImageHoldsTheChart) {
    RecordingCanvas factory;
    auto bitmap = chart->CreateBitmapImage(factory, clBlack, TRect{0, 0, 100, 80});
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 100);
    auto& drawn = static_cast<RecordingCanvas&>(bitmap->Canvas());
    ASSERT_GE(drawn.records.size(), 2u);
    EXPECT_EQ(drawn.records[0].brush.Color, clBlack);
    EXPECT_EQ(drawn.records[1].brush.Color, clBtnFace);
}

TEST_F(Layout, TinyPanelStillGetsAPlotRectangle) {
    for (const TRect size : {TRect{0, 0, 20, 12}, TRect{0, 0, 1, 1}, TRect{0, 0, 0, 0}}) {
        chart->SetBounds(0, 0, size.Right, size.Bottom);
        series.measured->AddPoint(1, 1, "1");
        series.curve->AddPoint(1, 2);
        series.measured->Marks().SetVisible(true);
        Render();
        EXPECT_GE(chart->PlotWidth(), 1);
        EXPECT_GE(chart->PlotHeight(), 1);
    }
}

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

TEST_F(Layout, TitleAlignmentTable) {
    struct Row {
        const char* name;
        TTitleAlignment alignment;
        int x;
    };
    // Plot 9..280, "W" 8 wide, "abc" 15 wide.
    const Row rows[] = {
        {"left", TTitleAlignment::Left, 9 + 4},
        {"right", TTitleAlignment::Right, 280 - 15 - 4},
        {"centre", TTitleAlignment::Center, 144 - 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        chart->Title().SetVisible(true);
        chart->Title().SetText({"abc"});
        chart->Title().SetAlignment(row.alignment);
        Render();
        const Record* t = canvas.FindText("abc");
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->to, (TPoint{row.x, 8}));
    }
}

TEST_F(Layout, FramedTitleIsCutToItsTextAndKeepsItsFrameClear) {
    chart->Title().SetVisible(true);
    chart->Title().SetText({"abc"});
    chart->Title().Frame().SetVisible(true);
    Render();
    const int top = chart->PlotRect().Top;
    bool framed = false;
    for (const Record* r : canvas.Find(Op::Rectangle)) {
        // Width: widest line + "W"; centred; one frame pixel around the text rows 9..21.
        if (r->rect == (TRect{144 - 11, 8, 144 - 11 + 23, 8 + 1 + 13 + 1})) {
            framed = true;
        }
    }
    EXPECT_TRUE(framed);
    EXPECT_EQ(top, 8 + 1 + 13 + 1 + 5);
}

TEST_F(Layout, FootTextEndsAtThePlotBottom) {
    chart->SetAxisVisible(false);
    chart->Foot().SetText({"one", "two"});
    Render();
    EXPECT_EQ(canvas.FindText("one")->to.Y, 200 - 2 * 13);
    EXPECT_EQ(canvas.FindText("two")->to.Y, 200 - 13);
    EXPECT_EQ(chart->PlotRect().Bottom, 200 - 2 * 13 - 5);
}

TEST_F(Layout, RaisedBevelHighlightsTopLeftAndShadowsBottomRight) {
    Render();
    const auto fills = canvas.Find(Op::FillRect);
    ASSERT_GE(fills.size(), 5u);
    EXPECT_EQ(fills[1]->rect, (TRect{0, 0, 289, 1}));
    EXPECT_EQ(fills[1]->brush.Color, clBtnHighlight);
    EXPECT_EQ(fills[3]->rect, (TRect{0, 207, 289, 208}));
    EXPECT_EQ(fills[3]->brush.Color, clBtnShadow);
}

TEST_F(Layout, StateIsResetAfterDrawing) {
    Render();
    EXPECT_EQ(canvas.Pen().Color, clBlack);
    EXPECT_EQ(canvas.Pen().Style, TPenStyle::Solid);
    EXPECT_EQ(canvas.Brush().Color, clWhite);
    EXPECT_EQ(canvas.Brush().Style, bsSolid);
    EXPECT_EQ(canvas.Font().Size, 10);
}

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

TEST_F(Layout, ClipSwitchesForPrintingAndPictures) {
    series.measured->AddPoint(1, 1);
    struct Row {
        const char* name;
        bool printing;
        bool clipWhenPrinting;
        std::size_t clips;
    };
    const Row rows[] = {
        {"screen", false, false, 1},
        {"printing with clipping", true, true, 1},
        {"printing without clipping", true, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        chart->ClipWhenPrinting = row.clipWhenPrinting;
        canvas.Clear();
        if (row.printing) {
            chart->DrawToForeignCanvas(canvas, chart->ClientRect(), TRenderTarget::Printer);
        } else {
            Render();
        }
        EXPECT_EQ(canvas.Find(Op::Clip).size(), row.clips);
    }
    chart->ClipWhenMetafiling = false;
    RecordingCanvas picture;
    chart->DrawToForeignCanvas(picture, chart->ClientRect());
    EXPECT_TRUE(picture.Find(Op::Clip).empty());
}

TEST_F(Layout, ClickedPartFindsAxesTitleAndPlot) {
    series.measured->AddPoint(0, 0);
    series.measured->AddPoint(10, 10);
    chart->Title().SetVisible(true);
    chart->Title().SetText({"title"});
    Render();
    const TChartAxis& left = chart->LeftAxis();
    TClickedPart part = chart->ClickedPart(Shown(left).AxisLinePos - 3, left.Scale().CenterPixel());
    EXPECT_EQ(part.Part, cpAxis);
    EXPECT_EQ(part.Axis, &chart->LeftAxis());
    EXPECT_EQ(chart
                  ->ClickedPart(chart->BottomAxis().Scale().CenterPixel(),
                                Shown(chart->BottomAxis()).AxisLinePos + 5)
                  .Axis,
              &chart->BottomAxis());
    EXPECT_EQ(chart->ClickedPart(100, 10).Part, cpTitle);
    EXPECT_EQ(chart->ClickedPart(chart->PlotXCenter(), chart->PlotYCenter() + 20).Part, cpChartRect);
    EXPECT_EQ(chart->ClickedPart(1, 1).Part, cpNone);
    // Without active series the plot is not a part.
    series.measured->SetActive(false);
    series.curve->SetActive(false);
    series.evaluated->SetActive(false);
    EXPECT_EQ(chart->ClickedPart(chart->PlotXCenter(), chart->PlotYCenter() + 20).Part, cpNone);
}

}  // namespace
}  // namespace quorvel::testing
