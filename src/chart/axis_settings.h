#pragma once
// What a user or a stored layout sets on an axis, as plain data with its defaults. The axis owns one and
// tells the chart of each change; its scale and its painter only read it.
#include <string>

#include "chart/canvas.h"
#include "chart/chart_pen.h"

namespace quorvel {

enum TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };

struct TAxisSettings {
    // The range: automatic at both ends, or Minimum..Maximum where an end is not automatic.
    bool Automatic = true;
    bool AutomaticMinimum = true;
    bool AutomaticMaximum = true;
    double Minimum = 0;
    double Maximum = 0;
    bool Inverted = false;

    // Value labels: the smallest step (0: any), the free room between labels in percent of a label's size,
    // and whether the first label is rounded to the step.
    double Increment = 0;
    int LabelsSeparation = 10;
    bool RoundFirstLabel = true;

    bool Labels = true;
    TAxisLabelStyle LabelStyle = talAuto;
    std::string AxisValuesFormat = "#,##0.###";
    bool LabelsOnAxis = true;
    bool TickOnLabelsOnly = true;
    int LabelsAngle = 0;
    // The room reserved for labels in pixels; 0: measured.
    int LabelsSize = 0;
    bool LabelsMultiLine = false;
    TFont LabelsFont;

    int TickLength = 4;
    int TickInnerLength = 0;
    int MinorTickLength = 2;
    int MinorTickCount = 3;
    TChartPen AxisPen{clBlack, 2};
    TChartPen Ticks{clGray, 1};
    TChartPen TicksInner{clGray, 1};
    TChartPen MinorTicks{clGray, 1};
    TChartPen Grid{clGray, 1, TPenStyle::Dot};
    TChartPen MinorGrid{clGray, 1, TPenStyle::Solid, false};
    bool GridCentered = false;

    // Where the axis lies: its ends in percent of the plot's length, and its shift into the plot in percent
    // of the plot's breadth.
    double StartPosition = 0;
    double EndPosition = 100;
    double PositionPercent = 0;
    bool Visible = true;
    // Axis title text (reserves room when not empty).
    std::string Title;
};

}  // namespace quorvel
