#pragma once
// Shared set-up for the chart tests: the form chart drawn unbuffered onto a recording canvas.
#include <gtest/gtest.h>

#include <memory>

#include "calibration/form_chart.h"
#include "chart/recording_canvas.h"
#include "runtime/number_text.h"

namespace quorvel::testing {

// Where an axis' line and labels lie as the screen's last rendering laid it out.
inline const TAxisLayout& Shown(const TChartAxis& axis) {
    return axis.ParentChart()->ScreenLayout().Axis(axis.Kind());
}

class FormChartTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDecimalChar(U'.');
        SetThousandsChar(U',');
        chart = CreateFormChart();
        series = FormSeries(*chart);
        chart->SetBufferedPaint(false);
    }

    // A full unbuffered rendering of the client area onto a fresh recording.
    RecordingCanvas& Render() {
        canvas.Clear();
        chart->PaintTo(canvas, chart->ClientRect());
        return canvas;
    }

    std::unique_ptr<TChart> chart;
    TFormChartSeries series;
    RecordingCanvas canvas;
};

}  // namespace quorvel::testing
