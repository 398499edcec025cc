#pragma once
// What one rendering of a chart lays out: its rectangles, each axis' value-to-pixel mapping and each
// series' visible points. The screen's layout stays for hit tests, zoom and scroll; a rendering onto a
// picture or a printer lays out into one of its own, so a press on the screen is judged against what the
// screen shows.
#include <vector>

#include "chart/geometry.h"

namespace quorvel {

// An axis' working fields of the last layout: its value range and the pixels it maps onto.
struct TAxisLayout {
    double RangeMin = 0;
    double RangeMax = 0;
    int StartPixel = 0;
    int EndPixel = 0;
    double RangeSpan() const { return RangeMax - RangeMin; }
    int PixelSpan() const { return EndPixel - StartPixel; }
    int CenterPixel() const { return (StartPixel + EndPixel) / 2; }
    int AxisLinePos = 0;
    int LabelsPos = 0;
    // The outer edge of the room reserved for labels and ticks (for hit testing).
    int OuterPos = 0;
};

struct TSeriesLayout {
    int FirstVisible = -1;
    int LastVisible = -1;
};

struct TChartLayoutState {
    TRect PanelRect;
    TRect PlotRect;
    std::vector<TAxisLayout> Axes;
    std::vector<TSeriesLayout> Series;
    TRect TitleRect;
    TRect FootRect;
};

}  // namespace quorvel
