// The QPainter canvas against the pixel rules of the classic device context.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>
#include <QPicture>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "chart/qt/qt_canvas.h"
#include "image_probe.h"

namespace quorvel {
namespace {

using test::CountColor;
using test::DeviceEdge;
using test::InkBox;
using test::IsWhite;
using test::LogicalPixel;
using test::MixedBlocks;
using test::PixelColor;
using test::WhiteImage;

TPen SolidPen(TColor color, int width = 1, TPenMode mode = TPenMode::Copy) {
    TPen pen;
    pen.Color = color;
    pen.Width = width;
    pen.Mode = mode;
    return pen;
}

TBrush SolidBrush(TColor color) {
    return TBrush{color, bsSolid};
}

TEST(QtCanvasRectangle, OutlineOnEdgePixelsAndRightBottomExcluded) {
    QImage image = WhiteImage(20, 20);
    {
        TQtCanvas canvas(&image);
        canvas.SetPen(SolidPen(clBlack));
        canvas.SetBrush(SolidBrush(clRed));
        canvas.Rectangle(MakeRect(2, 3, 7, 9));
    }
    EXPECT_EQ(InkBox(image, image.rect()), QRect(QPoint(2, 3), QPoint(6, 8)));
    for (int x = 2; x <= 6; ++x) {
        EXPECT_EQ(PixelColor(image, x, 3), clBlack) << x;
        EXPECT_EQ(PixelColor(image, x, 8), clBlack) << x;
    }
    for (int y = 3; y <= 8; ++y) {
        EXPECT_EQ(PixelColor(image, 2, y), clBlack) << y;
        EXPECT_EQ(PixelColor(image, 6, y), clBlack) << y;
    }
    EXPECT_EQ(CountColor(image, clRed, image.rect()), 3 * 4);
}

TEST(QtCanvasRectangle, ClearPenFillsWholeRectangleAndCornersMayComeInAnyOrder) {
    QImage image = WhiteImage(20, 20);
    {
        TQtCanvas canvas(&image);
        canvas.SetPen(TPen{clBlack, TPenStyle::Clear});
        canvas.SetBrush(SolidBrush(clBlue));
        // A 5 x 5 marker centred on (10, 10), given right-to-left and bottom-to-top.
        canvas.Rectangle(MakeRect(13, 13, 8, 8));
        canvas.SetBrush(TBrush{clWhite, bsClear});
        canvas.SetPen(SolidPen(clBlack));
        canvas.Rectangle(MakeRect(5, 5, 5, 9));  // empty: nothing
    }
    EXPECT_EQ(InkBox(image, image.rect()), QRect(QPoint(8, 8), QPoint(12, 12)));
    EXPECT_EQ(CountColor(image, clBlue, image.rect()), 25);
}

TEST(QtCanvasRectangle, FillRectIgnoresPenAndClearBrushFillsNothing) {
    QImage image = WhiteImage(10, 10);
    {
        TQtCanvas canvas(&image);
        canvas.SetPen(SolidPen(clBlack, 1, TPenMode::NotXor));
        canvas.SetBrush(SolidBrush(clGreen));
        canvas.FillRect(MakeRect(1, 1, 4, 3));
        canvas.SetBrush(TBrush{clRed, bsClear});
        canvas.FillRect(MakeRect(5, 5, 9, 9));
    }
    EXPECT_EQ(CountColor(image, clGreen, image.rect()), 6);
    EXPECT_EQ(InkBox(image, image.rect()), QRect(QPoint(1, 1), QPoint(3, 2)));
}

TEST(QtCanvasRectangle, HatchGapsTakeTheBackColourOnlyWhenOpaque) {
    QImage image = WhiteImage(40, 20);
    {
        TQtCanvas canvas(&image);
        canvas.SetBrush(TBrush{clBlack, bsHorizontal});
        canvas.SetBackColor(clYellow);
        canvas.SetBackMode(bmOpaque);
        canvas.FillRect(MakeRect(0, 0, 20, 20));
        canvas.SetBackMode(bmTransparent);
        canvas.FillRect(MakeRect(20, 0, 40, 20));
    }
    const QRect opaque(0, 0, 20, 20);
    const QRect transparent(20, 0, 20, 20);
    EXPECT_GT(CountColor(image, clBlack, opaque), 0);
    EXPECT_EQ(CountColor(image, clBlack, opaque) + CountColor(image, clYellow, opaque), 400);
    EXPECT_EQ(CountColor(image, clBlack, transparent), CountColor(image, clBlack, opaque));
    EXPECT_EQ(CountColor(image, clYellow, transparent), 0);
}

TEST(QtCanvasLine, EndPixelExcludedInEveryDirection) {
    QImage image = WhiteImage(30, 30);
    {
        TQtCanvas canvas(&image);
        canvas.SetPen(SolidPen(clBlack));
        canvas.Line(2, 2, 12, 2);    // rightwards
        canvas.Line(20, 20, 20, 5);  // upwards
        canvas.Line(5, 10, 10, 15);  // diagonal
        canvas.MoveTo(25, 25);
        canvas.LineTo(25, 25);  // zero length draws nothing
        EXPECT_EQ(canvas.PenPos(), (TPoint{25, 25}));
    }
    EXPECT_EQ(InkBox(image, QRect(0, 0, 30, 4)), QRect(QPoint(2, 2), QPoint(11, 2)));
    EXPECT_EQ(InkBox(image, QRect(18, 3, 5, 20)), QRect(QPoint(20, 6), QPoint(20, 20)));
    EXPECT_EQ(InkBox(image, QRect(4, 9, 8, 8)), QRect(QPoint(5, 10), QPoint(9, 14)));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(PixelColor(image, 5 + i, 10 + i), clBlack);
    }
    EXPECT_TRUE(IsWhite(image, 25, 25));
}

TEST(QtCanvasLine, PolylineJoinsOnceAndLeavesOutLastPixel) {
    QImage image = WhiteImage(20, 20);
    {
        TQtCanvas canvas(&image);
        // Not-xor would cancel any pixel drawn twice at a joint.
        canvas.SetPen(SolidPen(clBlack, 1, TPenMode::NotXor));
        const TPoint pts[] = {{2, 2}, {10, 2}, {10, 10}, {10, 10}, {2, 10}, {2, 3}};
        canvas.Polyline(pts);
    }
    EXPECT_EQ(PixelColor(image, 10, 2), clBlack);
    EXPECT_EQ(PixelColor(image, 10, 10), clBlack);
    EXPECT_EQ(PixelColor(image, 2, 10), clBlack);
    EXPECT_EQ(PixelColor(image, 2, 4), clBlack);
    EXPECT_EQ(PixelColor(image, 2, 2), clBlack);
    // The closing segment ends at (2, 3), which stays white... and it is the only gap of the square.
    EXPECT_TRUE(IsWhite(image, 2, 3));
    EXPECT_EQ(CountColor(image, clBlack, image.rect()), 4 * 8 - 1);
}

TEST(QtCanvasLine, DottedPenIsThreeOnThreeOff) {
    QImage image = WhiteImage(40, 10);
    {
        TQtCanvas canvas(&image);
        canvas.SetPen(TPen{clGray, TPenStyle::Dot, 1, TPenMode::Copy});
        canvas.Line(0, 5, 30, 5);
        canvas.SetPen(TPen{clGray, TPenStyle::Dot, 0, TPenMode::Copy});
        canvas.Line(0, 7, 30, 7);
    }
    for (int row : {5, 7}) {
        for (int x = 0; x < 30; ++x) {
            const bool on = (x / 3) % 2 == 0;
            EXPECT_EQ(PixelColor(image, x, row), on ? clGray : clWhite) << "row " << row << " x " << x;
        }
        EXPECT_TRUE(IsWhite(image, 30, row));
    }
}

TEST(QtCanvasLine, FarEndsGiveTheSamePixelsAsANearLineOnTheSamePath) {
    struct Row {
        const char* name;
        TPenStyle style;
        TPoint farFrom, farTo;    // ends far outside the 40 x 40 image
        TPoint nearFrom, nearTo;  // a line through the same pixels there
        bool clip;
    };
    constexpr int kFar = 1 << 30;
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    const Row rows[] = {
        {"horizontal", TPenStyle::Solid, {-kFar, 20}, {kFar, 20}, {-1, 20}, {41, 20}, false},
        {"diagonal", TPenStyle::Solid, {-kFar, -kFar}, {kFar, kFar}, {-1, -1}, {41, 41}, false},
        // From (-2^30, 10 - 2^29) the half steps land as from (0, 10).
        {"slope one half",
         TPenStyle::Solid,
         {-kFar, 10 - kFar / 2},
         {kFar, 10 + kFar / 2},
         {0, 10},
         {80, 50},
         false},
        {"steep, backwards",
         TPenStyle::Solid,
         {5 + kFar / 4, kFar},
         {5 - kFar / 4, -kFar},
         {15, 40},
         {4, -4},
         false},
        {"the whole int range", TPenStyle::Solid, {kMin, kMin}, {kMax, kMax}, {-1, -1}, {41, 41}, false},
        // 2^30 = 4 (mod 6): the dots keep their phase from the far start.
        {"dotted", TPenStyle::Dot, {-kFar, 7}, {kFar, 7}, {-4, 7}, {41, 7}, false},
        {"clipped", TPenStyle::Solid, {-kFar, -kFar}, {kFar, kFar}, {-1, -1}, {41, 41}, true},
    };
    for (const Row& row : rows) {
        for (const qreal ratio : {1.0, 2.0}) {
            SCOPED_TRACE(std::string(row.name) + " at ratio " + std::to_string(ratio));
            QImage far = WhiteImage(40, 40, ratio);
            QImage near = WhiteImage(40, 40, ratio);
            for (auto [image, a, b] :
                 {std::tuple{&far, row.farFrom, row.farTo}, std::tuple{&near, row.nearFrom, row.nearTo}}) {
                TQtCanvas canvas(image);
                if (row.clip) {
                    canvas.SetClipRect(MakeRect(8, 5, 30, 33));
                }
                canvas.SetPen(TPen{clBlack, row.style, 1, TPenMode::Copy});
                canvas.Line(a.X, a.Y, b.X, b.Y);
            }
            EXPECT_GT(CountColor(near, clBlack, near.rect()), 10);
            EXPECT_EQ(far, near);
        }
    }
}

TEST(QtCanvasLine, WidePenIsCentredBand) {
    QImage image = WhiteImage(30, 30);
    {
        TQtCanvas canvas(&image);
        canvas.SetPen(SolidPen(clBlack, 2));
        canvas.Line(5, 10, 20, 10);
        canvas.Line(3, 15, 3, 25);
    }
    EXPECT_EQ(InkBox(image, QRect(0, 0, 30, 13)), QRect(QPoint(4, 9), QPoint(20, 10)));
    EXPECT_EQ(InkBox(image, QRect(0, 13, 10, 17)), QRect(QPoint(2, 14), QPoint(3, 25)));
}

TEST(QtCanvasNotXor, DrawingTwiceRestoresTheImage) {
    // At every screen density, the zoom rectangle of a drag and the sheet's margin lines go as they came.
    for (const qreal ratio : {1.0, 2.0, 1.5}) {
        SCOPED_TRACE(ratio);
        QImage image = WhiteImage(60, 40, ratio);
        {
            TQtCanvas canvas(&image);
            canvas.SetBrush(SolidBrush(clYellow));
            canvas.FillRect(MakeRect(0, 0, 30, 40));
            canvas.SetBrush(SolidBrush(clNavy));
            canvas.FillRect(MakeRect(30, 20, 60, 40));
        }
        const QImage before = image.copy();
        TQtCanvas canvas(&image);
        ASSERT_TRUE(canvas.SupportsNotXor());
        canvas.SetPen(SolidPen(clBlack, 1, TPenMode::NotXor));
        canvas.SetBrush(TBrush{clWhite, bsClear});
        canvas.Rectangle(MakeRect(5, 5, 50, 35));
        canvas.Line(0, 0, 59, 39);
        canvas.SetPen(TPen{clBlack, TPenStyle::Dot, 1, TPenMode::NotXor});
        canvas.Line(2, 38, 58, 38);
        // Not-xor with a black pen inverts: white turns black, yellow turns blue.
        EXPECT_EQ(LogicalPixel(image, 40, 5), clBlack);
        EXPECT_EQ(LogicalPixel(image, 5, 12), clBlue);
        EXPECT_EQ(LogicalPixel(image, 5, 5), clBlue);  // the corner keeps its one inversion
        canvas.Line(2, 38, 58, 38);
        canvas.SetPen(SolidPen(clBlack, 1, TPenMode::NotXor));
        canvas.Rectangle(MakeRect(50, 35, 5, 5));
        canvas.Line(0, 0, 59, 39);
        canvas.Painter().end();
        EXPECT_EQ(image, before);
    }
}

// The logical image drawn anew at ratio: each device pixel takes the colour of the logical pixel it
// belongs to, with the edges where Qt's fills put them.
QImage Enlarged(const QImage& logical, qreal ratio) {
    QImage out = WhiteImage(logical.width(), logical.height(), ratio);
    for (int y = 0; y < logical.height(); ++y) {
        for (int x = 0; x < logical.width(); ++x) {
            for (int dy = DeviceEdge(y, ratio); dy < DeviceEdge(y + 1, ratio) && dy < out.height(); ++dy) {
                for (int dx = DeviceEdge(x, ratio); dx < DeviceEdge(x + 1, ratio) && dx < out.width(); ++dx) {
                    out.setPixel(dx, dy, logical.pixel(x, y));
                }
            }
        }
    }
    return out;
}

TEST(QtCanvasDensity, AxisParallelFiguresCoverTheDevicePixelsOfTheirLogicalPixels) {
    // Frames, axes, ticks, grid lines and markers keep their geometry on a high-density screen.
    const auto draw = [](QImage& image) {
        TQtCanvas canvas(&image);
        canvas.SetPen(SolidPen(clBlack));
        canvas.SetBrush(SolidBrush(clRed));
        canvas.Rectangle(MakeRect(2, 3, 17, 11));
        canvas.Line(3, 20, 30, 20);
        canvas.Line(30, 22, 3, 22);  // leftwards
        canvas.Line(34, 30, 34, 2);  // upwards
        canvas.Line(36, 2, 36, 31);  // downwards
        canvas.SetPen(TPen{clGray, TPenStyle::Dot, 1, TPenMode::Copy});
        canvas.Line(1, 25, 38, 25);
        canvas.Line(38, 27, 1, 27);
        canvas.Line(39, 1, 39, 31);
        canvas.SetPen(SolidPen(clBlue, 3));
        canvas.Line(5, 29, 25, 29);
        canvas.SetPen(TPen{clBlack, TPenStyle::Clear});
        canvas.SetBrush(SolidBrush(clPurple));
        canvas.Rectangle(MakeRect(20, 5, 25, 10));  // a point's marker
        canvas.SetPixel(28, 8, clGreen);
        canvas.SetPen(SolidPen(clBlack, 1, TPenMode::NotXor));
        canvas.SetBrush(TBrush{clWhite, bsClear});
        canvas.Rectangle(MakeRect(10, 6, 31, 24));  // a zoom rectangle over all of it
    };
    QImage logical = WhiteImage(42, 33);
    draw(logical);
    for (const qreal ratio : {2.0, 1.5}) {
        SCOPED_TRACE(ratio);
        QImage dense = WhiteImage(42, 33, ratio);
        draw(dense);
        EXPECT_EQ(dense, Enlarged(logical, ratio));
    }
}

TEST(QtCanvasDensity, SlantedLinesAreDrawnAtTheDeviceResolution) {
    struct Row {
        const char* name;
        TPoint from, to;
    };
    const Row rows[] = {
        {"shallow", {2, 3}, {37, 14}},  {"shallow, backwards", {37, 20}, {2, 9}},
        {"steep", {4, 2}, {13, 30}},    {"steep, backwards", {30, 31}, {22, 1}},
        {"diagonal", {1, 1}, {30, 30}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QImage logical = WhiteImage(40, 33);
        QImage dense = WhiteImage(40, 33, 2.0);
        for (QImage* image : {&logical, &dense}) {
            TQtCanvas canvas(image);
            canvas.SetPen(SolidPen(clBlack));
            canvas.Line(row.from.X, row.from.Y, row.to.X, row.to.Y);
        }
        // The curve is as smooth as the screen allows: finer than a logical pixel...
        EXPECT_GT(MixedBlocks(dense, dense.rect()), 10);
        // ... and one logical pixel thick, two device pixels across its major direction at every step,
        // from the first logical pixel up to, not into, the last.
        const bool xMajor = std::abs(row.to.X - row.from.X) >= std::abs(row.to.Y - row.from.Y);
        const int start = xMajor ? row.from.X : row.from.Y;
        const int end = xMajor ? row.to.X : row.to.Y;
        const int lo = 2 * (start < end ? start : end + 1);
        const int hi = 2 * (start < end ? end : start + 1);
        for (int m = 0; m < (xMajor ? dense.width() : dense.height()); ++m) {
            int ink = 0;
            for (int k = 0; k < (xMajor ? dense.height() : dense.width()); ++k) {
                ink += (xMajor ? PixelColor(dense, m, k) : PixelColor(dense, k, m)) == clBlack ? 1 : 0;
            }
            EXPECT_EQ(ink, m >= lo && m < hi ? 2 : 0) << "device " << (xMajor ? "column " : "row ") << m;
        }
        // It stays on the path of the logical line: every device pixel lies on or beside its pixels.
        for (int y = 0; y < dense.height(); ++y) {
            for (int x = 0; x < dense.width(); ++x) {
                if (PixelColor(dense, x, y) != clBlack) {
                    continue;
                }
                bool beside = false;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const QPoint p(x / 2 + dx, y / 2 + dy);
                        beside = beside ||
                                 (logical.rect().contains(p) && PixelColor(logical, p.x(), p.y()) == clBlack);
                    }
                }
                ASSERT_TRUE(beside) << "device pixel " << x << "," << y;
            }
        }
    }
}

// The ink of a black line on white in one device pixel: 0 for white, 1 for black.
double Ink(const QImage& image, int x, int y) {
    return 1.0 - qGray(image.pixel(x, y)) / 255.0;
}

TEST(QtCanvasDensity, CurvesFollowTheirExactPositions) {
    // A curve sampled between pixels, as a fitted curve is.
    std::vector<TPointF> curve;
    for (double x = 2; x < 37; x += 0.37) {
        curve.push_back(TPointF{x, 15 + 8 * std::sin(x / 5)});
    }
    const auto exactY = [&](double x) {
        for (std::size_t i = 1; i < curve.size(); ++i) {
            if (x <= curve[i].X) {
                const double t = (x - curve[i - 1].X) / (curve[i].X - curve[i - 1].X);
                return curve[i - 1].Y + t * (curve[i].Y - curve[i - 1].Y);
            }
        }
        return curve.back().Y;
    };
    for (const qreal ratio : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(ratio);
        QImage image = WhiteImage(40, 30, ratio);
        {
            TQtCanvas canvas(&image);
            canvas.SetPen(SolidPen(clBlack));
            EXPECT_EQ(canvas.DrawsSubPixelLines(), ratio > 1);
            canvas.PolylineF(curve);
        }
        if (ratio == 1) {
            // At 100 % the curve keeps the pixel rules: its rounded points, one pixel wide, no shades.
            std::vector<TPoint> pixels;
            for (const TPointF& p : curve) {
                pixels.push_back(TPoint{RoundToInt(p.X), RoundToInt(p.Y)});
            }
            QImage rounded = WhiteImage(40, 30);
            {
                TQtCanvas canvas(&rounded);
                canvas.SetPen(SolidPen(clBlack));
                canvas.Polyline(pixels);
            }
            EXPECT_EQ(image, rounded);
            continue;
        }
        // Antialiased: shades between the pen's colour and the background along the curve...
        int shades = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                shades += Ink(image, x, y) > 0.1 && Ink(image, x, y) < 0.9 ? 1 : 0;
            }
        }
        EXPECT_GT(shades, 100);
        // ... and in every device column the middle of the ink lies within half a device pixel of the
        // curve through the pixels' centres, a logical pixel thick across the line.
        for (int c = DeviceEdge(3, ratio); c < DeviceEdge(36, ratio); ++c) {
            const double x = (c + 0.5) / ratio - 0.5;
            const double slope = (exactY(x + 0.01) - exactY(x - 0.01)) / 0.02;
            double ink = 0;
            double moment = 0;
            for (int r = 0; r < image.height(); ++r) {
                ink += Ink(image, c, r);
                moment += Ink(image, c, r) * (r + 0.5);
            }
            ASSERT_GT(ink, 0) << "device column " << c;
            EXPECT_NEAR(moment / ink, ratio * (exactY(x) + 0.5), 0.5) << "device column " << c;
            EXPECT_NEAR(ink, ratio * std::sqrt(1 + slope * slope), 0.3 * ratio) << "device column " << c;
        }
    }
}

TEST(QtCanvasDensity, StyledLinesAreEquallyThickWhereverTheyLie) {
    // Grid lines at every position, on a device whose logical pixels are one, two or three device
    // pixels across by position, drawn straight onto an image and replayed from a picture.
    struct Row {
        qreal ratio;
        bool picture;
    };
    const Row rows[] = {{1.5, false}, {1.5, true}, {2.0, false}, {2.0, true}, {2.5, false}};
    const auto draw = [](TCanvas& canvas) {
        canvas.SetPen(TPen{clGray, TPenStyle::Dot, 1, TPenMode::Copy});
        for (int p = 2; p < 38; p += 3) {
            canvas.Line(1, p, 20, p);
            canvas.Line(24 + p, 1, 24 + p, 20);
        }
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.ratio) + (row.picture ? " picture" : " image"));
        const qreal ratio = row.ratio;
        QImage image = WhiteImage(64, 40, ratio);
        if (row.picture) {
            QPicture picture;
            {
                QPainter painter(&picture);
                TQtCanvas canvas(painter);
                canvas.SetDeviceRatio(ratio);
                draw(canvas);
            }
            QPainter painter(&image);
            painter.drawPicture(0, 0, picture);
        } else {
            TQtCanvas canvas(&image);
            draw(canvas);
        }
        // The most device pixels any place along a line has across it.
        const auto thickness = [&](int p, bool horizontal) {
            int most = 0;
            for (int m = DeviceEdge(1, ratio); m < DeviceEdge(20, ratio); ++m) {
                int n = 0;
                for (int k = DeviceEdge(p - 1, ratio); k < DeviceEdge(p + 2, ratio); ++k) {
                    n += horizontal ? (IsWhite(image, m, k) ? 0 : 1) : (IsWhite(image, k, m) ? 0 : 1);
                }
                most = std::max(most, n);
            }
            return most;
        };
        for (int p = 2; p < 38; p += 3) {
            EXPECT_EQ(thickness(p, true), static_cast<int>(ratio)) << "row " << p;
            EXPECT_EQ(thickness(24 + p, false), static_cast<int>(ratio)) << "column " << 24 + p;
        }
    }
}

TEST(QtCanvasClip, DrawingStaysInsideClipUntilCleared) {
    QImage image = WhiteImage(40, 40);
    {
        TQtCanvas canvas(&image);
        canvas.SetClipRect(MakeRect(10, 10, 20, 20));
        canvas.SetBrush(SolidBrush(clRed));
        canvas.FillRect(MakeRect(0, 0, 40, 40));
        canvas.SetPen(SolidPen(clBlack));
        canvas.Line(0, 25, 40, 25);
        canvas.ClearClip();
        canvas.SetPixel(35, 35, clGreen);
    }
    EXPECT_EQ(InkBox(image, QRect(0, 0, 40, 30)), QRect(QPoint(10, 10), QPoint(19, 19)));
    EXPECT_EQ(CountColor(image, clRed, image.rect()), 100);
    EXPECT_EQ(PixelColor(image, 35, 35), clGreen);
}

TEST(QtCanvasMapping, WindowAndViewportScaleDrawingAndClip) {
    QImage image = WhiteImage(80, 80);
    {
        TQtCanvas canvas(&image);
        TMapping m;
        m.WindowExt = TPoint{100, 100};
        m.ViewportExt = TPoint{200, 200};
        m.ViewportOrg = TPoint{4, 0};
        canvas.SetMapping(m);
        EXPECT_EQ(canvas.Mapping(), m);
        canvas.SetClipRect(MakeRect(0, 0, 15, 100));
        canvas.SetBrush(SolidBrush(clBlue));
        canvas.FillRect(MakeRect(10, 10, 20, 20));
        canvas.SetMapping(TMapping{});
        canvas.ClearClip();
        canvas.SetPixel(0, 0, clRed);
    }
    EXPECT_EQ(InkBox(image, QRect(2, 2, 78, 78)), QRect(QPoint(24, 20), QPoint(33, 39)));
    EXPECT_EQ(PixelColor(image, 0, 0), clRed);
}

TEST(QtCanvasBuffer, BufferStartsWhiteAndIsCopiedInDevicePixels) {
    for (const qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        QImage image = WhiteImage(50, 50, ratio);
        TQtCanvas canvas(&image);
        canvas.SetBrush(SolidBrush(clBlack));
        canvas.FillRect(MakeRect(0, 0, 50, 50));
        auto buffer = canvas.CreateBuffer(20, 10);
        // Sized in logical pixels, held at the density of the canvas that made it.
        ASSERT_EQ(buffer->Width(), 20);
        ASSERT_EQ(buffer->Height(), 10);
        const QImage& pixels = dynamic_cast<TQtImageBuffer&>(*buffer).Image();
        ASSERT_EQ(pixels.size(), QSize(20, 10) * ratio);
        buffer->Canvas().SetPixel(0, 0, clRed);
        buffer->Canvas().SetPixel(19, 9, clBlue);
        buffer->Canvas().SetPen(SolidPen(clGreen));
        buffer->Canvas().Line(3, 2, 15, 7);
        // Mapping and clip of the target do not apply to the copy.
        TMapping m;
        m.WindowExt = TPoint{1, 1};
        m.ViewportExt = TPoint{2, 2};
        canvas.SetMapping(m);
        canvas.SetClipRect(MakeRect(0, 0, 1, 1));
        canvas.DrawBuffer(5, 7, *buffer);
        canvas.Painter().end();
        EXPECT_EQ(LogicalPixel(image, 5, 7), clRed);
        EXPECT_EQ(LogicalPixel(image, 24, 16), clBlue);
        EXPECT_EQ(LogicalPixel(image, 6, 7), clWhite);
        EXPECT_EQ(LogicalPixel(image, 25, 16), clBlack);
        EXPECT_EQ(LogicalPixel(image, 24, 17), clBlack);
        // Pixel for pixel, with nothing smoothed or lost.
        QImage copied = image.copy(QRect(QPoint(5, 7) * ratio, pixels.size()));
        copied.setDevicePixelRatio(ratio);
        EXPECT_EQ(copied, pixels);
    }
}

TEST(QtCanvasShapes, PolygonAndEllipseStayInsideTheirBoxes) {
    QImage image = WhiteImage(40, 40);
    {
        TQtCanvas canvas(&image);
        canvas.SetPen(SolidPen(clBlack));
        canvas.SetBrush(SolidBrush(clLime));
        const TPoint triangle[] = {{7, 13}, {13, 13}, {10, 7}};
        canvas.Polygon(triangle);
        canvas.Ellipse(MakeRect(20, 20, 31, 27));
    }
    EXPECT_EQ(InkBox(image, QRect(0, 0, 18, 18)), QRect(QPoint(7, 7), QPoint(13, 13)));
    EXPECT_GT(CountColor(image, clLime, QRect(0, 0, 18, 18)), 0);
    EXPECT_EQ(InkBox(image, QRect(18, 18, 22, 22)), QRect(QPoint(20, 20), QPoint(30, 26)));
}

class QtCanvasText : public testing::Test {
protected:
    QImage image = WhiteImage(200, 60);
    TQtCanvas canvas{&image};

    void SetUp() override {
        TFont font;  // Arial, 8 points
        canvas.SetFont(font);
        canvas.SetBackMode(bmTransparent);
    }
};

TEST_F(QtCanvasText, HeightIsTheClassicCellHeight) {
    EXPECT_EQ(canvas.PixelsPerInch(), 96);
    // Arial 8 points on a 96 dpi device: a cell of 13 pixels, ascent and descent each rounded up.
    EXPECT_EQ(canvas.TextHeight("W"), 13);
    TFont small;
    small.Size = 0;
    small.Height = -8;
    canvas.SetFont(small);
    const int h8 = canvas.TextHeight("W");
    TFont cell;
    cell.Size = 0;
    cell.Height = h8;
    canvas.SetFont(cell);
    EXPECT_EQ(canvas.TextHeight("W"), h8);
    EXPECT_LT(h8, 13);
}

TEST_F(QtCanvasText, AlignmentPlacesTheTextCell) {
    const std::string text = "12,5";
    const int w = canvas.TextWidth(text);
    const int h = canvas.TextHeight(text);
    ASSERT_GT(w, 10);
    canvas.SetTextAlign(taLeft | taTop);
    canvas.TextOut(20, 5, text);
    canvas.SetTextAlign(taRight | taTop);
    canvas.TextOut(100, 5, text);
    canvas.SetTextAlign(taCenter | taBottom);
    canvas.TextOut(150, 30, text);
    canvas.SetTextAlign(taLeft | taBaseline);
    canvas.TextOut(20, 50, "EEE");
    canvas.Painter().end();

    const QRect left = InkBox(image, QRect(0, 0, 60, 25));
    EXPECT_GE(left.left(), 20);
    EXPECT_LE(left.right(), 20 + w - 1);
    EXPECT_GE(left.top(), 5);
    EXPECT_LE(left.bottom(), 5 + h - 1);

    const QRect right = InkBox(image, QRect(60, 0, 60, 25));
    EXPECT_LE(right.right(), 99);
    EXPECT_GE(right.left(), 100 - w);
    EXPECT_EQ(right.top(), left.top());
    EXPECT_EQ(right.width(), left.width());

    const QRect centred = InkBox(image, QRect(120, 0, 80, 31));
    EXPECT_LE(centred.bottom(), 29);
    EXPECT_GE(centred.top(), 30 - h);
    EXPECT_NEAR((centred.left() + centred.right() + 1) / 2.0, 150.0, 2.0);

    // A capital sits on the baseline: its last ink row is the row just above it.
    const QRect baseline = InkBox(image, QRect(0, 35, 100, 25));
    EXPECT_EQ(baseline.bottom(), 49);
}

TEST_F(QtCanvasText, OpaqueBackgroundFillsExactlyTheCell) {
    const int w = canvas.TextWidth("Wx");
    const int h = canvas.TextHeight("Wx");
    canvas.SetBackMode(bmOpaque);
    canvas.SetBackColor(clAqua);
    canvas.TextOut(30, 20, "Wx");
    canvas.Painter().end();
    EXPECT_EQ(InkBox(image, image.rect()), QRect(30, 20, w, h));
    EXPECT_TRUE(PixelColor(image, 30, 20) == clAqua);
}

TEST_F(QtCanvasText, WidthsAgreeWithQtShaping) {
    QFont font("Arial");
    font.setPixelSize(11);
    const QFontMetrics fm(font);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> digit(0, 9);
    const std::string symbols = "0123456789,.-+E ";
    for (int i = 0; i < 500; ++i) {
        std::string s;
        const int n = 1 + i % 12;
        for (int k = 0; k < n; ++k) {
            s += (k % 3 == 2) ? symbols[static_cast<std::size_t>(rng() % symbols.size())]
                              : static_cast<char>('0' + digit(rng));
        }
        ASSERT_EQ(canvas.TextWidth(s), fm.horizontalAdvance(QString::fromStdString(s))) << s;
        // No text of the same layout is narrower than the bound, and the bound is no looser than the kerned
        // pairs of digits make it ("11" is narrower than "10" in some fonts).
        std::string other = s;
        int narrowest = canvas.TextWidth(s);
        for (int k = 0; k < 20; ++k) {
            for (char& c : other) {
                if (c >= '0' && c <= '9') {
                    c = static_cast<char>('0' + digit(rng));
                }
            }
            narrowest = std::min(narrowest, canvas.TextWidth(other));
            ASSERT_LE(canvas.NarrowestWithOtherDigits(s), canvas.TextWidth(other)) << s << " " << other;
        }
        ASSERT_GE(canvas.NarrowestWithOtherDigits(s), narrowest - n) << s;
    }
    EXPECT_EQ(canvas.NarrowestWithOtherDigits("\xd0\x9c"
                                              "1"),
              -1);
    for (const char* s :
         {"AVAWATAR To", "Wo Yo LT 11", "", "Y = 1.5000000 * X^3", "\xd0\x9c\xd0\xb0\xd0\xbb\xd0\xbe"}) {
        EXPECT_EQ(canvas.TextWidth(s), fm.horizontalAdvance(QString::fromUtf8(s))) << s;
    }
}

TEST(QtCanvasDevices, SvgDeviceDrawsWithoutRasterOperations) {
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&bytes);
    svg.setSize(QSize(50, 40));
    svg.setViewBox(QRect(0, 0, 50, 40));
    {
        TQtCanvas canvas(&svg);
        EXPECT_FALSE(canvas.SupportsNotXor());
        canvas.SetPen(SolidPen(clBlack, 1, TPenMode::NotXor));
        canvas.SetBrush(SolidBrush(clRed));
        canvas.Rectangle(MakeRect(1, 1, 20, 20));
        canvas.SetBackMode(bmTransparent);
        canvas.TextOut(2, 25, "1,5");
    }
    const QByteArray out = bytes.data();
    EXPECT_TRUE(out.contains("<svg"));
    EXPECT_TRUE(out.contains("1,5"));
}

TEST(QtCanvasDevices, ColourConversionKeepsBlueGreenRedOrder) {
    EXPECT_EQ(ToQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(clBlue), QColor(0, 0, 255));
    EXPECT_EQ(ToQColor(clPurple), QColor(128, 0, 128));
    EXPECT_EQ(FromQColor(QColor(0, 128, 0)), clGreen);
    EXPECT_EQ(FromQColor(ToQColor(0x123456)), 0x123456u);
}

}  // namespace
}  // namespace quorvel
