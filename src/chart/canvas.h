#pragma once
// The abstract drawing surface of the chart engine, with the semantics of a classic 2-D device context:
// integer pixels, rectangles without their right and bottom edges, lines without their end pixel.
// Concrete canvases (QPainter targets, the test recorder) implement TCanvas; the engine draws only
// through TChartCanvas, which maps the flat chart's (x, y, z) calls onto a TCanvas.
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chart/geometry.h"
#include "runtime/colors.h"

namespace quorvel {

enum class TPenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Clear };
// NotXor draws each pixel as NOT(pen XOR screen), so drawing the same figure twice restores it.
enum class TPenMode { Copy, NotXor };
enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};
enum TFontStyle : unsigned { fsNone = 0, fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
// Text alignment: one horizontal and one vertical flag, or-ed together.
enum TTextAlign : unsigned {
    taLeft = 0,
    taCenter = 1,
    taRight = 2,
    taTop = 0,
    taBottom = 4,
    taBaseline = 8,
};
inline constexpr unsigned taHorizontalMask = 3;
inline constexpr unsigned taVerticalMask = 12;
enum TBackMode { bmTransparent, bmOpaque };

struct TPen {
    TColor Color = clBlack;
    TPenStyle Style = TPenStyle::Solid;
    // 0 draws a one-pixel cosmetic line, as 1 does; printing uses 0 for dotted lines.
    int Width = 1;
    TPenMode Mode = TPenMode::Copy;
    bool IsVisible() const { return Style != TPenStyle::Clear; }
    friend bool operator==(const TPen&, const TPen&) = default;
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    friend bool operator==(const TBrush&, const TBrush&) = default;
};

// A font is given either by Size (points, converted with the canvas' PixelsPerInch) or, when Size is 0,
// by Height in pixels: negative = character height (the classic -8, -13), positive = cell height.
struct TFont {
    std::string Name = "Arial";
    int Size = 8;
    int Height = 0;
    TColor Color = clBlack;
    unsigned Style = fsNone;
    friend bool operator==(const TFont&, const TFont&) = default;
};

// Logical-to-device mapping: device = (logical - WindowOrg) * ViewportExt / WindowExt + ViewportOrg,
// per axis. The identity mapping has equal extents.
struct TMapping {
    TPoint WindowOrg{0, 0};
    TPoint WindowExt{1, 1};
    TPoint ViewportOrg{0, 0};
    TPoint ViewportExt{1, 1};
    friend bool operator==(const TMapping&, const TMapping&) = default;
};

class TCanvas;

// An off-screen surface made by a canvas for buffered painting; drawn back with TCanvas::DrawBuffer.
class TCanvasBuffer {
public:
    virtual ~TCanvasBuffer() = default;
    // Width of the surface in pixels.
    virtual int Width() const = 0;
    // Height of the surface in pixels.
    virtual int Height() const = 0;
    // The canvas that draws onto this surface; it lives as long as the buffer.
    virtual TCanvas& Canvas() = 0;
};

class TCanvas {
public:
    virtual ~TCanvas() = default;

    // --- state ---
    // Selects the pen used by lines and outlines.
    virtual void SetPen(const TPen& pen) = 0;
    // The selected pen.
    virtual const TPen& Pen() const = 0;
    // Selects the brush used by fills (bsClear fills nothing).
    virtual void SetBrush(const TBrush& brush) = 0;
    // The selected brush.
    virtual const TBrush& Brush() const = 0;
    // Selects the font used by TextOut and the text measurements.
    virtual void SetFont(const TFont& font) = 0;
    // The selected font.
    virtual const TFont& Font() const = 0;
    // Sets the TTextAlign flags that place TextOut's reference point.
    virtual void SetTextAlign(unsigned align) = 0;
    // The current TTextAlign flags (taLeft | taTop after construction).
    virtual unsigned TextAlign() const = 0;
    // Transparent text leaves the background; opaque fills each text cell with BackColor.
    virtual void SetBackMode(TBackMode mode) = 0;
    // Colour of the opaque text background and of the gaps of hatched brushes.
    virtual void SetBackColor(TColor color) = 0;
    // Resolution used to turn a font Size in points into pixels (96 for a screen).
    virtual int PixelsPerInch() const = 0;

    // --- lines ---
    // Moves the pen position without drawing.
    virtual void MoveTo(int x, int y) = 0;
    // Draws from the pen position to (x, y), excluding the pixel (x, y); the pen position becomes (x, y).
    virtual void LineTo(int x, int y) = 0;
    // The current pen position.
    virtual TPoint PenPos() const = 0;
    // Connected lines through the points with the pen; the last point's pixel is excluded.
    virtual void Polyline(std::span<const TPoint> points) = 0;
    // Whether lines drawn now with the selected pen can lie between whole pixels (a high-density
    // device): only then does PolylineF gain anything over Polyline.
    virtual bool DrawsSubPixelLines() const { return false; }
    // Polyline through finite positions between pixels. Rounded to whole pixels, halves to even,
    // unless the canvas draws sub-pixel lines.
    virtual void PolylineF(std::span<const TPointF> points) {
        // Within the int range with room to spare; the pixel lines cut far ends themselves.
        constexpr double kLimit = 1 << 30;
        std::vector<TPoint> pixels;
        pixels.reserve(points.size());
        for (const TPointF& p : points) {
            pixels.push_back(TPoint{RoundToInt(std::clamp(p.X, -kLimit, kLimit)),
                                    RoundToInt(std::clamp(p.Y, -kLimit, kLimit))});
        }
        Polyline(pixels);
    }

    // --- areas (outlined with the pen unless it is clear, filled with the brush unless it is clear) ---
    // Covers columns r.Left..r.Right-1 and rows r.Top..r.Bottom-1; a one-pixel outline lies on its edge
    // pixels.
    virtual void Rectangle(const TRect& r) = 0;
    // Fills r (edges excluded) with the brush only; the pen is not used.
    virtual void FillRect(const TRect& r) = 0;
    // The ellipse inscribed in r (edges excluded).
    virtual void Ellipse(const TRect& r) = 0;
    // A closed polygon through the vertex pixels, filled with the brush and outlined with the pen.
    virtual void Polygon(std::span<const TPoint> points) = 0;
    // Sets one pixel to the colour, ignoring pen and brush.
    virtual void SetPixel(int x, int y, TColor color) = 0;

    // --- text ---
    // Writes one line of UTF-8 text at (x, y) placed by TextAlign, in the font's colour, over the background
    // that BackMode asks for.
    virtual void TextOut(int x, int y, std::string_view text) = 0;
    // Width in pixels of one line of text in the selected font.
    virtual int TextWidth(std::string_view text) const = 0;
    // A width in the selected font that no text is narrower than which differs from `text` at most in
    // which digits stand where; -1 where the canvas cannot tell. Lets a caller see that a text cannot
    // fit before making it.
    virtual int NarrowestWithOtherDigits(std::string_view /*text*/) const { return -1; }
    // Height in pixels of one line of text in the selected font (the line height).
    virtual int TextHeight(std::string_view text) const = 0;

    // --- clipping and mapping ---
    // Restricts all drawing to r (logical coordinates under the current mapping, edges excluded).
    virtual void SetClipRect(const TRect& r) = 0;
    // Removes the clip rectangle.
    virtual void ClearClip() = 0;
    // Sets the logical-to-device mapping used by every later call, including SetClipRect.
    virtual void SetMapping(const TMapping& mapping) = 0;
    // The current mapping (identity after construction).
    virtual const TMapping& Mapping() const = 0;

    // --- off-screen buffers ---
    // A new off-screen surface of w x h pixels compatible with this canvas, initially white.
    virtual std::unique_ptr<TCanvasBuffer> CreateBuffer(int w, int h) = 0;
    // Copies the whole buffer unchanged with its top-left corner at (x, y) (device pixels).
    virtual void DrawBuffer(int x, int y, TCanvasBuffer& buffer) = 0;

    // Convenience: MoveTo then LineTo.
    void Line(int x0, int y0, int x1, int y1) {
        MoveTo(x0, y0);
        LineTo(x1, y1);
    }
};

// Draws nothing and measures nothing (text is 0 wide and 0 high); stands in for a missing target so that
// a drawing or measuring call outside a paint is harmless.
class TNullCanvas : public TCanvas {
public:
    void SetPen(const TPen& pen) override { pen_ = pen; }
    const TPen& Pen() const override { return pen_; }
    void SetBrush(const TBrush& brush) override { brush_ = brush; }
    const TBrush& Brush() const override { return brush_; }
    void SetFont(const TFont& font) override { font_ = font; }
    const TFont& Font() const override { return font_; }
    void SetTextAlign(unsigned align) override { align_ = align; }
    unsigned TextAlign() const override { return align_; }
    void SetBackMode(TBackMode) override {}
    void SetBackColor(TColor) override {}
    int PixelsPerInch() const override { return 96; }
    void MoveTo(int x, int y) override { pos_ = TPoint{x, y}; }
    void LineTo(int x, int y) override { pos_ = TPoint{x, y}; }
    TPoint PenPos() const override { return pos_; }
    void Polyline(std::span<const TPoint>) override {}
    void Rectangle(const TRect&) override {}
    void FillRect(const TRect&) override {}
    void Ellipse(const TRect&) override {}
    void Polygon(std::span<const TPoint>) override {}
    void SetPixel(int, int, TColor) override {}
    void TextOut(int, int, std::string_view) override {}
    int TextWidth(std::string_view) const override { return 0; }
    int TextHeight(std::string_view) const override { return 0; }
    void SetClipRect(const TRect&) override {}
    void ClearClip() override {}
    void SetMapping(const TMapping& m) override { mapping_ = m; }
    const TMapping& Mapping() const override { return mapping_; }
    std::unique_ptr<TCanvasBuffer> CreateBuffer(int, int) override { return nullptr; }
    void DrawBuffer(int, int, TCanvasBuffer&) override {}

private:
    TPen pen_;
    TBrush brush_;
    TFont font_;
    unsigned align_ = taLeft | taTop;
    TMapping mapping_;
    TPoint pos_;
};

// Pixel height of a font on a canvas: |Height| when Size is 0, else Size points at the canvas' resolution.
inline int FontPixelHeight(const TFont& font, int pixelsPerInch) {
    if (font.Size == 0) {
        return font.Height < 0 ? -font.Height : font.Height;
    }
    return MulDiv(font.Size, pixelsPerInch, 72);
}

// A rendering's canvas: every drawing call of the engine goes through it, to the canvas the rendering
// draws on (the off-screen buffer, the screen, a picture or a printer), or nowhere while there is none.
class TChartCanvas {
public:
    TChartCanvas() = default;
    explicit TChartCanvas(TCanvas* target) : target_(target) {}

    TCanvas* Target() const { return target_; }
    bool HasTarget() const { return target_ != nullptr; }
    // The target, or a canvas that does nothing while there is none.
    TCanvas& Canvas() const { return target_ != nullptr ? *target_ : null_; }

    // --- forwarding 2-D calls (a handle: drawing changes the target, not the handle) ---
    void SetPen(const TPen& p) const { Canvas().SetPen(p); }
    void SetBrush(const TBrush& b) const { Canvas().SetBrush(b); }
    void SetFont(const TFont& f) const { Canvas().SetFont(f); }
    void SetTextAlign(unsigned a) const { Canvas().SetTextAlign(a); }
    void SetBackMode(TBackMode m) const { Canvas().SetBackMode(m); }
    void SetBackColor(TColor c) const { Canvas().SetBackColor(c); }
    void MoveTo(int x, int y) const { Canvas().MoveTo(x, y); }
    void LineTo(int x, int y) const { Canvas().LineTo(x, y); }
    void Line(int x0, int y0, int x1, int y1) const { Canvas().Line(x0, y0, x1, y1); }
    void Rectangle(const TRect& r) const { Canvas().Rectangle(r); }
    void FillRect(const TRect& r) const { Canvas().FillRect(r); }
    void Ellipse(const TRect& r) const { Canvas().Ellipse(r); }
    void Polygon(std::span<const TPoint> pts) const { Canvas().Polygon(pts); }
    void Polyline(std::span<const TPoint> pts) const { Canvas().Polyline(pts); }
    bool DrawsSubPixelLines() const { return Canvas().DrawsSubPixelLines(); }
    void PolylineF(std::span<const TPointF> pts) const { Canvas().PolylineF(pts); }
    void SetPixel(int x, int y, TColor c) const { Canvas().SetPixel(x, y, c); }
    void TextOut(int x, int y, std::string_view t) const { Canvas().TextOut(x, y, t); }
    int TextWidth(std::string_view t) const { return Canvas().TextWidth(t); }
    int NarrowestWithOtherDigits(std::string_view t) const { return Canvas().NarrowestWithOtherDigits(t); }
    int TextHeight(std::string_view t) const { return Canvas().TextHeight(t); }
    void ClipRectangle(const TRect& r) const { Canvas().SetClipRect(r); }
    void UnClipRectangle() const { Canvas().ClearClip(); }

private:
    TCanvas* target_ = nullptr;
    mutable TNullCanvas null_;
};

}  // namespace quorvel
