#include "fitting/calibration_fit.h"

#include <gmpxx.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "fitting/critical_values.h"
#include "fitting/exact_polynomial.h"
#include "fitting/fit_uncertainty.h"
#include "fitting/least_squares.h"
#include "fitting/messages.h"
#include "fitting/normal_system.h"
#include "fitting/weighted_sums.h"
#include "runtime/exceptions.h"
#include "runtime/message_catalog.h"

namespace quorvel {

const char* MethodName(TFitMethod method) {
    switch (method) {
        case TFitMethod::Weighted:
            return "weighted";
        case TFitMethod::Generalized:
            return "generalized";
        case TFitMethod::Ordinary:
            break;
    }
    return "ordinary";
}

TFitMethod MethodFor(const TUncertaintyColumns* given) {
    if (given == nullptr) {
        return TFitMethod::Ordinary;
    }
    return given->AnyUx() ? TFitMethod::Generalized : TFitMethod::Weighted;
}

namespace {

using TMatrixBound = std::array<std::array<long double, 4>, 4>;

TExactQuantity Product(const TExactQuantity& a, const TExactQuantity& b) {
    return {a.num * b.num, a.den * b.den, a.exp2 + b.exp2};
}

TExactQuantity Quotient(const TExactQuantity& a, const mpz_class& divisor) {
    return {a.num, a.den * divisor, a.exp2};
}

// 1 − a/b, or with a factor f: 1 − f·a/b, as an exact quantity (b > 0).
TExactQuantity OneLess(const TExactQuantity& a, const TExactQuantity& b, const mpz_class& fNum,
                       const mpz_class& fDen) {
    // (b − f·a)/b with both over a common power of two.
    const long e = std::min(a.exp2, b.exp2);
    mpz_class an = a.num * b.den * fNum;
    mpz_class bn = b.num * a.den * fDen;
    mpz_mul_2exp(an.get_mpz_t(), an.get_mpz_t(), static_cast<mp_bitcnt_t>(a.exp2 - e));
    mpz_mul_2exp(bn.get_mpz_t(), bn.get_mpz_t(), static_cast<mp_bitcnt_t>(b.exp2 - e));
    return {bn - an, bn, 0};
}

std::optional<double> Rounded(const TExactQuantity& q, double bound, bool sqrt, bool& certain) {
    double out = 0;
    if (q.RoundWithin(bound, out, sqrt)) {
        return out;
    }
    if (!(sqrt ? q.RoundSqrt(out) : q.Round(out))) {
        return std::nullopt;  // beyond the double range
    }
    certain = false;
    return out;
}

std::optional<double> Expanded(double k, const std::optional<double>& u) {
    if (!u || !std::isfinite(k * *u)) {
        return std::nullopt;
    }
    return k * *u;
}

// Bounds on how far the figures of weights rounded down by at most `error` of each may lie from those of
// the true weights (all in long double, enlarged a little for its own roundings). With e = ε/(1 − ε),
// M̃ and χ̃² those of the rounded weights and Ĩ = M̃⁻¹: |Δa_k| <= e·Σ_j |Ĩ_kj|·sqrt(M̃_jj·χ̃²) (the
// true solution's residuals are orthogonal to the columns, so only the weights' change moves it), and
// M⁻¹ − Ĩ = −Ĩ·E·M⁻¹ with |E_jl| <= e·sqrt(M̃_jj·M̃_ll).
struct TRoundingBounds {
    std::array<long double, 4> coefficient{};
    TMatrixBound inverse{};
    bool usable = true;
};

TRoundingBounds BoundsOf(const TNormalSystem& system, double error, long double chiSquared) {
    TRoundingBounds bounds;
    const int size = system.Degree() + 1;
    const long double e = error / (1 - static_cast<long double>(error)) * 1.01L;
    TMatrixBound inverse{};
    std::array<long double, 4> diagonal{};
    for (int j = 0; j < size; ++j) {
        diagonal[static_cast<std::size_t>(j)] = system.DiagonalApprox(j);
        for (int k = 0; k < size; ++k) {
            inverse[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)] =
                std::fabs(system.InverseMatrix(j, k).Approximate());
        }
    }
    for (int k = 0; k < size; ++k) {
        long double sum = 0;
        for (int j = 0; j < size; ++j) {
            sum += inverse[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)] *
                   std::sqrt(diagonal[static_cast<std::size_t>(j)] * chiSquared);
        }
        bounds.coefficient[static_cast<std::size_t>(k)] = e * sum;
    }
    // F = |Ĩ|·Ē; with f its largest row sum below 1/2, |M⁻¹| stays within |Ĩ|/(1 − f) column by column.
    std::array<long double, 4> rowSum{};
    long double f = 0;
    for (int j = 0; j < size; ++j) {
        for (int l = 0; l < size; ++l) {
            long double entry = 0;
            for (int m = 0; m < size; ++m) {
                entry +=
                    inverse[static_cast<std::size_t>(j)][static_cast<std::size_t>(m)] * e *
                    std::sqrt(diagonal[static_cast<std::size_t>(m)] * diagonal[static_cast<std::size_t>(l)]);
            }
            rowSum[static_cast<std::size_t>(j)] += entry;
        }
        f = std::max(f, rowSum[static_cast<std::size_t>(j)]);
    }
    if (!(f < 0.5L)) {
        bounds.usable = false;
        return bounds;
    }
    for (int k = 0; k < size; ++k) {
        long double column = 0;
        for (int l = 0; l < size; ++l) {
            column = std::max(column, inverse[static_cast<std::size_t>(l)][static_cast<std::size_t>(k)]);
        }
        column /= 1 - f;
        for (int j = 0; j < size; ++j) {
            bounds.inverse[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)] =
                rowSum[static_cast<std::size_t>(j)] * column;
        }
    }
    return bounds;
}

double AsBound(long double v) {
    return std::isfinite(v) ? static_cast<double>(v * 1.0001L) : INFINITY;
}

mpq_class ExactOf(TDoubleDouble v) {
    return mpq_class(v.hi) + mpq_class(v.lo);
}

std::optional<double> NearestOf(const mpq_class& q, bool sqrt = false) {
    double out = 0;
    const bool inRange = sqrt ? RoundSqrtOfQuotientToDouble(q.get_num_mpz_t(), q.get_den_mpz_t(), 0, out)
                              : RoundQuotientToDouble(q.get_num_mpz_t(), q.get_den_mpz_t(), 0, out);
    if (!inRange) {
        return std::nullopt;
    }
    return out;
}

double MeanX(const TPointTable& points) {
    long double sum = 0;
    for (const TDataPoint& p : points) {
        sum += p.X;
    }
    return static_cast<double>(sum / static_cast<long double>(points.size()));
}

}  // namespace

// The fit behind the figures: its polynomial, exact (the exact least-squares polynomial, or the distance
// regression's double-double one carried over to X), and the covariance of its coefficients, from an exact
// normal system or from the distance regression.
struct TCalibrationModel {
    double coverage = 0;
    std::shared_ptr<const TExactPolynomial> value;
    std::shared_ptr<const TExactPolynomial> slope;
    std::optional<TNormalSystem> system;
    TExactQuantity varianceScale;  // s² for the ordinary fit, 1 for given uncertainties
    std::optional<TDistanceSolution> distance;

    // The sign of f(x) − y.
    int SignAt(double x, double y) const {
        const double deviation = value->DeviationAt(x, y);  // y − f(x), its sign exact
        return deviation < 0 ? 1 : deviation > 0 ? -1 : 0;
    }
    // sqrt(gᵀVg + extra²), rounded once from the exact value where the fit is exact.
    double Uncertainty(double x, double extra) const {
        if (distance) {
            const TDoubleDouble e(extra);
            return ToDouble(sqrt(DistanceVarianceAt(*distance, x) + e * e));
        }
        mpq_class v = AsExact(Product(varianceScale, system->InverseFormAt(x)));
        v += mpq_class(extra) * mpq_class(extra);
        const std::optional<double> out = NearestOf(v, true);
        if (!out) {
            throw EOverflow();
        }
        return *out;
    }

    static mpq_class AsExact(const TExactQuantity& q) {
        mpq_class r(q.num, q.den);
        r.canonicalize();
        if (q.exp2 >= 0) {
            mpq_mul_2exp(r.get_mpq_t(), r.get_mpq_t(), static_cast<mp_bitcnt_t>(q.exp2));
        } else {
            mpq_div_2exp(r.get_mpq_t(), r.get_mpq_t(), static_cast<mp_bitcnt_t>(-q.exp2));
        }
        return r;
    }
};

namespace {

// The figures of an exact system (ordinary without `given`, else weighted); `certain` turns false when
// the weights' rounding could move one of them across a rounding boundary.
TCalibrationFigures ExactFigures(const TNormalSystem& system, double weightError, const TPointTable& points,
                                 const TUncertaintyColumns* given, TCalibrationModel& model, bool& certain) {
    const bool ordinary = given == nullptr;
    TCalibrationFigures f;
    f.method = ordinary ? TFitMethod::Ordinary : TFitMethod::Weighted;
    f.degree = system.Degree();
    const int p = f.degree + 1;
    f.pointCount = static_cast<int>(points.size());
    f.dof = f.pointCount - p;
    const TExactQuantity squares = system.ResidualSquares();
    const long double chi = squares.Approximate();
    TRoundingBounds bounds;
    if (weightError > 0) {
        bounds = BoundsOf(system, weightError, chi);
        certain = certain && bounds.usable;
    }
    for (int k = 0; k < p; ++k) {
        const std::optional<double> a = Rounded(
            system.Coefficient(k), AsBound(bounds.coefficient[static_cast<std::size_t>(k)]), false, certain);
        if (!a) {
            throw ESolveOverflow();
        }
        f.a[static_cast<std::size_t>(k)] = *a;
    }
    const double centre = MeanX(points);
    model.value = system.Polynomial(f.a, centre);
    model.slope = system.Slope(centre);
    const bool hasCovariance = !ordinary || f.dof > 0;
    model.varianceScale = ordinary && f.dof > 0 ? Quotient(squares, f.dof) : TExactQuantity{1, 1, 0};
    f.coverage = ordinary ? (f.dof > 0 ? CoverageFactor95(f.dof) : 0) : kNormalCoverage95;
    model.coverage = f.coverage;
    for (int j = 0; hasCovariance && j < p; ++j) {
        for (int k = 0; k < p; ++k) {
            const auto jj = static_cast<std::size_t>(j);
            const auto kk = static_cast<std::size_t>(k);
            const TExactQuantity c = Product(model.varianceScale, system.InverseMatrix(j, k));
            f.covariance[jj][kk] = Rounded(c, AsBound(bounds.inverse[jj][kk]), false, certain);
            if (j == k) {
                f.u[jj] = Rounded(c, AsBound(bounds.inverse[jj][kk]), true, certain);
                f.expanded[jj] = Expanded(f.coverage, f.u[jj]);
            }
        }
    }
    if (ordinary) {
        if (f.dof > 0) {
            f.residualSd = Rounded(Quotient(squares, f.dof), 0, true, certain);
        }
    } else {
        f.chiSquared =
            Rounded(squares, AsBound(chi * weightError * 1.01L / (1 - weightError)), false, certain);
        if (f.dof > 0) {
            f.chiSquaredCritical = ChiSquaredCritical95(f.dof);
            if (f.chiSquared) {
                f.consistent = *f.chiSquared <= *f.chiSquaredCritical;
            }
        }
    }
    const TExactQuantity total = system.TotalSquares();
    if (sgn(total.num) > 0) {
        const long double ratio = chi / total.Approximate();
        const double bound = AsBound(ratio * 2.02L * weightError / (1 - weightError));
        f.rSquared = Rounded(OneLess(squares, total, 1, 1), bound, false, certain);
        if (f.dof > 0) {
            const long double factor = static_cast<long double>(f.pointCount - 1) / f.dof;
            f.adjustedRSquared = Rounded(OneLess(squares, total, f.pointCount - 1, f.dof),
                                         AsBound(bound * factor), false, certain);
        }
    }
    return f;
}

// The figures of a distance regression: its coefficients and covariance carried over to X exactly
// (a_k = [k = 0]·y0 + Σ_j b_j·C(j, k)·(−x0)^(j−k)/h^j) and rounded once.
// A polynomial of dyadic rational coefficients (as the distance regression's are, carried over to X)
// and its derivative, exactly.
void DyadicPolynomials(const std::array<mpq_class, 4>& a, int degree, const std::array<double, 4>& rounded,
                       double centre, TCalibrationModel& model) {
    std::array<mpz_class, 4> numerators;
    std::array<long, 4> exponents{};
    std::array<mpz_class, 4> slopeNumerators;
    std::array<long, 4> slopeExponents{};
    std::array<double, 4> slopeRounded{};
    for (int k = 0; k <= degree; ++k) {
        const auto i = static_cast<std::size_t>(k);
        numerators[i] = a[i].get_num();
        // The denominator is a power of two: its bits less one.
        exponents[i] = -static_cast<long>(mpz_sizeinbase(a[i].get_den_mpz_t(), 2) - 1);
        if (k > 0) {
            slopeNumerators[i - 1] = numerators[i] * k;
            slopeExponents[i - 1] = exponents[i];
            slopeRounded[i - 1] = NearestOf(a[i] * k).value_or(0);
        }
    }
    model.value = std::make_shared<const TExactPolynomial>(degree, numerators, mpz_class(1), exponents,
                                                           rounded, centre);
    model.slope = std::make_shared<const TExactPolynomial>(degree - 1, slopeNumerators, mpz_class(1),
                                                           slopeExponents, slopeRounded, centre);
}

TCalibrationFigures DistanceFigures(const TDistanceSolution& fit, const TPointTable& points,
                                    const TUncertaintyColumns& given, TCalibrationModel& model) {
    TCalibrationFigures f;
    f.method = TFitMethod::Generalized;
    f.degree = fit.degree;
    const int p = f.degree + 1;
    f.pointCount = static_cast<int>(points.size());
    f.dof = f.pointCount - p;
    static constexpr int kBinomial[4][4] = {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 2, 1, 0}, {1, 3, 3, 1}};
    const mpq_class x0(fit.x0);
    const mpq_class h(fit.h);
    std::array<std::array<mpq_class, 4>, 4> t;
    for (int k = 0; k < p; ++k) {
        for (int j = k; j < p; ++j) {
            mpq_class term = kBinomial[j][k];
            for (int i = 0; i < j - k; ++i) {
                term *= -x0;
            }
            for (int i = 0; i < j; ++i) {
                term /= h;
            }
            t[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)] = term;
        }
    }
    std::array<mpq_class, 4> a;
    for (int k = 0; k < p; ++k) {
        const auto kk = static_cast<std::size_t>(k);
        a[kk] = k == 0 ? mpq_class(fit.y0) : mpq_class(0);
        for (int j = k; j < p; ++j) {
            a[kk] += t[kk][static_cast<std::size_t>(j)] * ExactOf(fit.b[static_cast<std::size_t>(j)]);
        }
        const std::optional<double> rounded = NearestOf(a[kk]);
        if (!rounded) {
            throw ESolveOverflow();
        }
        f.a[kk] = *rounded;
    }
    DyadicPolynomials(a, f.degree, f.a, fit.x0, model);
    f.coverage = kNormalCoverage95;
    for (int k = 0; k < p; ++k) {
        for (int l = 0; l < p; ++l) {
            mpq_class v = 0;
            for (int j = k; j < p; ++j) {
                for (int m = l; m < p; ++m) {
                    v += t[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)] *
                         ExactOf(fit.covariance[static_cast<std::size_t>(j)][static_cast<std::size_t>(m)]) *
                         t[static_cast<std::size_t>(l)][static_cast<std::size_t>(m)];
                }
            }
            f.covariance[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)] = NearestOf(v);
            if (k == l && sgn(v) >= 0) {
                f.u[static_cast<std::size_t>(k)] = NearestOf(v, true);
                f.expanded[static_cast<std::size_t>(k)] =
                    Expanded(f.coverage, f.u[static_cast<std::size_t>(k)]);
            }
        }
    }
    f.chiSquared = fit.chiSquared;
    if (f.dof > 0) {
        f.chiSquaredCritical = ChiSquaredCritical95(f.dof);
        f.consistent = fit.chiSquared <= *f.chiSquaredCritical;
    }
    f.gamma = fit.gamma;
    // R² against the Y values' own weighted scatter about their weighted mean.
    long double sw = 0;
    long double swy = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const long double w = 1 / (static_cast<long double>(given.Uy(i)) * given.Uy(i));
        sw += w;
        swy += w * points[i].Y;
    }
    const long double mean = swy / sw;
    long double total = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const long double d = (points[i].Y - mean) / given.Uy(i);
        total += d * d;
    }
    if (total > 0) {
        f.rSquared = static_cast<double>(1 - fit.chiSquared / total);
        if (f.dof > 0) {
            f.adjustedRSquared = static_cast<double>(1 - fit.chiSquared / total * (f.pointCount - 1) / f.dof);
        }
    }
    return f;
}

}  // namespace

TCalibration::TCalibration(const TPointTable& points, const TUncertaintyColumns* given, int degree,
                           int weightBits, const TWorkOptions& work, const TWorkSteps& steps)
    : model_(std::make_unique<TCalibrationModel>()) {
    if (static_cast<int>(points.size()) < degree + 1) {
        throw EFitNotFound(Tr(kSolveFailedText));
    }
    if (MethodFor(given) == TFitMethod::Generalized) {
        model_->distance = FitDistance(points, *given, degree, steps);
        figures_ = DistanceFigures(*model_->distance, points, *given, *model_);
        model_->coverage = figures_.coverage;
        return;
    }
    // Weights that are rounded get more bits until every figure's rounding is certain.
    for (int bits = weightBits;; bits = std::min(2 * bits, kMostWeightBits)) {
        if (TakeSystem(
                WeightedSystem(points, given != nullptr ? &given->uy : nullptr, degree, bits, work, steps),
                points, given, bits == kMostWeightBits)) {
            return;
        }
    }
}

TCalibration::TCalibration() : model_(std::make_unique<TCalibrationModel>()) {}

bool TCalibration::TakeSystem(TWeightedSystem sums, const TPointTable& points,
                              const TUncertaintyColumns* given, bool last) {
    if (sums.system.Singular()) {
        throw EFitNotFound(Tr(kSolveFailedText));
    }
    bool certain = true;
    TCalibrationModel model;
    TCalibrationFigures figures = ExactFigures(sums.system, sums.weightError, points, given, model, certain);
    if (!certain && !last) {
        return false;
    }
    model.system = std::move(sums.system);
    *model_ = std::move(model);
    figures_ = figures;
    return true;
}

std::array<std::optional<TCalibration>, 3> TCalibration::EachKind(const TPointTable& points,
                                                                  const TUncertaintyColumns* given,
                                                                  const TWorkOptions& work,
                                                                  const TWorkSteps& steps) {
    std::array<std::optional<TCalibration>, 3> fits;
    const int most = static_cast<int>(std::min<std::size_t>(3, std::max<std::size_t>(points.size(), 1) - 1));
    std::optional<TWeightedSystem> top;
    if (most >= 1 && MethodFor(given) != TFitMethod::Generalized) {
        top = WeightedSystem(points, given != nullptr ? &given->uy : nullptr, most, 128, work, steps);
    }
    for (int degree = 1; degree <= most; ++degree) {
        // Each kind's fit in both variables takes its share of the steps.
        const TWorkSteps share =
            top ? TWorkSteps() : PartOfSteps(steps, double(degree - 1) / most, double(degree) / most);
        std::optional<TCalibration>& fit = fits[static_cast<std::size_t>(degree - 1)];
        try {
            if (top) {
                TCalibration truncated;
                if (truncated.TakeSystem({top->system.Truncated(degree), top->weightError}, points, given,
                                         false)) {
                    fit.emplace(std::move(truncated));
                    continue;
                }
            }
            // The rounded weights leave a figure open at this degree: its own summation with more bits.
            fit.emplace(points, given, degree, 128, work, share);
        } catch (const EFitNotFound&) {
            // No unique fit of this kind: it is not among the choices.
        } catch (const ESolveOverflow&) {
        }
    }
    return fits;
}

TCalibration::~TCalibration() = default;
TCalibration::TCalibration(TCalibration&&) noexcept = default;
TCalibration& TCalibration::operator=(TCalibration&&) noexcept = default;

std::optional<double> TCalibration::Gamma(const TPointTable& points, const TUncertaintyColumns& given) const {
    if (figures_.method != TFitMethod::Weighted) {
        return figures_.gamma;
    }
    // max |Y − f(X)|/u(Y), the deviations a piece at a time.
    constexpr std::size_t kPiece = 4096;
    std::vector<double> deviations(kPiece);
    double gamma = 0;
    for (std::size_t from = 0; from < points.size(); from += kPiece) {
        const std::size_t count = std::min(kPiece, points.size() - from);
        model_->value->DeviationsAt(points.data() + from, count, deviations.data());
        for (std::size_t i = 0; i < count; ++i) {
            gamma = std::max(gamma, std::fabs(deviations[i]) / given.Uy(from + i));
        }
    }
    return gamma;
}

double TCalibration::ValueAt(double x) const {
    return model_->value->ValueAt(x);
}

std::shared_ptr<const TExactPolynomial> TCalibration::Polynomial() const {
    return model_->value;
}

TCalibrationValue TCalibration::Evaluate(double x, double ux) const {
    TCalibrationValue v;
    v.value = model_->value->ValueAt(x);
    const double extra = ux != 0 ? model_->slope->ValueAt(x) * ux : 0;
    v.u = model_->Uncertainty(x, extra);
    v.expanded = model_->coverage * v.u;
    if (!std::isfinite(v.expanded)) {
        throw EOverflow();
    }
    return v;
}

std::optional<TCalibrationValue> TCalibration::Inverse(double y, double uy, double low, double high) const {
    const TCalibrationModel& m = *model_;
    // The pieces between the turning points of f, where f is monotone: from f' at three points, a
    // quadratic in τ = (x − c)/r, whose roots inside (−1, 1) split the range.
    std::vector<double> cuts{low};
    const double c = low + (high - low) / 2;
    const double r = (high - low) / 2;
    if (r > 0 && figures_.degree >= 2) {
        const long double d0 = m.slope->ValueAt(c);
        const long double dm = m.slope->ValueAt(low);
        const long double dp = m.slope->ValueAt(high);
        const long double qa = (dp + dm) / 2 - d0;
        const long double qb = (dp - dm) / 2;
        std::vector<long double> taus;
        if (qa == 0) {
            if (qb != 0) {
                taus.push_back(-d0 / qb);
            }
        } else {
            const long double disc = qb * qb - 4 * qa * d0;
            if (disc >= 0) {
                taus.push_back((-qb - std::sqrt(disc)) / (2 * qa));
                taus.push_back((-qb + std::sqrt(disc)) / (2 * qa));
            }
        }
        std::sort(taus.begin(), taus.end());
        for (const long double tau : taus) {
            if (tau > -1 && tau < 1) {
                cuts.push_back(static_cast<double>(c + r * tau));
            }
        }
    }
    cuts.push_back(high);
    std::vector<double> roots;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        double a = cuts[i];
        double b = cuts[i + 1];
        const int sa = m.SignAt(a, y);
        const int sb = m.SignAt(b, y);
        if (sa == 0) {
            roots.push_back(a);
        }
        if (sb == 0) {
            roots.push_back(b);
        }
        if (sa * sb >= 0) {
            continue;
        }
        for (;;) {
            const double mid = a + (b - a) / 2;
            if (!(mid > a && mid < b)) {
                break;
            }
            const int sm = m.SignAt(mid, y);
            if (sm == 0) {
                a = b = mid;
                break;
            }
            (sm == sa ? a : b) = mid;
        }
        roots.push_back(std::fabs(m.value->DeviationAt(a, y)) <= std::fabs(m.value->DeviationAt(b, y)) ? a
                                                                                                       : b);
    }
    std::sort(roots.begin(), roots.end());
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    if (roots.size() != 1) {
        return std::nullopt;
    }
    const double x = roots.front();
    const double slope = m.slope->ValueAt(x);
    if (slope == 0) {
        return std::nullopt;
    }
    TCalibrationValue v;
    v.value = x;
    v.u = m.Uncertainty(x, uy) / std::fabs(slope);
    v.expanded = m.coverage * v.u;
    if (!std::isfinite(v.u) || !std::isfinite(v.expanded)) {
        throw EOverflow();
    }
    return v;
}

TKindChoice CompareKinds(const TPointTable& points, const TUncertaintyColumns* given,
                         const TWorkOptions& work, const TWorkSteps& steps) {
    return CompareKinds(TCalibration::EachKind(points, given, work, steps));
}

TKindChoice CompareKinds(const std::array<std::optional<TCalibration>, 3>& fits) {
    TKindChoice choice;
    for (const std::optional<TCalibration>& fit : fits) {
        if (!fit) {
            continue;
        }
        const TCalibrationFigures& f = fit->Figures();
        TKindComparison kind;
        kind.degree = f.degree;
        kind.dof = f.dof;
        kind.residualSd = f.residualSd;
        kind.chiSquared = f.chiSquared;
        kind.top = f.a[static_cast<std::size_t>(f.degree)];
        kind.topExpanded = f.expanded[static_cast<std::size_t>(f.degree)];
        kind.rSquared = f.rSquared;
        kind.adjustedRSquared = f.adjustedRSquared;
        choice.kinds.push_back(kind);
    }
    for (auto kind = choice.kinds.rbegin(); kind != choice.kinds.rend(); ++kind) {
        if (kind->topExpanded && std::fabs(kind->top) > *kind->topExpanded) {
            choice.recommended = kind->degree;
            break;
        }
    }
    return choice;
}

}  // namespace quorvel
