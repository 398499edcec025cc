// quorvel-fit's chart file: the recompute's feed drawn into PNG and SVG files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include "cli/chart_output.h"
#include "image_probe.h"
#include "runtime/exceptions.h"

namespace quorvel {
namespace {

TRecomputeResult SampleResult() {
    TRecomputeResult r;
    // Table order is not X order: the feed must follow measuredByX.
    r.measured = {{3, 6, clRed}, {1, 1, clBlue}, {2, 4.5, clPurple}, {4, 16, clBlue}};
    r.measuredByX = {1, 2, 0, 3};
    r.pointCount = 4;
    for (int k = 0; k < 50; ++k) {
        const double x = 1 + 3 * 0.02 * k;
        r.curve.push_back(TFeedPoint{x, x * x, AutoColor});
    }
    return r;
}

class ChartOutput : public testing::Test {
protected:
    QTemporaryDir dir;
    std::string Path(const char* name) { return QDir(dir.path()).filePath(name).toStdString(); }
};

TEST_F(ChartOutput, PngHasTheRequestedSizeAndShowsThePoints) {
    ASSERT_TRUE(dir.isValid());
    const std::string path = Path("chart.png");
    RenderChartFile(path, 400, 300, SampleResult(), TDataPoint{2.5, 6.25});
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
    RenderChartFile(path, kDefaultChartWidth, kDefaultChartHeight, SampleResult());
    QSvgRenderer svg(QString::fromStdString(path));
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.defaultSize(), QSize(289, 208));
}

TEST_F(ChartOutput, RefusesUnknownTypesBadSizesAndUnwritablePaths) {
    ASSERT_TRUE(dir.isValid());
    EXPECT_THROW(RenderChartFile(Path("chart.bmp"), 100, 100, SampleResult()), Exception);
    EXPECT_THROW(RenderChartFile(Path("chart.png"), 0, 100, SampleResult()), Exception);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("chart.png"))));
    EXPECT_THROW(RenderChartFile(Path("missing/dir/chart.png"), 100, 100, SampleResult()), Exception);
    // An empty fit still draws a chart (axes only).
    RenderChartFile(Path("empty.png"), 50, 40, TRecomputeResult{});
    EXPECT_EQ(QImage(QString::fromStdString(Path("empty.png"))).size(), QSize(50, 40));
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
