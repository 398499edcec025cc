#include <gtest/gtest.h>

#include <vector>

#include "chart/chart_exceptions.h"
#include "chart/chart_fixture.h"

namespace quorvel::testing {
namespace {

// A rendering's context onto canvas with the bottom and left axes on a 1:1 mapping: value v sits at
// pixel v (y grows downward from 200).
TRenderContext IdentityAxes(TCanvas* canvas) {
    TRenderContext context(canvas, TRenderTarget::Screen);
    context.Axis(akBottom).Scale = TScaleMap{0, 200, 0, 200, true};
    context.Axis(akLeft).Scale = TScaleMap{0, 200, 0, 200, false};
    return context;
}

TEST(PointerShapes, GeometryTable) {
    struct Row {
        const char* name;
        TSeriesPointerStyle style;
        int size;
        Op op;
        TRect rect;
        std::vector<TPoint> points;
    };
    const Row rows[] = {
        {"rectangle 2 covers 5 x 5", TSeriesPointerStyle::Rectangle, 2, Op::Rectangle, {98, 48, 103, 53}, {}},
        {"triangle 3 apex up",
         TSeriesPointerStyle::Triangle,
         3,
         Op::Polygon,
         {},
         {{97, 53}, {103, 53}, {100, 47}}},
        {"down triangle",
         TSeriesPointerStyle::DownTriangle,
         3,
         Op::Polygon,
         {},
         {{97, 47}, {103, 47}, {100, 53}}},
        {"diamond",
         TSeriesPointerStyle::Diamond,
         2,
         Op::Polygon,
         {},
         {{98, 50}, {100, 48}, {102, 50}, {100, 52}}},
        {"circle", TSeriesPointerStyle::Circle, 2, Op::Ellipse, {98, 48, 102, 52}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TPointSeries s;
        s.Pointer().SetHorizSize(row.size);
        s.Pointer().SetVertSize(row.size);
        RecordingCanvas canvas;
        TChartCanvas c(&canvas);
        s.Pointer().DrawPointer(c, 100, 50, clRed, row.style);
        ASSERT_EQ(canvas.records.size(), 1u);
        EXPECT_EQ(canvas.records[0].op, row.op);
        if (row.op == Op::Polygon) {
            EXPECT_EQ(canvas.records[0].points, row.points);
        } else {
            EXPECT_EQ(canvas.records[0].rect, row.rect);
        }
    }
}

TEST(PointerShapes, PenAndBrushTakeThePointColourWhereAutomatic) {
    TPointSeries s;
    RecordingCanvas canvas;
    TChartCanvas c(&canvas);
    s.Pointer().PreparePointerCanvas(c, clBlue);
    EXPECT_EQ(canvas.Brush().Color, clBlue);
    EXPECT_EQ(canvas.Pen().Color, clBlack);
    s.Pointer().Pen().SetVisible(false);
    s.Pointer().Brush().SetColor(clLime);
    s.Pointer().PreparePointerCanvas(c, clBlue);
    EXPECT_EQ(canvas.Brush().Color, clLime);
    EXPECT_EQ(canvas.Pen().Style, TPenStyle::Clear);
    s.Pointer().DrawPointer(c, 5, 5, clRed, TSeriesPointerStyle::SmallDot);
    EXPECT_EQ(canvas.records.back().op, Op::Pixel);
    EXPECT_EQ(canvas.records.back().color, clRed);
}

TEST(PointerShapes, SizeBelowOneIsRefused) {
    TPointSeries s;
    s.Pointer().SetHorizSize(2);
    try {
        s.Pointer().SetHorizSize(0);
        FAIL();
    } catch (const ChartException& e) {
        EXPECT_STREQ(e.what(), "Pointer size must be greater than zero");
    }
    EXPECT_THROW(s.Pointer().SetVertSize(-3), ChartException);
    EXPECT_EQ(s.Pointer().HorizSize(), 2);
}

class SeriesDrawing : public FormChartTest {};

TEST_F(SeriesDrawing, MeasuredPointsAreBorderlessSquaresInTheirOwnColours) {
    series.measured->AddPoint(1, 1, "1", clBlue);
    series.measured->AddPoint(2, 4, "2", clPurple);
    Render();
    std::vector<TColor> fills;
    for (const Record* r : canvas.Find(Op::Rectangle)) {
        if (r->rect.Width() == 5 && r->rect.Height() == 5) {
            fills.push_back(r->brush.Color);
            EXPECT_EQ(r->pen.Style, TPenStyle::Clear);
        }
    }
    EXPECT_EQ(fills, (std::vector<TColor>{clBlue, clPurple}));
    // Points are clipped to the plot rectangle, the clip removed afterwards.
    EXPECT_EQ(canvas.Find(Op::Clip).size(), 1u);
    EXPECT_EQ(canvas.Find(Op::Clip)[0]->rect, chart->PlotRect());
}

TEST_F(SeriesDrawing, EvaluatedPointIsALimeTriangleWithBlackOutline) {
    series.measured->AddPoint(0, 0);
    series.measured->AddPoint(10, 10);
    series.evaluated->AddPoint(5, 5, "5", clRed);
    Render();
    const auto polygons = canvas.Find(Op::Polygon);
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_EQ(polygons[0]->brush.Color, clLime);
    EXPECT_EQ(polygons[0]->pen.Color, clBlack);
    const int x = chart->BottomAxis().ValueToPixel(5);
    const int y = chart->LeftAxis().ValueToPixel(5);
    EXPECT_EQ(polygons[0]->points[2], (TPoint{x, y - 3}));
}

TEST_F(SeriesDrawing, FastLineSkipsRepeatedPixelsAndOnePointIsAMoveOnly) {
    series.measured->AddPoint(0, 0);
    series.measured->AddPoint(100, 100);
    series.curve->AddPoint(10, 10);
    Render();
    auto greenLines = [&] {
        int n = 0;
        for (const Record* r : canvas.Find(Op::LineTo)) {
            if (r->pen.Color == clGreen) {
                ++n;
            }
        }
        return n;
    };
    EXPECT_EQ(greenLines(), 0);
    series.curve->AddPoint(10.0001, 10.0001);  // the same pixel
    series.curve->AddPoint(50, 60);
    Render();
    EXPECT_EQ(greenLines(), 1);
}

TEST_F(SeriesDrawing, EmptySeriesDrawNothingAndNoMarks) {
    series.measured->Marks().SetVisible(true);
    Render();
    EXPECT_TRUE(canvas.Find(Op::Polygon).empty());
    EXPECT_EQ(series.measured->FirstVisible(), -1);
    EXPECT_TRUE(canvas.Find(Op::Clip).empty());
}

TEST_F(SeriesDrawing, PointsLeftOfTheRangeAreNotVisible) {
    series.measured->AddPoint(1, 1);
    series.measured->AddPoint(2, 2);
    series.curve->AddPoint(-10, 0);
    chart->BottomAxis().SetMinMax(0, 5);
    Render();
    EXPECT_EQ(series.curve->FirstVisible(), -1);
    EXPECT_EQ(series.measured->FirstVisible(), 0);
    EXPECT_EQ(series.measured->LastVisible(), 1);
}

TEST_F(SeriesDrawing, MarkBoxAndArrowGeometry) {
    TPointSeries& s = *series.measured;
    s.AddPoint(100, 12.5);  // "12.5": a 20-pixel text
    TRenderContext context = IdentityAxes(&canvas);
    context.SetVisible(s, 0, 0);
    context.Axis(akLeft).Scale = TScaleMap{-87.5, 112.5, 0, 200, false};
    ASSERT_EQ(s.CalcXPos(context, 0), 100);
    ASSERT_EQ(s.CalcYPos(context, 0), 100);
    s.DrawMarks(context);
    const auto boxes = canvas.Find(Op::Rectangle);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->rect, (TRect{85, 78, 115, 93}));
    EXPECT_EQ(boxes[0]->brush.Color, kMarkBackColor);
    const auto arrows = canvas.Find(Op::LineTo);
    ASSERT_EQ(arrows.size(), 1u);
    EXPECT_EQ(arrows[0]->from, (TPoint{100, 100}));
    EXPECT_EQ(arrows[0]->to, (TPoint{100, 92}));
    const Record* text = canvas.FindText("12.5");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->to, (TPoint{100, 79}));
    EXPECT_EQ(text->align, static_cast<unsigned>(taCenter | taTop));
    ASSERT_EQ(s.Marks().Positions().size(), 1u);
    EXPECT_EQ(s.Marks().Positions()[0].LeftTop, (TPoint{85, 78}));
    s.ClearPoints();
    EXPECT_TRUE(s.Marks().Positions().empty());
}

TEST_F(SeriesDrawing, MarkTextStyles) {
    struct Row {
        const char* name;
        TSeriesMarksStyle style;
        const char* label;
        const char* text;
    };
    const Row rows[] = {
        {"value", smsValue, "lbl", "3.5"},
        {"label", smsLabel, "lbl", "lbl"},
        {"label falls back to value", smsLabel, "", "3.5"},
        {"label and value", smsLabelValue, "2", "2 3.5"},
        {"empty label shows the value twice", smsLabelValue, "", "3.5 3.5"},
        {"x value through the axis format", smsXValue, "", "1,234.5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        series.evaluated->ClearPoints();
        series.evaluated->AddPoint(1234.5, 3.5, row.label);
        series.evaluated->Marks().SetStyle(row.style);
        EXPECT_EQ(series.evaluated->MarkText(0), row.text);
    }
    series.evaluated->OnGetMarkText = [](TChartSeries&, int, std::string& t) { t += "!"; };
    EXPECT_EQ(series.evaluated->MarkText(0), "1,234.5!");
}

TEST_F(SeriesDrawing, ArrowAvoidsThePointAndChartColours) {
    struct Row {
        const char* name;
        TColor arrow;
        TColor point;
        TColor chartColor;
        TColor drawn;
    };
    const Row rows[] = {
        {"own colour kept", clYellow, clRed, clBtnFace, clYellow},
        {"same as point: black", clRed, clRed, clBtnFace, clBlack},
        {"same as chart: black", clWhite, clBlue, clWhite, clBlack},
        {"on a black chart: white", clBlack, clBlue, clBlack, clWhite},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        canvas.Clear();
        TChartCanvas c(&canvas);
        TSeriesMarks marks(nullptr);
        marks.Arrow().SetColor(row.arrow);
        TSeriesMarkPosition pos;
        pos.ArrowFrom = TPoint{10, 10};
        pos.ArrowTo = TPoint{10, 2};
        marks.DrawMarkBox(c, 0, row.point, pos, "x", row.chartColor);
        EXPECT_EQ(canvas.Find(Op::LineTo).at(0)->pen.Color, row.drawn);
    }
}

// The feed takes the measured points in the recompute's X order from anywhere in the table, with their
// deviation colours; a large table in pieces, with steps between them, gives the same series.
TEST_F(SeriesDrawing, FeedTakesTheMeasuredPointsInXOrder) {
    TRecomputeResult small;
    small.reached = rsPoints;
    small.measured = {{3, 30}, {1, 10}, {2, 20}, {1, 11}};
    small.colors = {clRed, clBlue, clPurple, clNavy};
    small.measuredByX = {1, 3, 2, 0};
    const TMeasuredInXOrder byX(small);
    ASSERT_EQ(byX.Count(), 4u);
    EXPECT_EQ(byX(1).y, 11);
    EXPECT_EQ(byX(1).color, clNavy);
    FeedFormChart(*chart, small, nullptr);
    const TChartSeries& measured = *series.measured;
    ASSERT_EQ(measured.PointCount(), 4);
    const double ys[] = {10, 11, 20, 30};
    const TColor colours[] = {clBlue, clNavy, clPurple, clRed};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(measured.YValues().ValueAt(i), ys[i]) << i;
        EXPECT_EQ(measured.PointColor(i), colours[i]) << i;
    }

    // Beyond two pieces, a point's X its table row reversed: the last row comes first.
    TRecomputeResult large;
    large.reached = rsPoints;
    const int n = 3 * static_cast<int>(kItemsPerStep) / 2 + 17;
    for (int row = 0; row < n; ++row) {
        large.measured.push_back(TDataPoint{static_cast<double>(n - row), static_cast<double>(row)});
        large.colors.push_back(row % 2 == 0 ? clRed : clBlue);
        large.measuredByX.push_back(n - 1 - row);
    }
    std::vector<double> told;
    FeedFormChart(*chart, large, nullptr, [&](double part) { told.push_back(part); });
    ASSERT_EQ(measured.PointCount(), n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(measured.XValues().ValueAt(i), i + 1) << i;
        ASSERT_EQ(measured.YValues().ValueAt(i), n - 1 - i) << i;
        ASSERT_EQ(measured.PointColor(i), (n - 1 - i) % 2 == 0 ? clRed : clBlue) << i;
    }
    EXPECT_EQ(told, (std::vector<double>{static_cast<double>(kItemsPerStep) / n}));
}

class HitTest : public FormChartTest {
protected:
    void SetUpPoints() {
        series.measured->AddPoint(0, 0);
        series.measured->AddPoint(5, 5);
        series.measured->AddPoint(10, 10);
        Render();
    }
};

TEST_F(HitTest, PointWithinOnePixelHitsTwoPixelsMisses) {
    SetUpPoints();
    TPointSeries& s = *series.measured;
    const int x = s.CalcXPos(1);
    const int y = s.CalcYPos(1);
    struct Row {
        int dx;
        int dy;
        int expected;
    };
    for (const Row& r : {Row{0, 0, 1}, Row{1, 1, 1}, Row{-1, -1, 1}, Row{1, -1, 1}, Row{2, 0, -1},
                         Row{0, 2, -1}, Row{-2, -2, -1}}) {
        EXPECT_EQ(s.PointAtPixel(chart->ScreenLayout(), x + r.dx, y + r.dy), r.expected)
            << r.dx << "," << r.dy;
    }
    const TClickedPart part = chart->ClickedPart(x + 1, y + 1);
    EXPECT_EQ(part.Part, cpSeries);
    EXPECT_EQ(part.Series, &s);
    EXPECT_EQ(part.PointIndex, 1);
}

TEST_F(HitTest, LaterSeriesAreHitFirst) {
    series.measured->AddPoint(0, 0);
    series.measured->AddPoint(5, 5);
    series.measured->AddPoint(10, 10);
    series.evaluated->AddPoint(5, 5, "5");
    Render();
    const TClickedPart part = chart->ClickedPart(series.measured->CalcXPos(1), series.measured->CalcYPos(1));
    EXPECT_EQ(part.Series, series.evaluated);
    EXPECT_EQ(part.PointIndex, 0);
}

TEST_F(HitTest, CurveHitsOnlyItsOwnRowAndNotBeyondItsEnd) {
    series.measured->AddPoint(0, 0);
    series.measured->AddPoint(10, 10);
    series.curve->AddPoint(2, 5);
    series.curve->AddPoint(8, 5);
    Render();
    TFastLineSeries& curve = *series.curve;
    const int y = curve.CalcYPos(0);
    const int x0 = curve.CalcXPos(0);
    const int x1 = curve.CalcXPos(1);
    const int mid = (x0 + x1) / 2;
    EXPECT_EQ(curve.PointAtPixel(chart->ScreenLayout(), mid, y), 0);
    EXPECT_EQ(curve.PointAtPixel(chart->ScreenLayout(), mid, y - 1), -1);
    EXPECT_EQ(curve.PointAtPixel(chart->ScreenLayout(), mid, y + 1), -1);
    EXPECT_EQ(curve.PointAtPixel(chart->ScreenLayout(), x1, y), 1);
    EXPECT_EQ(curve.PointAtPixel(chart->ScreenLayout(), x1 + 1, y), -1);
    EXPECT_EQ(curve.PointAtPixel(chart->ScreenLayout(), x0 - 1, y), -1);
    EXPECT_EQ(chart->ClickedPart(mid, y).Series, &curve);
}

TEST(PixelOnSegmentTable, Cases) {
    struct Row {
        const char* name;
        TPoint p;
        TPoint a;
        TPoint b;
        bool on;
    };
    const Row rows[] = {
        {"on a horizontal segment", {5, 0}, {0, 0}, {10, 0}, true},
        {"one row off a horizontal segment", {5, 1}, {0, 0}, {10, 0}, false},
        {"beyond the end along x", {11, 0}, {0, 0}, {10, 0}, false},
        {"before the start along x", {-1, 0}, {0, 0}, {10, 0}, false},
        {"reversed segment, inside", {5, 0}, {10, 0}, {0, 0}, true},
        {"on a diagonal", {3, 3}, {0, 0}, {10, 10}, true},
        {"next to a diagonal", {3, 4}, {0, 0}, {10, 10}, false},
        {"on a steep line", {1, 5}, {0, 0}, {2, 10}, true},
        {"zero-length segment never matches", {0, 0}, {0, 0}, {0, 0}, false},
        {"vertical segment", {4, 7}, {4, 0}, {4, 10}, true},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(PixelOnSegment(r.p, r.a, r.b), r.on) << r.name;
    }
}

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

TEST_F(SeriesDrawing, AContextWithoutACanvasMeasuresAndDrawsNothing) {
    series.measured->AddPoint(1, 2, "label");
    TRenderContext context;
    EXPECT_EQ(chart->WidestPointLabel(chart->BottomAxis(), context.Canvas), 0);
    EXPECT_GT(chart->LeftAxis().LabelIncrement(context), 0);
    context.SetVisible(*series.measured, 0, 0);
    series.measured->Marks().SetVisible(true);
    series.measured->DrawMarks(context);
    series.measured->DrawSeries(context);
    EXPECT_FALSE(context.Canvas.HasTarget());
}

}  // namespace
}  // namespace quorvel::testing
