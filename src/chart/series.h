#pragma once
// The base of every chart series: the parallel point lists (X, Y, colour, label), the hooks around adding
// and clearing, the visible range, the marks and the drawing and hit-test entry points.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_types.h"
#include "chart/chunked_vector.h"
#include "chart/marks.h"
#include "chart/render_context.h"
#include "chart/value_list.h"

namespace quorvel {

class TChart;
class TCustomChartAxis;
using TChartAxis = TCustomChartAxis;

// A point colour that marks a null point, never drawn.
inline constexpr TColor clNullPoint = 0x1FFFFFFF;

// The colour the chart palette gives to index (ColorEachPoint and series without a colour).
TColor ChartPaletteColor(int index);

class TChartSeries {
public:
    TChartSeries();
    virtual ~TChartSeries();
    TChartSeries(const TChartSeries&) = delete;
    TChartSeries& operator=(const TChartSeries&) = delete;

    std::string Name;

    TChartValueList& XValues() { return xValues_; }
    const TChartValueList& XValues() const { return xValues_; }
    TChartValueList& YValues() { return yValues_; }
    const TChartValueList& YValues() const { return yValues_; }

    TChart* ParentChart() const { return chart_; }
    // Set by the chart when it takes the series; not for other callers.
    void SetParentChart(TChart* chart) { chart_ = chart; }

    // Adds a point where the X order puts it; returns its index, or -1 when OnBeforeAdd refused.
    int AddPoint(double x, double y, std::string_view label = {}, TColor color = AutoColor);
    // Adds count points without labels, point(k) giving the k-th as {x, y, colour}: the same as count
    // AddPoint calls, with one repaint request for them all when no hook hears of each add.
    template <class Point>
    void AddPoints(std::size_t count, Point&& point);
    void ClearPoints();
    int PointCount() const { return xValues_.Count(); }
    // The colour to draw point index with (the series colour past the colour list).
    TColor PointColor(int index) const;
    // PointColor of the count points from `from` on, into out.
    void PointColors(int from, std::size_t count, TColor* out) const;
    // The label of point index, or empty text.
    std::string PointLabel(int index) const;
    // Length of the label list.
    int LabelCount() const { return static_cast<int>(labels_.size()); }
    // Whether point index has a label: a stored text, or one made from its X.
    bool HasLabelAt(int index) const;
    // When label is set, a point stored without a label text is labelled label(its X), made only when
    // asked for: a million points then need no million texts. Where those texts are numbers, shape may
    // give a key of each one's layout, as NumberTextShape does (labels of one key other than 0 differ
    // only in their digits): an axis label that could not fit even with its layout's narrowest digits is
    // then passed over without being made.
    void SetLabelOfX(std::function<std::string(double)> label,
                     std::function<std::uint32_t(double)> shape = {}) {
        labelOfX_ = std::move(label);
        labelShapeOfX_ = labelOfX_ ? std::move(shape) : nullptr;
    }
    // The key of point index's label layout, or 0 where it has none (or a text of its own).
    std::uint32_t LabelShape(int index) const {
        return labelShapeOfX_ && index >= 0 && static_cast<std::size_t>(index) < labels_.size() &&
                       labels_[static_cast<std::size_t>(index)] == 0
                   ? labelShapeOfX_(xValues_.ValueAt(index))
                   : 0;
    }
    // Invalidates the owning chart, if any.
    void RequestRepaint();

    bool Active() const { return active_; }
    void SetActive(bool v);
    TColor SeriesColor() const { return seriesColor_; }
    virtual void SetSeriesColor(TColor v);
    bool ColorEachPoint() const { return colorEachPoint_; }
    void SetColorEachPoint(bool v);
    THorizAxis HorizAxis() const { return horizAxis_; }
    void SetHorizAxis(THorizAxis v);
    TVertAxis VertAxis() const { return vertAxis_; }
    void SetVertAxis(TVertAxis v);
    // The axis object the X (Y) values map through: the bottom (left) one for "both".
    TChartAxis* GetHorizAxis() const;
    TChartAxis* GetVertAxis() const;
    bool UsesHorizAxis(const TChartAxis& axis) const;
    bool UsesVertAxis(const TChartAxis& axis) const;
    bool AssociatedToAxis(const TChartAxis& axis) const { return UsesHorizAxis(axis) || UsesVertAxis(axis); }

    TSeriesMarks& Marks() { return marks_; }
    const TSeriesMarks& Marks() const { return marks_; }
    std::string ValueFormat = "#,##0.###";

    // The visible point range (-1 = none) of the screen's last rendering, which hit tests use.
    int FirstVisible() const;
    int LastVisible() const;
    bool KeepPointBeyondEdge = true;

    // Pixel margins this series asks of the axes.
    virtual TSeriesMargins SeriesMargins() const { return {}; }
    // The points that lie in the X range of the context's plot.
    TSeriesLayout VisibleIn(const TRenderContext& context) const;
    // Draws the visible points, then the marks (called by the chart for each active series); the context
    // keeps the visible range.
    void DrawSeries(TRenderContext& context);
    // The series' hook before any drawing of the chart.
    virtual void BeforeDrawChart() {}
    // Index of the point under pixel (x, y) as the context laid the series out, or -1.
    virtual int PointAtPixel(const TRenderContext& context, int x, int y);
    // The pixel of point index on the context's axes, or as the screen's last rendering shows it.
    int CalcXPos(const TRenderContext& context, int index) const;
    int CalcYPos(const TRenderContext& context, int index) const;
    int CalcXPos(int index) const;
    int CalcYPos(int index) const;
    double MarkValue(int index) const;
    std::string MarkText(int index) const;
    // The marks of the visible points.
    void DrawMarks(const TRenderContext& context);
    virtual void MouseMove(TShiftState /*shift*/, int /*x*/, int /*y*/) {}
    virtual void MouseUp(TMouseButton /*button*/, TShiftState /*shift*/, int /*x*/, int /*y*/) {}

    std::function<bool(TChartSeries&)> OnBeforeAdd;
    std::function<void(TChartSeries&, int)> OnAfterAdd;
    std::function<void(TChartSeries&)> OnClearValues;
    std::function<void(TChartSeries&, int, std::string&)> OnGetMarkText;
    std::function<void(TChartSeries&, int, TMouseButton, TShiftState, int, int)> OnClick;
    std::function<void(TChartSeries&, int, TMouseButton, TShiftState, int, int)> OnDblClick;
    std::function<void(TChartSeries&)> BeforeDrawValues;
    std::function<void(TChartSeries&)> AfterDrawValues;

protected:
    // Whether something hears of every single add (a hook, or a series drawing each new point).
    virtual bool HearsEachAdd() const { return OnBeforeAdd || OnAfterAdd; }
    // The after-add step; a fast line without auto repaint draws its new segment here.
    virtual void AfterAdd(int index);
    virtual void DrawAllPoints(const TRenderContext& /*context*/, const TSeriesLayout& /*visible*/) {}
    // Shifts a mark up by the arrow length and draws its box.
    virtual void DrawMark(const TRenderContext& context, int index, const std::string& text,
                          TSeriesMarkPosition position);
    // The context's mappings of the series' X and Y axes.
    const TScaleMap& HorizScale(const TRenderContext& context) const { return context.Scale(HorizKind()); }
    const TScaleMap& VertScale(const TRenderContext& context) const { return context.Scale(VertKind()); }

private:
    TAxisKind HorizKind() const { return horizAxis_ == aTopAxis ? akTop : akBottom; }
    TAxisKind VertKind() const { return vertAxis_ == aRightAxis ? akRight : akLeft; }
    // The colour a point with a stored colour is drawn with.
    TColor ShownColor(TColor stored, int index) const {
        if (stored != AutoColor) {
            return stored;
        }
        return colorEachPoint_ ? ChartPaletteColor(index) : seriesColor_;
    }
    // AddPoint's placing of one point, without the hooks and the repaint request.
    int PlacePoint(std::string_view label, TColor color);
    void ForgetScreenLayout();

    TChart* chart_ = nullptr;
    TChartValueList xValues_;
    TChartValueList yValues_;
    TChunkedVector<TColor> colors_;
    // Per point the number of its label text in labelTexts_ plus one, 0 for none: moving small integers
    // keeps insertion in front of many points cheap.
    TChunkedVector<std::uint32_t> labels_;
    std::function<std::string(double)> labelOfX_;
    std::function<std::uint32_t(double)> labelShapeOfX_;
    std::vector<std::string> labelTexts_;
    TSeriesMarks marks_;
    bool active_ = true;
    TColor seriesColor_ = AutoColor;
    bool colorEachPoint_ = false;
    THorizAxis horizAxis_ = aBottomAxis;
    TVertAxis vertAxis_ = aLeftAxis;
};

template <class Point>
void TChartSeries::AddPoints(std::size_t count, Point&& point) {
    if (HearsEachAdd()) {
        for (std::size_t k = 0; k < count; ++k) {
            const auto [x, y, color] = point(k);
            AddPoint(x, y, {}, color);
        }
        return;
    }
    int last = -1;
    // A block at a time: the points that go last in X order, the usual case, are appended to each list
    // in one go; any other is placed on its own, as AddPoint would.
    constexpr std::size_t kBlock = 1024;
    double xs[kBlock];
    double ys[kBlock];
    TColor colors[kBlock];
    static constexpr std::uint32_t kNoLabels[kBlock] = {};
    for (std::size_t from = 0; from < count; from += kBlock) {
        const std::size_t n = std::min(kBlock, count - from);
        for (std::size_t j = 0; j < n; ++j) {
            const auto [x, y, color] = point(from + j);
            xs[j] = x;
            ys[j] = y;
            colors[j] = color;
        }
        for (std::size_t j = 0; j < n;) {
            const std::size_t run = xValues_.LeadingGoLast(xs + j, n - j);
            if (run > 0) {
                xValues_.AppendValues(xs + j, run);
                yValues_.AppendValues(ys + j, run);
                colors_.append(colors + j, run);
                labels_.append(kNoLabels, run);
                last = xValues_.Count() - 1;
                j += run;
            } else {
                xValues_.TempValue = xs[j];
                yValues_.TempValue = ys[j];
                last = PlacePoint({}, colors[j]);
                ++j;
            }
        }
    }
    if (last >= 0 && active_) {
        RequestRepaint();
    }
}

}  // namespace quorvel
