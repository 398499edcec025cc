#include "fitting/normal_system.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "fitting/exact_polynomial.h"
#include "fitting/exact_power_sums.h"

namespace quorvel {

namespace {

// The rational num/den·2^exp2, den > 0.
mpq_class AsRational(const TExactQuantity& q) {
    mpq_class r(q.num, q.den);
    r.canonicalize();
    if (q.exp2 >= 0) {
        mpq_mul_2exp(r.get_mpq_t(), r.get_mpq_t(), static_cast<mp_bitcnt_t>(q.exp2));
    } else {
        mpq_div_2exp(r.get_mpq_t(), r.get_mpq_t(), static_cast<mp_bitcnt_t>(-q.exp2));
    }
    return r;
}

bool RoundRational(const mpq_class& r, bool sqrt, double& out) {
    if (sqrt) {
        return RoundSqrtOfQuotientToDouble(r.get_num_mpz_t(), r.get_den_mpz_t(), 0, out);
    }
    return RoundQuotientToDouble(r.get_num_mpz_t(), r.get_den_mpz_t(), 0, out);
}

long double ApproximateInteger(const mpz_class& v, long& exponent) {
    signed long e = 0;
    const double m = mpz_get_d_2exp(&e, v.get_mpz_t());
    exponent = e;
    return m;
}

}  // namespace

bool TExactQuantity::Round(double& out) const {
    return RoundQuotientToDouble(num.get_mpz_t(), den.get_mpz_t(), exp2, out);
}

bool TExactQuantity::RoundSqrt(double& out) const {
    return RoundSqrtOfQuotientToDouble(num.get_mpz_t(), den.get_mpz_t(), exp2, out);
}

bool TExactQuantity::RoundWithin(double bound, double& out, bool sqrt) const {
    if (!(sqrt ? RoundSqrt(out) : Round(out))) {
        return false;
    }
    if (bound == 0) {
        return true;
    }
    if (!std::isfinite(bound)) {
        return false;
    }
    // Rounding is monotone: when both ends of the interval round alike, so does everything inside it.
    const mpq_class value = AsRational(*this);
    const mpq_class margin(bound);
    mpq_class low = value - margin;
    if (sqrt && sgn(low) < 0) {
        low = 0;
    }
    double lowOut = 0;
    double highOut = 0;
    return RoundRational(low, sqrt, lowOut) && RoundRational(value + margin, sqrt, highOut) &&
           lowOut == out && highOut == out;
}

long double TExactQuantity::Approximate() const {
    long en = 0;
    long ed = 0;
    const long double n = ApproximateInteger(num, en);
    const long double d = ApproximateInteger(den, ed);
    return std::ldexp(n / d, static_cast<int>(std::clamp<long>(en - ed + exp2, -20000, 20000)));
}

TNormalSystem::TNormalSystem(int degree, long s, long t, std::vector<mpz_class> su, std::vector<mpz_class> wu,
                             mpz_class vv, TWeightScale weights)
    : degree_(degree),
      s_(s),
      t_(t),
      weights_(std::move(weights)),
      su_(std::move(su)),
      w_(std::move(wu)),
      vv_(std::move(vv)) {
    const auto size = static_cast<std::size_t>(degree) + 1;
    m_.assign(size, std::vector<mpz_class>(size));
    for (std::size_t j = 0; j < size; ++j) {
        for (std::size_t k = 0; k < size; ++k) {
            m_[j][k] = su_[j + k];
        }
    }
    det_ = Determinant(m_);
    if (Singular()) {
        return;
    }
    adjugate_ = Adjugate(m_);
    // Cramer: b_k = det(M with column k replaced by W)/det M.
    for (std::size_t k = 0; k < size; ++k) {
        TExactMatrix mk = m_;
        for (std::size_t j = 0; j < size; ++j) {
            mk[j][k] = w_[j];
        }
        numerators_[k] = Determinant(std::move(mk));
    }
    TExactMatrix g(size + 1, std::vector<mpz_class>(size + 1));
    for (std::size_t j = 0; j < size; ++j) {
        for (std::size_t k = 0; k < size; ++k) {
            g[j][k] = m_[j][k];
        }
        g[j][size] = w_[j];
        g[size][j] = w_[j];
    }
    g[size][size] = vv_;
    detG_ = Determinant(std::move(g));
}

TNormalSystem TNormalSystem::FromPowerSums(const TExactPowerSums& sums) {
    const int degree = sums.Degree();
    std::vector<mpz_class> su(static_cast<std::size_t>(2 * degree + 1));
    std::vector<mpz_class> wu(static_cast<std::size_t>(degree + 1));
    for (int m = 0; m <= 2 * degree; ++m) {
        sums.SumU(m, su[static_cast<std::size_t>(m)].get_mpz_t());
    }
    for (int j = 0; j <= degree; ++j) {
        sums.SumUV(j, wu[static_cast<std::size_t>(j)].get_mpz_t());
    }
    mpz_class vv;
    sums.SumVV(vv.get_mpz_t());
    return TNormalSystem(degree, sums.XShift(), sums.YShift(), std::move(su), std::move(wu), std::move(vv),
                         {});
}

TNormalSystem TNormalSystem::Truncated(int degree) const {
    const auto size = static_cast<std::size_t>(degree) + 1;
    return TNormalSystem(degree, s_, t_, std::vector<mpz_class>(su_.begin(), su_.begin() + 2 * size - 1),
                         std::vector<mpz_class>(w_.begin(), w_.begin() + size), vv_, weights_);
}

TExactQuantity TNormalSystem::Coefficient(int k) const {
    return {numerators_[static_cast<std::size_t>(k)], det_, t_ - k * s_};
}

std::shared_ptr<const TExactPolynomial> TNormalSystem::Polynomial(const std::array<double, 4>& rounded,
                                                                  double centre) const {
    std::array<long, 4> exponents{};
    for (int k = 0; k <= degree_; ++k) {
        exponents[static_cast<std::size_t>(k)] = t_ - k * s_;
    }
    return std::make_shared<const TExactPolynomial>(degree_, numerators_, det_, exponents, rounded, centre);
}

std::shared_ptr<const TExactPolynomial> TNormalSystem::Slope(double centre) const {
    // P'(x) = Σ k·a_k·x^(k−1).
    std::array<mpz_class, 4> numerators;
    std::array<long, 4> exponents{};
    std::array<double, 4> rounded{};
    for (int k = 1; k <= degree_; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        numerators[i] = numerators_[static_cast<std::size_t>(k)] * k;
        exponents[i] = t_ - k * s_;
        RoundQuotientToDouble(numerators[i].get_mpz_t(), det_.get_mpz_t(), exponents[i], rounded[i]);
    }
    return std::make_shared<const TExactPolynomial>(degree_ - 1, numerators, det_, exponents, rounded,
                                                    centre);
}

TExactQuantity TNormalSystem::InverseMatrix(int j, int k) const {
    // (AᵀWA)⁻¹ = Ω·adj M/det M in the scaled X; 2^(−s(j+k)) brings it to X.
    return {weights_.scale * adjugate_[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)], det_,
            weights_.exponent - s_ * (j + k)};
}

TExactQuantity TNormalSystem::InverseFormAt(double x) const {
    long base = 0;
    const mpz_class sum = AdjugateFormAt(adjugate_, x, s_, base);
    return {weights_.scale * sum, det_, weights_.exponent + base};
}

TExactQuantity TNormalSystem::ResidualSquares() const {
    // Σw·r² = det G/(det M·Ω)·2^(2t).
    return {detG_, det_ * weights_.scale, 2 * t_ - weights_.exponent};
}

TExactQuantity TNormalSystem::TotalSquares() const {
    // Σw·(Y − Ȳ)² = (M00·VV − W0²)/(M00·Ω)·2^(2t).
    const mpz_class& m00 = m_[0][0];
    return {m00 * vv_ - w_[0] * w_[0], m00 * weights_.scale, 2 * t_ - weights_.exponent};
}

long double TNormalSystem::DiagonalApprox(int j) const {
    const auto i = static_cast<std::size_t>(j);
    return TExactQuantity{m_[i][i], weights_.scale, 2 * s_ * j - weights_.exponent}.Approximate();
}

}  // namespace quorvel
