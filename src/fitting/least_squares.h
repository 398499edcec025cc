#pragma once
// The least-squares fit of the chosen kind, the polynomial's value and the error statistics.
#include <optional>
#include <vector>

#include "fitting/fit_types.h"
#include "fitting/fit_uncertainty.h"
#include "fitting/work_options.h"
#include "runtime/exceptions.h"
#include "runtime/work_steps.h"

namespace quorvel {

// The fit exists but a coefficient is beyond the double range: an overflow, not a singular system.
class ESolveOverflow : public EOverflow {};

struct TExactSquares;

// Fits the points exactly and writes the store: each coefficient is the exact least-squares value
// rounded once to the nearest double. Returns false when no unique fit exists (the exact
// determinant is 0: fewer distinct X values than the kind needs); the linear kind has then already
// written a2 = a3 = 0, the other kinds write nothing. Throws ESolveOverflow, with the store as it was,
// when the fit exists but a coefficient is beyond the double range. With `uncertainty`, a fit that
// succeeds also sets the exact standard uncertainties there, and with `squares` the exact sum of the
// squared deviations of these points from it. A large table's sums tell steps how far they have come, and
// take a second core where the work may.
bool SolveLeastSquares(TFunctionKind kind, const TPointTable& points, TFitCoefficients& store,
                       std::optional<TFitUncertainty>* uncertainty = nullptr, const TWorkSteps& steps = {},
                       const TWorkOptions& work = {}, TExactSquares* squares = nullptr);

// The fitted polynomial at X. For a store written by a successful solve: the exact least-squares
// polynomial's value, rounded once to the nearest double (the rounded coefficients alone lose digits
// far from zero). For any other store: ((a3·X)·X)·X + (a2·X)·X + a1·X + a0 with 64-bit-mantissa
// intermediates. Throws EOverflow when the value is beyond the double range.
double EvalPolynomial(double x, const TFitCoefficients& c);

// Y − (the fitted polynomial at X), the point's deviation from the fit: of a solved store the exact
// difference rounded once (so exactly 0 for a point on the curve); otherwise Y − EvalPolynomial(X)
// formed at 64-bit-mantissa precision and stored once. Throws EOverflow when it is beyond the double
// range.
double Deviation(const TDataPoint& point, const TFitCoefficients& c);

// Maximum absolute deviation and root-mean-square deviation (divided by m − 1) of the points from
// the store's polynomial; each deviation's magnitude |Deviation| also goes to `deviations` (in point
// order) when one is given, for the point colours. With `squares`, the exact sum of the squared
// deviations of these very points from the store's fit (as the solve gave it), the root-mean-square
// deviation is the double nearest to its exact value; otherwise it is formed from the rounded
// deviations. Throws EOverflow when a figure is beyond the double range. A large table's deviations tell
// steps how far they have come; they are found as the work allows (on a second core, four at a time).
TFitStatistics ComputeStatistics(const TPointTable& points, const TFitCoefficients& c,
                                 std::vector<double>* deviations = nullptr, const TWorkSteps& steps = {},
                                 const TWorkOptions& work = {}, const TExactSquares* squares = nullptr);

}  // namespace quorvel
