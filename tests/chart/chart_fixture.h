#pragma once
// Shared set-up for the chart tests: the form chart drawn unbuffered onto a recording canvas.
#include <gtest/gtest.h>

#include <memory>

#include "calibration/form_chart.h"
#include "chart/recording_canvas.h"
#include "runtime/number_text.h"

namespace quorvel::testing {

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
