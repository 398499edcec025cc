#pragma once
// A canvas that records every drawing call with the state it was drawn in, and measures text with fixed
// metrics so that layouts can be checked to the pixel:
//   - every line of text is 13 pixels high, whatever the font;
//   - "W" is 8 pixels wide, every other character (UTF-8 code point) 5 pixels.
// Other test folders may include it.
#include <memory>
#include <string>
#include <vector>

#include "chart/canvas.h"

namespace quorvel::testing {

enum class Op {
    MoveTo,
    LineTo,
    Polyline,
    Rectangle,
    FillRect,
    Ellipse,
    Polygon,
    Pixel,
    Text,
    Clip,
    Unclip,
    Buffer
};

struct Record {
    Op op;
    TPoint from;  // LineTo: the pen position before the line
    TPoint to;    // MoveTo/LineTo/Pixel/Text/Buffer: the point
    TRect rect;   // Rectangle/FillRect/Ellipse/Clip
    std::vector<TPoint> points;
    std::string text;
    TPen pen;
    TBrush brush;
    TFont font;
    unsigned align = 0;
    TBackMode backMode = bmOpaque;
    TColor color = 0;  // Pixel
};

class RecordingCanvas;

class RecordingBuffer : public TCanvasBuffer {
public:
    RecordingBuffer(int w, int h);
    int Width() const override { return w_; }
    int Height() const override { return h_; }
    TCanvas& Canvas() override;

private:
    int w_;
    int h_;
    std::unique_ptr<RecordingCanvas> canvas_;
};

class RecordingCanvas : public TCanvas {
public:
    static constexpr int kLineHeight = 13;
    static constexpr int kWideChar = 8;
    static constexpr int kChar = 5;

    std::vector<Record> records;
    int buffersCreated = 0;

    void SetPen(const TPen& pen) override { pen_ = pen; }
    const TPen& Pen() const override { return pen_; }
    void SetBrush(const TBrush& brush) override { brush_ = brush; }
    const TBrush& Brush() const override { return brush_; }
    void SetFont(const TFont& font) override { font_ = font; }
    const TFont& Font() const override { return font_; }
    void SetTextAlign(unsigned align) override { align_ = align; }
    unsigned TextAlign() const override { return align_; }
    void SetBackMode(TBackMode mode) override { backMode_ = mode; }
    void SetBackColor(TColor) override {}
    int PixelsPerInch() const override { return 96; }

    void MoveTo(int x, int y) override {
        Add(Op::MoveTo).to = TPoint{x, y};
        pos_ = TPoint{x, y};
    }
    void LineTo(int x, int y) override {
        Record& r = Add(Op::LineTo);
        r.from = pos_;
        r.to = TPoint{x, y};
        pos_ = TPoint{x, y};
    }
    TPoint PenPos() const override { return pos_; }
    void Polyline(std::span<const TPoint> points) override {
        Add(Op::Polyline).points.assign(points.begin(), points.end());
    }
    void Rectangle(const TRect& r) override { Add(Op::Rectangle).rect = r; }
    void FillRect(const TRect& r) override { Add(Op::FillRect).rect = r; }
    void Ellipse(const TRect& r) override { Add(Op::Ellipse).rect = r; }
    void Polygon(std::span<const TPoint> points) override {
        Add(Op::Polygon).points.assign(points.begin(), points.end());
    }
    void SetPixel(int x, int y, TColor color) override {
        Record& r = Add(Op::Pixel);
        r.to = TPoint{x, y};
        r.color = color;
    }
    void TextOut(int x, int y, std::string_view text) override {
        Record& r = Add(Op::Text);
        r.to = TPoint{x, y};
        r.text = std::string(text);
    }
    // Every digit is as wide as the next.
    int NarrowestWithOtherDigits(std::string_view text) const override { return TextWidth(text); }
    int TextWidth(std::string_view text) const override {
        int w = 0;
        for (unsigned char c : text) {
            if ((c & 0xC0) == 0x80) {
                continue;  // UTF-8 continuation byte
            }
            w += c == 'W' ? kWideChar : kChar;
        }
        return w;
    }
    int TextHeight(std::string_view) const override { return kLineHeight; }
    void SetClipRect(const TRect& r) override { Add(Op::Clip).rect = r; }
    void ClearClip() override { Add(Op::Unclip); }
    void SetMapping(const TMapping& m) override { mapping_ = m; }
    const TMapping& Mapping() const override { return mapping_; }
    std::unique_ptr<TCanvasBuffer> CreateBuffer(int w, int h) override {
        ++buffersCreated;
        return std::make_unique<RecordingBuffer>(w, h);
    }
    void DrawBuffer(int x, int y, TCanvasBuffer&) override { Add(Op::Buffer).to = TPoint{x, y}; }

    // --- queries ---
    std::vector<const Record*> Find(Op op) const {
        std::vector<const Record*> out;
        for (const auto& r : records) {
            if (r.op == op) {
                out.push_back(&r);
            }
        }
        return out;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& r : records) {
            if (r.op == Op::Text) {
                out.push_back(r.text);
            }
        }
        return out;
    }
    const Record* FindText(const std::string& text) const {
        for (const auto& r : records) {
            if (r.op == Op::Text && r.text == text) {
                return &r;
            }
        }
        return nullptr;
    }
    void Clear() { records.clear(); }

private:
    Record& Add(Op op) {
        Record r;
        r.op = op;
        r.pen = pen_;
        r.brush = brush_;
        r.font = font_;
        r.align = align_;
        r.backMode = backMode_;
        records.push_back(std::move(r));
        return records.back();
    }

    TPen pen_;
    TBrush brush_;
    TFont font_;
    unsigned align_ = taLeft | taTop;
    TBackMode backMode_ = bmOpaque;
    TMapping mapping_;
    TPoint pos_;
};

inline RecordingBuffer::RecordingBuffer(int w, int h)
    : w_(w), h_(h), canvas_(std::make_unique<RecordingCanvas>()) {}

inline TCanvas& RecordingBuffer::Canvas() {
    return *canvas_;
}

// The canvas an unbuffered PaintTo drew on, or the buffer's canvas after a buffered one.
inline RecordingCanvas& DrawnCanvas(TCanvasBuffer* buffer, RecordingCanvas& direct) {
    return buffer != nullptr ? static_cast<RecordingCanvas&>(buffer->Canvas()) : direct;
}

}  // namespace quorvel::testing
