#pragma once
// A chart axis: its published settings, the value-to-pixel mapping of the last layout (shared by drawing,
// hit testing, zoom and scroll), the automatic range, the label step and the drawing of the scale.
#include <string>
#include <vector>

#include "chart/canvas.h"
#include "chart/chart_pen.h"
#include "chart/layout_state.h"
#include "chart/scale_map.h"

namespace quorvel {

class TCustomAxisPanel;
class TChartSeries;

enum TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };
enum TAxisKind { akLeft, akTop, akRight, akBottom, akDepth, akCustom };

// The working fields of a layout (RangeMin, StartPixel, ...) live in the chart's layout of the rendering
// in progress, or of the screen's last one; the axis works on whichever the chart has bound it to.
class TCustomChartAxis {
public:
    TCustomChartAxis(TCustomAxisPanel* chart, TAxisKind kind);
    virtual ~TCustomChartAxis() = default;
    TCustomChartAxis(const TCustomChartAxis&) = delete;
    TCustomChartAxis& operator=(const TCustomChartAxis&) = delete;

    TAxisKind Kind() const { return kind_; }
    bool Horizontal() const { return horizontal_; }
    bool OtherSide() const { return otherSide_; }
    bool IsDepthAxis() const { return kind_ == akDepth; }
    TCustomAxisPanel* ParentChart() const { return chart_; }

    // --- published settings ---
    bool Automatic() const { return automatic_; }
    void SetAutomatic(bool v) { Set(automatic_, v); }
    bool AutomaticMinimum() const { return automaticMinimum_; }
    void SetAutomaticMinimum(bool v) { Set(automaticMinimum_, v); }
    bool AutomaticMaximum() const { return automaticMaximum_; }
    void SetAutomaticMaximum(bool v) { Set(automaticMaximum_, v); }
    double Minimum() const { return minimum_; }
    void SetMinimum(double v) { Set(minimum_, v); }
    double Maximum() const { return maximum_; }
    void SetMaximum(double v) { Set(maximum_, v); }
    double Increment() const { return increment_; }
    // Refuses a negative step with AxisException.
    void SetIncrement(double v);
    bool Inverted() const { return inverted_; }
    void SetInverted(bool v) { Set(inverted_, v); }
    bool Labels() const { return labels_; }
    void SetLabels(bool v) { Set(labels_, v); }
    TAxisLabelStyle LabelStyle() const { return labelStyle_; }
    void SetLabelStyle(TAxisLabelStyle v) { Set(labelStyle_, v); }
    const std::string& AxisValuesFormat() const { return axisValuesFormat_; }
    void SetAxisValuesFormat(const std::string& v) { Set(axisValuesFormat_, v); }
    int LabelsSeparation() const { return labelsSeparation_; }
    // Refuses a negative separation with AxisException.
    void SetLabelsSeparation(int v);
    bool RoundFirstLabel() const { return roundFirstLabel_; }
    void SetRoundFirstLabel(bool v) { Set(roundFirstLabel_, v); }
    bool LabelsOnAxis() const { return labelsOnAxis_; }
    void SetLabelsOnAxis(bool v) { Set(labelsOnAxis_, v); }
    bool TickOnLabelsOnly() const { return tickOnLabelsOnly_; }
    void SetTickOnLabelsOnly(bool v) { Set(tickOnLabelsOnly_, v); }
    int LabelsAngle() const { return labelsAngle_; }
    void SetLabelsAngle(int v) { Set(labelsAngle_, v); }
    int LabelsSize() const { return labelsSize_; }
    void SetLabelsSize(int v) { Set(labelsSize_, v); }
    bool LabelsMultiLine() const { return labelsMultiLine_; }
    void SetLabelsMultiLine(bool v) { Set(labelsMultiLine_, v); }
    const TFont& LabelsFont() const { return labelsFont_; }
    void SetLabelsFont(const TFont& v);
    int TickLength() const { return tickLength_; }
    void SetTickLength(int v) { Set(tickLength_, v); }
    int TickInnerLength() const { return tickInnerLength_; }
    void SetTickInnerLength(int v) { Set(tickInnerLength_, v); }
    int MinorTickLength() const { return minorTickLength_; }
    void SetMinorTickLength(int v) { Set(minorTickLength_, v); }
    int MinorTickCount() const { return minorTickCount_; }
    void SetMinorTickCount(int v) { Set(minorTickCount_, v); }
    TChartPen& AxisPen() { return axisPen_; }
    TChartPen& Ticks() { return ticks_; }
    TChartPen& TicksInner() { return ticksInner_; }
    TChartPen& MinorTicks() { return minorTicks_; }
    TChartPen& Grid() { return grid_; }
    TChartPen& MinorGrid() { return minorGrid_; }
    const TChartPen& AxisPen() const { return axisPen_; }
    const TChartPen& Ticks() const { return ticks_; }
    const TChartPen& TicksInner() const { return ticksInner_; }
    const TChartPen& MinorTicks() const { return minorTicks_; }
    const TChartPen& Grid() const { return grid_; }
    const TChartPen& MinorGrid() const { return minorGrid_; }
    bool GridCentered() const { return gridCentered_; }
    void SetGridCentered(bool v) { Set(gridCentered_, v); }
    double StartPosition() const { return startPosition_; }
    void SetStartPosition(double v) { Set(startPosition_, v); }
    double EndPosition() const { return endPosition_; }
    void SetEndPosition(double v) { Set(endPosition_, v); }
    double PositionPercent() const { return positionPercent_; }
    void SetPositionPercent(double v) { Set(positionPercent_, v); }
    bool Visible() const { return visible_; }
    void SetVisible(bool v) { Set(visible_, v); }
    // Axis title text (reserves room when not empty).
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& v) { Set(title_, v); }

    // Switches the axis to a manual range [min(a,b), max(a,b)], at least 1e-10 wide.
    void SetMinMax(double a, double b);

    // The working fields of the layout the axis is bound to.
    const TAxisLayout& Layout() const { return *layout_; }
    // Binds the axis to a layout's fields (the chart does, for each rendering); null: the axis' own.
    void BindLayout(TAxisLayout* layout) { layout_ = layout != nullptr ? layout : &ownLayout_; }

    // --- layout steps, in the order the chart calls them ---
    void ComputeAutoRange();
    void ReserveAxisSpace(TRect& rect);
    void ComputePixelSpan();
    void InflateRangeByMargins(int left, int top, int right, int bottom);
    void DrawAxis();

    // The value <-> pixel mapping of the last layout, as one value; SetScale puts one in place, as a layout
    // step would.
    TScaleMap Scale() const {
        return TScaleMap{layout_->RangeMin, layout_->RangeMax, layout_->StartPixel,
                         layout_->EndPixel, horizontal_,       inverted_};
    }
    void SetScale(const TScaleMap& scale);
    // Scale().ToPixel and the rest, for the many callers that hold the axis.
    int ValueToPixel(double value) const { return Scale().ToPixel(value); }
    void ValuesToPixels(const double* values, std::size_t n, int* pixels) const {
        Scale().ToPixels(values, n, pixels);
    }
    double ValueToPixelUnrounded(double value) const { return Scale().ToPixelUnrounded(value); }
    double PixelToValue(int pixel) const { return Scale().ToValue(pixel); }
    double LabelIncrement();
    std::string LabelText(double value) const;
    TAxisLabelStyle EffectiveLabelStyle() const;
    // Whether (x, y) lies on the axis' band of line, ticks and labels.
    bool HitTest(int x, int y) const;
    // Whether the axis takes part in the layout: shown, visible and used by an active series (or none).
    bool CountsAsVisible() const;

    static double NextNiceStep(double x);

private:
    template <class T>
    void Set(T& field, const T& v) {
        if (!(field == v)) {
            field = v;
            Changed();
        }
    }
    void Changed();
    int LabelExtent(const std::string& text) const;
    int LineHeight() const;
    int LineCount(const std::string& text) const;
    double IncrementForLabelSize(int size) const;
    double IncrementForLabelCount(int n) const;
    int LabelBandSize();
    int TickBandSize() const;
    int WidestValueLabel();
    void DrawValueLabels(double step);
    void DrawPointLabels();
    void DrawOneLabel(double value);
    void DrawLabelText(int p, const std::string& text);
    void RecordTick(int p);
    void DrawTicksAndGrid();
    void DrawTick(const TChartPen& pen, int p, int from, int length, bool outward);
    void DrawGridLine(const TChartPen& pen, int p);
    TChartCanvas3D& Canvas() const;

    TCustomAxisPanel* chart_;
    // A chart binds the axis to its layouts; an axis on its own keeps one of its own.
    TAxisLayout ownLayout_;
    TAxisLayout* layout_ = &ownLayout_;
    TAxisKind kind_;
    bool horizontal_;
    bool otherSide_;

    bool automatic_ = true;
    bool automaticMinimum_ = true;
    bool automaticMaximum_ = true;
    double minimum_ = 0;
    double maximum_ = 0;
    double increment_ = 0;
    bool inverted_ = false;
    bool labels_ = true;
    TAxisLabelStyle labelStyle_ = talAuto;
    std::string axisValuesFormat_ = "#,##0.###";
    int labelsSeparation_ = 10;
    bool roundFirstLabel_ = true;
    bool labelsOnAxis_ = true;
    bool tickOnLabelsOnly_ = true;
    int labelsAngle_ = 0;
    int labelsSize_ = 0;
    bool labelsMultiLine_ = false;
    TFont labelsFont_;
    int tickLength_ = 4;
    int tickInnerLength_ = 0;
    int minorTickLength_ = 2;
    int minorTickCount_ = 3;
    TChartPen axisPen_{clBlack, 2};
    TChartPen ticks_{clGray, 1};
    TChartPen ticksInner_{clGray, 1};
    TChartPen minorTicks_{clGray, 1};
    TChartPen grid_{clGray, 1, psDot};
    TChartPen minorGrid_{clGray, 1, psSolid, false};
    bool gridCentered_ = false;
    double startPosition_ = 0;
    double endPosition_ = 100;
    double positionPercent_ = 0;
    bool visible_ = true;
    std::string title_;

    // Tick positions of the current DrawAxis, in recording order.
    std::vector<int> ticks_list_;
    bool hasLastLabel_ = false;
    int lastLabelPos_ = 0;
    int lastLabelHalf_ = 0;
};

using TChartAxis = TCustomChartAxis;

// The most tick positions one DrawAxis records; further ones are dropped.
inline constexpr std::size_t kMaxAxisTicks = 2000;

}  // namespace quorvel
