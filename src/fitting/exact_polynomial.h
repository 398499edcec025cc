#pragma once
// The exact least-squares polynomial behind the rounded coefficients. Far from zero the rounded monomial
// coefficients cannot reproduce the fit (at X = 10^7 the rounding of a0 alone moves Y by units), so
// values and deviations are taken from the exact rational polynomial, each rounded once to the nearest
// double. A double-double evaluation around a centre gives that rounding almost always at once; where
// its error bound leaves the rounding open, the value is found exactly.
#include <gmpxx.h>

#include <array>
#include <cstddef>

#include "fitting/double_double.h"

namespace quorvel {

struct TFitCoefficients;
struct TDataPoint;

class TExactPolynomial {
public:
    // P(x) = Σ_k numerators[k]/denominator·2^exponents[k]·x^k, k = 0..degree (denominator not 0), whose
    // coefficients, each rounded to the nearest double, are `rounded`. `centre` is where the
    // double-double evaluation is expanded: the middle of the X that will be met.
    TExactPolynomial(int degree, const std::array<mpz_class, 4>& numerators, const mpz_class& denominator,
                     const std::array<long, 4>& exponents, const std::array<double, 4>& rounded,
                     double centre);
    // The polynomial of the four doubles themselves, taken exactly.
    TExactPolynomial(const TFitCoefficients& c, double centre);

    // Whether the store holds this polynomial's rounded coefficients (a store changed since the solve
    // no longer does).
    bool RoundsTo(const TFitCoefficients& c) const;
    double Centre() const { return centre_; }

    // The double nearest to P(x) (ties to even). Throws EOverflow beyond the double range.
    double ValueAt(double x) const;
    // The double nearest to y − P(x), exactly 0 for a point on the curve. Throws EOverflow beyond the
    // double range.
    double DeviationAt(double x, double y) const;
    // out[i] := DeviationAt(points[i].X, points[i].Y) for i < count, the usual case without a call per
    // point; with wideLanes four at a time where the processor can (the results are the same either way).
    void DeviationsAt(const TDataPoint* points, std::size_t count, double* out, bool wideLanes = true) const;

private:
    void Reduce();
    void Expand();
    bool IsExactlyZero(double x, double y, const dd::TPair& approx, double bound) const;
    // P(x) in double-double with its bound, on h = x − centre (exact as a pair); false where that is of no
    // use (no expansion, or a magnitude out of the fast range).
    bool Near(double x, dd::TBoundedValue<double>& near) const;
    template <int Degree, class Lanes>
    void DeviationsInLanes(const TDataPoint* points, std::size_t count, double* out) const;
    template <int Degree>
    void ExpandedDeviations(const TDataPoint* points, std::size_t count, double* out) const;
    template <int Degree>
    void WideDeviations(const TDataPoint* points, std::size_t count, double* out) const;
    // P(x) = num/D·2^exp exactly.
    void ExactAt(double x, mpz_class& num, long& exp) const;

    int degree_ = 0;
    std::array<mpz_class, 4> a_;  // P(x) = Σ a_k·x^k·2^e_/d_
    mpz_class d_ = 1;             // positive
    long e_ = 0;
    long denominatorBits_ = 1;  // D < 2^denominatorBits_
    std::array<double, 4> rounded_{};
    double centre_ = 0;
    // P(x) = Σ b_j·(x − centre)^j with each b_j as a double-double; only when `expanded_`.
    bool expanded_ = false;
    std::array<dd::TPair, 4> b_{};
};

}  // namespace quorvel
