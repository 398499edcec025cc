#pragma once
// Sets a chart's IsPrinting for one rendering and puts the old value back, also on failure.
#include "chart/chart_panel.h"

namespace quorvel {

class TPrintingScope {
public:
    explicit TPrintingScope(TCustomChartPanel& chart) : chart_(chart), previous_(chart.IsPrinting) {
        chart_.IsPrinting = true;
    }
    ~TPrintingScope() { chart_.IsPrinting = previous_; }
    TPrintingScope(const TPrintingScope&) = delete;
    TPrintingScope& operator=(const TPrintingScope&) = delete;

private:
    TCustomChartPanel& chart_;
    bool previous_;
};

}  // namespace quorvel
