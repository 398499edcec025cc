#include "chart/series.h"

#include <algorithm>
#include <array>

#include "chart/chart.h"
#include "runtime/number_text.h"

namespace quorvel {

TColor ChartPaletteColor(int index) {
    static constexpr std::array<TColor, 15> kPalette = {clRed,  clGreen,   clYellow, clBlue,   clWhite,
                                                        clGray, clFuchsia, clTeal,   clNavy,   clMaroon,
                                                        clLime, clOlive,   clPurple, clSilver, clAqua};
    if (index < 0) {
        index = -index;
    }
    return kPalette[static_cast<std::size_t>(index) % kPalette.size()];
}

TChartSeries::TChartSeries() : xValues_(this, "X"), yValues_(this, "Y"), marks_(this) {
    xValues_.SetOrder(loAscending);
}

TChartSeries::~TChartSeries() = default;

int TChartSeries::AddPoint(double x, double y, std::string_view label, TColor color) {
    xValues_.TempValue = x;
    yValues_.TempValue = y;
    if (OnBeforeAdd && !OnBeforeAdd(*this)) {
        return -1;
    }
    const int i = PlacePoint(label, color);
    AfterAdd(i);
    return i;
}

int TChartSeries::PlacePoint(std::string_view label, TColor color) {
    ForgetScreenLayout();
    if (label.empty() && xValues_.GoesLast(xValues_.TempValue)) {
        // Points given in X order, the usual case, go straight to the end of every list.
        xValues_.AppendValue(xValues_.TempValue);
        yValues_.AppendValue(yValues_.TempValue);
        colors_.push_back(color);
        labels_.push_back(0);
        return xValues_.Count() - 1;
    }
    const int i = xValues_.PlaceValue(xValues_.TempValue);
    yValues_.InsertValueAt(i, yValues_.TempValue);
    const auto at = static_cast<std::size_t>(i);
    colors_.insert(at, color);
    std::uint32_t labelRef = 0;
    if (!label.empty()) {
        labelTexts_.emplace_back(label);
        labelRef = static_cast<std::uint32_t>(labelTexts_.size());
    }
    labels_.insert(at, labelRef);
    return i;
}

void TChartSeries::AfterAdd(int index) {
    if (OnAfterAdd) {
        OnAfterAdd(*this, index);
    }
    if (active_) {
        RequestRepaint();
    }
}

void TChartSeries::ForgetScreenLayout() {
    // The screen's last rendering found this series' visible points by index: once points are removed or
    // put between others, its indices name other points or none, so presses find none until the next one.
    if (chart_ != nullptr && !chart_->Destroying()) {
        chart_->ForgetOnScreen(*this);
    }
}

void TChartSeries::ClearPoints() {
    ForgetScreenLayout();
    xValues_.RemoveAllValues();
    yValues_.RemoveAllValues();
    colors_.clear();
    labels_.clear();
    labelTexts_.clear();
    labelTexts_.shrink_to_fit();
    marks_.ClearPositions();
    if (OnClearValues) {
        OnClearValues(*this);
    }
    if (active_ && chart_ != nullptr && !chart_->Destroying()) {
        RequestRepaint();
    }
}

TColor TChartSeries::PointColor(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= colors_.size()) {
        return seriesColor_;
    }
    return ShownColor(colors_[static_cast<std::size_t>(index)], index);
}

void TChartSeries::PointColors(int from, std::size_t count, TColor* out) const {
    auto index = static_cast<std::size_t>(from);
    const std::size_t end = index + count;
    colors_.ForEachSpan(index, std::min(end, colors_.size()), [&](const TColor* stored, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) {
            *out++ = ShownColor(stored[k], static_cast<int>(index + k));
        }
        index += n;
    });
    for (; index < end; ++index) {
        *out++ = seriesColor_;
    }
}

bool TChartSeries::HasLabelAt(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < labels_.size() &&
           (labels_[static_cast<std::size_t>(index)] != 0 || labelOfX_);
}

std::string TChartSeries::PointLabel(int index) const {
    if (!HasLabelAt(index)) {
        return {};
    }
    const std::uint32_t stored = labels_[static_cast<std::size_t>(index)];
    return stored != 0 ? labelTexts_[stored - 1] : labelOfX_(xValues_.ValueAt(index));
}

void TChartSeries::RequestRepaint() {
    if (chart_ != nullptr) {
        chart_->Invalidate();
    }
}

void TChartSeries::SetActive(bool v) {
    if (active_ != v) {
        active_ = v;
        RequestRepaint();
    }
}

void TChartSeries::SetSeriesColor(TColor v) {
    if (seriesColor_ != v) {
        seriesColor_ = v;
        RequestRepaint();
    }
}

void TChartSeries::SetColorEachPoint(bool v) {
    if (colorEachPoint_ != v) {
        colorEachPoint_ = v;
        if (!v) {
            for (std::size_t i = 0; i < colors_.size(); ++i) {
                colors_[i] = AutoColor;
            }
        }
        RequestRepaint();
    }
}

void TChartSeries::SetHorizAxis(THorizAxis v) {
    if (horizAxis_ != v) {
        horizAxis_ = v;
        RequestRepaint();
    }
}

void TChartSeries::SetVertAxis(TVertAxis v) {
    if (vertAxis_ != v) {
        vertAxis_ = v;
        RequestRepaint();
    }
}

TChartAxis* TChartSeries::GetHorizAxis() const {
    if (chart_ == nullptr) {
        return nullptr;
    }
    return horizAxis_ == aTopAxis ? &chart_->TopAxis() : &chart_->BottomAxis();
}

TChartAxis* TChartSeries::GetVertAxis() const {
    if (chart_ == nullptr) {
        return nullptr;
    }
    return vertAxis_ == aRightAxis ? &chart_->RightAxis() : &chart_->LeftAxis();
}

bool TChartSeries::UsesHorizAxis(const TChartAxis& axis) const {
    if (chart_ == nullptr) {
        return false;
    }
    switch (horizAxis_) {
        case aTopAxis:
            return &axis == &chart_->TopAxis();
        case aBottomAxis:
            return &axis == &chart_->BottomAxis();
        default:
            return &axis == &chart_->TopAxis() || &axis == &chart_->BottomAxis();
    }
}

bool TChartSeries::UsesVertAxis(const TChartAxis& axis) const {
    if (chart_ == nullptr) {
        return false;
    }
    switch (vertAxis_) {
        case aLeftAxis:
            return &axis == &chart_->LeftAxis();
        case aRightAxis:
            return &axis == &chart_->RightAxis();
        default:
            return &axis == &chart_->LeftAxis() || &axis == &chart_->RightAxis();
    }
}

int TChartSeries::CalcXPos(const TRenderContext& context, int index) const {
    return chart_ != nullptr ? HorizScale(context).ToPixel(xValues_.ValueAt(index)) : 0;
}

int TChartSeries::CalcYPos(const TRenderContext& context, int index) const {
    return chart_ != nullptr ? VertScale(context).ToPixel(yValues_.ValueAt(index)) : 0;
}

int TChartSeries::CalcXPos(int index) const {
    return chart_ != nullptr ? CalcXPos(chart_->ScreenLayout(), index) : 0;
}

int TChartSeries::CalcYPos(int index) const {
    return chart_ != nullptr ? CalcYPos(chart_->ScreenLayout(), index) : 0;
}

int TChartSeries::FirstVisible() const {
    return chart_ != nullptr ? chart_->ScreenLayout().Visible(*this).FirstVisible : -1;
}

int TChartSeries::LastVisible() const {
    return chart_ != nullptr ? chart_->ScreenLayout().Visible(*this).LastVisible : -1;
}

TSeriesLayout TChartSeries::VisibleIn(const TRenderContext& context) const {
    TSeriesLayout visible{this};
    const int n = PointCount();
    if (n == 0 || chart_ == nullptr) {
        return visible;
    }
    if (xValues_.Order() == loNone) {
        visible.FirstVisible = 0;
        visible.LastVisible = n - 1;
        return visible;
    }
    const TScaleMap& scale = HorizScale(context);
    const TRect& plot = context.PlotRect;
    const double lo = scale.ToValue(scale.Inverted ? plot.Right : plot.Left);
    const double hi = scale.ToValue(scale.Inverted ? plot.Left : plot.Right);
    int first = 0;
    while (first < n && !(xValues_.ValueAt(first) >= lo)) {
        ++first;
    }
    if (first == n) {
        return visible;
    }
    visible.FirstVisible = first;
    if (xValues_.ValueAt(n - 1) <= hi) {
        visible.LastVisible = n - 1;
        return visible;
    }
    int last = first;
    while (last < n - 1 && !(xValues_.ValueAt(last) >= hi)) {
        ++last;
    }
    if (!KeepPointBeyondEdge && xValues_.ValueAt(last) > hi) {
        --last;
    }
    visible.LastVisible = last;
    return visible;
}

void TChartSeries::DrawSeries(TRenderContext& context) {
    const TSeriesLayout visible = VisibleIn(context);
    context.SetVisible(*this, visible.FirstVisible, visible.LastVisible);
    if (visible.FirstVisible == -1) {
        return;
    }
    if (BeforeDrawValues) {
        BeforeDrawValues(*this);
    }
    const TChartCanvas& c = context.Canvas;
    const bool clip = chart_->ClipPoints() && chart_->CanClip(context.Options);
    if (clip) {
        c.ClipRectangle(context.PlotRect);
    }
    DrawAllPoints(context, visible);
    if (clip) {
        c.UnClipRectangle();
    }
    if (marks_.Visible()) {
        const bool clipMarks = marks_.Clip() && chart_->CanClip(context.Options);
        if (clipMarks) {
            c.ClipRectangle(context.PlotRect);
        }
        DrawMarks(context);
        if (clipMarks) {
            c.UnClipRectangle();
        }
    }
    if (AfterDrawValues) {
        AfterDrawValues(*this);
    }
}

int TChartSeries::PointAtPixel(const TRenderContext& /*context*/, int /*x*/, int /*y*/) {
    return -1;
}

double TChartSeries::MarkValue(int index) const {
    return yValues_.ValueAt(index);
}

std::string TChartSeries::MarkText(int index) const {
    const std::string valueText = FormatNumber(ValueFormat, MarkValue(index));
    std::string labelOrValue = PointLabel(index);
    if (labelOrValue.empty()) {
        labelOrValue = valueText;
    }
    std::string text;
    switch (marks_.Style()) {
        case smsValue:
            text = valueText;
            break;
        case smsLabel:
            text = labelOrValue;
            break;
        case smsLabelValue:
            text = labelOrValue + " " + valueText;
            break;
        case smsXValue: {
            const TChartAxis* axis = GetHorizAxis();
            const double x = xValues_.ValueAt(index);
            text = axis != nullptr ? axis->LabelText(x) : FormatNumber(ValueFormat, x);
            break;
        }
        default:
            // Percentage and legend styles are not shown by this program; the value stands in for them.
            text = valueText;
            break;
    }
    if (OnGetMarkText) {
        OnGetMarkText(const_cast<TChartSeries&>(*this), index, text);
    }
    return text;
}

void TChartSeries::DrawMarks(const TRenderContext& context) {
    const TChartCanvas& c = context.Canvas;
    const TSeriesLayout visible = context.Visible(*this);
    for (int i = visible.FirstVisible; i <= visible.LastVisible && i >= 0; ++i) {
        if (PointColor(i) == clNullPoint) {
            continue;
        }
        const std::string text = MarkText(i);
        if (text.empty()) {
            continue;
        }
        c.SetFont(marks_.Font());
        int widest = 0;
        const auto lines = SplitMarkLines(text);
        for (const auto& line : lines) {
            widest = std::max(widest, c.TextWidth(line));
        }
        int w = widest + c.TextWidth("W");
        int h = static_cast<int>(lines.size()) * c.TextHeight("W");
        if (marks_.Frame().Visible()) {
            w += 2 * marks_.Frame().Width();
            h += 2 * marks_.Frame().Width();
        }
        const int x = CalcXPos(context, i);
        const int y = CalcYPos(context, i);
        TSeriesMarkPosition pos;
        pos.ArrowFrom = pos.ArrowTo = TPoint{x, y};
        pos.LeftTop = TPoint{x - w / 2, y - h + 1};
        pos.Width = w;
        pos.Height = h;
        DrawMark(context, i, text, pos);
    }
}

void TChartSeries::DrawMark(const TRenderContext& context, int index, const std::string& text,
                            TSeriesMarkPosition position) {
    position.ArrowTo.Y -= marks_.ArrowLength();
    position.LeftTop.Y -= marks_.ArrowLength();
    marks_.DrawMarkBox(context.Canvas, index, PointColor(index), position, text, chart_->Color());
}

}  // namespace quorvel
