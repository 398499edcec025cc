#include "fitting/least_squares.h"

#include <array>
#include <cfloat>
#include <cmath>

#include "fitting/exact_polynomial.h"
#include "fitting/exact_power_sums.h"
#include "fitting/exact_solver.h"
#include "fitting/two_parts.h"
#include "runtime/exceptions.h"
#include "runtime/large_buffers.h"

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

bool SolveLeastSquares(TFunctionKind kind, const TPointTable& points, TFitCoefficients& store,
                       std::optional<TFitUncertainty>* uncertainty, const TWorkSteps& steps,
                       const TWorkOptions& work, TExactSquares* squares) {
    TExactPowerSums sums;
    std::array<double, 4> a{};
    std::shared_ptr<const TExactPolynomial> exact;
    const bool withSquares = uncertainty != nullptr || squares != nullptr;
    const TSolveOutcome outcome = sums.Accumulate(points, static_cast<int>(kind), withSquares, steps, work)
                                      ? SolveNormalEquationsExactly(sums, a, &exact)
                                      : TSolveOutcome::Singular;
    if (outcome == TSolveOutcome::BeyondRange) {
        throw ESolveOverflow();
    }
    if (kind == fkLinear) {
        store.a2 = 0;
        store.a3 = 0;
        if (store.exact && !store.exact->RoundsTo(store)) {
            store.exact.reset();  // the store no longer holds a fit, only the coefficients it shows
        }
    }
    if (outcome == TSolveOutcome::Singular) {
        return false;
    }
    if (withSquares) {
        TExactSquares residual = ResidualSquares(sums);
        if (uncertainty != nullptr) {
            uncertainty->emplace(sums, residual, static_cast<int>(points.size()));
        }
        if (squares != nullptr) {
            *squares = std::move(residual);
        }
    }
    store.a0 = a[0];
    store.a1 = a[1];
    if (kind >= fkQuadratic) {
        store.a2 = a[2];
        store.a3 = a[3];
    }
    store.exact = std::move(exact);
    return true;
}

namespace {

// The exact polynomial of the store's fit, while the store holds its coefficients.
const TExactPolynomial* ExactFit(const TFitCoefficients& c) {
    return c.exact && c.exact->RoundsTo(c) ? c.exact.get() : nullptr;
}

}  // namespace

double EvalPolynomial(double x, const TFitCoefficients& c) {
    if (const TExactPolynomial* exact = ExactFit(c)) {
        return exact->ValueAt(x);
    }
    const long double X = x;
    const long double value = ((c.a3 * X) * X) * X + (c.a2 * X) * X + c.a1 * X + c.a0;
    return StoreChecked(value);
}

double Deviation(const TDataPoint& point, const TFitCoefficients& c) {
    if (const TExactPolynomial* exact = ExactFit(c)) {
        return exact->DeviationAt(point.X, point.Y);
    }
    return StoreChecked(static_cast<long double>(point.Y) - EvalPolynomial(point.X, c));
}

TFitStatistics ComputeStatistics(const TPointTable& points, const TFitCoefficients& c,
                                 std::vector<double>* deviations, const TWorkSteps& steps,
                                 const TWorkOptions& work, const TExactSquares* squares) {
    std::vector<double> own;
    std::vector<double>& d = deviations != nullptr ? *deviations : own;
    ReserveLarge(d, points.size());
    d.resize(points.size());
    // The deviations of a large table are found in two halves at once; the figures are then formed in
    // point order, as the running sum's roundings depend on it.
    const TExactPolynomial* exact = ExactFit(c);
    InTwoPartsInSteps(work, points.size(), steps, [&](std::size_t from, std::size_t to, int) {
        if (exact != nullptr) {
            exact->DeviationsAt(points.data() + from, to - from, d.data() + from, work.wideLanes);
            for (std::size_t i = from; i < to; ++i) {
                d[i] = std::fabs(d[i]);
            }
            return;
        }
        for (std::size_t i = from; i < to; ++i) {
            d[i] = std::fabs(Deviation(points[i], c));
        }
    });
    TFitStatistics stats;
    stats.m = static_cast<double>(d.size());
    for (const double deviation : d) {
        if (deviation > stats.maxError) {
            stats.maxError = deviation;
        }
    }
    if (stats.m <= 1) {
        return stats;
    }
    if (squares != nullptr) {
        // √(S/(m − 1)) rounded once from the exact S: the rounded deviations' squares would lose digits
        // at each step, and every digit where they fall among the subnormals.
        const mpz_class den = squares->den * static_cast<unsigned long>(d.size() - 1);
        if (!RoundSqrtOfQuotientToDouble(squares->num.get_mpz_t(), den.get_mpz_t(), squares->exp2,
                                         stats.sigma)) {
            throw EOverflow();
        }
        return stats;
    }
    double sumSq = 0;
    for (const double deviation : d) {
        sumSq = StoreChecked(sumSq + static_cast<long double>(deviation) * deviation);
    }
    stats.sigma = StoreChecked(std::sqrt(static_cast<long double>(sumSq) / (stats.m - 1)));
    return stats;
}

}  // namespace quorvel
