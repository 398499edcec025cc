#pragma once
// The standard uncertainties of a least-squares fit, exactly: the residual sum of squares S of the exact
// least-squares polynomial, the covariance matrix C = s²·(XᵀX)⁻¹ with s² = S/(n − p), and the
// uncertainty of the fitted value at an X, all exact rationals from the exact power sums; each figure is
// rounded once to the nearest double, square roots included. The expanded uncertainties U = k·u use the
// coverage factor k of Student's t distribution with n − p degrees of freedom for 95 % coverage.
#include <memory>
#include <optional>

#include "fitting/critical_values.h"

namespace quorvel {

class TExactPowerSums;
struct TExactSquares;

class TFitUncertainty {
public:
    // From the sums of a fit that has a unique solution (accumulated with the squares), the exact sum of
    // the squared deviations they give (ResidualSquares) and the point count.
    TFitUncertainty(const TExactPowerSums& sums, const TExactSquares& squares, int pointCount);

    // p: the number of coefficients, degree + 1.
    int Parameters() const;
    // n − p.
    int Dof() const;
    // Whether there is scatter to estimate, n > p; with n = p the figures below do not exist.
    bool HasScatter() const { return Dof() > 0; }

    // Each figure rounded to the nearest double; nothing when it lies beyond the double range. Only
    // with HasScatter().
    std::optional<double> ResidualSd() const;                // s = sqrt(S / (n − p))
    std::optional<double> Covariance(int j, int k) const;    // C(j, k), j, k = 0..p − 1
    std::optional<double> StandardUncertainty(int j) const;  // sqrt(C(j, j))
    std::optional<double> UncertaintyAt(double x) const;     // sqrt(gᵀ·C·g), g = (1, x, x², ...)
    // k = CoverageFactor95(n − p), and the expanded uncertainties U = k·u of the figures above.
    double CoverageFactor() const;
    std::optional<double> ExpandedUncertainty(int j) const;
    std::optional<double> ExpandedUncertaintyAt(double x) const;

private:
    struct TExact;
    std::shared_ptr<const TExact> exact_;
};

}  // namespace quorvel
