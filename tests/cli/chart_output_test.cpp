// quorvel-fit's chart file: the recompute fed into the window's chart and exported as its picture copy.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include "calibration/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/picture_export.h"
#include "chart_qt/image_probe.h"
#include "cli/chart_output.h"
#include "fitting/presentation.h"
#include "runtime/exceptions.h"
#include "runtime/number_text.h"

namespace quorvel {
namespace {

TRecomputeResult SampleResult() {
    TRecomputeResult r;
    // Table order is not X order: the feed must follow measuredByX.
    r.measured = {{3, 6}, {1, 1}, {2, 4.5}, {4, 16}};
    r.colors = {clRed, clBlue, clPurple, clBlue};
    r.measuredByX = {1, 2, 0, 3};
    r.pointCount = 4;
    for (int k = 0; k < 50; ++k) {
        const double x = 1 + 3 * 0.02 * k;
        r.curve.push_back(TFeedPoint{x, x * x, AutoColor});
    }
    return r;
}

TEvaluation EvaluatedAt(double x, double y) {
    TEvaluation e;
    e.state = TEvaluation::Evaluated;
    e.x = x;
    e.y = y;
    e.label = NumberToText(x);
    return e;
}

class ChartOutput : public testing::Test {
protected:
    QTemporaryDir dir;
    std::string Path(const char* name) { return QDir(dir.path()).filePath(name).toStdString(); }
};

TEST_F(ChartOutput, PngHasTheRequestedSizeAndShowsThePoints) {
    ASSERT_TRUE(dir.isValid());
    const std::string path = Path("chart.png");
    const TEvaluation at = EvaluatedAt(2.5, 6.25);
    WriteChartFile(path, 400, 300, SampleResult(), &at);
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(path)));
    EXPECT_EQ(image.size(), QSize(400, 300));
    image = image.convertToFormat(QImage::Format_RGB32);
    // Each measured colour shows as at least one full 5 x 5 marker; the evaluated point's triangle is lime.
    EXPECT_GE(test::CountColor(image, clPurple, image.rect()), 25);
    EXPECT_GE(test::CountColor(image, clRed, image.rect()), 25);
    EXPECT_GT(test::CountColor(image, clLime, image.rect()), 0);
    EXPECT_GT(test::CountColor(image, clGreen, image.rect()), 20);  // the curve
}

TEST_F(ChartOutput, SvgParsesAndHasTheRequestedSize) {
    ASSERT_TRUE(dir.isValid());
    const std::string path = Path("chart.SVG");
    WriteChartFile(path, kDefaultChartWidth, kDefaultChartHeight, SampleResult(), nullptr);
    QSvgRenderer svg(QString::fromStdString(path));
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.defaultSize(), QSize(289, 208));
}

TEST_F(ChartOutput, RefusesUnknownTypesBadSizesAndUnwritablePaths) {
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(IsChartFileName("chart.bmp"));
    EXPECT_FALSE(IsChartFileName("png"));
    EXPECT_TRUE(IsChartFileName("a.PnG"));
    EXPECT_THROW(WriteChartFile(Path("chart.bmp"), 100, 100, SampleResult(), nullptr), Exception);
    EXPECT_THROW(WriteChartFile(Path("chart.png"), 0, 100, SampleResult(), nullptr), Exception);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("chart.png"))));
    EXPECT_THROW(WriteChartFile(Path("missing/dir/chart.png"), 100, 100, SampleResult(), nullptr), Exception);
    // An empty fit still draws a chart (axes only).
    WriteChartFile(Path("empty.png"), 50, 40, TRecomputeResult{}, nullptr);
    EXPECT_EQ(QImage(QString::fromStdString(Path("empty.png"))).size(), QSize(50, 40));
}

// The file holds what the window's picture copy gives once the window has shown the chart, although the
// file's chart is never drawn before.
TEST_F(ChartOutput, FileIsTheWindowsPictureOfTheShownChart) {
    ASSERT_TRUE(dir.isValid());
    // A linear thermocouple fit, whose left labels a chart's very first layout gets wider than its second.
    struct : ITableSource {
        int RowCount() const override { return 4; }
        std::string_view CellText(int col, int row) const override {
            static const char* const cells[3][2] = {
                {"0", "-0.0006"}, {"500", "19.9404"}, {"1000", "39.6004"}};
            return cells[row - 1][col];
        }
    } table;
    SetDecimalChar(U'.');
    TFitCoefficients store;
    const TRecomputeResult result = Recompute(table, fkLinear, store);
    ASSERT_EQ(result.reached, rsCurve);
    const std::string path = Path("thermocouple.png");
    WriteChartFile(path, kDefaultChartWidth, kDefaultChartHeight, result, nullptr);
    QImage file;
    ASSERT_TRUE(file.load(QString::fromStdString(path)));

    TChartWidget widget(CreateFormChart());
    TChart& chart = widget.Chart();
    chart.SetBounds(0, 0, kDefaultChartWidth, kDefaultChartHeight);
    FeedFormChart(chart, result, nullptr);
    widget.grab();
    QImage copied;
    ASSERT_TRUE(copied.loadFromData(ExportChart(chart, pfPng), "PNG"));
    ASSERT_EQ(file.size(), copied.size());
    EXPECT_TRUE(file.convertToFormat(QImage::Format_RGB32) == copied.convertToFormat(QImage::Format_RGB32));
}

TEST(ChartSize, ParsesWidthByHeight) {
    struct Row {
        const char* text;
        bool ok;
        int w;
        int h;
    };
    const Row rows[] = {
        {"289x208", true, 289, 208}, {"1X1", true, 1, 1},   {"10000x2", true, 10000, 2},
        {"10001x2", false, 0, 0},    {"0x5", false, 0, 0},  {"-3x4", false, 0, 0},
        {"5x", false, 0, 0},         {"x5", false, 0, 0},   {"5x5x5", false, 0, 0},
        {"289", false, 0, 0},        {" 5x5", false, 0, 0}, {"5x5 ", false, 0, 0},
        {"", false, 0, 0},           {"+5x5", false, 0, 0},
    };
    for (const Row& row : rows) {
        int w = 0;
        int h = 0;
        EXPECT_EQ(ParseChartSize(row.text, w, h), row.ok) << row.text;
        if (row.ok) {
            EXPECT_EQ(w, row.w) << row.text;
            EXPECT_EQ(h, row.h) << row.text;
        }
    }
}

}  // namespace
}  // namespace quorvel
