#include "fitting/exact_solver.h"

#include <gmpxx.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "fitting/exact_polynomial.h"

namespace quorvel {

namespace {

long BitLength(const mpz_class& v) {
    return static_cast<long>(mpz_sizeinbase(v.get_mpz_t(), 2));
}

}  // namespace

// Fraction-free (Bareiss) elimination with row exchanges: every division is exact.
mpz_class Determinant(TExactMatrix a) {
    const std::size_t n = a.size();
    mpz_class previous = 1;
    bool flip = false;
    for (std::size_t k = 0; k + 1 < n; ++k) {
        if (a[k][k] == 0) {
            std::size_t i = k + 1;
            while (i < n && a[i][k] == 0) {
                ++i;
            }
            if (i == n) {
                return 0;
            }
            std::swap(a[i], a[k]);
            flip = !flip;
        }
        for (std::size_t i = k + 1; i < n; ++i) {
            for (std::size_t j = k + 1; j < n; ++j) {
                mpz_class v = a[i][j] * a[k][k] - a[i][k] * a[k][j];
                mpz_divexact(a[i][j].get_mpz_t(), v.get_mpz_t(), previous.get_mpz_t());
            }
        }
        previous = a[k][k];
    }
    return flip ? mpz_class(-a[n - 1][n - 1]) : a[n - 1][n - 1];
}

TExactMatrix Adjugate(const TExactMatrix& m) {
    const std::size_t size = m.size();
    TExactMatrix adjugate(size, std::vector<mpz_class>(size));
    if (size == 1) {
        adjugate[0][0] = 1;
        return adjugate;
    }
    for (std::size_t j = 0; j < size; ++j) {
        for (std::size_t k = 0; k < size; ++k) {
            // The cofactor of (k, j): M without row k and column j.
            TExactMatrix minor;
            for (std::size_t r = 0; r < size; ++r) {
                if (r == k) {
                    continue;
                }
                std::vector<mpz_class> row;
                for (std::size_t c = 0; c < size; ++c) {
                    if (c != j) {
                        row.push_back(m[r][c]);
                    }
                }
                minor.push_back(std::move(row));
            }
            adjugate[j][k] = Determinant(std::move(minor));
            if ((j + k) % 2 != 0) {
                adjugate[j][k] = -adjugate[j][k];
            }
        }
    }
    return adjugate;
}

mpz_class AdjugateFormAt(const TExactMatrix& adjugate, double x, long s, long& base) {
    // g(k)·2^(−s·k) = q^k with q = x/2^s = ±mx·2^f. The sum is kept an integer by taking out
    // 2^(f·(j+k)) at its smallest.
    const TBinaryParts parts = SplitDouble(x);
    base = 0;
    if (parts.mantissa == 0) {
        return adjugate[0][0];
    }
    mpz_class mx;
    mpz_import(mx.get_mpz_t(), 1, 1, sizeof(parts.mantissa), 0, 0, &parts.mantissa);
    if (parts.negative) {
        mx = -mx;
    }
    const auto size = static_cast<long>(adjugate.size());
    const long f = parts.exponent - s;
    base = f >= 0 ? 0 : f * 2 * (size - 1);
    mpz_class sum = 0;
    for (long j = 0; j < size; ++j) {
        for (long k = 0; k < size; ++k) {
            mpz_class term;
            mpz_pow_ui(term.get_mpz_t(), mx.get_mpz_t(), static_cast<unsigned long>(j + k));
            term *= adjugate[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)];
            mpz_mul_2exp(term.get_mpz_t(), term.get_mpz_t(), static_cast<mp_bitcnt_t>(f * (j + k) - base));
            sum += term;
        }
    }
    return sum;
}

TExactMatrix NormalMatrix(const TExactPowerSums& sums) {
    const std::size_t size = static_cast<std::size_t>(sums.Degree()) + 1;
    std::vector<mpz_class> su(2 * size - 1);
    for (std::size_t m = 0; m < su.size(); ++m) {
        sums.SumU(static_cast<int>(m), su[m].get_mpz_t());
    }
    TExactMatrix m(size, std::vector<mpz_class>(size));
    for (std::size_t j = 0; j < size; ++j) {
        for (std::size_t k = 0; k < size; ++k) {
            m[j][k] = su[j + k];
        }
    }
    return m;
}

TExactSquares ResidualSquares(const TExactPowerSums& sums) {
    const TExactMatrix m = NormalMatrix(sums);
    const std::size_t size = m.size();
    TExactMatrix g(size + 1, std::vector<mpz_class>(size + 1));
    for (std::size_t j = 0; j < size; ++j) {
        for (std::size_t k = 0; k < size; ++k) {
            g[j][k] = m[j][k];
        }
        sums.SumUV(static_cast<int>(j), g[j][size].get_mpz_t());
        g[size][j] = g[j][size];
    }
    sums.SumVV(g[size][size].get_mpz_t());
    TExactSquares squares;
    squares.num = Determinant(std::move(g));
    squares.den = Determinant(m);
    squares.exp2 = 2 * sums.YShift();
    return squares;
}

namespace {

// out := the double nearest to (quotient + f)·2^e, ties to even, where 0 <= f < 1 and f > 0 exactly when
// sticky; quotient has at least 55 bits, so that the rounding bit lies inside it. False beyond the range.
bool RoundScaled(std::uint64_t quotient, bool sticky, long e, bool negative, double& out) {
    const long length = 64 - __builtin_clzll(quotient);
    const long top = length - 1 + e;
    const long ulpExp = std::max(top - 52, -1074L);
    const long drop = ulpExp - e;  // at least 2
    std::uint64_t mantissa = 0;
    bool roundBit = false;
    if (drop < 64) {
        mantissa = quotient >> drop;
        roundBit = ((quotient >> (drop - 1)) & 1) != 0;
        sticky = sticky || (quotient & ((std::uint64_t{1} << (drop - 1)) - 1)) != 0;
    } else if (drop == 64) {
        roundBit = (quotient >> 63) != 0;
        sticky = sticky || (quotient & ((std::uint64_t{1} << 63) - 1)) != 0;
    } else {
        sticky = true;
    }
    if (roundBit && (sticky || (mantissa & 1) != 0)) {
        ++mantissa;
    }
    if (mantissa == 0) {
        out = negative ? -0.0 : 0.0;
        return true;
    }
    const long mantissaBits = 64 - __builtin_clzll(mantissa);
    if (mantissaBits + ulpExp > 1024) {
        return false;
    }
    const double magnitude = std::ldexp(static_cast<double>(mantissa), static_cast<int>(ulpExp));
    out = negative ? -magnitude : magnitude;
    return true;
}

// n := n·2^shift for shift >= 0, else d := d·2^-shift.
void ScaleApart(mpz_class& n, mpz_class& d, long shift) {
    if (shift >= 0) {
        mpz_mul_2exp(n.get_mpz_t(), n.get_mpz_t(), static_cast<mp_bitcnt_t>(shift));
    } else {
        mpz_mul_2exp(d.get_mpz_t(), d.get_mpz_t(), static_cast<mp_bitcnt_t>(-shift));
    }
}

}  // namespace

bool RoundQuotientToDouble(const mpz_t num, const mpz_t den, long exp2, double& out) {
    if (mpz_sgn(num) == 0) {
        out = 0.0;
        return true;
    }
    const bool negative = mpz_sgn(num) != mpz_sgn(den);
    mpz_class n(num), d(den);
    n = abs(n);
    d = abs(d);

    // Scale so that the integer quotient has 55 or 56 bits: 53 for the mantissa, a rounding bit,
    // and at least one more; the remainder only matters as a sticky bit.
    const long shift = 55 - (BitLength(n) - BitLength(d));
    ScaleApart(n, d, shift);
    mpz_class q, r;
    mpz_tdiv_qr(q.get_mpz_t(), r.get_mpz_t(), n.get_mpz_t(), d.get_mpz_t());
    return RoundScaled(mpz_get_ui(q.get_mpz_t()), r != 0, exp2 - shift, negative, out);
}

bool RoundSqrtOfQuotientToDouble(const mpz_t num, const mpz_t den, long exp2, double& out) {
    if (mpz_sgn(num) == 0) {
        out = 0.0;
        return true;
    }
    mpz_class n(num), d(den);
    n = abs(n);
    d = abs(d);
    // An odd power of two moves one factor 2 into the quotient: sqrt(q·2^(2h)) = sqrt(q)·2^h.
    if ((exp2 & 1) != 0) {
        n <<= 1;
        --exp2;
    }
    // n·2^(2k)/d lies in [2^110, 2^114), so its integer square root r has 56 or 57 bits; the root
    // lies in [r, r + 1), exactly r only when both the quotient and the root leave no remainder.
    const long k = (112 - (BitLength(n) - BitLength(d))) / 2;
    ScaleApart(n, d, 2 * k);
    mpz_class q, r, root, rest;
    mpz_tdiv_qr(q.get_mpz_t(), r.get_mpz_t(), n.get_mpz_t(), d.get_mpz_t());
    mpz_sqrtrem(root.get_mpz_t(), rest.get_mpz_t(), q.get_mpz_t());
    return RoundScaled(mpz_get_ui(root.get_mpz_t()), r != 0 || rest != 0, exp2 / 2 - k, false, out);
}

TSolveOutcome SolveNormalEquationsExactly(const TExactPowerSums& sums, std::array<double, 4>& coefficients,
                                          std::shared_ptr<const TExactPolynomial>* exact) {
    const int degree = sums.Degree();
    const std::size_t size = static_cast<std::size_t>(degree) + 1;
    std::vector<mpz_class> wu(size);
    for (std::size_t j = 0; j < size; ++j) {
        sums.SumUV(static_cast<int>(j), wu[j].get_mpz_t());
    }
    const TExactMatrix m = NormalMatrix(sums);
    const mpz_class det = Determinant(m);
    if (det == 0) {
        return TSolveOutcome::Singular;
    }
    // Cramer: b_k = det(M with column k replaced by W)/det(M), and a_k = b_k·2^(t − k·s).
    coefficients = {0.0, 0.0, 0.0, 0.0};
    std::array<mpz_class, 4> numerators;
    std::array<long, 4> exponents{};
    for (std::size_t k = 0; k < size; ++k) {
        TExactMatrix mk = m;
        for (std::size_t j = 0; j < size; ++j) {
            mk[j][k] = wu[j];
        }
        numerators[k] = Determinant(std::move(mk));
        exponents[k] = sums.YShift() - static_cast<long>(k) * sums.XShift();
        if (!RoundQuotientToDouble(numerators[k].get_mpz_t(), det.get_mpz_t(), exponents[k],
                                   coefficients[k])) {
            return TSolveOutcome::BeyondRange;
        }
    }
    if (exact != nullptr) {
        // The mean X = SU(1)/SU(0)·2^s: readings and points lie around it.
        mpz_class su0, su1;
        sums.SumU(0, su0.get_mpz_t());
        sums.SumU(1, su1.get_mpz_t());
        double centre = 0;
        if (!RoundQuotientToDouble(su1.get_mpz_t(), su0.get_mpz_t(), sums.XShift(), centre)) {
            centre = 0;
        }
        *exact = std::make_shared<const TExactPolynomial>(degree, numerators, det, exponents, coefficients,
                                                          centre);
    }
    return TSolveOutcome::Solved;
}

}  // namespace quorvel
