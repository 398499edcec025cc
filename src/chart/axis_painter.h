#pragma once
// Measures and draws one axis in a rendering: the room its labels and ticks take, and its labels, ticks,
// grid and line. It reads the axis' settings and the rendering's layout of the axis, draws on the
// rendering's canvas and keeps the ticks of its one pass; it writes neither settings nor layout.
#include <cstddef>
#include <string>
#include <vector>

#include "chart/axis.h"

namespace quorvel {

class TLabelThinning;

// The most tick positions one pass records; further ones are dropped.
inline constexpr std::size_t kMaxAxisTicks = 2000;

class TAxisPainter {
public:
    TAxisPainter(const TCustomChartAxis& axis, const TRenderContext& context);

    // --- measures, for the layout ---
    // The label step that fits the labels of the range's ends.
    double LabelIncrement() const;
    // The room across the axis for labels, and for the line and ticks.
    int LabelBandSize() const;
    int TickBandSize() const;
    int LineHeight() const;

    // Draws labels, ticks, grid and line of the layout's scale.
    void Draw();

private:
    int LabelExtent(const std::string& text) const;
    int WidestValueLabel() const;
    void DrawValueLabels(double step);
    void DrawHookedValueLabels();
    void DrawPointLabels();
    // The label of point i of owner as the mark style or the point label gives it and the hook makes it.
    std::string HookedLabel(TChartSeries& owner, int i, bool markStyle) const;
    // The first point of owner in from ... to - 1 that the label thinning would not pass over, or to.
    int FirstUncovered(const TChartSeries& owner, int from, int to, const TLabelThinning& thinning) const;
    // Where the minor ticks go, by the ticks of this pass.
    std::vector<int> MinorTicks() const;
    void DrawOneLabel(const TScaleMap& scale, double value);
    void DrawLabelText(int p, const std::string& text);
    void RecordTick(int p);
    void DrawTicksAndGrid();
    void DrawTick(const TChartPen& pen, int p, int from, int length, bool outward);
    void DrawGridLine(const TChartPen& pen, int p);

    const TCustomChartAxis& axis_;
    const TAxisSettings& settings_;
    const TRenderContext& context_;
    const TAxisLayout& layout_;
    const TChart& chart_;
    const TChartCanvas& canvas_;
    const TAxisKind kind_;
    const bool horizontal_;

    // Tick positions of this pass, in recording order.
    std::vector<int> ticks_;
};

}  // namespace quorvel
