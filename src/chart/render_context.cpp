#include "chart/render_context.h"

#include <algorithm>

namespace quorvel {

TSeriesLayout TRenderContext::Visible(const TChartSeries& series) const {
    const auto it = std::find_if(series_.begin(), series_.end(),
                                 [&](const TSeriesLayout& s) { return s.Series == &series; });
    return it != series_.end() ? *it : TSeriesLayout{&series};
}

void TRenderContext::SetVisible(const TChartSeries& series, int first, int last) {
    const auto it = std::find_if(series_.begin(), series_.end(),
                                 [&](const TSeriesLayout& s) { return s.Series == &series; });
    if (it != series_.end()) {
        it->FirstVisible = first;
        it->LastVisible = last;
    } else {
        series_.push_back(TSeriesLayout{&series, first, last});
    }
}

void TRenderContext::Forget(const TChartSeries& series) {
    std::erase_if(series_, [&](const TSeriesLayout& s) { return s.Series == &series; });
}

void TRenderContext::TellStep(double part) const {
    if (Options.Steps != nullptr && *Options.Steps) {
        told_ = std::max(told_, part);
        (*Options.Steps)(told_);
    }
}

}  // namespace quorvel
