#include "fitting/presentation.h"

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "fitting/calibration_fit.h"
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
#include "runtime/message_catalog.h"
#include "runtime/number_text.h"

namespace quorvel {

namespace {

// The shares of a large table's recompute: reading the cells takes most of it.
constexpr double kRead = 0.6;
constexpr double kSolved = 0.7;
constexpr double kStatistics = 0.8;
constexpr double kColored = 0.83;

// The calibration with the given uncertainties writes the store as the ordinary solve would: its
// coefficients, and the exact polynomial they are the roundings of. False, with the reason, when there
// is no fit.
bool SolveWithGiven(TFunctionKind kind, const TPointTable& points, const TUncertaintyColumns& given,
                    TFitCoefficients& store, TRecomputeResult& result, const TWorkOptions& work,
                    const TWorkSteps& steps) {
    try {
        auto fit =
            std::make_shared<const TCalibration>(points, &given, static_cast<int>(kind), 128, work, steps);
        const std::array<double, 4>& a = fit->Figures().a;
        store.a0 = a[0];
        store.a1 = a[1];
        store.a2 = a[2];
        store.a3 = a[3];
        store.exact = fit->Polynomial();
        result.calibration = std::move(fit);
        return true;
    } catch (const EFitNotFound& e) {
        result.solveFailure = e.Message();
        return false;
    }
}

// The too-few state, or the solve with its coefficients and formula: the ordinary one, which also gives
// the exact sum of the squared deviations, or the one with the given uncertainties of the points.
void Present(TRecomputeResult& result, TFitCoefficients& store, bool withUncertainty, const TWorkSteps& told,
             const TWorkOptions& work, const TUncertaintyColumns* given, TExactSquares& squares) {
    result.formula = "Y = ";
    if (HasTooFewPoints(result.kind, result.pointCount)) {
        result.tooFew = true;
        result.coefficientTexts.fill(Tr(kTooFewCaption));
        result.resultText = Tr(kFillTableCaption);
        return;
    }
    result.solveFailed = given != nullptr
                             ? !SolveWithGiven(result.kind, result.measured, *given, store, result, work,
                                               PartOfSteps(told, kRead, kSolved))
                             : !SolveLeastSquares(result.kind, result.measured, store,
                                                  withUncertainty ? &result.uncertainty : nullptr,
                                                  PartOfSteps(told, kRead, kSolved), work, &squares);
    if (result.solveFailed && result.solveFailure.empty()) {
        result.solveFailure = Tr(kSolveFailedText);
    }
    const TCoefficientTexts texts = MakeCoefficientTexts(store);
    result.coefficientTexts = texts.captions;
    result.formula = BuildFormula(store, result.kind, texts);
    result.resultText = result.formula;
}

// Each point's colour from its deviation, in pieces that tell `steps`.
void ColourPoints(TRecomputeResult& result, const std::vector<double>& deviations, const TWorkSteps& steps) {
    ReserveLarge(result.colors, deviations.size());
    result.colors.resize(deviations.size());
    InPieces(0, deviations.size(), steps, [&result, &deviations](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            result.colors[i] = DeviationColor(deviations[i], result.statistics.sigma);
        }
    });
}

// The recompute after its points are read: `told` of the share from kRead on, when at all.
TRecomputeResult RecomputeRead(TPointTable measured, TFunctionKind kind, TFitCoefficients& store,
                               bool withUncertainty, bool forChart, const TWorkSteps& told,
                               const TWorkOptions& work, const TUncertaintyColumns* given) {
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
    // A large table's order by X needs nothing but the points: it is sorted on the second core while this
    // one solves and finds the deviations.
    std::vector<int> order;
    std::optional<TWorkBeside> orderBeside;
    if (forChart && points.size() >= kTwoPartsFrom && SecondCoreUsable(work)) {
        orderBeside.emplace(work, [&points, &order] { order = StableOrderByX(points); });
    }
    // The exact sum of the squared deviations, when these points were fitted now.
    TExactSquares squares;
    Present(result, store, withUncertainty, told, work, given, squares);
    step(kSolved);

    result.reached = rsPresented;
    try {
        // Each deviation is computed once and serves both the statistics and the point colours.
        std::vector<double> deviations;
        // The exact sum of squares belongs to the ordinary fit's solve; the weighted fit's deviations are
        // summed as they are rounded.
        const bool fitted = !result.tooFew && !result.solveFailed && given == nullptr;
        result.statistics =
            ComputeStatistics(points, store, &deviations, PartOfSteps(told, kSolved, kStatistics), work,
                              fitted ? &squares : nullptr);
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
            ColourPoints(result, deviations, PartOfSteps(told, kStatistics, kColored));
            // The deviations' room goes before a sort here takes its own: a large table's peak is lower.
            std::vector<double>().swap(deviations);
            step(kColored);
            if (orderBeside) {
                orderBeside->Wait([&step] { step(kColored); });
                result.measuredByX = std::move(order);
            } else {
                result.measuredByX = StableOrderByX(points, PartOfSteps(told, kColored, 1));
            }
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
                           bool withUncertainty, bool forChart, const TWorkSteps& steps,
                           const TWorkOptions& work) {
    // A small table's recompute is over before a step would matter: it tells none, so the window's
    // events never run in the middle of it.
    const TWorkSteps none;
    const TWorkSteps& told = static_cast<std::size_t>(table.RowCount()) > kItemsPerStep ? steps : none;
    TPointTable points = ExtractPoints(table, PartOfSteps(told, 0, kRead), work);
    if (told) {
        told(kRead);
    }
    return RecomputeRead(std::move(points), kind, store, withUncertainty, forChart, told, work, nullptr);
}

TRecomputeResult RecomputePoints(TPointTable points, TFunctionKind kind, TFitCoefficients& store,
                                 bool withUncertainty, bool forChart, const TWorkOptions& work,
                                 const TUncertaintyColumns* given, const TWorkSteps& steps) {
    return RecomputeRead(std::move(points), kind, store, withUncertainty, forChart, steps, work, given);
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
