#pragma once
// The main window's chart with a few measured points and a fitted line, ready to draw.
#include <memory>

#include "calibration/form_chart.h"
#include "chart/recording_canvas.h"
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

// Whether the chart's next screen rendering draws the panel's background, as one for the screen does and
// one for a printer does not: a print has not left the screen printing.
inline bool ScreenDrawsBackground(TChart& chart) {
    RecordingCanvas window;
    chart.Invalidate();
    chart.Paint(window);
    TScreenBuffer& screen = chart.ScreenBuffer();
    const auto& drawn = screen.Buffer ? static_cast<RecordingCanvas&>(screen.Buffer->Canvas()) : window;
    const auto fills = drawn.Find(Op::FillRect);
    return !fills.empty() && fills.front()->brush.Color == clBtnFace;
}

}  // namespace quorvel::testing
