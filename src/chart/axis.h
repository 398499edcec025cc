#pragma once
// A chart axis, made of three parts: its settings (plain data, TAxisSettings), its scale (the range laid
// onto pixels and the label steps, TAxisScale) and its painter (TAxisPainter, made for each measuring or
// drawing). The axis itself owns the settings, tells the chart of their changes, runs its layout steps
// in a rendering's context and judges hits.
#include <string>

#include "chart/axis_scale.h"
#include "chart/axis_settings.h"
#include "chart/render_context.h"

namespace quorvel {

class TChart;
class TChartSeries;

// What a layout makes of an axis (its range, pixels and label positions) lives in the rendering's context,
// at the axis' kind; the axis itself keeps only its settings.
class TCustomChartAxis {
public:
    TCustomChartAxis(TChart* chart, TAxisKind kind);
    virtual ~TCustomChartAxis() = default;
    TCustomChartAxis(const TCustomChartAxis&) = delete;
    TCustomChartAxis& operator=(const TCustomChartAxis&) = delete;

    TAxisKind Kind() const { return kind_; }
    bool Horizontal() const { return horizontal_; }
    bool OtherSide() const { return otherSide_; }
    TChart* ParentChart() const { return chart_; }

    // --- settings ---
    const TAxisSettings& Settings() const { return settings_; }
    bool Automatic() const { return settings_.Automatic; }
    void SetAutomatic(bool v) { Set(settings_.Automatic, v); }
    bool AutomaticMinimum() const { return settings_.AutomaticMinimum; }
    void SetAutomaticMinimum(bool v) { Set(settings_.AutomaticMinimum, v); }
    bool AutomaticMaximum() const { return settings_.AutomaticMaximum; }
    void SetAutomaticMaximum(bool v) { Set(settings_.AutomaticMaximum, v); }
    double Minimum() const { return settings_.Minimum; }
    void SetMinimum(double v) { Set(settings_.Minimum, v); }
    double Maximum() const { return settings_.Maximum; }
    void SetMaximum(double v) { Set(settings_.Maximum, v); }
    double Increment() const { return settings_.Increment; }
    // Refuses a negative step with AxisException.
    void SetIncrement(double v);
    bool Inverted() const { return settings_.Inverted; }
    void SetInverted(bool v) { Set(settings_.Inverted, v); }
    bool Labels() const { return settings_.Labels; }
    void SetLabels(bool v) { Set(settings_.Labels, v); }
    TAxisLabelStyle LabelStyle() const { return settings_.LabelStyle; }
    void SetLabelStyle(TAxisLabelStyle v) { Set(settings_.LabelStyle, v); }
    const std::string& AxisValuesFormat() const { return settings_.AxisValuesFormat; }
    void SetAxisValuesFormat(const std::string& v) { Set(settings_.AxisValuesFormat, v); }
    int LabelsSeparation() const { return settings_.LabelsSeparation; }
    // Refuses a negative separation with AxisException.
    void SetLabelsSeparation(int v);
    bool RoundFirstLabel() const { return settings_.RoundFirstLabel; }
    void SetRoundFirstLabel(bool v) { Set(settings_.RoundFirstLabel, v); }
    bool LabelsOnAxis() const { return settings_.LabelsOnAxis; }
    void SetLabelsOnAxis(bool v) { Set(settings_.LabelsOnAxis, v); }
    bool TickOnLabelsOnly() const { return settings_.TickOnLabelsOnly; }
    void SetTickOnLabelsOnly(bool v) { Set(settings_.TickOnLabelsOnly, v); }
    int LabelsAngle() const { return settings_.LabelsAngle; }
    void SetLabelsAngle(int v) { Set(settings_.LabelsAngle, v); }
    int LabelsSize() const { return settings_.LabelsSize; }
    void SetLabelsSize(int v) { Set(settings_.LabelsSize, v); }
    bool LabelsMultiLine() const { return settings_.LabelsMultiLine; }
    void SetLabelsMultiLine(bool v) { Set(settings_.LabelsMultiLine, v); }
    const TFont& LabelsFont() const { return settings_.LabelsFont; }
    void SetLabelsFont(const TFont& v);
    int TickLength() const { return settings_.TickLength; }
    void SetTickLength(int v) { Set(settings_.TickLength, v); }
    int TickInnerLength() const { return settings_.TickInnerLength; }
    void SetTickInnerLength(int v) { Set(settings_.TickInnerLength, v); }
    int MinorTickLength() const { return settings_.MinorTickLength; }
    void SetMinorTickLength(int v) { Set(settings_.MinorTickLength, v); }
    int MinorTickCount() const { return settings_.MinorTickCount; }
    void SetMinorTickCount(int v) { Set(settings_.MinorTickCount, v); }
    TChartPen& AxisPen() { return settings_.AxisPen; }
    TChartPen& Ticks() { return settings_.Ticks; }
    TChartPen& TicksInner() { return settings_.TicksInner; }
    TChartPen& MinorTicks() { return settings_.MinorTicks; }
    TChartPen& Grid() { return settings_.Grid; }
    TChartPen& MinorGrid() { return settings_.MinorGrid; }
    const TChartPen& AxisPen() const { return settings_.AxisPen; }
    const TChartPen& Ticks() const { return settings_.Ticks; }
    const TChartPen& TicksInner() const { return settings_.TicksInner; }
    const TChartPen& MinorTicks() const { return settings_.MinorTicks; }
    const TChartPen& Grid() const { return settings_.Grid; }
    const TChartPen& MinorGrid() const { return settings_.MinorGrid; }
    bool GridCentered() const { return settings_.GridCentered; }
    void SetGridCentered(bool v) { Set(settings_.GridCentered, v); }
    double StartPosition() const { return settings_.StartPosition; }
    void SetStartPosition(double v) { Set(settings_.StartPosition, v); }
    double EndPosition() const { return settings_.EndPosition; }
    void SetEndPosition(double v) { Set(settings_.EndPosition, v); }
    double PositionPercent() const { return settings_.PositionPercent; }
    void SetPositionPercent(double v) { Set(settings_.PositionPercent, v); }
    bool Visible() const { return settings_.Visible; }
    void SetVisible(bool v) { Set(settings_.Visible, v); }
    // Axis title text (reserves room when not empty).
    const std::string& Title() const { return settings_.Title; }
    void SetTitle(const std::string& v) { Set(settings_.Title, v); }

    // Switches the axis to a manual range [min(a,b), max(a,b)], at least 1e-10 wide.
    void SetMinMax(double a, double b);

    // --- layout steps, in the order the chart calls them, each in the rendering's context ---
    // The range: the data's where an end is automatic (the settings' Minimum and Maximum take it too).
    void ComputeAutoRange(TRenderContext& context);
    void ReserveAxisSpace(TRenderContext& context, TRect& rect) const;
    void ComputePixelSpan(TRenderContext& context) const;
    void InflateRangeByMargins(TRenderContext& context, int left, int top, int right, int bottom) const;
    // Places the axis line by the plot rectangle and draws the axis with a painter.
    void DrawAxis(TRenderContext& context) const;

    // The value <-> pixel mapping of the screen's last rendering, for zoom, scroll and other callers that
    // hold the axis.
    const TScaleMap& Scale() const;
    int ValueToPixel(double value) const { return Scale().ToPixel(value); }
    double PixelToValue(int pixel) const { return Scale().ToValue(pixel); }
    // A scale with the label-step settings: where value labels go.
    TAxisScale LabelScale(const TScaleMap& map) const {
        return TAxisScale{map, settings_.Increment, settings_.LabelsSeparation, settings_.RoundFirstLabel};
    }
    // The label step that fits the labels of the range's ends, as measured on the rendering's canvas.
    double LabelIncrement(const TRenderContext& context) const;
    // The label of a value as formatted, then as the OnGetAxisLabel hook makes it unless askHook is off
    // (a label measured, not drawn).
    std::string LabelText(double value, bool askHook = true) const;
    TAxisLabelStyle EffectiveLabelStyle() const;
    // Whether (x, y) lies on the axis' band of line, ticks and labels as the context laid it out.
    bool HitTest(const TRenderContext& context, int x, int y) const;
    // Whether the axis takes part in the layout: shown, visible and used by an active series (or none).
    bool CountsAsVisible() const;

private:
    template <class T>
    void Set(T& field, const T& v) {
        if (!(field == v)) {
            field = v;
            Changed();
        }
    }
    void Changed();

    TChart* chart_;
    TAxisKind kind_;
    bool horizontal_;
    bool otherSide_;

    TAxisSettings settings_;
};

using TChartAxis = TCustomChartAxis;

}  // namespace quorvel
