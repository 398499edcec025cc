#pragma once
// Value marks: small boxed texts above the points of a series, each joined to its point by an arrow.
#include <string>
#include <vector>

#include "chart/canvas.h"
#include "chart/chart_pen.h"

namespace quorvel {

class TChartSeries;
class TChartCanvas;

enum TSeriesMarksStyle {
    smsValue,
    smsPercent,
    smsLabel,
    smsLabelPercent,
    smsLabelValue,
    smsLegend,
    smsPercentTotal,
    smsLabelPercentTotal,
    smsXValue,
};

struct TSeriesMarkPosition {
    TPoint ArrowFrom;
    TPoint ArrowTo;
    TPoint LeftTop;
    int Width = 0;
    int Height = 0;
    // A custom position replaces the computed one when the mark is drawn.
    bool Custom = false;
    bool Stored = false;
};

// The default colour of a mark box: pale yellow.
inline constexpr TColor kMarkBackColor = 0x80FFFF;

class TSeriesMarks {
public:
    explicit TSeriesMarks(TChartSeries* owner);
    TSeriesMarks(const TSeriesMarks&) = delete;
    TSeriesMarks& operator=(const TSeriesMarks&) = delete;

    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    TSeriesMarksStyle Style() const { return style_; }
    void SetStyle(TSeriesMarksStyle v);
    int ArrowLength() const { return arrowLength_; }
    void SetArrowLength(int v);
    TChartPen& Arrow() { return arrow_; }
    const TChartPen& Arrow() const { return arrow_; }
    TChartPen& Frame() { return frame_; }
    const TChartPen& Frame() const { return frame_; }
    TColor BackColor() const { return backColor_; }
    void SetBackColor(TColor v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& v);
    bool Clip() const { return clip_; }
    void SetClip(bool v);

    // The last computed box and arrow per point index; emptied by ClearPoints.
    std::vector<TSeriesMarkPosition>& Positions() { return positions_; }
    const std::vector<TSeriesMarkPosition>& Positions() const { return positions_; }
    void ClearPositions();

    // Draws the arrow, the box and the text of point index (position memory first).
    void DrawMarkBox(const TChartCanvas& canvas, int index, TColor pointColor, TSeriesMarkPosition position,
                     const std::string& text, TColor chartColor);

private:
    void Changed();

    TChartSeries* owner_;
    bool visible_ = false;
    TSeriesMarksStyle style_ = smsLabel;
    int arrowLength_ = 8;
    TChartPen arrow_{clWhite, 1};
    TChartPen frame_{clBlack, 1};
    TColor backColor_ = kMarkBackColor;
    bool transparent_ = false;
    TFont font_;
    bool clip_ = false;
    std::vector<TSeriesMarkPosition> positions_;
};

// Splits a mark text into its lines (separated by carriage returns).
std::vector<std::string> SplitMarkLines(const std::string& text);

}  // namespace quorvel
