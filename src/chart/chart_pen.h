#pragma once
// Pens and brushes as chart settings: each change is told to its owner, which requests a repaint.
#include <functional>

#include "chart/canvas.h"

namespace quorvel {

class TChartPen {
public:
    TChartPen() = default;
    TChartPen(TColor color, int width, TPenStyle style = TPenStyle::Solid, bool visible = true)
        : color_(color), width_(width), style_(style), visible_(visible) {}

    TColor Color() const { return color_; }
    int Width() const { return width_; }
    TPenStyle Style() const { return style_; }
    bool Visible() const { return visible_; }
    void SetColor(TColor v) { Set(color_, v); }
    void SetWidth(int v) { Set(width_, v); }
    void SetStyle(TPenStyle v) { Set(style_, v); }
    void SetVisible(bool v) { Set(visible_, v); }
    // Takes colour, width, style and visibility of another pen (one change notice).
    void Assign(const TChartPen& other) {
        if (color_ != other.color_ || width_ != other.width_ || style_ != other.style_ ||
            visible_ != other.visible_) {
            color_ = other.color_;
            width_ = other.width_;
            style_ = other.style_;
            visible_ = other.visible_;
            Changed();
        }
    }

    // The canvas pen: an invisible pen is the clear pen. While printing a non-solid pen of width 1 is used
    // with width 0 (a cosmetic line that printers draw dotted).
    TPen CanvasPen(bool printing = false, TPenMode mode = TPenMode::Copy) const {
        TPen p;
        p.Color = color_;
        p.Style = visible_ ? style_ : TPenStyle::Clear;
        p.Width = width_;
        if (printing && p.Style != TPenStyle::Solid && p.Width == 1) {
            p.Width = 0;
        }
        p.Mode = mode;
        return p;
    }

    // Called after every change.
    std::function<void()> OnChange;

private:
    template <class T>
    void Set(T& field, T v) {
        if (field != v) {
            field = v;
            Changed();
        }
    }
    void Changed() {
        if (OnChange) {
            OnChange();
        }
    }

    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = TPenStyle::Solid;
    bool visible_ = true;
};

class TChartBrush {
public:
    TChartBrush() = default;
    TChartBrush(TColor color, TBrushStyle style) : color_(color), style_(style) {}

    TColor Color() const { return color_; }
    TBrushStyle Style() const { return style_; }
    void SetColor(TColor v) {
        if (color_ != v) {
            color_ = v;
            Changed();
        }
    }
    void SetStyle(TBrushStyle v) {
        if (style_ != v) {
            style_ = v;
            Changed();
        }
    }

    std::function<void()> OnChange;

private:
    void Changed() {
        if (OnChange) {
            OnChange();
        }
    }

    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

}  // namespace quorvel
