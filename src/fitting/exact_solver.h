#pragma once
// The exact solve of the normal equations and the one rounding of each coefficient.
#include <gmpxx.h>

#include <array>
#include <memory>
#include <vector>

#include "fitting/exact_power_sums.h"

namespace quorvel {

// out := the double nearest to num/den·2^exp2 (ties to even); den must not be 0. Returns false
// when the value lies outside the double range (its rounding would be infinite).
bool RoundQuotientToDouble(const mpz_t num, const mpz_t den, long exp2, double& out);

// out := the double nearest to sqrt(num/den·2^exp2) (ties to even), rounded once from the exact
// root; num/den must not be negative, den not 0. False beyond the double range.
bool RoundSqrtOfQuotientToDouble(const mpz_t num, const mpz_t den, long exp2, double& out);

using TExactMatrix = std::vector<std::vector<mpz_class>>;

// The determinant of a square integer matrix, exactly.
mpz_class Determinant(TExactMatrix a);

// The adjugate of a square integer matrix (its transpose of cofactors), exactly: adj(M) = det(M)·M⁻¹.
TExactMatrix Adjugate(const TExactMatrix& m);

// gᵀ·adj·g·2^(-base) for g = (1, q, q², ...), q = x/2^s, as an integer (base <= 0 is set): the quadratic
// form of a normal matrix's adjugate in the scaled X.
mpz_class AdjugateFormAt(const TExactMatrix& adjugate, double x, long s, long& base);

// M(j, k) = SU(j + k), j, k = 0..degree: the normal equations' matrix in the scaled X.
TExactMatrix NormalMatrix(const TExactPowerSums& sums);

// S = num/den·2^exp2 exactly (den > 0): the sum of the squared deviations of the points from their exact
// least-squares polynomial. With M the normal matrix and G the Gram matrix M bordered by W and ΣV²,
// S = det G/det M·2^(2t), so no coefficient is needed. Only from sums accumulated with the squares, of a
// fit that has a unique solution.
struct TExactSquares {
    mpz_class num;
    mpz_class den;
    long exp2 = 0;
};
TExactSquares ResidualSquares(const TExactPowerSums& sums);

class TExactPolynomial;

enum class TSolveOutcome {
    Solved,
    Singular,     // the exact determinant is 0: no unique fit
    BeyondRange,  // a unique fit, but a coefficient rounds beyond the double range
};

// Solves Σ_k a_k·S(j+k) = W(j), j = 0..degree, exactly from the power sums and rounds each
// coefficient once. Coefficients above the degree are 0. Unless Solved, `coefficients` is unspecified.
// With `exact`, a solve that succeeds also sets the exact solution there, centred on the mean X.
TSolveOutcome SolveNormalEquationsExactly(const TExactPowerSums& sums, std::array<double, 4>& coefficients,
                                          std::shared_ptr<const TExactPolynomial>* exact = nullptr);

}  // namespace quorvel
