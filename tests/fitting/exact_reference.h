#pragma once
// Slow, obviously exact references for the fitting tests, in rational arithmetic.
#include <gmpxx.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "fitting/fit_types.h"

namespace quorvel::testing {

inline mpq_class Exact(double v) {
    return mpq_class(v);  // a double converts exactly
}

// The weighted least-squares solution of the given degree by Gauss-Jordan elimination on rationals:
// the coefficients, the inverse of the normal matrix AᵀWA and the weighted sum of squared residuals.
struct TExactWeightedFit {
    std::vector<mpq_class> coefficients;
    std::vector<std::vector<mpq_class>> inverse;
    mpq_class residualSquares;
};

// Nothing when the normal equations are singular.
inline std::optional<TExactWeightedFit> ExactWeightedLeastSquares(const TPointTable& points,
                                                                  const std::vector<mpq_class>& weights,
                                                                  int degree) {
    const int n = degree + 1;
    std::vector<mpq_class> s(2 * degree + 1, 0), w(n, 0);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const mpq_class x = Exact(points[i].X), y = Exact(points[i].Y);
        mpq_class power = weights[i];
        for (int m = 0; m <= 2 * degree; ++m) {
            s[m] += power;
            if (m <= degree) {
                w[m] += power * y;
            }
            power *= x;
        }
    }
    // [M | W | I] reduced to [I | a | M⁻¹].
    std::vector<std::vector<mpq_class>> a(n, std::vector<mpq_class>(2 * n + 1));
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k < n; ++k) {
            a[j][k] = s[j + k];
        }
        a[j][n] = w[j];
        a[j][n + 1 + j] = 1;
    }
    for (int i = 0; i < n; ++i) {
        int p = i;
        while (p < n && a[p][i] == 0) {
            ++p;
        }
        if (p == n) {
            return std::nullopt;
        }
        std::swap(a[i], a[p]);
        const mpq_class pivot = a[i][i];
        for (mpq_class& v : a[i]) {
            v /= pivot;
        }
        for (int r = 0; r < n; ++r) {
            if (r != i && a[r][i] != 0) {
                const mpq_class f = a[r][i];
                for (int c = i; c <= 2 * n; ++c) {
                    a[r][c] -= f * a[i][c];
                }
            }
        }
    }
    TExactWeightedFit fit;
    fit.inverse.assign(n, std::vector<mpq_class>(n));
    for (int i = 0; i < n; ++i) {
        fit.coefficients.push_back(a[i][n]);
        for (int k = 0; k < n; ++k) {
            fit.inverse[i][k] = a[i][n + 1 + k];
        }
    }
    fit.residualSquares = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        mpq_class value = 0;
        for (int k = degree; k >= 0; --k) {
            value = value * Exact(points[i].X) + fit.coefficients[k];
        }
        const mpq_class r = Exact(points[i].Y) - value;
        fit.residualSquares += weights[i] * r * r;
    }
    return fit;
}

// The least-squares coefficients of the given degree; nothing when the normal equations are singular.
inline std::optional<std::vector<mpq_class>> ExactLeastSquares(const TPointTable& points, int degree) {
    const std::optional<TExactWeightedFit> fit =
        ExactWeightedLeastSquares(points, std::vector<mpq_class>(points.size(), mpq_class(1)), degree);
    if (!fit) {
        return std::nullopt;
    }
    return fit->coefficients;
}

// True when d is the double nearest to the exact value (ties to an even mantissa).
inline bool IsNearestDouble(const mpq_class& exact, double d) {
    if (!std::isfinite(d)) {
        return false;
    }
    const mpq_class error = abs(exact - Exact(d));
    for (const double neighbour : {std::nextafter(d, INFINITY), std::nextafter(d, -INFINITY)}) {
        if (!std::isfinite(neighbour)) {
            continue;  // beyond the largest double: the rounding boundary is checked elsewhere
        }
        const mpq_class other = abs(exact - Exact(neighbour));
        if (other < error) {
            return false;
        }
        if (other == error && error != 0) {
            // A tie: the chosen double must have the even mantissa.
            if ((std::bit_cast<std::uint64_t>(d) & 1) != 0) {
                return false;
            }
        }
    }
    return true;
}

// True when d is the double nearest to sqrt(q) (ties to an even mantissa), q >= 0: sqrt(q) lies between
// the midpoints to d's neighbours, compared squared so that no root is taken.
inline bool IsNearestSqrt(const mpq_class& q, double d) {
    if (!std::isfinite(d) || d < 0) {
        return false;
    }
    const bool even = (std::bit_cast<std::uint64_t>(d) & 1) == 0;
    const double below = std::nextafter(d, 0.0);
    const double above = std::nextafter(d, INFINITY);
    if (d > 0) {
        const mpq_class low = (Exact(d) + Exact(below)) / 2;
        if (q < low * low || (q == low * low && !even)) {
            return false;
        }
    }
    // Above the largest double the midpoint is half its ulp further on.
    const mpq_class high = std::isfinite(above) ? mpq_class((Exact(d) + Exact(above)) / 2)
                                                : mpq_class(Exact(d) + Exact(d - below) / 2);
    return q < high * high || (q == high * high && even);
}

}  // namespace quorvel::testing
