#pragma once
// The exact solve of the normal equations and the one rounding of each coefficient.
#include <gmp.h>

#include <array>

#include "fitting/exact_power_sums.h"

namespace quorvel {

// out := the double nearest to num/den·2^exp2 (ties to even); den must not be 0. Returns false
// when the value lies outside the double range (its rounding would be infinite).
bool RoundQuotientToDouble(const mpz_t num, const mpz_t den, long exp2, double& out);

// Solves Σ_k a_k·S(j+k) = W(j), j = 0..degree, exactly from the power sums and rounds each
// coefficient once. Coefficients above the degree are 0. Returns false when the system is
// singular or a coefficient is outside the double range; `coefficients` is then unspecified.
bool SolveNormalEquationsExactly(const TExactPowerSums& sums, std::array<double, 4>& coefficients);

}  // namespace quorvel
