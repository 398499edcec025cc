#pragma once
// The recompute: table, kind and store in, the fit and its texts out, the store written by the solve
// alone. Nothing here knows a window: the window and quorvel-fit apply what it describes.
#include <array>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fitting/calibration_data.h"
#include "fitting/fit_types.h"
#include "fitting/fit_uncertainty.h"
#include "fitting/work_options.h"
#include "runtime/colors.h"
#include "runtime/number_text.h"
#include "runtime/work_steps.h"

namespace quorvel {

class TCalibration;

struct TFeedPoint {
    double x = 0;
    double y = 0;
    TColor color = AutoColor;
};

// How far a recompute got; each stage includes the ones before it.
enum TRecomputeStage {
    rsPresented,   // the too-few state, or the solve with its coefficients and formula
    rsStatistics,  // the RMS deviation (sigma) and the maximum error
    rsPoints,      // the measured points in their colours
    rsCurve,       // the curve samples: the recompute is complete
};

struct TRecomputeResult {
    TFunctionKind kind = fkCubic;
    TRecomputeStage reached = rsCurve;
    // What stopped the recompute after `reached` (an overflow in the statistics or the curve); null
    // when it completed. The window shows what was reached, then lets this reach the standard box.
    std::exception_ptr error;
    int pointCount = 0;
    bool tooFew = false;       // the too-few-data state: no solve attempted
    bool solveFailed = false;  // the solve was attempted and failed: show its box, then present
    std::array<std::string, 4> coefficientTexts;  // "a0 = 1.0000000" .. "a3 = 0", or the too-few text
    std::string resultText;                       // the formula, or the text asking for more data
    std::string formula;                          // the formula line (also when too few: "Y = ")
    std::string sigmaText;                        // the RMS deviation, as shown
    std::string maxErrText;                       // the maximum error, as shown
    TFitStatistics statistics;
    // The measured points, in table order as read from the table, and (once the points stage is reached)
    // their deviation colours and X order (for a chart). Each point's label is NumberToText(x); the chart
    // makes it only where it shows one, which keeps a million text conversions out of the recompute and
    // the feed.
    TPointTable measured;
    std::vector<TColor> colors;
    std::vector<int> measuredByX;   // indices of `measured` in stable ascending X order, when asked for
    std::vector<TFeedPoint> curve;  // the fitted curve's samples, ascending x
    // The exact standard uncertainties, when asked for and the solve succeeded.
    std::optional<TFitUncertainty> uncertainty;
    // The fit with the points' given uncertainties, when they were given and it succeeded.
    std::shared_ptr<const TCalibration> calibration;
    // Why the solve failed, when it did: kSolveFailedText, or that an iteration did not settle.
    std::string solveFailure;
};

// Gives back the room of the points, their colours and X order, and the curve samples, once a chart
// holds them (a million points hold 24 MB, which the chart's first drawing would add to); the texts,
// the figures and the uncertainties stay.
void ReleaseChartData(TRecomputeResult& result);

// The whole recompute, from reading the cells to the curve. Throws EConvertError (or EOverflow) on a bad
// cell, and ESolveOverflow for a fit with a coefficient beyond the double range, before touching the store. A
// fault after the solve ends the recompute there: the result says how far it got and holds the error. Writes
// the store only through the solve. The uncertainties are found only when asked for (the window shows them
// in its tips, quorvel-fit in its JSON and report). The points' colours and their X order (`colors`,
// `measuredByX`) are found only `forChart`: only a chart uses them. A large table's recompute tells `steps`
// how far it has come, now and then, and takes a second core where the work may.
TRecomputeResult Recompute(const ITableSource& table, TFunctionKind kind, TFitCoefficients& store,
                           bool withUncertainty = false, bool forChart = true, const TWorkSteps& steps = {},
                           const TWorkOptions& work = {});
// The same from the points of the table's counted rows, in row order, read already. With `given`, the
// uncertainties of those points (one for each, in the same order), the fit is the calibration with
// known uncertainties (weighted, or generalized where a u(X) is given) instead of the ordinary one.
TRecomputeResult RecomputePoints(TPointTable points, TFunctionKind kind, TFitCoefficients& store,
                                 bool withUncertainty = false, bool forChart = true,
                                 const TWorkOptions& work = {}, const TUncertaintyColumns* given = nullptr,
                                 const TWorkSteps& steps = {});

struct TEvaluation {
    // BeyondRange: X was read, but Y there lies beyond the double range.
    enum State { Skipped, Invalid, Evaluated, BeyondRange } state = Skipped;
    double x = 0;
    double y = 0;
    std::string yText;         // Y as shown
    std::string label;         // NumberToText(x), the evaluated point's label on a chart
    std::string message;       // the invalid-number box text when state is Invalid
    std::exception_ptr error;  // what the evaluation raised when state is BeyondRange (an EMathError)
};

// The evaluation at a typed X (empty, "-" and "+" skip; a bad text gives Invalid with its message, a Y
// beyond the range BeyondRange with its error). The window evaluates at every keystroke, so its text is
// being typed; a command line's value is finished.
TEvaluation EvaluateAt(std::string_view text, const TFitCoefficients& store, TTextState state = tsFinished);

}  // namespace quorvel
