#pragma once
// The main window's chart with a few measured points and a fitted line, ready to draw.
#include <memory>

#include "calibration/form_chart.h"
#include "runtime/number_text.h"

namespace quorvel::testing {

inline std::unique_ptr<TChart> SampleChart() {
    SetDecimalChar(U'.');
    SetThousandsChar(U',');
    auto chart = CreateFormChart();
    chart->SetVisible(true);
    const TFormChartSeries s = FormSeries(*chart);
    for (int i = 0; i <= 5; ++i) {
        s.measured->AddPoint(i, 2.0 * i + 1.0, {}, clRed);
    }
    for (int i = 0; i <= 50; ++i) {
        s.curve->AddPoint(i / 10.0, 2.0 * i / 10.0 + 1.0);
    }
    return chart;
}

}  // namespace quorvel::testing
