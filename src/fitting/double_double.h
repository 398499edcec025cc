#pragma once
// Double-double arithmetic for the fast evaluation of the exact fit: error-free transformations, the
// operations built from them (after Joldes, Muller and Popescu; the product errs by at most 7·2^-106 of
// its value), and a polynomial's value near its centre with the bound on its error.
// Each is written once for a double and for lanes of doubles side by side (GCC vector types): the same
// operations in the same order, so that each lane's result is bit for bit the scalar one. Lanes go by
// reference and come back inside a struct, never alone by value: four lanes are only ever used inside
// the functions compiled for the processors that have them.
// Products are split the Dekker way, which needs no fused multiply-add (without one in the instruction
// set std::fma is a slow library call).
#include <cmath>

namespace quorvel::dd {

template <class T>
struct TPairOf {
    T hi;
    T lo;
};
using TPair = TPairOf<double>;

// out = |v|.
inline void AbsInto(double& out, double v) {
    out = std::fabs(v);
}
template <class Lanes>
[[gnu::always_inline]] inline void AbsInto(Lanes& out, const Lanes& v) {
    using Bits = decltype(Lanes{} < Lanes{});
    out = reinterpret_cast<Lanes>(reinterpret_cast<Bits>(v) & 0x7FFFFFFFFFFFFFFF);
}

template <class T>
[[gnu::always_inline]] inline TPairOf<T> TwoSum(const T& a, const T& b) {
    const T s = a + b;
    const T bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

template <class T>
[[gnu::always_inline]] inline TPairOf<T> FastTwoSum(const T& a, const T& b) {  // |a| >= |b|, or a = 0
    const T s = a + b;
    return {s, b - (s - a)};
}

// a = hi + lo with 26-bit halves (|a| below 2^995).
template <class T>
[[gnu::always_inline]] inline TPairOf<T> Split(const T& a) {
    const T t = 134217729.0 * a;  // 2^27 + 1
    const T hi = t - (t - a);
    return {hi, a - hi};
}

template <class T>
[[gnu::always_inline]] inline TPairOf<T> TwoProduct(const T& a, const T& b) {
    const T p = a * b;
    const TPairOf<T> x = Split(a);
    const TPairOf<T> y = Split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

// Errs by at most 3·2^-106·(|x| + |y|): no relative bound under cancellation, but the evaluation's bound is
// one of magnitudes anyway.
template <class T>
[[gnu::always_inline]] inline TPairOf<T> Add(const TPairOf<T>& x, const TPairOf<T>& y) {
    const TPairOf<T> s = TwoSum(x.hi, y.hi);
    return FastTwoSum(s.hi, s.lo + (x.lo + y.lo));
}

template <class T>
[[gnu::always_inline]] inline TPairOf<T> Mul(const TPairOf<T>& x, const TPairOf<T>& y) {
    const TPairOf<T> c = TwoProduct(x.hi, y.hi);
    return FastTwoSum(c.hi, c.lo + (x.hi * y.lo + x.lo * y.hi));
}

// Every magnitude of the fast evaluation stays below this, so that nothing overflows (the window may
// trap overflows) and the products keep their relative accuracy.
inline constexpr double kFastRange = 0x1p900;

// A value in double-double, within `bound` of the exact one. `scale` is Σ|b_j|·|h|^j of the evaluation it
// comes from, formed in doubles: value and bound hold only while scale is below kFastRange (beyond it,
// or NaN, neither does).
template <class T>
struct TBoundedValue {
    TPairOf<T> value;
    T scale;
    T bound;
};

// Σ b_j·h^j, j = 0 .. Degree, each b_j a double-double (|b_j.hi| within 1/kFastRange .. kFastRange) and
// h exact as a pair. Each operation errs, once carried to the result, by at most 10·2^-106 of the scale;
// seven such errors and the splitting of the b_j stay below 2^-96 of it, and the scale itself errs by
// less than 2^-50 of it, which the factor's extra 2^-16 covers. Underflows add at most a few units of
// 2^-1074.
template <int Degree, class T>
[[gnu::always_inline]] inline TBoundedValue<T> ValueNear(const TPairOf<T>* b, const TPairOf<T>& h) {
    T ah;
    AbsInto(ah, h.hi);
    T scale;
    AbsInto(scale, b[Degree].hi);
    for (int j = Degree - 1; j >= 0; --j) {
        T magnitude;
        AbsInto(magnitude, b[j].hi);
        scale = scale * ah + magnitude;
    }
    TPairOf<T> r = b[Degree];
    if constexpr (Degree == 3) {
        // (b0 + b1·h) + h²·(b2 + b3·h): two halves side by side, so half the chain of Horner's rule.
        r = Add(Add(b[0], Mul(b[1], h)), Mul(Mul(h, h), Add(b[2], Mul(r, h))));
    } else {
        for (int j = Degree - 1; j >= 0; --j) {
            r = Add(Mul(r, h), b[j]);
        }
    }
    return {r, scale, scale * 0x1.0001p-96 + 0x1p-1000};
}

// y − v (|y| below kFastRange): the first difference is exact, the second errs by at most 2^-105 of
// |y| + 2·|v.hi|, which the bound takes on.
template <class T>
[[gnu::always_inline]] inline TBoundedValue<T> DeviationFrom(const T& y, const TBoundedValue<T>& v) {
    const TPairOf<T> s = TwoSum(y, -v.value.hi);
    T ay;
    AbsInto(ay, y);
    T ahi;
    AbsInto(ahi, v.value.hi);
    return {TwoSum(s.hi, s.lo - v.value.lo), v.scale, v.bound + 0x1p-100 * (ay + 2 * ahi)};
}

}  // namespace quorvel::dd

namespace quorvel {

// A double-double as a value with the usual operators, for iterations written once for double and for
// double-double (the distance regression). Its sum is the accurate one, whose error is relative even
// under cancellation: a residual there is the difference of nearly equal values.
struct TDoubleDouble {
    double hi = 0;
    double lo = 0;

    constexpr TDoubleDouble() = default;
    constexpr TDoubleDouble(double value) : hi(value) {}  // NOLINT: a double is exactly a double-double
    constexpr TDoubleDouble(double high, double low) : hi(high), lo(low) {}
    TDoubleDouble(dd::TPair pair) : hi(pair.hi), lo(pair.lo) {}  // NOLINT: the same number
};

inline TDoubleDouble operator+(TDoubleDouble x, TDoubleDouble y) {
    const dd::TPair s = dd::TwoSum(x.hi, y.hi);
    const dd::TPair t = dd::TwoSum(x.lo, y.lo);
    const dd::TPair v = dd::FastTwoSum(s.hi, s.lo + t.hi);
    return dd::FastTwoSum(v.hi, v.lo + t.lo);
}
inline TDoubleDouble operator-(TDoubleDouble x) {
    return {-x.hi, -x.lo};
}
inline TDoubleDouble operator-(TDoubleDouble x, TDoubleDouble y) {
    return x + -y;
}
inline TDoubleDouble operator*(TDoubleDouble x, TDoubleDouble y) {
    return dd::Mul(dd::TPair{x.hi, x.lo}, dd::TPair{y.hi, y.lo});
}
inline TDoubleDouble operator/(TDoubleDouble x, TDoubleDouble y) {
    // The double quotient and two corrections from the remainders.
    const double q1 = x.hi / y.hi;
    const TDoubleDouble r = x - y * TDoubleDouble(q1);
    const double q2 = r.hi / y.hi;
    const TDoubleDouble r2 = r - y * TDoubleDouble(q2);
    return TDoubleDouble(dd::FastTwoSum(q1, q2)) + TDoubleDouble(r2.hi / y.hi);
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

inline TDoubleDouble sqrt(TDoubleDouble x) {
    if (x.hi <= 0) {
        return {};
    }
    // One Newton step from the double root doubles its bits.
    const double r = std::sqrt(x.hi);
    const TDoubleDouble rest = x - TDoubleDouble(dd::TwoProduct(r, r));
    return dd::FastTwoSum(r, rest.hi / (2 * r));
}

inline double ToDouble(TDoubleDouble x) {
    return x.hi + x.lo;
}

}  // namespace quorvel
