#pragma once
// The chart engine's canvas on a QPainter: one class for every device (widget, QImage, QPicture,
// QSvgGenerator, QPrinter). Antialiasing of lines and fills is off so that the pixel geometry of the
// classic device context holds exactly: rectangles without their right and bottom edges, lines without
// their end pixel, cosmetic dash patterns of 3-on-3-off dots.
//
// On raster devices (QImage, the widget's backing store) one-pixel lines are rasterised here, so that
// the first pixel is always drawn and the last never, whatever the direction; Qt's own rasteriser drops
// the pixel at the far end of its internal direction. Vector devices (QPicture, SVG, PDF, printers) get
// Qt lines, which a later rasterisation may place within a pixel of the same spot.
//
// On a high-density device (device pixel ratio above 1) every coordinate stays a logical pixel and Qt
// scales fills and text to the device's resolution. Axis-parallel one-pixel lines cover exactly the
// device pixels of the logical pixels they cover at ratio 1, so frames, axes, ticks and not-xor figures
// keep their geometry; styled ones (grid lines) take only as many device rows as every logical pixel
// has, so that at a fractional ratio they are all equally thick. Slanted lines are rasterised here at
// the device's resolution, a logical pixel thick; a PolylineF (the fitted curve) is drawn antialiased
// from its exact positions, so that curves are as smooth as the screen allows.
//
// Pen mode not-xor uses QPainter::RasterOp_NotSourceXorDestination where the device supports raster
// operations (QImage, the widget's backing store, a QPicture replayed onto either). Devices without
// them (SVG, PDF and printers) draw a not-xor pen in copy mode; the only not-xor figure is the zoom
// rectangle of a mouse drag, which never reaches such a device in practice.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTransform>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "chart/canvas.h"

class QPaintDevice;

namespace quorvel {

class TTextWidthTable;

// A blue-green-red colour value as a Qt colour (the series' own-colour flag bit is ignored).
inline QColor ToQColor(TColor c) {
    return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c));
}

// A Qt colour as a blue-green-red value.
inline TColor FromQColor(const QColor& c) {
    return static_cast<TColor>(c.red()) | (static_cast<TColor>(c.green()) << 8) |
           (static_cast<TColor>(c.blue()) << 16);
}

// The primary screen's logical resolution, which the window's own canvas has (96 where there is no
// screen): the font sizes of pictures and prints follow the screen's.
int ScreenPixelsPerInch();

class TQtCanvas final : public TCanvas {
public:
    // Opens its own painter on device and ends it on destruction.
    explicit TQtCanvas(QPaintDevice* device);
    // Draws through a painter the caller keeps active for the canvas' lifetime.
    explicit TQtCanvas(QPainter& painter);
    ~TQtCanvas() override;
    TQtCanvas(const TQtCanvas&) = delete;
    TQtCanvas& operator=(const TQtCanvas&) = delete;

    QPainter& Painter() { return *painter_; }
    // Overrides the resolution used for font sizes in points (the device's logical DPI by default).
    void SetPixelsPerInch(int ppi);
    // Whether pen mode not-xor is drawn as such on this device (see the file comment).
    bool SupportsNotXor() const { return rasterOps_; }
    // Draws for a device of that density (device pixels per logical pixel; the device's own by default):
    // a recorded picture replayed on a high-density screen keeps its one-pixel lines a logical pixel
    // wide there. Buffers made here share it.
    void SetDeviceRatio(qreal ratio) { ratio_ = ratio > 0 ? ratio : 1; }

    void SetPen(const TPen& pen) override;
    const TPen& Pen() const override { return pen_; }
    void SetBrush(const TBrush& brush) override;
    const TBrush& Brush() const override { return brush_; }
    void SetFont(const TFont& font) override;
    const TFont& Font() const override { return font_; }
    void SetTextAlign(unsigned align) override { align_ = align; }
    unsigned TextAlign() const override { return align_; }
    void SetBackMode(TBackMode mode) override { backMode_ = mode; }
    void SetBackColor(TColor color) override { backColor_ = color; }
    int PixelsPerInch() const override { return ppi_; }

    void MoveTo(int x, int y) override { penPos_ = TPoint{x, y}; }
    void LineTo(int x, int y) override;
    TPoint PenPos() const override { return penPos_; }
    void Polyline(std::span<const TPoint> points) override;
    // True on a high-density device for a one-pixel pen in copy mode: PolylineF is then drawn
    // antialiased from its exact positions, a logical pixel thick.
    bool DrawsSubPixelLines() const override;
    void PolylineF(std::span<const TPointF> points) override;

    void Rectangle(const TRect& r) override;
    void FillRect(const TRect& r) override;
    void Ellipse(const TRect& r) override;
    void Polygon(std::span<const TPoint> points) override;
    void SetPixel(int x, int y, TColor color) override;

    void TextOut(int x, int y, std::string_view text) override;
    int TextWidth(std::string_view text) const override;
    int NarrowestWithOtherDigits(std::string_view text) const override;
    int TextHeight(std::string_view text) const override;

    void SetClipRect(const TRect& r) override;
    void ClearClip() override;
    void SetMapping(const TMapping& mapping) override;
    const TMapping& Mapping() const override { return mapping_; }

    std::unique_ptr<TCanvasBuffer> CreateBuffer(int w, int h) override;
    void DrawBuffer(int x, int y, TCanvasBuffer& buffer) override;

private:
    struct FontState {
        QFont font;
        int ascent = 0;  // the cell's part above the baseline, rounded up as the classic context does
        int height = 0;  // ascent plus descent, each rounded up
        TTextWidthTable* table = nullptr;             // fast widths of ASCII texts
        std::unordered_map<std::string, int> widths;  // shaped widths of non-ASCII texts
    };

    void Init();
    FontState& CurrentFont() const;
    void ApplyMode(TPenMode mode);
    QPen MakePen() const;
    QBrush MakeBrush() const;
    bool PenIsExact() const;
    void ApplyBackground();
    void FillBand(int left, int top, int width, int height, const QColor& color);
    void ThickLine(TPoint a, TPoint b);
    // Whether one-pixel lines are rasterised here rather than by Qt (raster device, unscaled).
    bool OwnLines() const;
    // A one-pixel line from a, excluding b, with the pen's dash pattern, as runs of filled pixels (slanted
    // ones at the device's resolution where its pixels are smaller than the logical ones).
    void RasterLine(TPoint a, TPoint b);
    // One run of an axis-parallel styled line on a device whose pixels are smaller than the logical
    // ones: the same number of device pixels thick wherever it lies.
    void EvenStyledRun(int lo, int len, int across, bool xMajor, const QTransform& toDevice,
                       const QColor& color);
    // The logical rectangle outside which nothing drawn can show (device and clip), slightly widened;
    // none while neither is known (a picture being recorded without a clip).
    std::optional<TRect> VisibleBounds() const;
    // Moves line ends far beyond the visible bounds in along the line; false when nothing is left.
    bool BringFarEndsIn(TPoint& a, TPoint& b) const;
    void DrawOutline(std::span<const QPoint> points, bool closed);

    std::unique_ptr<QPainter> ownPainter_;
    QPainter* painter_ = nullptr;
    QPainter::CompositionMode foundMode_ = QPainter::CompositionMode_SourceOver;
    bool rasterOps_ = false;
    bool rasterDevice_ = false;  // pixels land on an image: lines are rasterised exactly here
    qreal ratio_ = 1;            // device pixels per logical pixel
    int ppi_ = 96;
    TPen pen_;
    TBrush brush_;
    TFont font_;
    unsigned align_ = taLeft | taTop;
    TBackMode backMode_ = bmOpaque;
    TColor backColor_ = clWhite;
    TPoint penPos_;
    TMapping mapping_;
    bool scaled_ = false;  // the mapping changes the scale, so cosmetic pens differ from width 1
    // Fonts met so far on this canvas by description; nodes stay put, so current_ may point into it.
    mutable std::unordered_map<std::string, FontState> fontCache_;
    mutable FontState* current_ = nullptr;
};

// An off-screen image with a canvas on it, as made by TQtCanvas::CreateBuffer: w x h logical pixels,
// held at ratio device pixels each.
class TQtImageBuffer final : public TCanvasBuffer {
public:
    TQtImageBuffer(int w, int h, int ppi, qreal ratio = 1);
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    qreal Ratio() const { return image_.devicePixelRatio(); }
    // The ratio of a buffer made for a device of deviceRatio: never coarser than a logical pixel.
    static qreal RatioFor(qreal deviceRatio) { return deviceRatio > 1 ? deviceRatio : 1; }
    TCanvas& Canvas() override { return *canvas_; }
    const QImage& Image() const { return image_; }
    // Ends drawing and hands out the image; the buffer's canvas draws nothing afterwards.
    QImage TakeImage();

private:
    int width_;
    int height_;
    QImage image_;
    std::unique_ptr<TQtCanvas> canvas_;
};

}  // namespace quorvel
