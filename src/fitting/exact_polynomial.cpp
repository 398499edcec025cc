#include "fitting/exact_polynomial.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

#include "fitting/exact_power_sums.h"
#include "fitting/exact_solver.h"
#include "fitting/fit_types.h"
#include "runtime/exceptions.h"

namespace quorvel {

using namespace dd;

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
        TPair& split = b_[static_cast<std::size_t>(j)];
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

bool TExactPolynomial::Near(double x, TBoundedValue<double>& near) const {
    if (!expanded_ || !(std::fabs(x) < kFastRange)) {
        return false;
    }
    const TPair h = TwoSum(x, -centre_);
    switch (degree_) {
        case 0:
            near = ValueNear<0>(b_.data(), h);
            break;
        case 1:
            near = ValueNear<1>(b_.data(), h);
            break;
        case 2:
            near = ValueNear<2>(b_.data(), h);
            break;
        default:
            near = ValueNear<3>(b_.data(), h);
            break;
    }
    // In doubles: a scale that overflows is infinite (or NaN) and fails the range check as it should.
    return near.scale < kFastRange;
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
    TBoundedValue<double> near;
    if (Near(x, near)) {
        if (const std::optional<double> v = RoundedIfCertain(near.value, near.bound)) {
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
    TBoundedValue<double> near;
    if (std::fabs(y) < kFastRange && Near(x, near)) {
        const TBoundedValue<double> d = DeviationFrom(y, near);
        if (const std::optional<double> v = RoundedIfCertain(d.value, d.bound)) {
            return *v;
        }
        if (IsExactlyZero(x, y, d.value, d.bound)) {
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
bool TExactPolynomial::IsExactlyZero(double x, double y, const TPair& approx, double bound) const {
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

// The integer lanes of a lane type, as its comparisons give them.
template <class Lanes>
using TLaneBitsOf = decltype(Lanes{} < Lanes{});
template <class Lanes>
constexpr int kLaneCount = static_cast<int>(sizeof(Lanes) / sizeof(double));

// certain := the lanes where RoundedIfCertain would give r.hi.
template <class Lanes>
[[gnu::always_inline]] inline void CertainLanes(TLaneBitsOf<Lanes>& certain, const TPairOf<Lanes>& r,
                                                const Lanes& bound) {
    using Bits = TLaneBitsOf<Lanes>;
    Lanes magnitude;
    AbsInto(magnitude, r.hi);
    const Bits bits = reinterpret_cast<Bits>(magnitude);
    const Bits outward = reinterpret_cast<Bits>(reinterpret_cast<Lanes>(bits + 1) - magnitude);
    // Below 0 the neighbour's bits would be a NaN, which the comparisons must not meet (the window may
    // trap invalid operations): such a lane, never certain, takes 0 instead.
    const Bits inward = reinterpret_cast<Bits>(magnitude - reinterpret_cast<Lanes>(bits - 1 - (bits == 0)));
    const Bits out = ~((r.lo >= 0) ^ (r.hi > 0));
    const Lanes toward = reinterpret_cast<Lanes>((outward & out) | (inward & ~out)) * 0.5;
    const Lanes away = reinterpret_cast<Lanes>((inward & out) | (outward & ~out)) * 0.5;
    Lanes low;
    AbsInto(low, r.lo);
    certain = (magnitude != 0) & (2 * bound < toward - low) & (bound < away);
}

}  // namespace

template <int Degree, class Lanes>
[[gnu::always_inline]] inline void TExactPolynomial::DeviationsInLanes(const TDataPoint* points,
                                                                       std::size_t count, double* out) const {
    // The steps of Near and DeviationAt, a lane per point with the degree fixed; a point they leave open
    // goes the whole way.
    using TLanePair = TPairOf<Lanes>;
    constexpr int kWidth = kLaneCount<Lanes>;
    TLanePair b[Degree + 1];
    for (int j = 0; j <= Degree; ++j) {
        const TPair& c = b_[static_cast<std::size_t>(j)];
        b[j] = {Lanes{} + c.hi, Lanes{} + c.lo};
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
        const TBoundedValue<Lanes> d = DeviationFrom(y, ValueNear<Degree>(b, TwoSum(x, centre)));
        TLaneBitsOf<Lanes> fast;
        CertainLanes(fast, d.value, d.bound);
        fast &= d.scale < kFastRange;
        for (int lane = 0; lane < kWidth; ++lane) {
            double& deviation = out[i + static_cast<std::size_t>(lane)];
            if (fast[lane] != 0) {
                deviation = d.value.hi[lane];
            } else if (d.scale[lane] < kFastRange &&
                       IsExactlyZero(x[lane], y[lane], {d.value.hi[lane], d.value.lo[lane]}, d.bound[lane])) {
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

static bool WideLanesAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}
#else
template <int Degree>
void TExactPolynomial::WideDeviations(const TDataPoint* points, std::size_t count, double* out) const {
    ExpandedDeviations<Degree>(points, count, out);
}

static bool WideLanesAvailable() {
    return false;
}
#endif

void TExactPolynomial::DeviationsAt(const TDataPoint* points, std::size_t count, double* out,
                                    bool wideLanes) const {
    const bool wide = wideLanes && WideLanesAvailable();
    if (expanded_) {
        switch (degree_) {
            case 1:
                wide ? WideDeviations<1>(points, count, out) : ExpandedDeviations<1>(points, count, out);
                return;
            case 2:
                wide ? WideDeviations<2>(points, count, out) : ExpandedDeviations<2>(points, count, out);
                return;
            case 3:
                wide ? WideDeviations<3>(points, count, out) : ExpandedDeviations<3>(points, count, out);
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
