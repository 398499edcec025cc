#pragma once
// The fit of a polynomial to points with uncertainties in both X and Y: generalized distance regression.
// Minimises Σ[(X_i − ξ_i)²/u(X_i)² + (Y_i − f(ξ_i))²/u(Y_i)²] over the coefficients and the foot points ξ_i
// by Gauss-Newton steps in which each foot point is found anew for the coefficients, first in double
// precision, then in double-double until the steps vanish there. The polynomial is worked on around the
// middle of the data, in a scaled variable, so that the steps are well conditioned; its coefficients and
// covariance are carried over to X exactly and rounded once.
#include <array>
#include <memory>
#include <string>

#include "fitting/calibration_data.h"
#include "fitting/double_double.h"
#include "fitting/fit_types.h"
#include "runtime/exceptions.h"
#include "runtime/work_steps.h"

namespace quorvel {

// No solution was found: the iteration did not settle, or the problem has no unique solution.
class EFitNotFound : public Exception {
public:
    using Exception::Exception;
};

struct TDistanceSolution {
    int degree = 0;
    // f(X) = y0 + Σ b_j·τ^j with τ = (X − x0)/h, h a power of two.
    double x0 = 0;
    double y0 = 0;
    double h = 1;
    std::array<TDoubleDouble, 4> b{};
    // The covariance of the b_j: the coefficient block of (JᵀJ)⁻¹ at the solution.
    std::array<std::array<TDoubleDouble, 4>, 4> covariance{};
    double chiSquared = 0;
    double gamma = 0;  // the largest weighted residual of a point, in X or in Y, at its foot point
    int iterations = 0;
};

// Throws EFitNotFound when there is no solution to give (a singular problem, or no convergence). A large
// table's passes over the points tell `steps` now and then how far the fit may have come: the share of
// the passes made in the passes made and a few more, as their number is not known ahead.
TDistanceSolution FitDistance(const TPointTable& points, const TUncertaintyColumns& u, int degree,
                              const TWorkSteps& steps = {});

// gᵀVg with g = (1, X, X², ...): the variance of the fitted value from the coefficients'.
TDoubleDouble DistanceVarianceAt(const TDistanceSolution& fit, double x);

}  // namespace quorvel
