#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "chart/chart_exceptions.h"
#include "chart/chart_fixture.h"
#include "chart/label_thinning.h"
#include "runtime/number_text.h"

namespace quorvel::testing {
namespace {

// Label steps straight from the measured label size and the pixel span (13-pixel labels on a vertical axis).
TEST(AxisSteps, LabelIncrementTable) {
    struct Row {
        const char* name;
        double min;
        double max;
        int pixels;
        double increment;
        double step;
    };
    const Row rows[] = {
        {"0..10 on 200 px", 0, 10, 200, 0, 1},
        {"0..100 on 200 px", 0, 100, 200, 0, 10},
        {"0..1 on 200 px", 0, 1, 200, 0, 1},
        {"0..0.5 on 200 px", 0, 0.5, 200, 0, 0.05},
        {"0..1000 on 50 px", 0, 1000, 50, 0, 500},
        {"fixed increment kept when it fits", 0, 10, 200, 2, 2},
        {"fixed increment grows when too dense", 0, 10, 50, 1, 5},
        {"axis shorter than half a label", 0, 10, 6, 0, 1e-12},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TChart chart;
        RecordingCanvas canvas;
        TRenderContext context(&canvas, TRenderTarget::Screen);
        context.Axis(akLeft).Scale = TScaleMap{row.min, row.max, 0, row.pixels, false};
        TChartAxis& axis = chart.LeftAxis();
        axis.SetIncrement(row.increment);
        EXPECT_NEAR(axis.LabelIncrement(context), row.step, row.step * 1e-9);
    }
}

TEST(AxisSteps, NextNiceStepRunsOneTwoFive) {
    struct Row {
        double in;
        double out;
    };
    for (const Row& r : {Row{1, 2}, Row{2, 5}, Row{5, 10}, Row{10, 20}, Row{20, 50}, Row{0.5, 1},
                         Row{0.2, 0.5}, Row{0.1, 0.2}}) {
        EXPECT_NEAR(TAxisScale::NextNiceStep(r.in), r.out, r.out * 1e-12) << r.in;
    }
}

// Point labels along an axis: each drawn only where it keeps clear of the label drawn last by the
// separation, which counts from the second label on.
TEST(LabelThinning, WhichLabelsAreDrawnTable) {
    struct Label {
        int p;
        int extent;
    };
    struct Row {
        const char* name;
        int separation;
        std::vector<Label> labels;
        std::vector<int> drawn;
    };
    const Row rows[] = {
        // Separation 10 adds a fifth of a label's width: half widths the first 20 / 2 = 10, later
        // (20 + 4) / 2 = 12.
        {"separation 10, rightwards", 10, {{0, 20}, {21, 20}, {22, 20}, {45, 20}, {46, 20}}, {0, 22, 46}},
        {"separation 10, leftwards", 10, {{100, 20}, {79, 20}, {78, 20}}, {100, 78}},
        // (23 + trunc(4.6)) / 2 = 13 after the first 23 / 2 = 11: the second needs 11 + 13.
        {"odd widths truncate", 10, {{0, 23}, {23, 23}, {24, 23}}, {0, 24}},
        {"no separation lets labels overlap", 0, {{0, 20}, {1, 20}, {2, 20}}, {0, 1, 2}},
        {"a narrow label fits closer", 10, {{0, 20}, {12, 2}, {15, 20}}, {0, 12}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TLabelThinning thinning(row.separation);
        std::vector<int> drawn;
        for (const Label& label : row.labels) {
            const int half = thinning.HalfWidth(label.extent);
            if (thinning.Fits(label.p, half)) {
                thinning.Place(label.p, half);
                drawn.push_back(label.p);
            }
        }
        EXPECT_EQ(drawn, row.drawn);
    }
}

// The early answers agree with the rule: inside the last label's span nothing fits, and a layout whose
// narrowest label does not fit is passed over, its narrowest width measured once.
TEST(LabelThinning, EarlyAnswersAgreeWithTheRule) {
    TLabelThinning thinning(10);
    EXPECT_FALSE(thinning.Covered(0));
    thinning.Place(100, 10);
    EXPECT_EQ(thinning.LastSpanEnd(), 110);
    for (int p = 85; p <= 115; ++p) {
        const bool covered = p > 90 && p < 110;
        EXPECT_EQ(thinning.Covered(p), covered) << p;
        if (covered) {
            EXPECT_FALSE(thinning.Fits(p, 0)) << p;
        }
    }
    int measured = 0;
    const auto narrowest = [&measured](int width) {
        return [&measured, width] {
            ++measured;
            return width;
        };
    };
    // Narrowest 20: a half width of 12 needs 122 on the right.
    EXPECT_TRUE(thinning.ShapeCannotFit(121, 7, narrowest(20)));
    EXPECT_FALSE(thinning.ShapeCannotFit(122, 7, narrowest(20)));
    EXPECT_TRUE(thinning.ShapeCannotFit(79, 7, narrowest(99)));
    EXPECT_EQ(measured, 1);
    // No layout, or one the canvas cannot tell, never rules a label out.
    EXPECT_FALSE(thinning.ShapeCannotFit(101, 0, narrowest(20)));
    EXPECT_FALSE(thinning.ShapeCannotFit(121, 8, narrowest(-1)));
    EXPECT_EQ(measured, 2);
    // More layouts than the table holds still get the right answers: odd ones are narrow enough.
    for (std::uint32_t shape = 100; shape < 300; ++shape) {
        const int width = shape % 2 == 1 ? 2 : 20;
        EXPECT_EQ(thinning.ShapeCannotFit(121, shape, narrowest(width)), shape % 2 == 0) << shape;
        EXPECT_FALSE(thinning.ShapeCannotFit(140, shape, narrowest(width))) << shape;
    }
    // Without separation every label fits, and nothing is measured.
    TLabelThinning touching(0);
    touching.Place(100, 10);
    EXPECT_FALSE(touching.Covered(100));
    EXPECT_FALSE(touching.ShapeCannotFit(100, 7, narrowest(20)));
}

class AxisDrawing : public FormChartTest {
protected:
    std::vector<std::string> LeftLabels() {
        std::vector<std::string> out;
        for (const Record* r : canvas.Find(Op::Text)) {
            if ((r->align & taHorizontalMask) == taRight) {
                out.push_back(r->text);
            }
        }
        return out;
    }
};

TEST_F(AxisDrawing, EmptyChartShowsOneZeroLabelAtTheCentre) {
    Render();
    const TChartAxis& left = chart->LeftAxis();
    EXPECT_EQ(left.Scale().RangeMin, 0);
    EXPECT_EQ(left.Scale().RangeMax, 0);
    EXPECT_EQ(LeftLabels(), (std::vector<std::string>{"0"}));
    const Record* zero = nullptr;
    for (const Record* r : canvas.Find(Op::Text)) {
        if ((r->align & taHorizontalMask) == taRight) {
            zero = r;
        }
    }
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(left.ValueToPixel(0), left.Scale().CenterPixel());
    EXPECT_EQ(zero->to.Y, left.Scale().CenterPixel() - RecordingCanvas::kLineHeight / 2);
    EXPECT_EQ(zero->to.X, Shown(left).LabelsPos);
}

TEST_F(AxisDrawing, FixedRangeLabelsRunFromTopToBottomCentredOnTicks) {
    series.measured->AddPoint(0, 0);
    chart->LeftAxis().SetMinMax(0, 10);
    Render();
    const TChartAxis& left = chart->LeftAxis();
    ASSERT_GT(left.Scale().PixelSpan(), 150);
    EXPECT_EQ(LeftLabels(),
              (std::vector<std::string>{"10", "9", "8", "7", "6", "5", "4", "3", "2", "1", "0"}));
    for (const Record* r : canvas.Find(Op::Text)) {
        if ((r->align & taHorizontalMask) == taRight) {
            const int p = left.ValueToPixel(std::stod(r->text));
            EXPECT_EQ(r->to.Y, p - 6) << r->text;
        }
    }
}

TEST_F(AxisDrawing, RoundFirstLabelTable) {
    struct Row {
        const char* name;
        double min;
        double max;
        double step;
        bool round;
        std::vector<std::string> labels;
    };
    const Row rows[] = {
        {"9.7 step 2 starts at 8", 0, 9.7, 2, true, {"8", "6", "4", "2", "0"}},
        {"-3.5 step 1 starts at -4", -7, -3.5, 1, true, {"-4", "-5", "-6", "-7"}},
        {"without rounding the top is first", 0, 9.7, 2, false, {"9.7", "7.7", "5.7", "3.7", "1.7"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        series.measured->AddPoint(0, 0);
        chart->LeftAxis().SetMinMax(row.min, row.max);
        chart->LeftAxis().SetIncrement(row.step);
        chart->LeftAxis().SetRoundFirstLabel(row.round);
        Render();
        EXPECT_EQ(LeftLabels(), row.labels);
    }
}

TEST_F(AxisDrawing, MappingRoundTripsAndInvertsConsistently) {
    series.measured->AddPoint(0, 0);
    series.measured->AddPoint(100, 50);
    Render();
    for (TChartAxis* axis : {&chart->BottomAxis(), &chart->LeftAxis()}) {
        for (bool inverted : {false, true}) {
            axis->SetInverted(inverted);
            for (int p = axis->Scale().StartPixel; p <= axis->Scale().EndPixel; p += 7) {
                EXPECT_EQ(axis->ValueToPixel(axis->PixelToValue(p)), p) << p << (inverted ? " inverted" : "");
            }
        }
        axis->SetInverted(false);
    }
    const TChartAxis& left = chart->LeftAxis();
    EXPECT_EQ(left.ValueToPixel(left.Scale().RangeMax), left.Scale().StartPixel);
    EXPECT_EQ(left.ValueToPixel(left.Scale().RangeMin), left.Scale().EndPixel);
}

// Series3's size-3 triangles ask 4 pixels on every side, Series1's squares 3: the data ends sit 4 pixels in.
TEST_F(AxisDrawing, MarginsKeepDataFourPixelsInside) {
    series.measured->AddPoint(1, 10);
    series.measured->AddPoint(9, 30);
    Render();
    const TChartAxis& bottom = chart->BottomAxis();
    const TChartAxis& left = chart->LeftAxis();
    EXPECT_EQ(bottom.Minimum(), 1);
    EXPECT_EQ(bottom.Maximum(), 9);
    EXPECT_EQ(bottom.ValueToPixel(1), bottom.Scale().StartPixel + 4);
    EXPECT_EQ(bottom.ValueToPixel(9), bottom.Scale().EndPixel - 4);
    EXPECT_EQ(left.ValueToPixel(30), left.Scale().StartPixel + 4);
    EXPECT_EQ(left.ValueToPixel(10), left.Scale().EndPixel - 4);
    const double perPixel = 8.0 / (bottom.Scale().PixelSpan() - 8);
    EXPECT_NEAR(bottom.Scale().RangeMin, 1 - 4 * perPixel, 1e-12);
    EXPECT_NEAR(bottom.Scale().RangeMax, 9 + 4 * perPixel, 1e-12);
}

TEST_F(AxisDrawing, MarginsWithoutPointersOrOnManualEnds) {
    chart->RemoveSeries(*series.evaluated);
    series.measured->AddPoint(1, 10);
    series.measured->AddPoint(9, 30);
    chart->BottomAxis().SetAutomaticMaximum(false);
    chart->BottomAxis().SetAutomatic(false);
    chart->BottomAxis().SetMaximum(9);
    Render();
    const TChartAxis& bottom = chart->BottomAxis();
    EXPECT_EQ(bottom.ValueToPixel(1), bottom.Scale().StartPixel + 3);
    EXPECT_EQ(bottom.ValueToPixel(9), bottom.Scale().EndPixel);
}

TEST_F(AxisDrawing, MinorTicksOnlyStrictlyInside) {
    series.measured->AddPoint(0, 0);
    chart->LeftAxis().SetMinMax(0, 10);
    chart->LeftAxis().SetIncrement(5);
    Render();
    const TChartAxis& left = chart->LeftAxis();
    // Minor ticks: 2 pixels long, leftward from one pixel outside the axis line.
    std::vector<int> minor;
    std::vector<int> outer;
    for (const Record* r : canvas.Find(Op::LineTo)) {
        if (r->from.Y != r->to.Y || r->from.X != Shown(left).AxisLinePos - 1) {
            continue;
        }
        const int length = r->from.X - r->to.X;
        (length == 2 ? minor : outer).push_back(r->from.Y);
    }
    EXPECT_EQ(outer.size(), 3u);
    ASSERT_FALSE(minor.empty());
    for (int p : minor) {
        EXPECT_GT(p, left.Scale().StartPixel);
        EXPECT_LT(p, left.Scale().EndPixel);
    }
    // Labels at 10, 5, 0 lie on both ends, so no minor mark beyond them is drawn: 2 between each pair.
    EXPECT_EQ(minor.size(), 4u);
}

TEST_F(AxisDrawing, TickAndLabelBandsAndTheAxisLine) {
    series.measured->AddPoint(0, 0, "0");
    series.measured->AddPoint(10, 10, "10");
    Render();
    const TChartAxis& left = chart->LeftAxis();
    const TChartAxis& bottom = chart->BottomAxis();
    const TRect& plot = chart->PlotRect();
    // Bottom: 13-pixel label band plus 2 for the axis pen; left: widest label plus a blank, plus 2 + 4.
    EXPECT_EQ(plot.Bottom, 200 - 13 - 2);
    EXPECT_EQ(Shown(bottom).LabelsPos, 200 - 13);
    EXPECT_EQ(plot.Left, Shown(left).LabelsPos + 6);
    EXPECT_EQ(Shown(left).AxisLinePos, plot.Left);
    bool axisLine = false;
    for (const Record* r : canvas.Find(Op::LineTo)) {
        if (r->pen.Width == 2 && r->from == (TPoint{plot.Left, left.Scale().StartPixel}) &&
            r->to == (TPoint{plot.Left, left.Scale().EndPixel})) {
            axisLine = true;
        }
    }
    EXPECT_TRUE(axisLine);
    // The bottom axis shows the point labels of Series1 (text style), centred on their points.
    const Record* ten = nullptr;
    for (const Record* r : canvas.Find(Op::Text)) {
        if (r->text == "10" && (r->align & taHorizontalMask) == taCenter) {
            ten = r;
        }
    }
    ASSERT_NE(ten, nullptr);
    EXPECT_EQ(ten->to, (TPoint{bottom.ValueToPixel(10), Shown(bottom).LabelsPos}));
}

TEST_F(AxisDrawing, OverlappingPointLabelsAreSkippedWithTheirTicks) {
    chart->BottomAxis().SetTickLength(3);
    series.measured->AddPoint(0, 0, "1000000");
    series.measured->AddPoint(0.1, 1, "2000000");
    series.measured->AddPoint(10, 2, "3000000");
    Render();
    std::vector<std::string> bottomTexts;
    for (const Record* r : canvas.Find(Op::Text)) {
        if ((r->align & taHorizontalMask) == taCenter) {
            bottomTexts.push_back(r->text);
        }
    }
    EXPECT_EQ(bottomTexts, (std::vector<std::string>{"1000000", "3000000"}));
    int ticks = 0;
    for (const Record* r : canvas.Find(Op::LineTo)) {
        if (r->from.X == r->to.X && r->from.Y == Shown(chart->BottomAxis()).AxisLinePos + 1) {
            ++ticks;
        }
    }
    EXPECT_EQ(ticks, 2);

    // Labels made from X for many crowded points: the same labels as when a hook hears of every point,
    // and those inside a drawn label's span are not made.
    series.measured->ClearPoints();
    int made = 0;
    series.measured->SetLabelOfX([&made](double x) {
        ++made;
        return std::to_string(static_cast<int>(x * 1000)) + "0000";
    });
    for (int i = 0; i <= 10000; ++i) {
        series.measured->AddPoint(i / 1000.0, i % 7);
    }
    const auto drawnLabels = [this] {
        canvas.Clear();
        Render();
        std::vector<std::string> texts;
        for (const Record* r : canvas.Find(Op::Text)) {
            if ((r->align & taHorizontalMask) == taCenter) {
                texts.push_back(r->text);
            }
        }
        return texts;
    };
    const std::vector<std::string> lazily = drawnLabels();
    EXPECT_LT(made, 10001);
    ASSERT_GT(lazily.size(), 3u);
    EXPECT_EQ(lazily.front(), "00000");
    chart->OnGetAxisLabel = [](TChartAxis&, TChartSeries*, int, std::string&) {};
    EXPECT_EQ(drawnLabels(), lazily);
    // Labels of varying widths, so that a narrow one fits soon after the span of the one drawn before.
    series.measured->SetLabelOfX([](double x) {
        const int i = static_cast<int>(std::lround(x * 1000));
        return i % 13 == 0 ? std::string(1, static_cast<char>('0' + i % 10)) : std::to_string(i) + "0000";
    });
    // Also where the axis is inverted, X then growing leftwards.
    for (const bool inverted : {false, true}) {
        SCOPED_TRACE(inverted);
        chart->BottomAxis().SetInverted(inverted);
        chart->OnGetAxisLabel = [](TChartAxis&, TChartSeries*, int, std::string&) {};
        const std::vector<std::string> hooked = drawnLabels();
        ASSERT_GT(hooked.size(), 3u);
        chart->OnGetAxisLabel = nullptr;
        EXPECT_EQ(drawnLabels(), hooked);
    }
    // Numbers measured by their layouts, not made: the same labels. Their widths vary with the digits a
    // value needs ("-4.99", "-4.998", "-5"), its sign and its exponent form.
    chart->BottomAxis().SetInverted(false);
    series.measured->ClearPoints();
    series.measured->SetLabelOfX([](double x) { return NumberToText(x); },
                                 [](double x) { return NumberTextShape(x); });
    for (int i = 0; i <= 10000; ++i) {
        series.measured->AddPoint(i == 7000 ? 2e-5 : i == 7400 ? 1.0 / 3 : (i - 5000) / 1000.0, i % 7);
    }
    chart->OnGetAxisLabel = [](TChartAxis&, TChartSeries*, int, std::string&) {};
    const std::vector<std::string> everyLabelMade = drawnLabels();
    ASSERT_GT(everyLabelMade.size(), 3u);
    chart->OnGetAxisLabel = nullptr;
    EXPECT_EQ(drawnLabels(), everyLabelMade);
}

TEST_F(AxisDrawing, AxisLabelHookReplacesTexts) {
    series.measured->AddPoint(0, 0);
    chart->LeftAxis().SetMinMax(0, 2);
    chart->LeftAxis().SetIncrement(1);
    chart->OnGetAxisLabel = [](TChartAxis&, TChartSeries*, int, std::string& text) {
        text = "<" + text + ">";
    };
    Render();
    EXPECT_EQ(LeftLabels(), (std::vector<std::string>{"<2>", "<1>", "<0>"}));
}

TEST(AxisSettings, InvalidSettingsAreRefused) {
    TChart chart;
    try {
        chart.LeftAxis().SetIncrement(-1);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "Axis increment must be >= 0");
    }
    try {
        chart.LeftAxis().SetLabelsSeparation(-1);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "Labels Separation % must be greater than 0");
    }
    EXPECT_EQ(chart.LeftAxis().Increment(), 0);
    EXPECT_EQ(chart.LeftAxis().LabelsSeparation(), 10);
}

TEST(AxisRange, SetMinMaxOrdersItsEndsAndWidensAnEmptyRange) {
    TChart chart;
    TChartAxis& a = chart.BottomAxis();
    a.SetMinMax(5, 2);
    EXPECT_FALSE(a.Automatic() || a.AutomaticMinimum() || a.AutomaticMaximum());
    EXPECT_EQ(a.Minimum(), 2);
    EXPECT_EQ(a.Maximum(), 5);
    a.SetMinMax(1, 1);
    EXPECT_EQ(a.Maximum(), 1 + 1e-10);
}

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

TEST_F(AxisDrawing, LeftGridIsDottedGrayAcrossThePlotAtEachLabel) {
    series.measured->AddPoint(0, 0);
    chart->LeftAxis().SetMinMax(0, 4);
    chart->LeftAxis().SetIncrement(2);
    Render();
    const TRect& plot = chart->PlotRect();
    std::vector<int> rows;
    for (const Record* r : canvas.Find(Op::LineTo)) {
        if (r->pen.Style == TPenStyle::Dot) {
            EXPECT_EQ(r->from.X, plot.Left);
            EXPECT_EQ(r->to.X, plot.Right);
            EXPECT_EQ(r->pen.Color, clGray);
            rows.push_back(r->from.Y);
        }
    }
    const TChartAxis& left = chart->LeftAxis();
    EXPECT_EQ(rows, (std::vector<int>{left.ValueToPixel(4), left.ValueToPixel(2), left.ValueToPixel(0)}));
}

TEST_F(AxisDrawing, ASeriesOnTheRightAxisMakesItReserveItsSide) {
    Render();
    const int right = chart->PlotRect().Right;
    series.evaluated->SetVertAxis(aRightAxis);
    series.evaluated->AddPoint(1, 100, "1");
    series.measured->AddPoint(1, 1);
    Render();
    EXPECT_LT(chart->PlotRect().Right, right);
    EXPECT_EQ(chart->RightAxis().Scale().RangeMin, 100);
    EXPECT_EQ(Shown(chart->RightAxis()).AxisLinePos, chart->PlotRect().Right);
    // Its labels are left-aligned at the band's inner edge.
    bool leftAligned = false;
    for (const Record* r : canvas.Find(Op::Text)) {
        leftAligned =
            leftAligned || (r->align == (taLeft | taTop) && r->to.X == Shown(chart->RightAxis()).LabelsPos);
    }
    EXPECT_TRUE(leftAligned);
    // All points at one value: a single label.
    int hundreds = 0;
    for (const Record* r : canvas.Find(Op::Text)) {
        hundreds += r->text == "100" ? 1 : 0;
    }
    EXPECT_EQ(hundreds, 1);
}

TEST(AxisMapping, PixelSpanFollowsStartAndEndPositions) {
    TChart chart;
    RecordingCanvas canvas;
    chart.SetAxisVisible(false);
    chart.SetBufferedPaint(false);
    chart.BottomAxis().SetStartPosition(10);
    chart.BottomAxis().SetEndPosition(90);
    chart.SetBounds(0, 0, 300, 200);
    chart.PaintTo(canvas, chart.ClientRect());
    const TRect& plot = chart.PlotRect();
    const TChartAxis& b = chart.BottomAxis();
    EXPECT_EQ(b.Scale().StartPixel, plot.Left + RoundToInt(plot.Width() * 0.1));
    EXPECT_EQ(b.Scale().EndPixel, plot.Left + RoundToInt(plot.Width() * 0.9));
}

TEST(AxisMapping, EmptyRangeMapsToTheCentreAndNarrowSpansCollapse) {
    const TScaleMap empty{5, 5, 10, 30};
    EXPECT_EQ(empty.ToPixel(5), 20);
    EXPECT_EQ(empty.ToPixel(1e9), 20);
    EXPECT_EQ(empty.ToPixelUnrounded(-3), 20);
    EXPECT_EQ(empty.ToValue(12), 5);
    EXPECT_EQ((TScaleMap{5, 6, 10, 10}.ToValue(12)), 0);
    // The axis answers with the scale the screen's last rendering laid out: a chart without points has an
    // empty range.
    TChart chart;
    RecordingCanvas canvas;
    chart.SetBufferedPaint(false);
    chart.PaintTo(canvas, chart.ClientRect());
    const TChartAxis& a = chart.BottomAxis();
    EXPECT_EQ(a.Scale().RangeSpan(), 0);
    EXPECT_GT(a.Scale().PixelSpan(), 0);
    EXPECT_EQ(a.ValueToPixel(1e9), a.Scale().CenterPixel());
    EXPECT_EQ(a.PixelToValue(a.Scale().StartPixel), 0);
}

TEST(AxisMapping, FarValuesLandFarOutOnTheirOwnSide) {
    struct Row {
        const char* name;
        bool vertical;
        bool inverted;
        double value;
        int pixel;
    };
    // Range 0..1 on pixels 10..30: beyond the int range, and just inside it, the pixel stays on the
    // value's side, never at the centre 20.
    const Row rows[] = {
        {"far right", false, false, 1e300, kFarPixel},
        {"far left", false, false, -1e300, -kFarPixel},
        {"beyond 2^30 only", false, false, 6e7, kFarPixel},
        {"just inside", false, false, 1e7, 10 + 200000000},
        {"far up", true, false, 1e300, -kFarPixel},
        {"far down", true, false, -1e300, kFarPixel},
        {"inverted far right", false, true, 1e300, -kFarPixel},
        {"inverted far up", true, true, 1e300, kFarPixel},
        {"infinity", false, false, HUGE_VAL, kFarPixel},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ((TScaleMap{0, 1, 10, 30, !row.vertical, row.inverted}.ToPixel(row.value)), row.pixel);
    }
}

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

TEST_F(AxisDrawing, NextLabelHookPlacesValueLabels) {
    series.measured->AddPoint(0, 0);
    chart->LeftAxis().SetMinMax(0, 10);
    chart->OnGetNextAxisLabel = [](TChartAxis& axis, int index, double& value, bool& stop) {
        const double values[] = {1.5, 20, 7};
        stop = !(axis.Kind() == akLeft && index < 3);
        if (!stop) {
            value = values[index];
        }
    };
    Render();
    EXPECT_EQ(LeftLabels(), (std::vector<std::string>{"1.5", "7"}));
}

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

// Values no table would hold still must not hang or crash the paint.
TEST_F(AxisDrawing, ExtremeValuesPaintWithoutHanging) {
    struct Row {
        const char* name;
        double y0;
        double y1;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {"infinity", 0, inf},
        {"not a number", 0, std::nan("")},
        {"neighbours near 1e20", 1e20, std::nextafter(1e20, 2e20)},
        {"the whole double range", -1.7e308, 1.7e308},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        series.measured->AddPoint(0, row.y0, "0");
        series.measured->AddPoint(1, row.y1, "1");
        Render();
        EXPECT_LE(LeftLabels().size(), 10001u);
    }
}

}  // namespace
}  // namespace quorvel::testing
