#include "fitting/exact_polynomial.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

#include "fitting/exact_power_sums.h"
#include "fitting/exact_solver.h"
#include "fitting/fit_types.h"
#include "runtime/exceptions.h"

namespace quorvel {

namespace {

// ±mantissa of a double as an integer, with its exponent: value = m·2^exponent.
mpz_class Mantissa(double value, long& exponent) {
    const TBinaryParts parts = SplitDouble(value);
    mpz_class m;
    mpz_import(m.get_mpz_t(), 1, 1, sizeof(parts.mantissa), 0, 0, &parts.mantissa);
    if (parts.negative) {
        m = -m;
    }
    exponent = parts.exponent;
    return m;
}

mpz_class Shifted(const mpz_class& v, long bits) {
    mpz_class out;
    mpz_mul_2exp(out.get_mpz_t(), v.get_mpz_t(), static_cast<mp_bitcnt_t>(bits));
    return out;
}

// The double nearest to a rational; nothing beyond the double range.
std::optional<double> Nearest(const mpq_class& q) {
    double out = 0;
    if (!RoundQuotientToDouble(q.get_num_mpz_t(), q.get_den_mpz_t(), 0, out)) {
        return std::nullopt;
    }
    return out;
}

// Error-free transformations and the double-double operations built from them (after Joldes, Muller
// and Popescu; the product errs by at most 7·2^-106 of its value). Products are split
// the Dekker way, which needs no fused multiply-add (without one in the instruction set std::fma is a
// slow library call).
// Each is written once for a double and for two doubles side by side (TLanes below): the same
// operations in the same order, so that each lane's result is bit for bit the scalar one.
template <class T>
struct TPairOf {
    T hi;
    T lo;
};
using TPair = TPairOf<double>;

template <class T>
[[gnu::always_inline]] inline TPairOf<T> TwoSum(T a, T b) {
    const T s = a + b;
    const T bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

template <class T>
[[gnu::always_inline]] inline TPairOf<T> FastTwoSum(T a, T b) {  // |a| >= |b|, or a = 0
    const T s = a + b;
    return {s, b - (s - a)};
}

// a = hi + lo with 26-bit halves (|a| below 2^995).
template <class T>
[[gnu::always_inline]] inline TPairOf<T> Split(T a) {
    const T t = 134217729.0 * a;  // 2^27 + 1
    const T hi = t - (t - a);
    return {hi, a - hi};
}

template <class T>
[[gnu::always_inline]] inline TPairOf<T> TwoProduct(T a, T b) {
    const T p = a * b;
    const TPairOf<T> x = Split(a);
    const TPairOf<T> y = Split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

// Errs by at most 3·2^-106·(|x| + |y|): no relative bound under cancellation, but the evaluation's bound is
// one of magnitudes anyway.
template <class T>
[[gnu::always_inline]] inline TPairOf<T> Add(TPairOf<T> x, TPairOf<T> y) {
    const TPairOf<T> s = TwoSum(x.hi, y.hi);
    return FastTwoSum(s.hi, s.lo + (x.lo + y.lo));
}

template <class T>
[[gnu::always_inline]] inline TPairOf<T> Mul(TPairOf<T> x, TPairOf<T> y) {
    const TPairOf<T> c = TwoProduct(x.hi, y.hi);
    return FastTwoSum(c.hi, c.lo + (x.hi * y.lo + x.lo * y.hi));
}

// Every magnitude of the fast evaluation stays below this, so that nothing overflows (the window may
// trap overflows) and the products keep their relative accuracy.
constexpr double kFastRange = 0x1p900;

// The double nearest to a value that lies within `bound` of r.hi + r.lo (r.hi the rounding of the pair,
// 0 < |r.hi| < 2^1000): r.hi, when that interval holds no rounding boundary; nothing otherwise.
std::optional<double> RoundedIfCertain(TPair r, double bound) {
    const double magnitude = std::fabs(r.hi);
    if (magnitude == 0) {
        return std::nullopt;  // the boundaries around 0 are closer than any bound
    }
    // The gaps to the neighbours of r.hi, from its bits: one further out, one further in.
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const double outward = std::bit_cast<double>(bits + 1) - magnitude;
    const double inward = magnitude - std::bit_cast<double>(bits - 1);
    const bool out = (r.lo >= 0) == (r.hi > 0);
    const double toward = (out ? outward : inward) * 0.5;
    const double away = (out ? inward : outward) * 0.5;
    // Twice the bound, as the margin itself is rounded.
    if (2 * bound < toward - std::fabs(r.lo) && bound < away) {
        return r.hi;
    }
    return std::nullopt;
}

}  // namespace

TExactPolynomial::TExactPolynomial(int degree, const std::array<mpz_class, 4>& numerators,
                                   const mpz_class& denominator, const std::array<long, 4>& exponents,
                                   const std::array<double, 4>& rounded, double centre)
    : degree_(degree), rounded_(rounded), centre_(centre) {
    e_ = *std::min_element(exponents.begin(), exponents.begin() + degree + 1);
    const int sign = sgn(denominator) < 0 ? -1 : 1;
    d_ = abs(denominator);
    for (int k = 0; k <= degree; ++k) {
        const auto i = static_cast<std::size_t>(k);
        a_[i] = Shifted(numerators[i], exponents[i] - e_) * sign;
    }
    Reduce();
    Expand();
}

TExactPolynomial::TExactPolynomial(const TFitCoefficients& c, double centre)
    : rounded_{c.a0, c.a1, c.a2, c.a3}, centre_(centre) {
    std::array<long, 4> exponents{};
    std::array<mpz_class, 4> m;
    bool any = false;
    for (std::size_t k = 0; k < 4; ++k) {
        m[k] = Mantissa(rounded_[k], exponents[k]);
        if (m[k] != 0) {
            e_ = any ? std::min(e_, exponents[k]) : exponents[k];
            degree_ = static_cast<int>(k);
            any = true;
        }
    }
    for (std::size_t k = 0; k < 4; ++k) {
        if (m[k] != 0) {
            a_[k] = Shifted(m[k], exponents[k] - e_);
        }
    }
    Reduce();
    Expand();
}

void TExactPolynomial::Reduce() {
    // The solve's denominator is a determinant, thousands of bits for a large table, while the fit of
    // readings that lie exactly on a curve has a small one: in lowest terms the exact steps are short,
    // and IsExactlyZero can tell a point on the curve without them.
    mpz_class common = d_;
    for (int k = 0; k <= degree_; ++k) {
        mpz_gcd(common.get_mpz_t(), common.get_mpz_t(), a_[static_cast<std::size_t>(k)].get_mpz_t());
    }
    if (common > 1) {
        mpz_divexact(d_.get_mpz_t(), d_.get_mpz_t(), common.get_mpz_t());
        for (int k = 0; k <= degree_; ++k) {
            mpz_class& a = a_[static_cast<std::size_t>(k)];
            mpz_divexact(a.get_mpz_t(), a.get_mpz_t(), common.get_mpz_t());
        }
    }
    // The powers of two go into the exponent.
    const mp_bitcnt_t twos = mpz_scan1(d_.get_mpz_t(), 0);
    if (twos > 0) {
        mpz_tdiv_q_2exp(d_.get_mpz_t(), d_.get_mpz_t(), twos);
        e_ -= static_cast<long>(twos);
    }
    denominatorBits_ = static_cast<long>(mpz_sizeinbase(d_.get_mpz_t(), 2));
}

bool TExactPolynomial::RoundsTo(const TFitCoefficients& c) const {
    return rounded_[0] == c.a0 && rounded_[1] == c.a1 && rounded_[2] == c.a2 && rounded_[3] == c.a3;
}

void TExactPolynomial::Expand() {
    // b_j = Σ_k C(k, j)·a_k·centre^(k − j), exactly, then each split into a double-double.
    if (!(std::fabs(centre_) < kFastRange)) {
        return;
    }
    std::array<mpq_class, 4> a;
    for (std::size_t k = 0; k < 4; ++k) {
        a[k] = mpq_class(a_[k], d_);
        a[k].canonicalize();
        if (e_ >= 0) {
            mpq_mul_2exp(a[k].get_mpq_t(), a[k].get_mpq_t(), static_cast<mp_bitcnt_t>(e_));
        } else {
            mpq_div_2exp(a[k].get_mpq_t(), a[k].get_mpq_t(), static_cast<mp_bitcnt_t>(-e_));
        }
    }
    const mpq_class c(centre_);
    static constexpr int kBinomial[4][4] = {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 2, 1, 0}, {1, 3, 3, 1}};
    for (int j = 0; j <= degree_; ++j) {
        mpq_class b = 0;
        mpq_class power = 1;
        for (int k = j; k <= degree_; ++k) {
            b += a[static_cast<std::size_t>(k)] * power * kBinomial[k][j];
            power *= c;
        }
        TDouble2& split = b_[static_cast<std::size_t>(j)];
        if (b == 0) {
            continue;
        }
        const std::optional<double> hi = Nearest(b);
        // Beyond this range the pair would lose its relative accuracy (or overflow); the exact
        // evaluation serves alone.
        if (!hi || !(std::fabs(*hi) < kFastRange && std::fabs(*hi) > 1 / kFastRange)) {
            return;
        }
        split.hi = *hi;
        split.lo = *Nearest(b - mpq_class(*hi));
    }
    expanded_ = true;
}

// value ≈ P(x) with |P(x) − value| <= bound, in double-double on h = x − centre (exact as a pair). Each
// operation errs, once carried to the result, by at most 10·2^-106 of the sum Σ|b_j|·|h|^j; seven such
// errors and the splitting of the b_j stay below 2^-96 of it. Underflows add at most
// a few units of 2^-1074.
bool TExactPolynomial::Approximate(double x, TDouble2& value, double& bound) const {
    if (!expanded_ || !(std::fabs(x) < kFastRange)) {
        return false;
    }
    const TPair h = TwoSum(x, -centre_);
    // In doubles: a scale that overflows is infinite (or NaN) and fails the range check as it should.
    const double ah = std::fabs(h.hi);
    double scale = std::fabs(b_[static_cast<std::size_t>(degree_)].hi);
    for (int j = degree_ - 1; j >= 0; --j) {
        scale = scale * ah + std::fabs(b_[static_cast<std::size_t>(j)].hi);
    }
    if (!(scale < kFastRange)) {
        return false;
    }
    const auto b = [this](int j) {
        const TDouble2& c = b_[static_cast<std::size_t>(j)];
        return TPair{c.hi, c.lo};
    };
    TPair r = b(degree_);
    if (degree_ == 3) {
        // (b0 + b1·h) + h²·(b2 + b3·h): two halves side by side, so half the chain of Horner's rule.
        r = Add(Add(b(0), Mul(b(1), h)), Mul(Mul(h, h), Add(b(2), Mul(r, h))));
    } else {
        for (int j = degree_ - 1; j >= 0; --j) {
            r = Add(Mul(r, h), b(j));
        }
    }
    value = {r.hi, r.lo};
    // The scale itself errs by less than 2^-50 of it: the factor's extra 2^-16 covers that.
    bound = scale * 0x1.0001p-96 + 0x1p-1000;
    return true;
}

void TExactPolynomial::ExactAt(double x, mpz_class& num, long& exp) const {
    long f = 0;
    const mpz_class m = Mantissa(x, f);
    const auto top = static_cast<std::size_t>(degree_);
    num = a_[top];
    if (m == 0) {
        num = a_[0];
        exp = e_;
    } else if (f >= 0) {
        const mpz_class u = Shifted(m, f);
        for (std::size_t k = top; k-- > 0;) {
            num = num * u + a_[k];
        }
        exp = e_;
    } else {
        // x = m/2^-f: P(x)·2^(-f·degree) = Σ a_k·m^k·2^(-f·(degree − k)), an integer.
        for (std::size_t k = top; k-- > 0;) {
            num = num * m + Shifted(a_[k], -f * static_cast<long>(top - k));
        }
        exp = e_ + f * degree_;
    }
}

double TExactPolynomial::ValueAt(double x) const {
    TDouble2 approx;
    double bound = 0;
    if (Approximate(x, approx, bound)) {
        if (const std::optional<double> v = RoundedIfCertain({approx.hi, approx.lo}, bound)) {
            return *v;
        }
    }
    mpz_class num;
    long exp = 0;
    ExactAt(x, num, exp);
    double out = 0;
    if (!RoundQuotientToDouble(num.get_mpz_t(), d_.get_mpz_t(), exp, out)) {
        throw EOverflow();
    }
    return out;
}

double TExactPolynomial::DeviationAt(double x, double y) const {
    TDouble2 p;
    double bound = 0;
    if (std::fabs(y) < kFastRange && Approximate(x, p, bound)) {
        // y − (p.hi + p.lo): the first difference is exact, the second errs by at most 2^-105 of
        // |y| + 2·|p.hi|.
        const TPair s = TwoSum(y, -p.hi);
        const TPair d = TwoSum(s.hi, s.lo - p.lo);
        bound += 0x1p-100 * (std::fabs(y) + 2 * std::fabs(p.hi));
        if (const std::optional<double> v = RoundedIfCertain(d, bound)) {
            return *v;
        }
        if (IsExactlyZero(x, y, {d.hi, d.lo}, bound)) {
            return 0.0;
        }
    }
    // y − num/D·2^exp = (my·D·2^(fy − g) − num·2^(exp − g))/D·2^g with g the smaller exponent.
    mpz_class num;
    long exp = 0;
    ExactAt(x, num, exp);
    long fy = 0;
    const mpz_class my = Mantissa(y, fy);
    mpz_class z;
    long g = exp;
    if (my == 0) {
        z = -num;
    } else {
        g = std::min(fy, exp);
        z = Shifted(my * d_, fy - g) - Shifted(num, exp - g);
    }
    if (z == 0) {
        return 0.0;
    }
    double out = 0;
    if (!RoundQuotientToDouble(z.get_mpz_t(), d_.get_mpz_t(), g, out)) {
        throw EOverflow();
    }
    return out;
}

// y − P(x) = z·2^g/D with z an integer (g as in DeviationAt's exact steps), so that any nonzero
// deviation is at least 2^g/D > 2^(g − denominatorBits_): an approximation closer to 0 than that, with its
// bound, is of a deviation that is exactly 0.
bool TExactPolynomial::IsExactlyZero(double x, double y, TDouble2 approx, double bound) const {
    const TBinaryParts px = SplitDouble(x);
    const TBinaryParts py = SplitDouble(y);
    const long exp = (px.mantissa == 0 || px.exponent >= 0) ? e_ : e_ + px.exponent * degree_;
    const long g = py.mantissa == 0 ? exp : std::min(py.exponent, exp);
    const long threshold = g - denominatorBits_;
    if (threshold < -1000) {
        return false;
    }
    // The sum is rounded: its margin of 2^-40 covers that.
    const double distance = (std::fabs(approx.hi) + std::fabs(approx.lo) + bound) * (1 + 0x1p-40);
    // 2^threshold, from its bits (threshold from -1000 to 1000: a normal double).
    const auto power =
        std::bit_cast<double>(static_cast<std::uint64_t>(std::min(threshold, 1000L) + 1023) << 52);
    return distance < power;
}

namespace {

// Two doubles side by side (SSE2, which every x86-64 has; elsewhere the compiler splits them), or four
// where the processor has AVX2, so that points go through the double-double steps together.
typedef double TLanes __attribute__((vector_size(16)));
typedef double TWideLanes __attribute__((vector_size(32)));
// Four lanes are only ever passed inside the AVX2 function they are inlined into, never across a call
// whose convention the warning is about.
#pragma GCC diagnostic ignored "-Wpsabi"

// The integer lanes of a lane type, as its comparisons give them.
template <class Lanes>
using TLaneBitsOf = decltype(Lanes{} < Lanes{});
template <class Lanes>
constexpr int kLaneCount = static_cast<int>(sizeof(Lanes) / sizeof(double));

template <class Lanes>
[[gnu::always_inline]] inline Lanes Abs(Lanes v) {
    using Bits = TLaneBitsOf<Lanes>;
    return reinterpret_cast<Lanes>(reinterpret_cast<Bits>(v) & 0x7FFFFFFFFFFFFFFF);
}
template <class Lanes>
[[gnu::always_inline]] inline Lanes Select(TLaneBitsOf<Lanes> mask, Lanes yes, Lanes no) {
    using Bits = TLaneBitsOf<Lanes>;
    return reinterpret_cast<Lanes>((reinterpret_cast<Bits>(yes) & mask) |
                                   (reinterpret_cast<Bits>(no) & ~mask));
}
// Lanes where RoundedIfCertain would give r.hi.
template <class Lanes>
[[gnu::always_inline]] inline TLaneBitsOf<Lanes> CertainLanes(TPairOf<Lanes> r, Lanes bound) {
    using Bits = TLaneBitsOf<Lanes>;
    const Lanes magnitude = Abs(r.hi);
    const Bits bits = reinterpret_cast<Bits>(magnitude);
    const Lanes outward = reinterpret_cast<Lanes>(bits + 1) - magnitude;
    // Below 0 the neighbour's bits would be a NaN, which the comparisons must not meet (the window may
    // trap invalid operations): such a lane, never certain, takes 0 instead.
    const Lanes inward = magnitude - reinterpret_cast<Lanes>(bits - 1 - (bits == 0));
    const Bits out = ~((r.lo >= 0) ^ (r.hi > 0));
    const Lanes toward = Select(out, outward, inward) * 0.5;
    const Lanes away = Select(out, inward, outward) * 0.5;
    return (magnitude != 0) & (2 * bound < toward - Abs(r.lo)) & (bound < away);
}

}  // namespace

template <int Degree, class Lanes>
[[gnu::always_inline]] inline void TExactPolynomial::DeviationsInLanes(const TDataPoint* points,
                                                                       std::size_t count, double* out) const {
    // The steps of Approximate and DeviationAt, a lane per point with the degree fixed; a point they
    // leave open goes the whole way.
    using TLanePair = TPairOf<Lanes>;
    constexpr int kWidth = kLaneCount<Lanes>;
    TLanePair b[Degree + 1];
    Lanes magnitude[Degree + 1];
    for (int j = 0; j <= Degree; ++j) {
        const TDouble2& c = b_[static_cast<std::size_t>(j)];
        b[j] = {Lanes{} + c.hi, Lanes{} + c.lo};
        magnitude[j] = Lanes{} + std::fabs(c.hi);
    }
    const Lanes centre = Lanes{} - centre_;
    std::size_t i = 0;
    for (; i + kWidth <= count; i += kWidth) {
        Lanes x;
        Lanes y;
        bool inRange = true;
        for (int lane = 0; lane < kWidth; ++lane) {
            x[lane] = points[i + static_cast<std::size_t>(lane)].X;
            y[lane] = points[i + static_cast<std::size_t>(lane)].Y;
            inRange = inRange && std::fabs(x[lane]) < kFastRange && std::fabs(y[lane]) < kFastRange;
        }
        // Values out of range never enter the lanes, so that nothing overflows there.
        if (!inRange) [[unlikely]] {
            for (int lane = 0; lane < kWidth; ++lane) {
                out[i + static_cast<std::size_t>(lane)] = DeviationAt(x[lane], y[lane]);
            }
            continue;
        }
        const TLanePair h = TwoSum(x, centre);
        const Lanes ah = Abs(h.hi);
        Lanes scale = magnitude[Degree];
        for (int j = Degree - 1; j >= 0; --j) {
            scale = scale * ah + magnitude[j];
        }
        TLanePair r;
        if constexpr (Degree == 3) {
            r = Add(Add(b[0], Mul(b[1], h)), Mul(Mul(h, h), Add(b[2], Mul(b[3], h))));
        } else {
            r = b[Degree];
            for (int j = Degree - 1; j >= 0; --j) {
                r = Add(Mul(r, h), b[j]);
            }
        }
        const Lanes bound = scale * 0x1.0001p-96 + 0x1p-1000 + 0x1p-100 * (Abs(y) + 2 * Abs(r.hi));
        const TLanePair sum = TwoSum(y, -r.hi);
        const TLanePair d = TwoSum(sum.hi, sum.lo - r.lo);
        const TLaneBitsOf<Lanes> fast = (scale < kFastRange) & CertainLanes(d, bound);
        for (int lane = 0; lane < kWidth; ++lane) {
            double& deviation = out[i + static_cast<std::size_t>(lane)];
            if (fast[lane] != 0) {
                deviation = d.hi[lane];
            } else if (scale[lane] < kFastRange &&
                       IsExactlyZero(x[lane], y[lane], {d.hi[lane], d.lo[lane]}, bound[lane])) {
                deviation = 0.0;
            } else {
                deviation = DeviationAt(x[lane], y[lane]);
            }
        }
    }
    for (; i < count; ++i) {
        out[i] = DeviationAt(points[i].X, points[i].Y);
    }
}

template <int Degree>
void TExactPolynomial::ExpandedDeviations(const TDataPoint* points, std::size_t count, double* out) const {
    DeviationsInLanes<Degree, TLanes>(points, count, out);
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same steps on four lanes, for processors that have them; the operations and their order are those
// of two lanes, so every deviation is bit for bit the same.
template <int Degree>
__attribute__((target("avx2"))) void TExactPolynomial::WideDeviations(const TDataPoint* points,
                                                                      std::size_t count, double* out) const {
    DeviationsInLanes<Degree, TWideLanes>(points, count, out);
}

std::atomic<bool> g_wideLanesAllowed{true};

static bool WideLanesAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available && g_wideLanesAllowed.load(std::memory_order_relaxed);
}
#else
std::atomic<bool> g_wideLanesAllowed{true};

template <int Degree>
void TExactPolynomial::WideDeviations(const TDataPoint* points, std::size_t count, double* out) const {
    ExpandedDeviations<Degree>(points, count, out);
}

static bool WideLanesAvailable() {
    return false;
}
#endif

void AllowWideLanes(bool allow) {
    g_wideLanesAllowed.store(allow);
}

void TExactPolynomial::DeviationsAt(const TDataPoint* points, std::size_t count, double* out) const {
    if (expanded_) {
        switch (degree_) {
            case 1:
                WideLanesAvailable() ? WideDeviations<1>(points, count, out)
                                     : ExpandedDeviations<1>(points, count, out);
                return;
            case 2:
                WideLanesAvailable() ? WideDeviations<2>(points, count, out)
                                     : ExpandedDeviations<2>(points, count, out);
                return;
            case 3:
                WideLanesAvailable() ? WideDeviations<3>(points, count, out)
                                     : ExpandedDeviations<3>(points, count, out);
                return;
            default:
                break;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = DeviationAt(points[i].X, points[i].Y);
    }
}

}  // namespace quorvel
