#include "fitting/least_squares.h"

#include <array>
#include <cfloat>
#include <cmath>

#include "fitting/exact_power_sums.h"
#include "fitting/exact_solver.h"
#include "runtime/exceptions.h"

namespace quorvel {

namespace {

// Stores an extended value as a double. The range is tested before the conversion, so the check
// holds whether or not floating-point faults trap.
double StoreChecked(long double value) {
    // DBL_MAX plus half its ulp: the first magnitude that rounds to infinity.
    constexpr long double kOverflow = static_cast<long double>(DBL_MAX) + 0x1p970L;
    if (std::isnan(value)) {
        throw EInvalidOp();
    }
    if (std::fabs(value) >= kOverflow) {
        throw EOverflow();
    }
    return static_cast<double>(value);
}

}  // namespace

bool SolveLeastSquares(TFunctionKind kind, const TPointTable& points, TFitCoefficients& store) {
    if (kind == fkLinear) {
        store.a2 = 0;
        store.a3 = 0;
    }
    for (const TDataPoint& p : points) {
        if (!std::isfinite(p.X) || !std::isfinite(p.Y)) {
            return false;
        }
    }
    TExactPowerSums sums;
    sums.Accumulate(points, static_cast<int>(kind));
    std::array<double, 4> a{};
    if (!SolveNormalEquationsExactly(sums, a)) {
        return false;
    }
    store.a0 = a[0];
    store.a1 = a[1];
    if (kind >= fkQuadratic) {
        store.a2 = a[2];
        store.a3 = a[3];
    }
    return true;
}

double EvalPolynomial(double x, const TFitCoefficients& c) {
    const long double X = x;
    const long double value = ((c.a3 * X) * X) * X + (c.a2 * X) * X + c.a1 * X + c.a0;
    return StoreChecked(value);
}

TFitStatistics ComputeStatistics(const TPointTable& points, const TFitCoefficients& c,
                                 std::vector<double>* deviations) {
    TFitStatistics stats;
    double sumSq = 0;
    if (deviations != nullptr) {
        deviations->resize(points.size());
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TDataPoint& p = points[i];
        const double d = StoreChecked(std::fabs(static_cast<long double>(p.Y) - EvalPolynomial(p.X, c)));
        if (deviations != nullptr) {
            (*deviations)[i] = d;
        }
        if (d > stats.maxError) {
            stats.maxError = d;
        }
        sumSq = StoreChecked(sumSq + static_cast<long double>(d) * d);
        stats.m += 1;
    }
    if (stats.m > 1) {
        stats.sigma = StoreChecked(std::sqrt(static_cast<long double>(sumSq) / (stats.m - 1)));
    }
    return stats;
}

}  // namespace quorvel
