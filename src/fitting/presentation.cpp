#include "fitting/presentation.h"

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "fitting/curve_samples.h"
#include "fitting/exact_solver.h"
#include "fitting/least_squares.h"
#include "fitting/messages.h"
#include "fitting/point_extraction.h"
#include "fitting/result_texts.h"
#include "fitting/two_parts.h"
#include "fitting/x_order.h"
#include "runtime/exceptions.h"
#include "runtime/large_buffers.h"
#include "runtime/number_text.h"

namespace quorvel {

namespace {

// The shares of a large table's recompute: reading the cells takes most of it.
constexpr double kRead = 0.6;
constexpr double kSolved = 0.7;
constexpr double kStatistics = 0.8;
constexpr double kColored = 0.83;

// The recompute after its points are read: `told` of the share from kRead on, when at all.
TRecomputeResult RecomputeRead(TPointTable measured, TFunctionKind kind, TFitCoefficients& store,
                               bool withUncertainty, bool forChart, const TWorkSteps& told) {
    const auto step = [&told](double done) {
        if (told) {
            told(done);
        }
    };
    TRecomputeResult result;
    result.measured = std::move(measured);
    const TPointTable& points = result.measured;
    result.kind = kind;
    result.pointCount = static_cast<int>(points.size());
    result.formula = "Y = ";
    // A large table's order by X needs nothing but the points: it is sorted on the second core while this
    // one solves and finds the deviations.
    std::optional<TWorkBeside<std::vector<int>>> orderBeside;
    if (forChart && points.size() >= kTwoPartsFrom && SecondCoreAvailable()) {
        orderBeside.emplace([&points] { return StableOrderByX(points); });
    }
    // The exact sum of the squared deviations, when these points were fitted now.
    TExactSquares squares;
    if (HasTooFewPoints(kind, result.pointCount)) {
        result.tooFew = true;
        result.coefficientTexts.fill(kTooFewCaption);
        result.resultText = kFillTableCaption;
    } else {
        result.solveFailed =
            !SolveLeastSquares(kind, points, store, withUncertainty ? &result.uncertainty : nullptr,
                               PartOfSteps(told, kRead, kSolved), &squares);
        const TCoefficientTexts texts = MakeCoefficientTexts(store);
        result.coefficientTexts = texts.captions;
        result.formula = BuildFormula(store, kind, texts);
        result.resultText = result.formula;
    }
    step(kSolved);

    result.reached = rsPresented;
    try {
        // Each deviation is computed once and serves both the statistics and the point colours.
        std::vector<double> deviations;
        const bool fitted = !result.tooFew && !result.solveFailed;
        result.statistics = ComputeStatistics(
            points, store, &deviations, PartOfSteps(told, kSolved, kStatistics), fitted ? &squares : nullptr);
        result.sigmaText = FormatNumber("0.###", result.statistics.sigma);
        result.maxErrText = FormatNumber("0.###", result.statistics.maxError);
        result.reached = rsStatistics;
        step(kStatistics);

        // Selections, not branches: the loop then runs on vector lanes.
        double lowest = points.empty() ? 0 : points.front().X;
        double highest = lowest;
        for (const TDataPoint& p : points) {
            lowest = p.X < lowest ? p.X : lowest;
            highest = p.X > highest ? p.X : highest;
        }
        if (forChart) {
            ReserveLarge(result.colors, points.size());
            result.colors.resize(points.size());
            InPieces(0, points.size(), PartOfSteps(told, kStatistics, kColored),
                     [&result, &deviations](std::size_t begin, std::size_t end) {
                         for (std::size_t i = begin; i < end; ++i) {
                             result.colors[i] = DeviationColor(deviations[i], result.statistics.sigma);
                         }
                     });
            // The deviations' room goes before a sort here takes its own: a large table's peak is lower.
            std::vector<double>().swap(deviations);
            step(kColored);
            result.measuredByX = orderBeside ? orderBeside->Take(told, kColored)
                                             : StableOrderByX(points, PartOfSteps(told, kColored, 1));
        }
        result.reached = rsPoints;

        result.curve = CurveSamples(lowest, highest, store);
        result.reached = rsCurve;
    } catch (...) {
        result.error = std::current_exception();
    }
    return result;
}

}  // namespace

void ReleaseChartData(TRecomputeResult& result) {
    // Swapped with empty ones: clear() would keep the room.
    TPointTable().swap(result.measured);
    std::vector<TColor>().swap(result.colors);
    std::vector<int>().swap(result.measuredByX);
    std::vector<TFeedPoint>().swap(result.curve);
}

TRecomputeResult Recompute(const ITableSource& table, TFunctionKind kind, TFitCoefficients& store,
                           bool withUncertainty, bool forChart, const TWorkSteps& steps) {
    // A small table's recompute is over before a step would matter: it tells none, so the window's
    // events never run in the middle of it.
    const TWorkSteps none;
    const TWorkSteps& told = static_cast<std::size_t>(table.RowCount()) > kItemsPerStep ? steps : none;
    TPointTable points = ExtractPoints(table, PartOfSteps(told, 0, kRead));
    if (told) {
        told(kRead);
    }
    return RecomputeRead(std::move(points), kind, store, withUncertainty, forChart, told);
}

TRecomputeResult RecomputePoints(TPointTable points, TFunctionKind kind, TFitCoefficients& store,
                                 bool withUncertainty, bool forChart) {
    return RecomputeRead(std::move(points), kind, store, withUncertainty, forChart, {});
}

TEvaluation EvaluateAt(std::string_view text, const TFitCoefficients& store, TTextState state) {
    TEvaluation evaluation;
    if (text.empty() || text == "-" || text == "+") {
        return evaluation;
    }
    try {
        evaluation.x = ParseUserNumber(text, state);
    } catch (const Exception&) {
        evaluation.state = TEvaluation::Invalid;
        evaluation.message = InvalidNumberText(text);
        return evaluation;
    }
    evaluation.label = NumberToText(evaluation.x);
    try {
        evaluation.y = EvalPolynomial(evaluation.x, store);
    } catch (const EMathError&) {
        evaluation.state = TEvaluation::BeyondRange;
        evaluation.error = std::current_exception();
        return evaluation;
    }
    evaluation.yText = FormatFittedValue(evaluation.y);
    evaluation.state = TEvaluation::Evaluated;
    return evaluation;
}

}  // namespace quorvel
