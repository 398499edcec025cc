#pragma once
// A chart title (top) or foot (bottom): lines of text drawn above or below the plot, which they push away.
#include <string>
#include <vector>

#include "chart/canvas.h"
#include "chart/chart_pen.h"

namespace quorvel {

class TCustomChartPanel;
class TChartCanvas;

enum class TTitleAlignment { Left, Center, Right };

class TChartTitle {
public:
    TChartTitle(TCustomChartPanel* owner, bool isFoot);
    TChartTitle(const TChartTitle&) = delete;
    TChartTitle& operator=(const TChartTitle&) = delete;

    bool IsFoot() const { return isFoot_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    const std::vector<std::string>& Text() const { return text_; }
    void SetText(std::vector<std::string> lines);
    void Clear() { SetText({}); }
    TTitleAlignment Alignment() const { return alignment_; }
    void SetAlignment(TTitleAlignment v);
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& v);
    TChartPen& Frame() { return frame_; }
    const TChartPen& Frame() const { return frame_; }
    bool AdjustFrame() const { return adjustFrame_; }
    void SetAdjustFrame(bool v);
    // AutoColor: no fill of its own.
    TColor Color() const { return color_; }
    void SetColor(TColor v);

    // Draws lines as this title against plot (the title's own Text, or lines a rendering shows in their
    // place) and moves plot's top (bottom for the foot) away from the text; returns the rectangle drawn
    // (empty when nothing was), for hit testing.
    TRect Draw(const TChartCanvas& canvas, TRect& plot, const std::vector<std::string>& lines) const;

private:
    void Changed();

    TCustomChartPanel* owner_;
    bool isFoot_;
    bool visible_ = true;
    std::vector<std::string> text_;
    TTitleAlignment alignment_ = TTitleAlignment::Center;
    TFont font_;
    TChartPen frame_{clBlack, 1, TPenStyle::Solid, false};
    bool adjustFrame_ = true;
    TColor color_ = AutoColor;
};

// The gap between a title and the plot rectangle, in pixels.
inline constexpr int kTitleGap = 5;

}  // namespace quorvel
