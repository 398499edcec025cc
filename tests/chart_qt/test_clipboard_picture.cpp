// The chart picture on the clipboard: both formats, their sizes, and what happens to earlier contents.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSvgRenderer>
#include <memory>

#include "calibration/form_chart.h"
#include "chart/print/chart_picture.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/clipboard_picture.h"
#include "image_probe.h"
#include "runtime/number_text.h"

namespace quorvel {
namespace {

using test::PixelColor;

std::unique_ptr<TChart> ChartWithPoints() {
    std::unique_ptr<TChart> chart = CreateFormChart();
    TFormChartSeries s = FormSeries(*chart);
    s.measured->AddPoint(1, 10, NumberToText(1), clBlue);
    s.measured->AddPoint(2, 30, NumberToText(2), clPurple);
    s.measured->AddPoint(3, 20, NumberToText(3), clRed);
    chart->SetVisible(true);
    return chart;
}

// What the main window does.
void CopyChart(TChart& chart) {
    CopyChartToClipboard(chart);
}

QImage ClipboardPng() {
    QImage png;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data != nullptr) {
        png.loadFromData(data->data(QStringLiteral("image/png")), "PNG");
    }
    return png.convertToFormat(QImage::Format_RGB32);
}

TEST(ClipboardPicture, ReplacesTheClipboardWithSvgAndPngOfTheChart) {
    TChartWidget widget(ChartWithPoints());
    TChart& chart = widget.Chart();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("1\t2\r\n"));

    CopyChart(chart);

    const QMimeData* data = clipboard->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->hasText());
    EXPECT_TRUE(data->hasFormat(QStringLiteral("image/svg+xml")));
    EXPECT_TRUE(data->hasFormat(QStringLiteral("image/png")));
    EXPECT_TRUE(data->hasImage());
    EXPECT_EQ(clipboard->image().size(), QSize(289, 208));

    const QByteArray svgBytes = data->data(QStringLiteral("image/svg+xml"));
    QSvgRenderer svg(svgBytes);
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.defaultSize(), QSize(289, 208));
    EXPECT_TRUE(svgBytes.contains(R"(width="289")"));
    EXPECT_TRUE(svgBytes.contains(R"(height="208")"));
}

int DifferingPixels(const QImage& a, const QImage& b) {
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            differing += PixelColor(a, x, y) != PixelColor(b, x, y) ? 1 : 0;
        }
    }
    return differing;
}

// The clipboard formats hold the chart pixel for pixel as the screen shows it, the right and bottom
// bevel edges and the ticks included.
TEST(ClipboardPicture, PngHoldsTheChartAsTheScreenShowsIt) {
    TChartWidget widget(ChartWithPoints());
    TChart& chart = widget.Chart();
    // Drawn on the screen first, at its density: the copy keeps the chart's own size all the same.
    widget.grab();
    EXPECT_EQ(CreatePicture(chart, chart.ClientRect())->boundingRect(), QRect(0, 0, 288, 207));

    for (const bool marks : {false, true}) {
        SCOPED_TRACE(marks ? "marks shown" : "marks hidden");
        FormSeries(chart).measured->Marks().SetVisible(marks);
        CopyChart(chart);
        const QImage png = ClipboardPng();
        ASSERT_EQ(png.size(), QSize(289, 208));
        const QImage screen = widget.CreateBitmapImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(screen.size(), png.size());
        EXPECT_EQ(PixelColor(png, 100, 0), clBtnHighlight);
        EXPECT_EQ(PixelColor(png, 288, 100), clBtnShadow);
        EXPECT_EQ(PixelColor(png, 100, 207), clBtnShadow);
        if (!marks) {
            const int px = chart.BottomAxis().ValueToPixel(2);
            const int py = chart.LeftAxis().ValueToPixel(30);
            EXPECT_EQ(PixelColor(png, px, py), clPurple);
        }
        EXPECT_EQ(DifferingPixels(png, screen), 0);
    }
}

TEST(ClipboardPicture, TinyChartsGiveAtLeastOnePixel) {
    TChart chart;
    for (const QSize size : {QSize(1, 1), QSize(0, 0), QSize(1, 5)}) {
        chart.SetBounds(0, 0, size.width(), size.height());
        const std::unique_ptr<QPicture> picture = CreatePicture(chart, chart.ClientRect());
        EXPECT_EQ(picture->boundingRect().size(),
                  QSize(std::max(1, size.width() - 1), std::max(1, size.height() - 1)));
        CopyChartToClipboard(chart);
        EXPECT_EQ(ClipboardPng().size(), size.expandedTo(QSize(1, 1)));
        QSvgRenderer svg(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/svg+xml")));
        EXPECT_TRUE(svg.isValid());
        EXPECT_EQ(svg.defaultSize(), size.expandedTo(QSize(1, 1)));
    }
}

// Drawing the picture switches the off-screen buffer off and on, so the next paint renders afresh.
TEST(ClipboardPicture, NextScreenPaintRendersAfresh) {
    TChartWidget widget(ChartWithPoints());
    TChart& chart = widget.Chart();
    widget.grab();
    widget.grab();
    CopyChart(chart);
    const int before = chart.RenderCount();
    widget.grab();
    EXPECT_EQ(chart.RenderCount(), before + 1);
}

TEST(ClipboardPicture, MimeDataIsTheSameWithoutAClipboard) {
    TChart chart;
    chart.SetBounds(0, 0, 10, 5);
    const std::unique_ptr<QMimeData> data = ChartMimeData(chart);
    QImage png;
    ASSERT_TRUE(png.loadFromData(data->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(png.size(), QSize(10, 5));
    EXPECT_TRUE(data->hasImage());
}

}  // namespace
}  // namespace quorvel
