// Printing through the printer services: the job, the mapping onto the page, the recorded picture.
#include <gtest/gtest.h>

#include <QPicture>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chart/print/chart_picture.h"
#include "chart/print/chart_printing.h"
#include "chart_sample.h"
#include "fake_printer.h"

namespace quorvel::testing {
namespace {

class PrintingTest : public ::testing::Test {
protected:
    void SetUp() override {
        chart = SampleChart();
        printer.orientation = poLandscape;
    }
    bool BackgroundDrawn() const {
        for (const Record* r : printer.canvas.Find(Op::FillRect)) {
            if (r->brush.Color == clBtnFace) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<TChart> chart;
    TChartPrintSettings settings;
    FakePrinter printer;
};

TEST_F(PrintingTest, ChartIsMappedOntoThePagePrintRectangle) {
    ASSERT_TRUE(PrintChart(*chart, settings, printer));
    EXPECT_EQ(printer.begins, 1);
    EXPECT_EQ(printer.ends, 1);
    EXPECT_EQ(printer.aborts, 0);
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 19, 15, 19}));
    ASSERT_FALSE(printer.canvas.mappings.empty());
    // The chart's 289 x 208 logical units stretched over (744, 667)-(4216, 2841).
    EXPECT_EQ(printer.canvas.mappings.front(), (TMapping{{0, 0}, {289, 208}, {0, 0}, {3472, 2174}}));
    const auto clips = printer.canvas.Find(Op::Clip);
    ASSERT_FALSE(clips.empty());
    EXPECT_EQ(clips.front()->rect, (TRect{62, 64, 351, 272}));
    // Laid out in the scaled rectangle: the back wall lies inside it.
    const auto rects = printer.canvas.Find(Op::Rectangle);
    ASSERT_FALSE(rects.empty());
    for (const Record* r : rects) {
        EXPECT_GE(r->rect.Left, 62);
        EXPECT_LE(r->rect.Right, 352);
    }
    // Printing draws neither the panel colour nor the bevels, and the screen is not left printing.
    EXPECT_FALSE(BackgroundDrawn());
    EXPECT_TRUE(ScreenDrawsBackground(*chart));
    EXPECT_TRUE(chart->ScreenBuffer().BufferedPaint);

    // The job is called by the title on the page (its first preview has an empty line first): the
    // lines printed in place of the chart's title, else the chart's visible title, else the application;
    // once it was the chart's component name "Chart1".
    const struct {
        std::vector<std::string> lines;
        bool visible;
        std::optional<TTitleLines> printed;
        const char* job;
    } titles[] = {
        {{"", "Y = 2.0000000 * X "}, true, std::nullopt, "Y = 2.0000000 * X "},
        {{"Y = 2.0000000 * X "}, false, std::nullopt, "Quorvel"},
        {{""}, true, std::nullopt, "Quorvel"},
        {{}, false, TTitleLines{"", "Y = 3.0000000 * X "}, "Y = 3.0000000 * X "},
        {{"Y = 2.0000000 * X "}, true, TTitleLines{"Y = 3.0000000 * X "}, "Y = 3.0000000 * X "},
        {{"Y = 2.0000000 * X "}, true, TTitleLines{""}, "Quorvel"},
    };
    for (const auto& t : titles) {
        chart->Title().SetText(t.lines);
        chart->Title().SetVisible(t.visible);
        ASSERT_TRUE(PrintChart(*chart, settings, printer, nullptr, t.printed));
        EXPECT_EQ(printer.title, QString(t.job));
    }
}

// The lines a print shows as the chart's title take the title's place on the page, whether the chart's
// own title is shown or not, and leave the chart's title as it was.
TEST_F(PrintingTest, PrintedTitleLinesTakeTheTitlesPlace) {
    const auto formulaTop = [&](const std::optional<TTitleLines>& printed) {
        printer.canvas.records.clear();
        EXPECT_TRUE(PrintChart(*chart, settings, printer, nullptr, printed));
        const Record* formula = printer.canvas.FindText("Y = 3");
        return formula != nullptr ? formula->to.Y : -1;
    };
    chart->Title().SetText({"own"});
    chart->Title().SetVisible(false);
    const int oneLine = formulaTop(TTitleLines{"Y = 3"});
    EXPECT_EQ(printer.canvas.FindText("own"), nullptr);
    ASSERT_GE(oneLine, 0);
    // An empty first line moves the formula one line down.
    EXPECT_EQ(formulaTop(TTitleLines{"", "Y = 3"}), oneLine + RecordingCanvas::kLineHeight);
    chart->Title().SetVisible(true);
    EXPECT_EQ(formulaTop(TTitleLines{"Y = 3"}), oneLine);
    EXPECT_EQ(printer.canvas.FindText("own"), nullptr);
    EXPECT_EQ(formulaTop(std::nullopt), -1);
    EXPECT_NE(printer.canvas.FindText("own"), nullptr);
    EXPECT_EQ(chart->Title().Text(), (std::vector<std::string>{"own"}));
    EXPECT_TRUE(chart->Title().Visible());
}

TEST_F(PrintingTest, PrintDetailEnlargesTheLogicalDrawing) {
    settings.PrintDetail = -50;
    ASSERT_TRUE(PrintChart(*chart, settings, printer));
    ASSERT_FALSE(printer.canvas.mappings.empty());
    EXPECT_EQ(printer.canvas.mappings.front().WindowExt, (TPoint{434, 312}));
    EXPECT_EQ(printer.canvas.mappings.front().ViewportExt, (TPoint{3472, 2174}));
}

TEST_F(PrintingTest, FixedMarginsAndReversedRectangles) {
    settings.PrintProportional = false;
    settings.PageMargins = TPageMargins{10, 10, 10, 10};
    ASSERT_TRUE(PrintChart(*chart, settings, printer));
    EXPECT_EQ(settings.PageMargins, (TPageMargins{10, 10, 10, 10}));
    EXPECT_EQ(printer.canvas.mappings.front().ViewportExt, (TPoint{4960 - 2 * 496, 3508 - 2 * 351}));

    PrinterCanvas canvas;
    DrawToPrinterCanvas(*chart, settings, canvas, TRect{4216, 2841, 744, 667});
    ASSERT_FALSE(canvas.mappings.empty());
    EXPECT_EQ(canvas.mappings.front(), (TMapping{{0, 0}, {289, 208}, {0, 0}, {3472, 2174}}));
    EXPECT_EQ(canvas.Find(Op::Clip).front()->rect, (TRect{62, 64, 351, 272}));
    // The canvas gets its own mapping back.
    EXPECT_EQ(canvas.Mapping(), TMapping{});
}

TEST_F(PrintingTest, NothingIsDrawnIntoAnEmptyRectangle) {
    PrinterCanvas canvas;
    DrawToPrinterCanvas(*chart, settings, canvas, TRect{100, 100, 100, 400});
    EXPECT_TRUE(canvas.records.empty());
    EXPECT_TRUE(canvas.mappings.empty());
}

TEST_F(PrintingTest, AnErrorAbortsTheJobAndIsPassedOn) {
    printer.failDrawing = true;
    EXPECT_THROW(PrintChart(*chart, settings, printer), EPrinter);
    EXPECT_EQ(printer.aborts, 1);
    EXPECT_EQ(printer.ends, 0);
    EXPECT_FALSE(printer.Printing());
    EXPECT_TRUE(ScreenDrawsBackground(*chart));

    // A job still running after the abort is ended.
    printer.abortLeavesJob = true;
    EXPECT_THROW(PrintChart(*chart, settings, printer), EPrinter);
    EXPECT_EQ(printer.aborts, 2);
    EXPECT_EQ(printer.ends, 1);
    EXPECT_FALSE(printer.Printing());
}

TEST_F(PrintingTest, AFailingEndAbortsAndACancelledJobDrawsNothing) {
    printer.failEnd = true;
    EXPECT_THROW(PrintChart(*chart, settings, printer), EPrinter);
    EXPECT_EQ(printer.aborts, 1);

    FakePrinter cancelled;
    cancelled.cancelBegin = true;
    EXPECT_FALSE(PrintChart(*chart, settings, cancelled));
    EXPECT_EQ(cancelled.begins, 0);
    EXPECT_TRUE(cancelled.canvas.records.empty());
}

TEST_F(PrintingTest, PictureFrameIsOneLessThanTheRectangle) {
    const auto picture = CreatePicture(*chart, chart->ClientRect());
    EXPECT_EQ(picture->boundingRect(), QRect(0, 0, 288, 207));
    EXPECT_GT(picture->size(), 0u);
    EXPECT_EQ(CreatePicture(*chart, TRect{0, 0, 1, 1})->boundingRect(), QRect(0, 0, 1, 1));
    EXPECT_EQ(CreatePicture(*chart, TRect{0, 0, 0, 0})->boundingRect(), QRect(0, 0, 1, 1));
    // Drawing into the picture leaves the chart's screen buffering as it was, to be rendered anew.
    EXPECT_TRUE(chart->ScreenBuffer().BufferedPaint);
    EXPECT_TRUE(chart->ScreenBuffer().NeedsRedraw);
}

TEST_F(PrintingTest, AfterAPrintOrAPictureAPressStillHitsThePointOnTheScreen) {
    struct Row {
        const char* name;
        std::function<void()> render;
    };
    const Row rows[] = {
        {"print with the title",
         [&] {
             chart->Title().SetText({"Y = 2.0000000*X + 1.0000000"});
             chart->Title().SetVisible(true);
             PrintChart(*chart, settings, printer);
             chart->Title().SetVisible(false);
         }},
        {"print with more detail",
         [&] {
             settings.PrintDetail = -60;
             PrintChart(*chart, settings, printer);
         }},
        {"picture of another size",
         [&] {
             const TRect other{0, 0, 600, 150};
             CreatePicture(*chart, other);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        FormSeries(*chart).curve->ClearPoints();  // the curve would take the press first
        chart->SetBufferedPaint(false);
        RecordingCanvas screen;
        chart->Paint(screen);
        TPointSeries& points = *FormSeries(*chart).measured;
        const TPoint p{points.CalcXPos(4), points.CalcYPos(4)};
        const TRect plot = chart->PlotRect();
        row.render();
        EXPECT_EQ(chart->PlotRect(), plot);
        int hit = -1;
        chart->OnClickSeries = [&](TChart&, TChartSeries& s, int index, TMouseButton, TShiftState, int, int) {
            hit = &s == &points ? index : -1;
        };
        chart->Interaction().Press(mbLeft, 0, p.X, p.Y);
        chart->Interaction().Release(mbLeft, 0, p.X, p.Y);
        EXPECT_EQ(hit, 4);
    }
}

}  // namespace
}  // namespace quorvel::testing
