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

// The least-squares coefficients of the given degree by Gauss-Jordan elimination on rationals;
// nothing when the normal equations are singular.
inline std::optional<std::vector<mpq_class>> ExactLeastSquares(const TPointTable& points, int degree) {
    const int n = degree + 1;
    std::vector<mpq_class> s(2 * degree + 1, 0), w(n, 0);
    for (const TDataPoint& p : points) {
        const mpq_class x = Exact(p.X), y = Exact(p.Y);
        mpq_class power = 1;
        for (int m = 0; m <= 2 * degree; ++m) {
            s[m] += power;
            if (m <= degree) {
                w[m] += power * y;
            }
            power *= x;
        }
    }
    std::vector<std::vector<mpq_class>> a(n, std::vector<mpq_class>(n + 1));
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k < n; ++k) {
            a[j][k] = s[j + k];
        }
        a[j][n] = w[j];
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
        for (int r = 0; r < n; ++r) {
            if (r != i && a[r][i] != 0) {
                const mpq_class f = a[r][i] / a[i][i];
                for (int c = i; c <= n; ++c) {
                    a[r][c] -= f * a[i][c];
                }
            }
        }
    }
    std::vector<mpq_class> result(n);
    for (int i = 0; i < n; ++i) {
        result[i] = a[i][n] / a[i][i];
    }
    return result;
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
