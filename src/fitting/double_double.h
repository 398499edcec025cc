#pragma once
// A number as the unevaluated sum of two doubles, hi + lo with |lo| <= ulp(hi)/2: about 106 bits, for the
// iterations that double precision alone would leave short of the exact answer's last digits. The
// operations are the usual error-free transformations; products are split the Dekker way, which needs
// no fused multiply-add.
#include <cmath>

namespace quorvel {

struct TDoubleDouble {
    double hi = 0;
    double lo = 0;

    constexpr TDoubleDouble() = default;
    constexpr TDoubleDouble(double value) : hi(value) {}  // NOLINT: a double is exactly a double-double
    constexpr TDoubleDouble(double high, double low) : hi(high), lo(low) {}

    explicit operator double() const { return hi + lo; }
};

namespace dd_detail {

inline TDoubleDouble TwoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

inline TDoubleDouble FastTwoSum(double a, double b) {  // |a| >= |b|, or a = 0
    const double s = a + b;
    return {s, b - (s - a)};
}

inline TDoubleDouble Split(double a) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    const double hi = t - (t - a);
    return {hi, a - hi};
}

inline TDoubleDouble TwoProduct(double a, double b) {
    const double p = a * b;
    const TDoubleDouble x = Split(a);
    const TDoubleDouble y = Split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

}  // namespace dd_detail

inline TDoubleDouble operator+(TDoubleDouble x, TDoubleDouble y) {
    // The accurate sum: its error is relative even under cancellation.
    const TDoubleDouble s = dd_detail::TwoSum(x.hi, y.hi);
    const TDoubleDouble t = dd_detail::TwoSum(x.lo, y.lo);
    TDoubleDouble v = dd_detail::FastTwoSum(s.hi, s.lo + t.hi);
    return dd_detail::FastTwoSum(v.hi, v.lo + t.lo);
}

inline TDoubleDouble operator-(TDoubleDouble x) {
    return {-x.hi, -x.lo};
}

inline TDoubleDouble operator-(TDoubleDouble x, TDoubleDouble y) {
    return x + -y;
}

inline TDoubleDouble operator*(TDoubleDouble x, TDoubleDouble y) {
    const TDoubleDouble c = dd_detail::TwoProduct(x.hi, y.hi);
    return dd_detail::FastTwoSum(c.hi, c.lo + (x.hi * y.lo + x.lo * y.hi));
}

inline TDoubleDouble operator/(TDoubleDouble x, TDoubleDouble y) {
    // One Newton-like correction of the double quotient.
    const double q1 = x.hi / y.hi;
    const TDoubleDouble r = x - y * TDoubleDouble(q1);
    const double q2 = r.hi / y.hi;
    const TDoubleDouble r2 = r - y * TDoubleDouble(q2);
    const double q3 = r2.hi / y.hi;
    const TDoubleDouble q = dd_detail::FastTwoSum(q1, q2);
    return q + TDoubleDouble(q3);
}

inline TDoubleDouble& operator+=(TDoubleDouble& x, TDoubleDouble y) {
    return x = x + y;
}
inline TDoubleDouble& operator-=(TDoubleDouble& x, TDoubleDouble y) {
    return x = x - y;
}
inline TDoubleDouble& operator*=(TDoubleDouble& x, TDoubleDouble y) {
    return x = x * y;
}
inline TDoubleDouble& operator/=(TDoubleDouble& x, TDoubleDouble y) {
    return x = x / y;
}

inline bool operator<(TDoubleDouble x, TDoubleDouble y) {
    return x.hi < y.hi || (x.hi == y.hi && x.lo < y.lo);
}
inline bool operator>(TDoubleDouble x, TDoubleDouble y) {
    return y < x;
}

inline TDoubleDouble sqrt(TDoubleDouble x) {
    if (x.hi <= 0) {
        return {};
    }
    // One Newton step from the double root doubles its bits.
    const double r = std::sqrt(x.hi);
    const TDoubleDouble square = dd_detail::TwoProduct(r, r);
    const TDoubleDouble rest = x - square;
    return dd_detail::FastTwoSum(r, rest.hi / (2 * r));
}

inline TDoubleDouble fabs(TDoubleDouble x) {
    return x.hi < 0 ? -x : x;
}

inline double ToDouble(TDoubleDouble x) {
    return x.hi + x.lo;
}
inline double ToDouble(double x) {
    return x;
}

}  // namespace quorvel
