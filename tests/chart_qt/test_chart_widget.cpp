// The form's chart drawn through the QPainter canvas, and the widget that hosts it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "calibration/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/qt_canvas.h"
#include "fitting/curve_samples.h"
#include "image_probe.h"
#include "runtime/number_text.h"

namespace quorvel {
namespace {

using test::PixelColor;

struct Pt {
    double x;
    double y;
    TColor color;
};

const std::vector<Pt> kPoints = {{1, 10, clBlue}, {2, 30, clPurple}, {3, 20, clRed}, {4, 40, clBlue}};

std::unique_ptr<TChart> FormChartWith(const std::vector<Pt>& points) {
    std::unique_ptr<TChart> chart = CreateFormChart();
    TFormChartSeries s = FormSeries(*chart);
    for (const Pt& p : points) {
        s.measured->AddPoint(p.x, p.y, NumberToText(p.x), p.color);
    }
    chart->SetVisible(true);
    return chart;
}

void SendMouse(QWidget& w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint p) {
    QMouseEvent event(type, QPointF(p), QPointF(w.mapToGlobal(p)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

void SendWheel(QWidget& w, int delta) {
    const QPoint p(100, 100);
    QWheelEvent event(QPointF(p), QPointF(w.mapToGlobal(p)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &event);
}

// The widget's own paint, into an image (a full paint or a buffer copy, as the widget decides).
QImage Screen(TChartWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(FormChartRender, MarkersSitAtTheAxisMappingInTheirColours) {
    TChartWidget widget(FormChartWith(kPoints));
    TChart& chart = widget.Chart();
    const QImage image = widget.CreateBitmapImage();
    ASSERT_EQ(image.size(), QSize(289, 208));
    // The bitmap is laid out as the screen is: the axes answer with the screen's mapping.
    Screen(widget);
    for (const Pt& p : kPoints) {
        const int px = chart.BottomAxis().ValueToPixel(p.x);
        const int py = chart.LeftAxis().ValueToPixel(p.y);
        // A 5 x 5 filled square without outline.
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) {
                ASSERT_EQ(PixelColor(image, px + dx, py + dy), p.color)
                    << "point " << p.x << " at " << px + dx << "," << py + dy;
            }
        }
        EXPECT_NE(PixelColor(image, px + 3, py), p.color);
        EXPECT_NE(PixelColor(image, px, py - 3), p.color);
    }
}

// Tens of thousands of markers on few pixels, in colours that alternate and with null points among them:
// the picture is the one of every marker drawn in turn (a pointer-style hook, which may give each point
// its own style, has each drawn), at 100 % and at 200 %.
TEST(FormChartRender, CrowdedMarkersGiveThePictureOfEveryMarker) {
    std::vector<Pt> crowded;
    const TColor colours[] = {clBlue, clPurple, clRed, clBlue, clLime, clNullPoint, clRed};
    for (int i = 0; i < 60000; ++i) {
        const double x = 0.001 * i;
        crowded.push_back({x, std::sin(x) * 10 + (i % 11) * 0.3, colours[(i * 7 + i / 13) % 7]});
    }
    for (const qreal ratio : {1.0, 2.0}) {
        const auto picture = [&](bool everyMarker) {
            std::unique_ptr<TChart> chart = FormChartWith(crowded);
            if (everyMarker) {
                FormSeries(*chart).measured->OnGetPointerStyle = [](TCustomSeries& s, int) {
                    return s.Pointer().Style();
                };
            }
            QImage image(QSize(289, 208) * ratio, QImage::Format_RGB32);
            image.setDevicePixelRatio(ratio);
            TQtCanvas canvas(&image);
            chart->Paint(canvas);
            return image;
        };
        EXPECT_TRUE(picture(false) == picture(true)) << "at " << ratio;
    }
}

TEST(FormChartRender, BackWallFrameCoversPlotRectInclusiveAndPanelIsButtonFace) {
    TChartWidget widget(FormChartWith(kPoints));
    TChart& chart = widget.Chart();
    const QImage image = widget.CreateBitmapImage();
    Screen(widget);
    const TRect r = chart.PlotRect();
    ASSERT_GT(r.Width(), 100);
    // Top row and right column of the frame, inclusive of Right and Top; the panel colour just outside.
    for (int x = r.Left + 10; x < r.Right - 10; x += 7) {
        EXPECT_EQ(PixelColor(image, x, r.Top), clBlack) << x;
        EXPECT_EQ(PixelColor(image, x, r.Top - 1), clBtnFace) << x;
    }
    for (int y = r.Top + 10; y < r.Bottom - 10; y += 7) {
        EXPECT_EQ(PixelColor(image, r.Right, y), clBlack) << y;
        EXPECT_EQ(PixelColor(image, r.Right + 1, y), clBtnFace) << y;
    }
    // The raised bevel: highlight on the top-left edges, shadow on the bottom-right ones.
    EXPECT_EQ(PixelColor(image, 100, 0), clBtnHighlight);
    EXPECT_EQ(PixelColor(image, 0, 100), clBtnHighlight);
    EXPECT_EQ(PixelColor(image, 100, 207), clBtnShadow);
    EXPECT_EQ(PixelColor(image, 288, 100), clBtnShadow);
}

TEST(ChartWidgetPaint, UnchangedChartRepaintsFromItsBuffer) {
    TChartWidget widget(FormChartWith(kPoints));
    TChart& chart = widget.Chart();
    const int before = chart.RenderCount();
    const QImage first = Screen(widget);
    EXPECT_EQ(chart.RenderCount(), before + 1);
    const QImage second = Screen(widget);
    EXPECT_EQ(chart.RenderCount(), before + 1);
    EXPECT_EQ(first, second);
    // The bitmap is the chart as drawn on screen.
    EXPECT_EQ(widget.CreateBitmapImage(), first);
    // Making the bitmap turned buffering off and on: the next paint renders anew.
    const int afterBitmap = chart.RenderCount();
    Screen(widget);
    EXPECT_EQ(chart.RenderCount(), afterBitmap + 1);
    // A change invalidates.
    FormSeries(chart).measured->AddPoint(5, 5, "5", clRed);
    Screen(widget);
    EXPECT_EQ(chart.RenderCount(), afterBitmap + 2);
    // Nothing is painted while a page is printed: only the page's own rendering.
    chart.Invalidate();
    chart.OnAfterDraw = [&](TChart&, TRenderContext&) { widget.grab(); };
    QImage page(300, 220, QImage::Format_RGB32);
    {
        QPainter painter(&page);
        TQtCanvas canvas(painter);
        chart.DrawToForeignCanvas(canvas, chart.ClientRect(), TRenderTarget::Printer);
    }
    chart.OnAfterDraw = nullptr;
    EXPECT_EQ(chart.RenderCount(), afterBitmap + 3);
    Screen(widget);
    EXPECT_EQ(chart.RenderCount(), afterBitmap + 4);
}

// Run at the screen's scale of the test run (QT_SCALE_FACTOR): 1, and 2 as on a 4K laptop at 200 %.
TEST(ChartWidgetPaint, DrawnAtTheScreensDensityWithTheLayoutInLogicalPixels) {
    TChartWidget widget(FormChartWith(kPoints));
    TChart& chart = widget.Chart();
    for (const TFeedPoint& p : CurveSamples(1, 4, TFitCoefficients{0, 10, 0, 0})) {
        FormSeries(chart).curve->AddPoint(p.x, p.y, {}, AutoColor);
    }
    const qreal ratio = widget.devicePixelRatioF();
    ASSERT_EQ(ratio, qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    const int s = qRound(ratio);
    const QImage screen = Screen(widget);
    ASSERT_EQ(screen.size(), QSize(289, 208) * s);
    // The bitmap, the picture and so the clipboard keep the chart's own size, and the layout is the
    // screen's: the same plot rectangle, the same marker places.
    const QImage bitmap = widget.CreateBitmapImage();
    ASSERT_EQ(bitmap.size(), QSize(289, 208));
    const TRect plot = chart.PlotRect();
    for (const Pt& p : kPoints) {
        const int px = chart.BottomAxis().ValueToPixel(p.x);
        const int py = chart.LeftAxis().ValueToPixel(p.y);
        EXPECT_EQ(PixelColor(bitmap, px - 2, py - 2), p.color);
        // Each marker pixel is s x s device pixels of the marker's colour (the curve crosses some).
        int marker = 0;
        for (int y = s * (py - 2); y < s * (py + 3); ++y) {
            for (int x = s * (px - 2); x < s * (px + 3); ++x) {
                marker += PixelColor(screen, x, y) == p.color ? 1 : 0;
            }
        }
        EXPECT_GT(marker, 25 * s * s * 2 / 3) << p.x;
        EXPECT_NE(PixelColor(screen, s * (px + 3), s * py), p.color);
    }
    for (int x = plot.Left + 10; x < plot.Right - 10; x += 7) {
        for (int k = 0; k < s; ++k) {
            EXPECT_EQ(PixelColor(screen, s * x + k, s * plot.Top + k), clBlack) << x;
        }
        EXPECT_EQ(PixelColor(screen, s * x, s * plot.Top - 1), clBtnFace) << x;
    }
    if (s == 1) {
        EXPECT_EQ(screen, bitmap.convertToFormat(QImage::Format_RGB32));
    } else {
        // Text, curve and markers at the screen's resolution: detail finer than a logical pixel in the
        // labels and along the curve, none in the flat panel.
        const QRect labels(0, s * plot.Bottom + 2, screen.width(), screen.height() - s * plot.Bottom - 4);
        EXPECT_GT(test::MixedBlocks(screen, labels), 50);
        const QRect inside(s * (plot.Left + 3), s * (plot.Top + 3), s * (plot.Width() - 6),
                           s * (plot.Height() - 6));
        EXPECT_GT(test::MixedBlocks(screen, inside), 50);
        EXPECT_EQ(test::MixedBlocks(screen, QRect(s * 2, s * 2, s * 5, s * 5)), 0);
        // The curve (a straight line here) is antialiased from its exact positions: in each device
        // column the middle of its green lies within half a device pixel of the line through the
        // centres of the pixels at the samples' exact places, and some of it is shaded.
        const TChartAxis& h = chart.BottomAxis();
        const TChartAxis& v = chart.LeftAxis();
        const double x0 = h.Scale().ToPixelUnrounded(1);
        const double x1 = h.Scale().ToPixelUnrounded(4);
        const double y0 = v.Scale().ToPixelUnrounded(10);
        const double y1 = v.Scale().ToPixelUnrounded(40);
        int shaded = 0;
        for (int c = s * (RoundToInt(x0) + 4); c < s * (RoundToInt(x1) - 3); ++c) {
            const double x = (c + 0.5) / s - 0.5;
            bool nearMarker = false;
            for (const Pt& p : kPoints) {
                nearMarker = nearMarker || std::abs(x - h.Scale().ToPixelUnrounded(p.x)) < 4;
            }
            if (nearMarker) {
                continue;
            }
            const double exact = s * (y0 + (x - x0) / (x1 - x0) * (y1 - y0) + 0.5);
            double green = 0;
            double moment = 0;
            for (int r = static_cast<int>(exact) - 3 * s; r <= static_cast<int>(exact) + 3 * s; ++r) {
                // Green over greys: its share of the pixel, whatever grey lies under it.
                const QRgb pixel = screen.pixel(c, r);
                const double share = std::max(0, qGreen(pixel) - qRed(pixel)) / 128.0;
                green += share;
                moment += share * (r + 0.5);
                shaded += share > 0.1 && share < 0.9 ? 1 : 0;
            }
            ASSERT_GT(green, 0) << "device column " << c;
            EXPECT_NEAR(moment / green, exact, 0.5) << "device column " << c;
        }
        EXPECT_GT(shaded, 50);
    }
}

TEST(ChartWidgetPaint, ResizingTheWidgetResizesTheChart) {
    TChartWidget widget(FormChartWith(kPoints));
    widget.resize(400, 300);
    EXPECT_EQ(Screen(widget).size(), QSize(400, 300));
    EXPECT_EQ(widget.Chart().Width(), 400);
    EXPECT_EQ(widget.Chart().Height(), 300);
    EXPECT_EQ(widget.Chart().PanelRect(), MakeRect(0, 0, 400, 300));
}

TEST(ChartWidgetMouse, ClickComesBeforeTheZoomOfTheRelease) {
    TChartWidget widget(FormChartWith(kPoints));
    TChart& chart = widget.Chart();
    Screen(widget);  // lays the chart out, as the screen would have
    std::vector<std::string> events;
    chart.OnClick = [&](TChart& c) { events.push_back(c.Interaction().Zoomed() ? "click-zoomed" : "click"); };
    chart.OnZoom = [&](TChart&) { events.push_back("zoom"); };
    const TRect r = chart.PlotRect();
    const QPoint from(r.Left + 20, r.Top + 15);
    const QPoint to(r.Left + 80, r.Top + 70);
    SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, from);
    SendMouse(widget, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, to);
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, to);
    ASSERT_EQ(events, (std::vector<std::string>{"click", "zoom"}));
    EXPECT_TRUE(chart.Interaction().Zoomed());
    EXPECT_FALSE(chart.BottomAxis().Automatic());
}

TEST(ChartWidgetMouse, ZoomRectangleShowsDuringTheDragAndGoesAway) {
    TChartWidget widget(FormChartWith(kPoints));
    TChart& chart = widget.Chart();
    const int s = qRound(widget.devicePixelRatioF());
    const QImage idle = Screen(widget);
    const TRect r = chart.PlotRect();
    const QPoint from(r.Left + 30, r.Top + 20);
    const QPoint to(r.Left + 40, r.Top + 30);  // too small to zoom
    SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, from);
    SendMouse(widget, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, to);
    const int renders = chart.RenderCount();
    const QImage dragging = Screen(widget);
    EXPECT_EQ(chart.RenderCount(), renders);  // the rectangle went into the buffer, no new rendering
    // Not-xor inverts the pixels of the outline, whose right and bottom edges are excluded; on a
    // high-density screen each of its logical pixels is s x s device pixels.
    for (int k = 0; k < s; ++k) {
        int changed = 0;
        for (int x = s * (from.x() - 1); x < s * (to.x() + 1); ++x) {
            changed += dragging.pixel(x, s * from.y() + k) != idle.pixel(x, s * from.y() + k) ? 1 : 0;
        }
        EXPECT_EQ(changed, s * (to.x() - from.x()));
    }
    EXPECT_EQ(dragging.pixel(s * (from.x() + 5), s * from.y() - 1),
              idle.pixel(s * (from.x() + 5), s * from.y() - 1));
    EXPECT_EQ(dragging.pixel(s * (from.x() + 5), s * (from.y() + 5)),
              idle.pixel(s * (from.x() + 5), s * (from.y() + 5)));
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, to);
    EXPECT_EQ(Screen(widget), idle);
    EXPECT_FALSE(chart.Interaction().Zoomed());
}

TEST(ChartWidgetMouse, RightClickAsksForTheMenuButARightDragScrolls) {
    TChartWidget widget(FormChartWith(kPoints));
    TChart& chart = widget.Chart();
    Screen(widget);
    int menus = 0;
    widget.OnContextMenu = [&](const QPoint&) { ++menus; };
    const TRect r = chart.PlotRect();
    const QPoint p(r.Left + 40, r.Top + 40);
    SendMouse(widget, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, p);
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, p);
    EXPECT_EQ(menus, 1);
    EXPECT_TRUE(chart.LeftAxis().Automatic());

    // A hand's jitter within the drag distance: only the menu, the chart does not move.
    const int near = QApplication::startDragDistance() - 1;
    const QImage still = Screen(widget);
    for (const QPoint jitter : {QPoint(1, 0), QPoint(0, -1), QPoint(near, 0), QPoint(-3, 2)}) {
        SendMouse(widget, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, p);
        SendMouse(widget, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, p + jitter);
        SendMouse(widget, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, p + jitter);
    }
    EXPECT_EQ(menus, 5);
    EXPECT_TRUE(chart.LeftAxis().Automatic());
    EXPECT_TRUE(chart.BottomAxis().Automatic());
    EXPECT_EQ(Screen(widget), still);

    // A drag out and back again is a scroll, not a click.
    SendMouse(widget, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, p);
    SendMouse(widget, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, p + QPoint(0, 30));
    SendMouse(widget, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, p);
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, p);
    EXPECT_EQ(menus, 5);
    EXPECT_FALSE(chart.LeftAxis().Automatic());
    EXPECT_TRUE(chart.BottomAxis().Automatic());

    SendMouse(widget, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, p);
    SendMouse(widget, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, p + QPoint(30, 20));
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, p + QPoint(30, 20));
    EXPECT_EQ(menus, 5);
    EXPECT_FALSE(chart.LeftAxis().Automatic());
    EXPECT_FALSE(chart.BottomAxis().Automatic());
}

struct Press {
    TMouseButton button;
    TShiftState shift;
    int x;
    int y;
    friend bool operator==(const Press&, const Press&) = default;
};

TEST(ChartWidgetMouse, PressesArriveAsPlainButtonShiftAndPosition) {
    TChartWidget widget(FormChartWith(kPoints));
    TChart& chart = widget.Chart();
    Screen(widget);
    std::vector<Press> seen;
    chart.OnClickBackground = [&](TChart&, TMouseButton b, TShiftState s, int x, int y) {
        seen.push_back(Press{b, s, x, y});
    };
    const TRect r = chart.PlotRect();
    const QPoint p(r.Left + 33, r.Top + 44);
    QMouseEvent shifted(QEvent::MouseButtonPress, QPointF(p), QPointF(widget.mapToGlobal(p)), Qt::LeftButton,
                        Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&widget, &shifted);
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, p);
    SendMouse(widget, QEvent::MouseButtonDblClick, Qt::MiddleButton, Qt::MiddleButton, p);
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::MiddleButton, Qt::NoButton, p);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0] == (Press{mbLeft, ssShift | ssLeft, p.x(), p.y()}));
    EXPECT_TRUE(seen[1] == (Press{mbMiddle, ssMiddle | ssDouble, p.x(), p.y()}));
}

TEST(ChartWidgetChild, FollowsTheChartsVisibleSettingInsideAWindow) {
    QWidget window;
    std::unique_ptr<TChart> chart = CreateFormChart();
    ASSERT_FALSE(chart->Visible());
    auto* widget = new TChartWidget(std::move(chart), &window);
    window.show();
    EXPECT_EQ(widget->geometry(), QRect(208, 152, 289, 208));
    EXPECT_FALSE(widget->isVisible());
    widget->Chart().SetVisible(true);
    EXPECT_TRUE(widget->isVisible());
    widget->Chart().SetVisible(false);
    EXPECT_FALSE(widget->isVisible());
}

TEST(ChartWidgetMouse, WheelScrollsVerticalAxesOncePerNotch) {
    TChartWidget widget(FormChartWith(kPoints));
    TChart& chart = widget.Chart();
    Screen(widget);
    SendWheel(widget, -60);
    EXPECT_TRUE(chart.LeftAxis().Automatic());
    SendWheel(widget, -60);
    ASSERT_FALSE(chart.LeftAxis().Automatic());
    const double min1 = chart.LeftAxis().Minimum();
    const double span = chart.LeftAxis().Maximum() - min1;
    SendWheel(widget, 120);  // away from the user: down by 3 % of the span
    EXPECT_DOUBLE_EQ(chart.LeftAxis().Minimum(), min1 - 0.03 * span);
    EXPECT_TRUE(chart.BottomAxis().Automatic());
}

}  // namespace
}  // namespace quorvel
