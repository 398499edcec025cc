#include "chart/qt/qt_canvas.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPolygon>
#include <QPolygonF>
#include <QScreen>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "chart/line_raster.h"
#include "chart/qt/text_width_table.h"
#include "runtime/exceptions.h"

namespace quorvel {

namespace {

QRect ToQRect(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// Rectangles may come with their corners in any order; the device context draws them normalised.
TRect Normalised(const TRect& r) {
    return TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
                 std::max(r.Top, r.Bottom)};
}

// Dash patterns of the classic styled pens: in pixels for one-pixel pens (the ones lines are rasterised
// with here), in pen widths for wider ones.
QList<qreal> DashPattern(TPenStyle style, bool cosmetic) {
    if (cosmetic) {
        const std::span<const int> dashes = CosmeticDashes(style);
        return QList<qreal>(dashes.begin(), dashes.end());
    }
    switch (style) {
        case TPenStyle::Dash:
            return {3, 1};
        case TPenStyle::Dot:
            return {1, 1};
        case TPenStyle::DashDot:
            return {3, 1, 1, 1};
        case TPenStyle::DashDotDot:
            return {3, 1, 1, 1, 1, 1};
        default:
            return {};
    }
}

Qt::BrushStyle ToQtBrushStyle(TBrushStyle style) {
    switch (style) {
        case bsSolid:
            return Qt::SolidPattern;
        case bsClear:
            return Qt::NoBrush;
        case bsHorizontal:
            return Qt::HorPattern;
        case bsVertical:
            return Qt::VerPattern;
        case bsFDiagonal:
            return Qt::FDiagPattern;
        case bsBDiagonal:
            return Qt::BDiagPattern;
        case bsCross:
            return Qt::CrossPattern;
        case bsDiagCross:
            return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

// The mapping of one logical axis onto the device's pixels.
TDeviceAxis DeviceAxis(const QTransform& toDevice, bool x) {
    return x ? TDeviceAxis{toDevice.m11(), toDevice.dx()} : TDeviceAxis{toDevice.m22(), toDevice.dy()};
}

constexpr std::size_t kMaxCachedWidths = 1 << 16;

std::vector<QPoint> WithoutRepeats(std::span<const TPoint> points) {
    std::vector<QPoint> out;
    out.reserve(points.size());
    for (const TPoint& p : points) {
        if (out.empty() || out.back() != QPoint(p.X, p.Y)) {
            out.emplace_back(p.X, p.Y);
        }
    }
    return out;
}

}  // namespace

int ScreenPixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int ppi = screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : 0;
    return ppi > 0 ? ppi : 96;
}

TQtCanvas::TQtCanvas(QPaintDevice* device) : ownPainter_(std::make_unique<QPainter>()) {
    if (device == nullptr || !ownPainter_->begin(device)) {
        throw Exception("Canvas does not allow drawing");
    }
    painter_ = ownPainter_.get();
    Init();
}

TQtCanvas::TQtCanvas(QPainter& painter) : painter_(&painter), foundMode_(painter.compositionMode()) {
    Init();
}

TQtCanvas::~TQtCanvas() {
    if (ownPainter_ && ownPainter_->isActive()) {
        ownPainter_->end();
    } else if (!ownPainter_ && painter_->isActive() && painter_->compositionMode() != foundMode_) {
        // A borrowed painter goes back in the raster operation it came with: whatever it draws next
        // (a recorded picture replays only the changes of mode it recorded) must not be not-xor.
        painter_->setCompositionMode(foundMode_);
    }
}

void TQtCanvas::Init() {
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Paint engines claim raster operations they then drop (SVG does), so go by the engine type.
    const QPaintEngine* engine = painter_->paintEngine();
    const QPaintEngine::Type type = engine != nullptr ? engine->type() : QPaintEngine::User;
    rasterDevice_ = type == QPaintEngine::Raster;
    rasterOps_ = rasterDevice_ || type == QPaintEngine::Picture || type == QPaintEngine::OpenGL2;
    if (painter_->device() != nullptr && painter_->device()->logicalDpiY() > 0) {
        ppi_ = painter_->device()->logicalDpiY();
    }
    if (painter_->device() != nullptr && painter_->device()->devicePixelRatio() > 0) {
        ratio_ = painter_->device()->devicePixelRatio();
    }
}

void TQtCanvas::SetPixelsPerInch(int ppi) {
    if (ppi > 0 && ppi != ppi_) {
        ppi_ = ppi;
        current_ = nullptr;
    }
}

void TQtCanvas::SetPen(const TPen& pen) {
    pen_ = pen;
}

void TQtCanvas::SetBrush(const TBrush& brush) {
    brush_ = brush;
}

void TQtCanvas::SetFont(const TFont& font) {
    if (current_ != nullptr && font == font_) {
        return;
    }
    font_ = font;
    current_ = nullptr;
}

TQtCanvas::FontState& TQtCanvas::CurrentFont() const {
    if (current_ != nullptr) {
        return *current_;
    }
    int pixels = 0;
    bool cellHeight = false;
    if (font_.Size != 0 || font_.Height <= 0) {
        pixels = FontPixelHeight(font_, ppi_);
    } else {
        pixels = font_.Height;
        cellHeight = true;
    }
    if (pixels <= 0) {
        pixels = MulDiv(10, ppi_, 72);
    }
    const std::string key =
        font_.Name + '|' + std::to_string(pixels) + (cellHeight ? "c|" : "|") + std::to_string(font_.Style);
    auto it = fontCache_.find(key);
    if (it == fontCache_.end()) {
        FontState state;
        state.font = QFont(QString::fromStdString(font_.Name));
        state.font.setBold((font_.Style & fsBold) != 0);
        state.font.setItalic((font_.Style & fsItalic) != 0);
        state.font.setUnderline((font_.Style & fsUnderline) != 0);
        state.font.setStrikeOut((font_.Style & fsStrikeOut) != 0);
        // A positive height asks for the whole cell: take the largest size whose cell fits.
        for (int px = pixels;; --px) {
            state.font.setPixelSize(std::max(px, 1));
            const QFontMetricsF fm(state.font);
            state.ascent = static_cast<int>(std::ceil(fm.ascent()));
            state.height = state.ascent + static_cast<int>(std::ceil(fm.descent()));
            if (!cellHeight || px <= 1 || state.height <= pixels) {
                break;
            }
        }
        state.table = &TTextWidthTable::ForFont(state.font);
        it = fontCache_.emplace(key, std::move(state)).first;
    }
    current_ = &it->second;
    return *current_;
}

void TQtCanvas::ApplyMode(TPenMode mode) {
    const QPainter::CompositionMode wanted = (mode == TPenMode::NotXor && rasterOps_)
                                                 ? QPainter::RasterOp_NotSourceXorDestination
                                                 : QPainter::CompositionMode_SourceOver;
    if (painter_->compositionMode() != wanted) {
        painter_->setCompositionMode(wanted);
    }
}

bool TQtCanvas::PenIsExact() const {
    // Width 1 scales with the mapping like any logical length; width 0 stays one device pixel.
    return pen_.Style == TPenStyle::Solid && (pen_.Width == 1 || (pen_.Width <= 0 && !scaled_));
}

QPen TQtCanvas::MakePen() const {
    if (!pen_.IsVisible()) {
        return QPen(Qt::NoPen);
    }
    QPen pen(ToQColor(pen_.Color));
    const bool cosmetic = pen_.Width <= 0 || (pen_.Width == 1 && !scaled_);
    // A cosmetic width counts device pixels: one logical pixel on a high-density device. Styled lines
    // (grid lines) take whole device pixels, as many as every logical pixel has, so that at a fractional
    // ratio they are not one or two pixels thick by position; their dashes keep their logical lengths.
    const qreal width = ratio_ <= 1 ? 0 : pen_.Style == TPenStyle::Solid ? ratio_ : std::floor(ratio_);
    if (cosmetic) {
        pen.setWidthF(width);
        pen.setCosmetic(true);
        pen.setCapStyle(Qt::FlatCap);
    } else {
        pen.setWidth(pen_.Width);
        pen.setCapStyle(pen_.Style == TPenStyle::Solid ? Qt::RoundCap : Qt::FlatCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    if (pen_.Style != TPenStyle::Solid) {
        QList<qreal> dashes = DashPattern(pen_.Style, cosmetic);
        if (cosmetic && width > 0) {
            // Cosmetic dashes count pen widths.
            for (qreal& d : dashes) {
                d *= ratio_ / width;
            }
        }
        pen.setDashPattern(dashes);
    }
    return pen;
}

QBrush TQtCanvas::MakeBrush() const {
    if (brush_.Style == bsClear) {
        return QBrush(Qt::NoBrush);
    }
    return QBrush(ToQColor(brush_.Color), ToQtBrushStyle(brush_.Style));
}

void TQtCanvas::ApplyBackground() {
    // Hatched brushes fill their gaps with the background colour only in opaque mode.
    painter_->setBackgroundMode(backMode_ == bmOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_->setBackground(ToQColor(backColor_));
}

void TQtCanvas::FillBand(int left, int top, int width, int height, const QColor& color) {
    if (width > 0 && height > 0) {
        painter_->fillRect(QRect(left, top, width, height), color);
    }
}

void TQtCanvas::ThickLine(TPoint a, TPoint b) {
    const int w = pen_.Width;
    const QColor color = ToQColor(pen_.Color);
    // Axis-parallel wide lines are bands centred on the path, w/2 before it and (w-1)/2 after it, with
    // the round caps of a wide pen reaching as far beyond each end.
    if (a.Y == b.Y) {
        const int x0 = std::min(a.X, b.X);
        const int x1 = std::max(a.X, b.X);
        FillBand(x0 - w / 2, a.Y - w / 2, x1 - x0 + w, w, color);
        return;
    }
    if (a.X == b.X) {
        const int y0 = std::min(a.Y, b.Y);
        const int y1 = std::max(a.Y, b.Y);
        FillBand(a.X - w / 2, y0 - w / 2, w, y1 - y0 + w, color);
        return;
    }
    painter_->setPen(MakePen());
    painter_->drawLine(QPoint(a.X, a.Y), QPoint(b.X, b.Y));
}

void TQtCanvas::LineTo(int x, int y) {
    const TPoint from = penPos_;
    penPos_ = TPoint{x, y};
    if (!pen_.IsVisible() || from == penPos_) {
        return;
    }
    ApplyMode(pen_.Mode);
    if (OwnLines()) {
        RasterLine(from, penPos_);
        return;
    }
    TPoint start = from;
    TPoint end = penPos_;
    if (!BringFarEndsIn(start, end)) {
        return;
    }
    if (pen_.Width > 1 && pen_.Style == TPenStyle::Solid) {
        ThickLine(start, end);
        return;
    }
    painter_->setPen(MakePen());
    // Other devices keep a hairline as geometry, which covers the pixels from its lower end up to its
    // higher one. A line drawn backwards keeps its start pixel and leaves out its end pixel on the
    // screen, so its segment moves one pixel towards the start.
    QPoint a(start.X, start.Y);
    QPoint b(end.X, end.Y);
    const bool hairline = !scaled_ && pen_.Width <= 1;
    if (hairline && a.y() == b.y() && b.x() < a.x()) {
        a.rx() += 1;
        b.rx() += 1;
    } else if (hairline && a.x() == b.x() && b.y() < a.y()) {
        a.ry() += 1;
        b.ry() += 1;
    }
    painter_->drawLine(a, b);
}

bool TQtCanvas::OwnLines() const {
    return rasterDevice_ && !scaled_ && pen_.Width <= 1;
}

std::optional<TRect> TQtCanvas::VisibleBounds() const {
    // What can still change a pixel: the device, and the clip where there is one, in logical
    // coordinates; one pixel wider all round, so rounding can never take a visible pixel away. A picture
    // being recorded has no extent of its own yet.
    const QPaintDevice* device = painter_->device();
    QRectF bounds;
    bool bounded = false;
    if (device != nullptr && device->devType() != QInternal::Picture) {
        bounds = QRectF(0, 0, device->width(), device->height());
        bool invertible = false;
        const QTransform toLogical = painter_->combinedTransform().inverted(&invertible);
        if (invertible) {
            bounds = toLogical.mapRect(bounds);
        }
        bounded = true;
    }
    if (painter_->hasClipping()) {
        const QRectF clip = painter_->clipBoundingRect();
        bounds = bounded ? (bounds & clip) : clip;
        bounded = true;
    }
    if (!bounded) {
        return std::nullopt;
    }
    const QRect r = bounds.toAlignedRect().adjusted(-1, -1, 1, 1);
    return TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

bool TQtCanvas::BringFarEndsIn(TPoint& a, TPoint& b) const {
    // Lines that stay near what can be seen go to the device exactly as given. Ends farther out are
    // moved in along the line to a square well beyond it, in real numbers: devices that keep geometry
    // (PDF, SVG) would otherwise carry coordinates their readers cannot draw.
    constexpr double kReach = 4096;
    const std::optional<TRect> visible = VisibleBounds();
    if (!visible) {
        return true;
    }
    const double left = visible->Left - kReach;
    const double top = visible->Top - kReach;
    const double right = visible->Right + kReach;
    const double bottom = visible->Bottom + kReach;
    const auto near = [&](TPoint p) { return p.X >= left && p.X <= right && p.Y >= top && p.Y <= bottom; };
    if (near(a) && near(b)) {
        return true;
    }
    TSegmentF s{static_cast<double>(a.X), static_cast<double>(a.Y), static_cast<double>(b.X),
                static_cast<double>(b.Y)};
    if (!ClipSegment(s, left, top, right, bottom)) {
        return false;
    }
    const auto pixel = [](double x, double y) {
        return TPoint{static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
    };
    a = pixel(s.X0, s.Y0);
    b = pixel(s.X1, s.Y1);
    return !(a == b);
}

void TQtCanvas::RasterLine(TPoint a, TPoint b) {
    const QTransform toDevice = painter_->deviceTransform();
    const bool finer = toDevice.type() <= QTransform::TxScale && (toDevice.m11() != 1 || toDevice.m22() != 1);
    // A raster device always has an extent.
    const TRect visible = VisibleBounds().value_or(TRect{});
    const QColor color = ToQColor(pen_.Color);
    if (a.X != b.X && a.Y != b.Y && finer) {
        // Slanted, at the device's resolution: device pixels go to the painter as logical rectangles that
        // map exactly onto them.
        const TDeviceLineRaster line(a, b, pen_.Style, DeviceAxis(toDevice, true),
                                     DeviceAxis(toDevice, false), visible);
        line.ForEachRun([&](const TDeviceRun& r) {
            const double x0 = line.Major().Logical(r.Major0);
            const double x1 = line.Major().Logical(r.Major1);
            const double y0 = line.Minor().Logical(r.Minor0);
            const double y1 = line.Minor().Logical(r.Minor1);
            painter_->fillRect(
                line.XMajor() ? QRectF(x0, y0, x1 - x0, y1 - y0) : QRectF(y0, x0, y1 - y0, x1 - x0), color);
        });
        return;
    }
    const bool evenStyled = finer && pen_.Style != TPenStyle::Solid;
    const TLineRaster line(a, b, pen_.Style, visible);
    line.ForEachRun([&](const TPixelRun& r) {
        if (evenStyled) {
            EvenStyledRun(r.Lo, r.Length, r.Across, line.XMajor(), toDevice, color);
        } else if (line.XMajor()) {
            FillBand(r.Lo, r.Across, r.Length, 1, color);
        } else {
            FillBand(r.Across, r.Lo, 1, r.Length, color);
        }
    });
}

void TQtCanvas::EvenStyledRun(int lo, int len, int across, bool xMajor, const QTransform& toDevice,
                              const QColor& color) {
    // From the first device pixel of the logical one across the line, floor(ratio) device pixels: what
    // the thinnest logical pixel holds, so the line never spills onto its neighbours.
    const TDeviceAxis device = DeviceAxis(toDevice, !xMajor);
    const auto first = static_cast<double>(device.Edge(across));
    const double thick = std::max(1.0, std::floor(std::fabs(device.Scale)));
    const double a0 = (first - device.Offset) / device.Scale;
    const double a1 = (first + thick - device.Offset) / device.Scale;
    const double top = std::min(a0, a1);
    const double extent = std::fabs(a1 - a0);
    painter_->fillRect(xMajor ? QRectF(lo, top, len, extent) : QRectF(top, lo, extent, len), color);
}

void TQtCanvas::DrawOutline(std::span<const QPoint> points, bool closed) {
    if (OwnLines()) {
        for (std::size_t i = 1; i < points.size(); ++i) {
            RasterLine(TPoint{points[i - 1].x(), points[i - 1].y()}, TPoint{points[i].x(), points[i].y()});
        }
        if (closed && points.size() > 1) {
            RasterLine(TPoint{points.back().x(), points.back().y()}, TPoint{points[0].x(), points[0].y()});
        }
        return;
    }
    painter_->setPen(MakePen());
    painter_->setBrush(Qt::NoBrush);
    if (closed) {
        painter_->drawPolygon(points.data(), static_cast<int>(points.size()));
    } else {
        painter_->drawPolyline(points.data(), static_cast<int>(points.size()));
    }
}

void TQtCanvas::Polyline(std::span<const TPoint> points) {
    const std::vector<QPoint> pts = WithoutRepeats(points);
    if (pts.size() < 2 || !pen_.IsVisible()) {
        return;
    }
    ApplyMode(pen_.Mode);
    if (pen_.Width > 1 && pen_.Style == TPenStyle::Solid) {
        for (std::size_t i = 1; i < pts.size(); ++i) {
            ThickLine(TPoint{pts[i - 1].x(), pts[i - 1].y()}, TPoint{pts[i].x(), pts[i].y()});
        }
        return;
    }
    DrawOutline(pts, false);
}

bool TQtCanvas::DrawsSubPixelLines() const {
    // At ratio 1, and under a scaling mapping (printing), the pixel rules of one-pixel lines hold.
    return ratio_ > 1 && !scaled_ && pen_.IsVisible() && pen_.Width <= 1 && pen_.Mode == TPenMode::Copy;
}

void TQtCanvas::PolylineF(std::span<const TPointF> points) {
    if (!DrawsSubPixelLines()) {
        TCanvas::PolylineF(points);
        return;
    }
    // Far ends are cut at a square well beyond what can be seen, as for pixel lines.
    constexpr double kReach = 4096;
    constexpr double kUnbounded = 1 << 30;
    const std::optional<TRect> visible = VisibleBounds();
    const double left = visible ? visible->Left - kReach : -kUnbounded;
    const double top = visible ? visible->Top - kReach : -kUnbounded;
    const double right = visible ? visible->Right + kReach : kUnbounded;
    const double bottom = visible ? visible->Bottom + kReach : kUnbounded;
    const auto inside = [&](double x, double y) {
        return x >= left && x <= right && y >= top && y <= bottom;
    };
    // Points closer than a quarter device pixel to the last one drawn add nothing one can see but time
    // (a curve of 10^5 samples); the last point of each run is always kept.
    const double close = 0.25 / ratio_;
    QPen pen = MakePen();
    pen.setJoinStyle(Qt::RoundJoin);
    ApplyMode(TPenMode::Copy);
    painter_->setPen(pen);
    painter_->setBrush(Qt::NoBrush);
    painter_->setRenderHint(QPainter::Antialiasing, true);
    QPolygonF run;
    QPointF skipped;
    bool hasSkipped = false;
    const auto flush = [&] {
        if (hasSkipped) {
            run.append(skipped);
            hasSkipped = false;
        }
        if (run.size() > 1) {
            painter_->drawPolyline(run);
        }
        run.clear();
    };
    for (std::size_t i = 1; i < points.size(); ++i) {
        TSegmentF s{points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y};
        if (!(inside(s.X0, s.Y0) && inside(s.X1, s.Y1)) && !ClipSegment(s, left, top, right, bottom)) {
            flush();
            continue;
        }
        // Position p names the pixel from p to p + 1: the line runs through the pixels' centres.
        const QPointF a(s.X0 + 0.5, s.Y0 + 0.5);
        const QPointF b(s.X1 + 0.5, s.Y1 + 0.5);
        if (run.isEmpty() || (hasSkipped ? skipped : run.back()) != a) {
            flush();
            run.append(a);
        }
        const QPointF d = b - run.back();
        if (std::fabs(d.x()) < close && std::fabs(d.y()) < close) {
            skipped = b;
            hasSkipped = true;
        } else {
            run.append(b);
            hasSkipped = false;
        }
    }
    flush();
    painter_->setRenderHint(QPainter::Antialiasing, false);
}

void TQtCanvas::Rectangle(const TRect& rect) {
    const TRect r = Normalised(rect);
    if (r.IsEmpty()) {
        return;
    }
    ApplyMode(pen_.Mode);
    const int w = r.Width();
    const int h = r.Height();
    const QBrush brush = MakeBrush();
    if (pen_.IsVisible()) {
        if (brush.style() != Qt::NoBrush && w > 2 && h > 2) {
            ApplyBackground();
            painter_->fillRect(QRect(r.Left + 1, r.Top + 1, w - 2, h - 2), brush);
        }
        if (PenIsExact()) {
            // Four bands that never overlap, so a not-xor outline keeps its corners.
            const QColor color = ToQColor(pen_.Color);
            FillBand(r.Left, r.Top, w, 1, color);
            if (h > 1) {
                FillBand(r.Left, r.Bottom - 1, w, 1, color);
            }
            FillBand(r.Left, r.Top + 1, 1, h - 2, color);
            if (w > 1) {
                FillBand(r.Right - 1, r.Top + 1, 1, h - 2, color);
            }
        } else {
            painter_->setPen(MakePen());
            painter_->setBrush(Qt::NoBrush);
            painter_->drawRect(QRect(r.Left, r.Top, w - 1, h - 1));
        }
    } else if (brush.style() != Qt::NoBrush) {
        ApplyBackground();
        painter_->fillRect(ToQRect(r.Left, r.Top, r.Right, r.Bottom), brush);
    }
}

void TQtCanvas::FillRect(const TRect& rect) {
    const TRect r = Normalised(rect);
    if (r.IsEmpty() || brush_.Style == bsClear) {
        return;
    }
    // A plain fill copies the brush; the pen's mode does not apply.
    ApplyMode(TPenMode::Copy);
    if (brush_.Style == bsSolid) {
        painter_->fillRect(ToQRect(r.Left, r.Top, r.Right, r.Bottom), ToQColor(brush_.Color));
        return;
    }
    ApplyBackground();
    painter_->fillRect(ToQRect(r.Left, r.Top, r.Right, r.Bottom), MakeBrush());
}

void TQtCanvas::Ellipse(const TRect& rect) {
    const TRect r = Normalised(rect);
    if (r.IsEmpty()) {
        return;
    }
    ApplyMode(pen_.Mode);
    ApplyBackground();
    painter_->setPen(MakePen());
    painter_->setBrush(MakeBrush());
    painter_->drawEllipse(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
}

void TQtCanvas::Polygon(std::span<const TPoint> points) {
    if (points.size() < 2) {
        return;
    }
    QPolygon polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const TPoint& p : points) {
        polygon.append(QPoint(p.X, p.Y));
    }
    ApplyMode(pen_.Mode);
    ApplyBackground();
    if (!pen_.IsVisible() || pen_.Width > 1 || !OwnLines()) {
        painter_->setPen(MakePen());
        painter_->setBrush(MakeBrush());
        painter_->drawPolygon(polygon);
        return;
    }
    // The fill first, then an outline through every vertex pixel.
    if (brush_.Style != bsClear) {
        painter_->setPen(Qt::NoPen);
        painter_->setBrush(MakeBrush());
        painter_->drawPolygon(polygon);
    }
    DrawOutline(std::span<const QPoint>(polygon.constData(), static_cast<std::size_t>(polygon.size())), true);
}

void TQtCanvas::SetPixel(int x, int y, TColor color) {
    ApplyMode(TPenMode::Copy);
    painter_->fillRect(QRect(x, y, 1, 1), ToQColor(color));
}

void TQtCanvas::TextOut(int x, int y, std::string_view text) {
    FontState& font = CurrentFont();
    const int width = TextWidth(text);
    int left = x;
    switch (align_ & taHorizontalMask) {
        case taCenter:
            left = x - width / 2;
            break;
        case taRight:
            left = x - width;
            break;
        default:
            break;
    }
    int top = y;
    switch (align_ & taVerticalMask) {
        case taBottom:
            top = y - font.height;
            break;
        case taBaseline:
            top = y - font.ascent;
            break;
        default:
            break;
    }
    ApplyMode(TPenMode::Copy);
    if (backMode_ == bmOpaque) {
        FillBand(left, top, width, font.height, ToQColor(backColor_));
    }
    if (text.empty()) {
        return;
    }
    painter_->setFont(font.font);
    painter_->setPen(QPen(ToQColor(font_.Color)));
    painter_->drawText(QPoint(left, top + font.ascent),
                       QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int TQtCanvas::NarrowestWithOtherDigits(std::string_view text) const {
    return CurrentFont().table->NarrowestWithOtherDigits(text);
}

int TQtCanvas::TextWidth(std::string_view text) const {
    FontState& font = CurrentFont();
    const int fast = font.table->Width(text);
    if (fast >= 0) {
        return fast;
    }
    std::string key(text);
    auto it = font.widths.find(key);
    if (it != font.widths.end()) {
        return it->second;
    }
    const int width = QFontMetrics(font.font).horizontalAdvance(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    // The screen's buffer canvas lives as long as the chart; keep its memory bounded.
    if (font.widths.size() >= kMaxCachedWidths) {
        font.widths.clear();
    }
    font.widths.emplace(std::move(key), width);
    return width;
}

int TQtCanvas::TextHeight(std::string_view /*text*/) const {
    return CurrentFont().height;
}

void TQtCanvas::SetClipRect(const TRect& rect) {
    const TRect r = Normalised(rect);
    painter_->setClipRect(ToQRect(r.Left, r.Top, r.Right, r.Bottom), Qt::ReplaceClip);
}

void TQtCanvas::ClearClip() {
    painter_->setClipping(false);
}

void TQtCanvas::SetMapping(const TMapping& m) {
    mapping_ = m;
    const bool degenerate = m.WindowExt.X == 0 || m.WindowExt.Y == 0;
    scaled_ = !degenerate && (m.WindowExt != m.ViewportExt);
    if (degenerate || (!scaled_ && m.WindowOrg == TPoint{} && m.ViewportOrg == TPoint{})) {
        painter_->setViewTransformEnabled(false);
        return;
    }
    painter_->setWindow(QRect(m.WindowOrg.X, m.WindowOrg.Y, m.WindowExt.X, m.WindowExt.Y));
    painter_->setViewport(QRect(m.ViewportOrg.X, m.ViewportOrg.Y, m.ViewportExt.X, m.ViewportExt.Y));
    painter_->setViewTransformEnabled(true);
}

std::unique_ptr<TCanvasBuffer> TQtCanvas::CreateBuffer(int w, int h) {
    return std::make_unique<TQtImageBuffer>(w, h, ppi_, ratio_);
}

void TQtCanvas::DrawBuffer(int x, int y, TCanvasBuffer& buffer) {
    auto* image = dynamic_cast<TQtImageBuffer*>(&buffer);
    if (image == nullptr) {
        return;
    }
    // Pixel for pixel (the buffer has the device's ratio), at logical (x, y): no mapping, no clip, no
    // raster operation.
    painter_->save();
    painter_->setViewTransformEnabled(false);
    painter_->setWorldMatrixEnabled(false);
    painter_->setClipping(false);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->drawImage(QPoint(x, y), image->Image());
    painter_->restore();
}

TQtImageBuffer::TQtImageBuffer(int w, int h, int ppi, qreal ratio)
    : width_(std::max(w, 1)),
      height_(std::max(h, 1)),
      image_(QSize(width_, height_) * RatioFor(ratio), QImage::Format_RGB32) {
    image_.setDevicePixelRatio(RatioFor(ratio));
    image_.fill(Qt::white);
    canvas_ = std::make_unique<TQtCanvas>(&image_);
    canvas_->SetPixelsPerInch(ppi);
}

QImage TQtImageBuffer::TakeImage() {
    if (canvas_->Painter().isActive()) {
        canvas_->Painter().end();
    }
    return image_;
}

}  // namespace quorvel
