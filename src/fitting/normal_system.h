#pragma once
// The integer normal equations of a polynomial least-squares fit, ordinary or weighted, and every figure
// of the fit as an exact rational, to be rounded once.
//
// With X = U·2^s, Y = V·2^t (U, V integers) and the weights w_i = ω_i/Ω (ω_i integers, Ω = scale·2^e > 0):
// M(j, k) = Σω·U^(j+k), W(j) = Σω·U^j·V and VV = Σω·V². The ordinary fit has ω = Ω = 1.
#include <gmpxx.h>

#include <array>
#include <memory>
#include <vector>

#include "fitting/exact_solver.h"

namespace quorvel {

class TExactPowerSums;
class TExactPolynomial;

// num/den·2^exp2, den > 0.
struct TExactQuantity {
    mpz_class num = 0;
    mpz_class den = 1;
    long exp2 = 0;

    // The double nearest to the value, or to its square root (which must be real); false beyond the
    // double range.
    bool Round(double& out) const;
    bool RoundSqrt(double& out) const;
    // Whether every value within `bound` (a magnitude, not negative) of this one rounds to the same
    // double as this one, its square root (sqrt) or itself; out is that double. False also beyond the
    // double range.
    bool RoundWithin(double bound, double& out, bool sqrt = false) const;
    // The value as a long double (for bounds: a few ulps off).
    long double Approximate() const;
};

struct TWeightScale {
    mpz_class scale = 1;
    long exponent = 0;
};

class TNormalSystem {
public:
    TNormalSystem(int degree, long s, long t, std::vector<mpz_class> su, std::vector<mpz_class> wu,
                  mpz_class vv, TWeightScale weights);
    // The ordinary fit's system, from its power sums (accumulated with the squares).
    static TNormalSystem FromPowerSums(const TExactPowerSums& sums);

    int Degree() const { return degree_; }
    // The system of a lower degree: the same sums, fewer of them.
    TNormalSystem Truncated(int degree) const;
    // The exact determinant of M is 0: no unique fit.
    bool Singular() const { return sgn(det_) == 0; }

    // The least-squares coefficient a_k, k = 0..degree.
    TExactQuantity Coefficient(int k) const;
    // The polynomial of the exact coefficients, for its values and deviations; rounded: the coefficients
    // rounded (a_k beyond the degree 0), centre: where its fast evaluation is expanded.
    std::shared_ptr<const TExactPolynomial> Polynomial(const std::array<double, 4>& rounded,
                                                       double centre) const;
    // Its derivative.
    std::shared_ptr<const TExactPolynomial> Slope(double centre) const;
    // (AᵀWA)⁻¹(j, k): the covariance of the coefficients when the weights are 1/u² of given uncertainties.
    TExactQuantity InverseMatrix(int j, int k) const;
    // gᵀ(AᵀWA)⁻¹g with g = (1, x, x², ...).
    TExactQuantity InverseFormAt(double x) const;
    // The weighted sum of squared residuals at the solution, Σw·r².
    TExactQuantity ResidualSquares() const;
    // Σw·(Y − Ȳ)², Ȳ the weighted mean; 0 when every Y is the same.
    TExactQuantity TotalSquares() const;

    // For bounds: the diagonal (AᵀWA)(j, j), approximately.
    long double DiagonalApprox(int j) const;

private:
    int degree_;
    long s_;
    long t_;
    TWeightScale weights_;
    std::vector<mpz_class> su_;
    TExactMatrix m_;
    std::vector<mpz_class> w_;
    mpz_class vv_;
    mpz_class det_;
    TExactMatrix adjugate_;
    std::array<mpz_class, 4> numerators_;
    mpz_class detG_;  // of M bordered by W and VV: det M·(VV − WᵀM⁻¹W)
};

}  // namespace quorvel
