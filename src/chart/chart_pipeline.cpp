#include "chart/chart.h"

#include <algorithm>
#include <array>

#include "runtime/exceptions.h"

namespace quorvel {

void TChart::AdoptSeries(std::unique_ptr<TChartSeries> series) {
    series->SetParentChart(this);
    if (series->SeriesColor() == AutoColor) {
        series->SetSeriesColor(ChartPaletteColor(SeriesCount()));
    }
    series_.push_back(std::move(series));
    Invalidate();
}

TChartSeries& TChart::Series(int index) const {
    if (index < 0 || index >= SeriesCount()) {
        throw EListError(index);
    }
    return *series_[static_cast<std::size_t>(index)];
}

void TChart::RemoveSeries(TChartSeries& series) {
    auto it = std::find_if(series_.begin(), series_.end(), [&](const auto& s) { return s.get() == &series; });
    if (it != series_.end()) {
        ForgetOnScreen(series);
        series_.erase(it);
        Invalidate();
    }
}

int TChart::ActiveSeriesCount() const {
    return static_cast<int>(
        std::count_if(series_.begin(), series_.end(), [](const auto& s) { return s->Active(); }));
}

bool TChart::AxisHasSeries(const TChartAxis& axis) const {
    bool anyActive = false;
    for (const auto& s : series_) {
        if (s->Active()) {
            anyActive = true;
            if (s->AssociatedToAxis(axis)) {
                return true;
            }
        }
    }
    return !anyActive;
}

double TChart::MinMaxOnAxis(const TChartAxis& axis, bool lowest, bool isX) const {
    auto uses = [&](const TChartSeries& s) { return isX ? s.UsesHorizAxis(axis) : s.UsesVertAxis(axis); };
    bool activeOnAxis = false;
    for (const auto& s : series_) {
        if (s->Active() && uses(*s)) {
            activeOnAxis = true;
            break;
        }
    }
    bool found = false;
    double result = 0;
    for (const auto& s : series_) {
        if (!(s->Active() || !activeOnAxis) || s->PointCount() == 0 || !uses(*s)) {
            continue;
        }
        const TChartValueList& list = isX ? s->XValues() : s->YValues();
        const double v = lowest ? list.LowestValue() : list.HighestValue();
        if (!found || (lowest ? v < result : v > result)) {
            result = v;
            found = true;
        }
    }
    return result;
}

int TChart::WidestPointLabel(const TChartAxis& axis, const TChartCanvas& c) const {
    int widest = 0;
    for (const auto& s : series_) {
        if (!s->Active() || !s->AssociatedToAxis(axis) || s->LabelCount() == 0) {
            continue;
        }
        for (int i = 0; i < s->LabelCount(); ++i) {
            if (s->HasLabelAt(i)) {
                widest = std::max(widest, c.TextWidth(s->PointLabel(i)));
            }
        }
    }
    return widest;
}

void TChart::LayoutAxes(TRenderContext& context) {
    for (auto& axis : axes_) {
        axis->ComputeAutoRange(context);
    }
    SetPlotRect(context, context.PlotRect);
    const TRect start = context.PlotRect;
    // An axis sizes its labels by the step its pixel span allows, and that span is known only once every
    // axis has taken its room; the spans of the last layout stand in. Where they turn out different (the
    // first rendering of a chart, another size or device), the room is taken again with the spans just
    // found, so that each rendering is laid out as the next one of the same chart would be.
    constexpr int kMaxPasses = 3;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        std::array<int, kAxisCount> spansUsed{};
        SetPlotRect(context, start);
        TRect current = start;
        for (std::size_t k = 0; k < axes_.size(); ++k) {
            TChartAxis& axis = *axes_[k];
            spansUsed[k] = context.Axes[k].Scale.PixelSpan();
            if (!axis.CountsAsVisible()) {
                continue;
            }
            TRect reduced = current;
            axis.ReserveAxisSpace(context, reduced);
            TRect overlap;
            if (IntersectRect(overlap, reduced, current)) {
                current = overlap;
            }
        }
        SetPlotRect(context, current);
        bool settled = true;
        for (std::size_t k = 0; k < axes_.size(); ++k) {
            TChartAxis& axis = *axes_[k];
            axis.ComputePixelSpan(context);
            settled =
                settled && (!axis.CountsAsVisible() || context.Axes[k].Scale.PixelSpan() == spansUsed[k]);
        }
        if (settled) {
            break;
        }
    }
}

void TChart::ApplySeriesMargins(TRenderContext& context) {
    // Top, left, right, bottom.
    for (const TAxisKind kind : {akTop, akLeft, akRight, akBottom}) {
        const TChartAxis& axis = *axes_[static_cast<std::size_t>(kind)];
        TSeriesMargins m;
        for (const auto& s : series_) {
            if (!s->Active()) {
                continue;
            }
            const bool uses = axis.Horizontal() ? s->UsesHorizAxis(axis) : s->UsesVertAxis(axis);
            if (!uses) {
                continue;
            }
            const TSeriesMargins sm = s->SeriesMargins();
            m.Left = std::max(m.Left, sm.Left);
            m.Right = std::max(m.Right, sm.Right);
            m.Top = std::max(m.Top, sm.Top);
            m.Bottom = std::max(m.Bottom, sm.Bottom);
        }
        if (axis.Horizontal()) {
            axis.InflateRangeByMargins(context, axis.AutomaticMinimum() ? m.Left : 0, 0,
                                       axis.AutomaticMaximum() ? m.Right : 0, 0);
        } else {
            axis.InflateRangeByMargins(context, 0, axis.AutomaticMaximum() ? m.Top : 0, 0,
                                       axis.AutomaticMinimum() ? m.Bottom : 0);
        }
    }
}

void TChart::DrawPipeline(TRenderContext& context) {
    DrawBackground(context);
    for (const auto& s : series_) {
        if (s->Active()) {
            s->BeforeDrawChart();
        }
    }
    DrawTitles(context);
    LayoutAxes(context);
    ApplySeriesMargins(context);
    DrawWalls(context);
    if (OnBeforeDrawAxes) {
        OnBeforeDrawAxes(*this, context);
    }
    for (auto& axis : axes_) {
        if (axis->CountsAsVisible()) {
            axis->DrawAxis(context);
        }
    }
    if (OnBeforeDrawSeries) {
        OnBeforeDrawSeries(*this, context);
    }
    for (const auto& s : series_) {
        if (s->Active()) {
            s->DrawSeries(context);
        }
    }
    DrawZoomOverlay(context);
    const TChartCanvas& c = context.Canvas;
    c.SetPen(TPen{clBlack, TPenStyle::Solid, 1, TPenMode::Copy});
    c.SetBrush(TBrush{clWhite, bsSolid});
    TFont font;
    font.Size = 10;
    font.Color = clBlack;
    c.SetFont(font);
    c.SetBackColor(clWhite);
    c.SetBackMode(bmTransparent);
    if (OnAfterDraw) {
        OnAfterDraw(*this, context);
    }
}

}  // namespace quorvel
