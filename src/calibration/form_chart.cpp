#include "calibration/form_chart.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "fitting/calibration_fit.h"
#include "runtime/exceptions.h"
#include "runtime/number_text.h"

namespace quorvel {

std::unique_ptr<TChart> CreateFormChart() {
    auto chart = std::make_unique<TChart>();
    chart->Name = "Chart1";
    chart->SetBounds(208, 152, 289, 208);
    chart->SetVisible(false);
    // The stored layout also says View3D = False and no legend: this chart is always flat and has no
    // legend, so neither is kept.

    TChartTitle& title = chart->Title();
    title.SetVisible(false);
    title.SetText({""});
    TFont titleFont;
    titleFont.Name = "Arial";
    titleFont.Size = 0;
    titleFont.Height = -8;
    titleFont.Color = clBlue;
    title.SetFont(titleFont);

    chart->BackWall().Brush().SetColor(clWhite);
    chart->BackWall().Brush().SetStyle(bsClear);

    TChartAxis& bottom = chart->BottomAxis();
    bottom.Grid().SetVisible(false);
    bottom.SetMinorTickCount(0);
    bottom.SetMinorTickLength(0);
    bottom.SetTickLength(0);
    TChartAxis& left = chart->LeftAxis();
    left.SetMinorTickCount(2);
    left.SetTickInnerLength(4);
    chart->TopAxis().SetVisible(false);

    auto s1 = std::make_unique<TPointSeries>();
    s1->Name = "Series1";
    s1->SetSeriesColor(clRed);
    s1->Pointer().SetStyle(TSeriesPointerStyle::Rectangle);
    s1->Pointer().SetHorizSize(2);
    s1->Pointer().SetVertSize(2);
    s1->Pointer().Pen().SetVisible(false);
    s1->Pointer().SetInflateMargins(true);
    s1->Pointer().SetVisible(true);
    s1->Marks().SetStyle(smsValue);
    s1->Marks().SetArrowLength(8);
    s1->Marks().SetVisible(false);
    // Each measured point is labelled with its X, as the table shows it.
    s1->SetLabelOfX([](double x) { return NumberToText(x); }, [](double x) { return NumberTextShape(x); });
    chart->AddSeries(std::move(s1));

    auto s2 = std::make_unique<TFastLineSeries>();
    s2->Name = "Series2";
    s2->SetSeriesColor(clGreen);
    s2->LinePen().SetColor(clGreen);
    s2->Marks().SetArrowLength(8);
    s2->Marks().SetVisible(false);
    chart->AddSeries(std::move(s2));

    auto s3 = std::make_unique<TPointSeries>();
    s3->Name = "Series3";
    s3->SetSeriesColor(clYellow);
    s3->Pointer().Brush().SetColor(clLime);
    s3->Pointer().SetStyle(TSeriesPointerStyle::Triangle);
    s3->Pointer().SetHorizSize(3);
    s3->Pointer().SetVertSize(3);
    s3->Pointer().SetInflateMargins(true);
    s3->Pointer().SetVisible(true);
    s3->Marks().SetStyle(smsLabelValue);
    s3->Marks().SetArrowLength(20);
    s3->Marks().Arrow().SetColor(clYellow);
    s3->Marks().SetVisible(false);
    chart->AddSeries(std::move(s3));

    // The stored layout is a finished state: the first paint renders it afresh.
    chart->ScreenBuffer().NeedsRedraw = true;
    return chart;
}

TFormChartSeries FormSeries(TChart& chart) {
    TFormChartSeries s;
    s.measured = dynamic_cast<TPointSeries*>(&chart.Series(0));
    s.curve = dynamic_cast<TFastLineSeries*>(&chart.Series(1));
    s.evaluated = dynamic_cast<TPointSeries*>(&chart.Series(2));
    return s;
}

void FeedFormChart(TChart& chart, const TRecomputeResult& result, const TEvaluation* evaluated,
                   const TWorkSteps& steps) {
    chart.SetVisible(!result.tooFew);
    const TFormChartSeries s = FormSeries(chart);
    // Points and a curve of an earlier fit never stay beside this one: a recompute that stopped before
    // them leaves the series empty.
    s.measured->ClearPoints();
    s.curve->ClearPoints();
    s.evaluated->ClearPoints();
    if (result.reached >= rsPoints) {
        const TMeasuredInXOrder byX(result);
        const std::size_t count = byX.Count();
        // Millions of points take a second: given in pieces, with steps between them where asked for.
        const std::size_t piece = steps ? kItemsPerStep : count;
        for (std::size_t from = 0; from < count; from += piece) {
            if (from > 0) {
                steps(static_cast<double>(from) / static_cast<double>(count));
            }
            s.measured->AddPoints(std::min(piece, count - from),
                                  [&byX, from](std::size_t j) { return byX(from + j); });
        }
    }
    if (result.reached >= rsCurve) {
        s.curve->AddPoints(result.curve.size(), [&result](std::size_t k) { return result.curve[k]; });
    }
    if (evaluated != nullptr) {
        FeedEvaluatedPoint(chart, evaluated);
    }
}

void FeedEvaluatedPoint(TChart& chart, const TEvaluation* evaluated) {
    TPointSeries& series = *FormSeries(chart).evaluated;
    series.ClearPoints();
    if (evaluated != nullptr && evaluated->state == TEvaluation::Evaluated) {
        series.AddPoint(evaluated->x, evaluated->y, evaluated->label, clRed);
    }
}

TBandWidth BandWidthOf(const std::shared_ptr<const TCalibration>& calibration,
                       const std::optional<TFitUncertainty>& uncertainty) {
    if (calibration) {
        return [calibration](double x) -> std::optional<double> {
            try {
                return calibration->Evaluate(x).expanded;
            } catch (const EMathError&) {
                return std::nullopt;
            }
        };
    }
    if (uncertainty && uncertainty->HasScatter()) {
        return [uncertainty](double x) { return uncertainty->ExpandedUncertaintyAt(x); };
    }
    return {};
}

namespace {

constexpr std::string_view kBandNames[] = {"BandLow", "BandHigh", "CurveOverBand"};

}  // namespace

void FeedBand(TChart& chart, const TBandWidth& width) {
    for (int i = chart.SeriesCount() - 1; i >= 0; --i) {
        TChartSeries& series = chart.Series(i);
        if (std::find(std::begin(kBandNames), std::end(kBandNames), series.Name) != std::end(kBandNames)) {
            chart.RemoveSeries(series);
        }
    }
    if (!width) {
        return;
    }
    const TFastLineSeries& curve = *FormSeries(chart).curve;
    const int samples = curve.PointCount();
    for (const double side : {-1.0, 1.0}) {
        auto line = std::make_unique<TFastLineSeries>();
        line->Name = std::string(kBandNames[side < 0 ? 0 : 1]);
        line->SetSeriesColor(clGray);
        line->LinePen().SetColor(clGray);
        line->LinePen().SetWidth(1);
        line->Marks().SetVisible(false);
        for (int k = 0; k < samples; ++k) {
            const double x = curve.XValues().ValueAt(k);
            const double y = curve.YValues().ValueAt(k);
            const std::optional<double> u = width(x);
            if (u && std::isfinite(y + side * *u)) {
                line->AddPoint(x, y + side * *u, {}, AutoColor);
            }
        }
        chart.AddSeries(std::move(line));
    }
    auto over = std::make_unique<TFastLineSeries>();
    over->Name = std::string(kBandNames[2]);
    over->SetSeriesColor(clGreen);
    over->LinePen().SetColor(clGreen);
    over->Marks().SetVisible(false);
    for (int k = 0; k < samples; ++k) {
        over->AddPoint(curve.XValues().ValueAt(k), curve.YValues().ValueAt(k), {}, AutoColor);
    }
    chart.AddSeries(std::move(over));
}

}  // namespace quorvel
