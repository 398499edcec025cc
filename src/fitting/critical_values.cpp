#include "fitting/critical_values.h"

#include <gmpxx.h>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <map>
#include <mutex>
#include <utility>

namespace quorvel {

namespace {

// The library's quantiles in double precision are good to an ulp or two, not always to the nearest
// double (t(0.975; 6) was 22 ulps off). One Newton step from there, with the upper tail worked out in GMP
// floats, leaves an error below 3e-29 of the value (measured against a second step for every value of
// the test's table); where even that cannot decide the rounding, a second step with twice the bits does. The
// tails are computed here rather than by the library's functions in a multiprecision type: for such a type
// those work out tables when the program starts, which cost every start of quorvel-fit several milliseconds.
using TFloat = mpf_class;

constexpr mp_bitcnt_t kStepBits = 256;
constexpr mp_bitcnt_t kSecondStepBits = 512;

// A value at least this far (relatively) from the midpoint between two doubles rounds, after the first
// step, as the exact quantile does (the values of the test's table lie 1e-19 of their size or further).
constexpr double kClearOfMidpoint = 1e-26;

// ln 2 and ln √(2π), to 200 digits (beyond the 512 bits of the second step, with room for the reduction
// of exp by k·ln 2).
const char* const kLn2 =
    "0.6931471805599453094172321214581765680755001343602552541206800094933936219696947156058633269964186875"
    "4200148102057068573368552023575813055703267075163507596193072757082837143519030703862389167347112335";
const char* const kLnSqrt2Pi =
    "0.9189385332046727417803297364056176398613974736377834128171515404827656959272603976947432986359541976"
    "2200564662463433744636686288184079357215587591522268139360356074254735866904639590599138080563016323";

// B(2k)/(2k(2k − 1)) of Stirling's series for ln Γ, k = 1 … 13: numerators and denominators.
constexpr long kStirling[13][2] = {{1, 12},         {-1, 360},         {1, 1260},     {-1, 1680},
                                   {1, 1188},       {-691, 360360},    {1, 156},      {-3617, 122400},
                                   {43867, 244188}, {-174611, 125400}, {77683, 5796}, {-236364091, 1506960},
                                   {657931, 300}};

class TPrecise {
public:
    explicit TPrecise(mp_bitcnt_t bits) : bits_(bits), ln2_(kLn2, bits + 64), lnSqrt2Pi_(kLnSqrt2Pi, bits) {}

    mp_bitcnt_t Bits() const { return bits_; }
    // Every value is made with the precision asked for: gmpxx gives a value made from an expression
    // without one only the default 64 bits.
    TFloat Of(double v) const { return TFloat(v, bits_); }
    TFloat Of(long v) const { return TFloat(v, bits_); }
    template <class Expression>
    TFloat Of(const Expression& e) const {
        return TFloat(e, bits_);
    }

    // Whether a term of a series or the change of a continued fraction is below the precision.
    bool Negligible(const TFloat& change, const TFloat& sum) const {
        TFloat bound(abs(sum), bits_);
        mpf_div_2exp(bound.get_mpf_t(), bound.get_mpf_t(), bits_ + 8);
        return abs(change) <= bound;
    }

    TFloat Log(const TFloat& x) const {
        // x = m·2^e with m in [1/√2, √2): ln x = e·ln 2 + 2·atanh((m − 1)/(m + 1)).
        long e = 0;
        mpf_get_d_2exp(&e, x.get_mpf_t());
        TFloat m(x, bits_);
        if (e >= 0) {
            mpf_div_2exp(m.get_mpf_t(), m.get_mpf_t(), static_cast<mp_bitcnt_t>(e));
        } else {
            mpf_mul_2exp(m.get_mpf_t(), m.get_mpf_t(), static_cast<mp_bitcnt_t>(-e));
        }
        if (m * m < 0.5) {
            m *= 2;
            --e;
        }
        const TFloat u((m - 1) / (m + 1), bits_);  // |u| < 0.18
        const TFloat u2(u * u, bits_);
        TFloat power(u, bits_);
        TFloat sum(u, bits_);
        for (long k = 3;; k += 2) {
            power *= u2;
            const TFloat term(power / k, bits_);
            sum += term;
            if (Negligible(term, sum)) {
                break;
            }
        }
        return TFloat(2 * sum + Of(e) * ln2_, bits_);
    }

    TFloat Exp(const TFloat& y) const {
        // y = k·ln 2 + r, r halved 16 times, Taylor's series, squared back, times 2^k.
        const long k = std::lround(y.get_d() / ln2_.get_d());
        TFloat r(y - TFloat(k, bits_ + 64) * ln2_, bits_ + 32);
        constexpr int kHalvings = 16;
        mpf_div_2exp(r.get_mpf_t(), r.get_mpf_t(), kHalvings);
        TFloat term(1, bits_ + 32);
        TFloat sum(1, bits_ + 32);
        for (long n = 1;; ++n) {
            term = term * r / n;
            sum += term;
            if (Negligible(term, sum)) {
                break;
            }
        }
        for (int i = 0; i < kHalvings; ++i) {
            sum *= sum;
        }
        if (k >= 0) {
            mpf_mul_2exp(sum.get_mpf_t(), sum.get_mpf_t(), static_cast<mp_bitcnt_t>(k));
        } else {
            mpf_div_2exp(sum.get_mpf_t(), sum.get_mpf_t(), static_cast<mp_bitcnt_t>(-k));
        }
        return TFloat(sum, bits_);
    }

    // ln Γ(z), z > 0: z raised to 200 or more by Γ(z + 1) = z·Γ(z), then Stirling's series, whose next
    // term there is below 1e-57.
    TFloat LnGamma(TFloat z) const {
        TFloat product(1, bits_);
        while (z < 200) {
            product *= z;
            z += 1;
        }
        const TFloat lnZ = Log(z);
        TFloat sum((z - 0.5) * lnZ - z + lnSqrt2Pi_, bits_);
        // The series' terms B(2k)/(2k(2k − 1)·z^(2k − 1)).
        const TFloat inverseSquare(1 / (z * z), bits_);
        TFloat power(1 / z, bits_);
        for (const auto& [num, den] : kStirling) {
            sum += power * num / den;
            power *= inverseSquare;
        }
        return TFloat(sum - Log(product), bits_);
    }

    // Q(a, y) = Γ(a, y)/Γ(a), the upper tail of the gamma distribution, by Legendre's continued fraction
    // (y > a + 1) or as 1 minus the series of P (otherwise).
    TFloat UpperGamma(const TFloat& a, const TFloat& y) const {
        const TFloat front = Exp(Of(a * Log(y) - y - LnGamma(a)));
        if (y > a + 1) {
            const TFloat fraction = Lentz(
                Of(y + 1 - a), [&](long i) { return Of(-i * (i - a)); },
                [&](long i) { return Of(y + 2 * i + 1 - a); });
            return Of(front / fraction);
        }
        TFloat term(1 / a, bits_);
        TFloat sum(term, bits_);
        for (long n = 1;; ++n) {
            term = term * y / (a + n);
            sum += term;
            if (Negligible(term, sum)) {
                break;
            }
        }
        return TFloat(1 - front * sum, bits_);
    }

    // I_x(a, b), the regularized incomplete beta function, with x and 1 − x given apart (no digit of the
    // smaller is lost to a subtraction): its continued fraction where that converges fast, else through
    // I_x(a, b) = 1 − I_(1−x)(b, a).
    TFloat IncompleteBeta(const TFloat& a, const TFloat& b, const TFloat& x, const TFloat& rest,
                          bool swapped = false) const {
        if (!swapped && x * (a + b + 2) > a + 1) {
            return Of(1 - IncompleteBeta(b, a, rest, x, true));
        }
        const TFloat front =
            Exp(Of(a * Log(x) + b * Log(rest) - Log(a) - LnGamma(a) - LnGamma(b) + LnGamma(Of(a + b))));
        // 1/(1 + d1/(1 + d2/(1 + …))), d(2m + 1) = −(a + m)(a + b + m)x/((a + 2m)(a + 2m + 1)) and
        // d(2m) = m(b − m)x/((a + 2m − 1)(a + 2m)).
        const TFloat fraction = Lentz(
            Of(1L),
            [&](long i) {
                const long m = i / 2;
                if (i % 2 == 0) {
                    return Of(m * (b - m) * x / ((a + 2 * m - 1) * (a + 2 * m)));
                }
                return Of(-(a + m) * (a + b + m) * x / ((a + 2 * m) * (a + 2 * m + 1)));
            },
            [&](long) { return Of(1L); });
        return Of(front / fraction);
    }

private:
    // b(0) + n(1)/(b(1) + n(2)/(b(2) + …)) by the modified Lentz method, until a step changes it by less
    // than the precision.
    template <class Numerator, class Denominator>
    TFloat Lentz(const TFloat& first, const Numerator& numerator, const Denominator& denominator) const {
        TFloat tiny(1, bits_);
        mpf_div_2exp(tiny.get_mpf_t(), tiny.get_mpf_t(), 4 * bits_);
        const auto guard = [&tiny](TFloat& v) {
            if (abs(v) < tiny) {
                v = tiny;
            }
        };
        TFloat f(first, bits_);
        guard(f);
        TFloat c(f, bits_);
        TFloat d(0, bits_);
        for (long i = 1; i < 100000000; ++i) {
            const TFloat n = numerator(i);
            const TFloat b = denominator(i);
            d = b + n * d;
            guard(d);
            c = b + n / c;
            guard(c);
            d = 1 / d;
            const TFloat change(c * d, bits_);
            f *= change;
            // Within the rounding of the steps themselves (which the precision's last bits carry).
            TFloat bound(1, bits_);
            mpf_div_2exp(bound.get_mpf_t(), bound.get_mpf_t(), bits_ - 16);
            if (abs(change - 1) <= bound) {
                break;
            }
        }
        return f;
    }

    mp_bitcnt_t bits_;
    TFloat ln2_;
    TFloat lnSqrt2Pi_;
};

// The double nearest to v, found among the three around the conversion's own result (which truncates),
// with the distance from v to the midpoint on that side.
std::pair<double, TFloat> NearestDouble(const TFloat& v) {
    const double guess = v.get_d();
    double best = guess;
    TFloat bestDistance(abs(v - guess), v.get_prec());
    for (const double candidate : {std::nextafter(guess, -INFINITY), std::nextafter(guess, INFINITY)}) {
        TFloat distance(abs(v - candidate), v.get_prec());
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    const double neighbour = v > best ? std::nextafter(best, INFINITY) : std::nextafter(best, -INFINITY);
    TFloat halfGap(abs(TFloat(neighbour, v.get_prec()) - best) / 2, v.get_prec());
    return {best, TFloat(halfGap - bestDistance, v.get_prec())};
}

// The double nearest to the x whose upper tail Q(x) is 1/tailDenominator: the library's double quantile
// refined by Newton steps x + (Q(x) − tail)/f(x), Q worked out by `tail(precise, x)`, the density f in
// double precision (which moves the step by a relative 1e-15 of its size, far below what is decided).
template <class Distribution, class Tail>
double NearestQuantile(const Distribution& distribution, int tailDenominator, const Tail& tail) {
    const double guess = boost::math::quantile(
        boost::math::complement(distribution, 1.0 / static_cast<double>(tailDenominator)));
    const auto step = [&](mp_bitcnt_t bits, const TFloat& x) {
        const TPrecise precise(bits);
        const double density = boost::math::pdf(distribution, x.get_d());
        const TFloat share(TFloat(1, bits) / tailDenominator);
        return TFloat(x + (tail(precise, x) - share) / density, bits);
    };
    const TFloat first = step(kStepBits, TFloat(guess, kStepBits));
    const auto [nearest, margin] = NearestDouble(first);
    if (margin > abs(first) * kClearOfMidpoint) {
        return nearest;
    }
    return NearestDouble(step(kSecondStepBits, TFloat(first, kSecondStepBits))).first;
}

// A quantile costs up to milliseconds: the values asked for are kept (a report asks for the same k once
// per figure).
template <class Compute>
double Remembered(int which, int dof, const Compute& compute) {
    static std::mutex mutex;
    static std::map<std::pair<int, int>, double> known;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (const auto it = known.find({which, dof}); it != known.end()) {
            return it->second;
        }
    }
    const double value = compute();
    const std::lock_guard<std::mutex> lock(mutex);
    known.emplace(std::make_pair(which, dof), value);
    return value;
}

}  // namespace

double CoverageFactor95(int dof) {
    return Remembered(0, dof, [dof] {
        // Q(t) = ½·I_z(ν/2, ½) with z = ν/(ν + t²); the upper tail 1/40.
        return NearestQuantile(
            boost::math::students_t_distribution<double>(dof), 40, [dof](const TPrecise& p, const TFloat& t) {
                const TFloat nu = p.Of(static_cast<long>(dof));
                const TFloat square = p.Of(t * t);
                const TFloat whole = p.Of(nu + square);
                return p.Of(
                    p.IncompleteBeta(p.Of(nu / 2), p.Of(0.5), p.Of(nu / whole), p.Of(square / whole)) / 2);
            });
    });
}

double ChiSquaredCritical95(int dof) {
    return Remembered(1, dof, [dof] {
        // Q(x) = Γ(ν/2, x/2)/Γ(ν/2); the upper tail 1/20.
        return NearestQuantile(boost::math::chi_squared_distribution<double>(dof), 20,
                               [dof](const TPrecise& p, const TFloat& x) {
                                   return p.UpperGamma(p.Of(p.Of(static_cast<long>(dof)) / 2), p.Of(x / 2));
                               });
    });
}

}  // namespace quorvel
