#include "fitting/fit_uncertainty.h"

#include <gmpxx.h>

#include <cmath>
#include <cstddef>

#include "fitting/exact_power_sums.h"
#include "fitting/exact_solver.h"

namespace quorvel {

// With X = U·2^s and Y = V·2^t, M(j, k) = ΣU^(j+k), W(j) = ΣU^j·V, and G the Gram matrix M bordered by
// W and ΣV²: det G = det M · (ΣV² − WᵀM⁻¹W) = det M · S/2^(2t), and (XᵀX)⁻¹(j, k) =
// adj M(j, k)/det M · 2^(−s(j+k)). So every figure is an integer quotient times a power of two.
struct TFitUncertainty::TExact {
    int parameters = 0;
    int dof = 0;
    long s = 0;
    long t = 0;
    mpz_class detM;
    mpz_class detG;
    TExactMatrix adjugate;  // of M, symmetric as M is
    // s²·(XᵀX)⁻¹(j, k) = scatter·adj M(j, k)/scale · 2^(2t − s(j+k)).
    mpz_class scale;  // det M² · (n − p)
};

TFitUncertainty::TFitUncertainty(const TExactPowerSums& sums, const TExactSquares& squares, int pointCount) {
    auto exact = std::make_shared<TExact>();
    const int p = sums.Degree() + 1;
    exact->parameters = p;
    exact->dof = pointCount - p;
    exact->s = sums.XShift();
    exact->t = sums.YShift();

    const TExactMatrix m = NormalMatrix(sums);
    exact->detM = squares.den;
    exact->detG = squares.num;

    exact->adjugate = Adjugate(m);
    exact->scale = exact->detM * exact->detM * std::max(exact->dof, 0);
    exact_ = std::move(exact);
}

int TFitUncertainty::Parameters() const {
    return exact_->parameters;
}

int TFitUncertainty::Dof() const {
    return exact_->dof;
}

namespace {

// Rounds with `round`, which writes the double and says whether it is in range.
template <class Round>
std::optional<double> Rounded(Round&& round) {
    double out = 0;
    if (!round(out)) {
        return std::nullopt;
    }
    return out;
}

// k·u, nothing when u or the product is beyond the range.
std::optional<double> Expanded(double k, const std::optional<double>& u) {
    if (!u) {
        return std::nullopt;
    }
    const double product = k * *u;
    if (!std::isfinite(product)) {
        return std::nullopt;
    }
    return product;
}

}  // namespace

double TFitUncertainty::CoverageFactor() const {
    return CoverageFactor95(exact_->dof);
}

std::optional<double> TFitUncertainty::ExpandedUncertainty(int j) const {
    return Expanded(CoverageFactor(), StandardUncertainty(j));
}

std::optional<double> TFitUncertainty::ExpandedUncertaintyAt(double x) const {
    return Expanded(CoverageFactor(), UncertaintyAt(x));
}

std::optional<double> TFitUncertainty::ResidualSd() const {
    const TExact& e = *exact_;
    // s² = det G/(det M·(n − p))·2^(2t).
    const mpz_class den = e.detM * e.dof;
    return Rounded([&](double& out) {
        return RoundSqrtOfQuotientToDouble(e.detG.get_mpz_t(), den.get_mpz_t(), 2 * e.t, out);
    });
}

std::optional<double> TFitUncertainty::Covariance(int j, int k) const {
    const TExact& e = *exact_;
    const mpz_class num = e.detG * e.adjugate[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)];
    return Rounded([&](double& out) {
        return RoundQuotientToDouble(num.get_mpz_t(), e.scale.get_mpz_t(), 2 * e.t - e.s * (j + k), out);
    });
}

std::optional<double> TFitUncertainty::StandardUncertainty(int j) const {
    const TExact& e = *exact_;
    const auto i = static_cast<std::size_t>(j);
    const mpz_class num = e.detG * e.adjugate[i][i];
    return Rounded([&](double& out) {
        return RoundSqrtOfQuotientToDouble(num.get_mpz_t(), e.scale.get_mpz_t(), 2 * e.t - 2 * e.s * j, out);
    });
}

std::optional<double> TFitUncertainty::UncertaintyAt(double x) const {
    const TExact& e = *exact_;
    long base = 0;
    const mpz_class sum = AdjugateFormAt(e.adjugate, x, e.s, base);
    // s²·gᵀ(XᵀX)⁻¹g = det G·sum/(det M²·(n − p))·2^(2t + base).
    const mpz_class num = e.detG * sum;
    return Rounded([&](double& out) {
        return RoundSqrtOfQuotientToDouble(num.get_mpz_t(), e.scale.get_mpz_t(), 2 * e.t + base, out);
    });
}

}  // namespace quorvel
