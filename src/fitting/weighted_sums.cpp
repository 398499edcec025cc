#include "fitting/weighted_sums.h"

#include <gmp.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fitting/exact_power_sums.h"

namespace quorvel {

namespace {

// The points of one u(Y) value, whose weights are all alike: the caller's own where every point has
// that value, else a copy of theirs.
struct TWeightClass {
    double u = 0;
    const TPointTable* points = nullptr;
    TPointTable own;
};

using u64 = std::uint64_t;
__extension__ typedef unsigned __int128 u128;

mpz_class FromLimb(u64 v) {
    mpz_class out;
    mpz_import(out.get_mpz_t(), 1, 1, sizeof(v), 0, 0, &v);
    return out;
}

mpz_class ShiftedUp(const mpz_class& v, long bits) {
    mpz_class out;
    mpz_mul_2exp(out.get_mpz_t(), v.get_mpz_t(), static_cast<mp_bitcnt_t>(bits));
    return out;
}

// The points by their u(Y), in the order the values first come; nothing when there are more than `limit`
// values. Where all are alike (the usual certificate's one value, or none given), the one class is the
// points themselves.
std::optional<std::vector<TWeightClass>> WeightClasses(const TPointTable& points,
                                                       const std::vector<double>* uy, int limit) {
    std::vector<TWeightClass> classes;
    if (uy == nullptr || std::all_of(uy->begin(), uy->end(), [&uy](double u) { return u == uy->front(); })) {
        classes.push_back({uy == nullptr || uy->empty() ? 1.0 : uy->front(), &points, {}});
        return classes;
    }
    // Counted first, so that each class's room is taken once.
    std::unordered_map<u64, std::size_t> index;
    std::vector<std::size_t> counts;
    std::vector<std::size_t> member(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto [at, added] = index.try_emplace(std::bit_cast<u64>((*uy)[i]), classes.size());
        if (added) {
            if (classes.size() == static_cast<std::size_t>(limit)) {
                return std::nullopt;
            }
            classes.push_back({(*uy)[i], nullptr, {}});
            counts.push_back(0);
        }
        member[i] = at->second;
        ++counts[at->second];
    }
    for (std::size_t c = 0; c < classes.size(); ++c) {
        classes[c].own.reserve(counts[c]);
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        classes[member[i]].own.push_back(points[i]);
    }
    for (TWeightClass& c : classes) {
        c.points = &c.own;
    }
    return classes;
}

// Each class's exact power sums, brought to common shifts and a common denominator: with u = μ·2^g (μ
// odd), w = 2^(−2g)/μ², so ω = L/μ²·2^(2(G − g)) and Ω = L·2^(2G), L the least common multiple of the
// μ², G the largest g.
TWeightedSystem ExactSystem(const std::vector<TWeightClass>& classes, int degree, const TWorkOptions& work) {
    std::vector<TExactPowerSums> sums(classes.size());
    long s = LONG_MAX;
    long t = LONG_MAX;
    long top = LONG_MIN;
    mpz_class common = 1;
    for (std::size_t c = 0; c < classes.size(); ++c) {
        sums[c].Accumulate(*classes[c].points, degree, true, {}, work);
        s = std::min(s, sums[c].XShift());
        t = std::min(t, sums[c].YShift());
        const TBinaryParts u = SplitDouble(classes[c].u);
        top = std::max(top, u.exponent);
        const mpz_class mu = FromLimb(u.mantissa);
        const mpz_class square = mu * mu;
        mpz_lcm(common.get_mpz_t(), common.get_mpz_t(), square.get_mpz_t());
    }
    const auto size = static_cast<std::size_t>(degree) + 1;
    std::vector<mpz_class> su(2 * size - 1);
    std::vector<mpz_class> wu(size);
    mpz_class vv = 0;
    for (std::size_t c = 0; c < classes.size(); ++c) {
        const TBinaryParts u = SplitDouble(classes[c].u);
        const mpz_class mu = FromLimb(u.mantissa);
        mpz_class weight = common / (mu * mu);
        weight = ShiftedUp(weight, 2 * (top - u.exponent));
        const long dx = sums[c].XShift() - s;
        const long dy = sums[c].YShift() - t;
        mpz_class v;
        for (std::size_t m = 0; m < su.size(); ++m) {
            sums[c].SumU(static_cast<int>(m), v.get_mpz_t());
            su[m] += weight * ShiftedUp(v, static_cast<long>(m) * dx);
        }
        for (std::size_t j = 0; j < size; ++j) {
            sums[c].SumUV(static_cast<int>(j), v.get_mpz_t());
            wu[j] += weight * ShiftedUp(v, static_cast<long>(j) * dx + dy);
        }
        sums[c].SumVV(v.get_mpz_t());
        vv += weight * ShiftedUp(v, 2 * dy);
    }
    return {TNormalSystem(degree, s, t, std::move(su), std::move(wu), std::move(vv), {common, 2 * top}), 0};
}

// The weight ω = ⌊2^q/μ²⌋ of an odd μ below 2^53, as limbs (q at most 64·8 − 1).
int RoundedWeight(u64 mu, long q, mp_limb_t (&out)[9]) {
    mp_limb_t square[2];
    const auto product = static_cast<u128>(mu) * mu;
    square[0] = static_cast<mp_limb_t>(product);
    square[1] = static_cast<mp_limb_t>(product >> 64);
    const mp_size_t dn = square[1] != 0 ? 2 : 1;
    mp_limb_t numerator[9] = {};
    const mp_size_t nn = q / 64 + 1;
    numerator[q / 64] = mp_limb_t{1} << (q % 64);
    mp_limb_t remainder[2];
    mpn_tdiv_qr(out, remainder, 0, numerator, nn, square, dn);
    int n = static_cast<int>(nn - dn + 1);
    while (n > 0 && out[n - 1] == 0) {
        --n;
    }
    return n;
}

// The sums with every weight rounded down to `bits` bits: ω = ⌊2^q/μ²⌋·2^(2(G − g)) with q = bits + 106,
// so that ω/Ω, Ω = 2^(q + 2G), errs by less than 2^-bits of w.
TWeightedSystem RoundedSystem(const TPointTable& points, const std::vector<double>& uy, int degree, int bits,
                              const TWorkSteps& steps) {
    long sMin = LONG_MAX, sMax = LONG_MIN, tMin = LONG_MAX, tMax = LONG_MIN, gMin = LONG_MAX, gMax = LONG_MIN;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TBinaryParts x = SplitDouble(points[i].X);
        const TBinaryParts y = SplitDouble(points[i].Y);
        const TBinaryParts u = SplitDouble(uy[i]);
        if (x.mantissa != 0) {
            sMin = std::min(sMin, x.exponent);
            sMax = std::max(sMax, x.exponent);
        }
        if (y.mantissa != 0) {
            tMin = std::min(tMin, y.exponent);
            tMax = std::max(tMax, y.exponent);
        }
        gMin = std::min(gMin, u.exponent);
        gMax = std::max(gMax, u.exponent);
    }
    if (sMin == LONG_MAX) {
        sMin = sMax = 0;
    }
    if (tMin == LONG_MAX) {
        tMin = tMax = 0;
    }
    const long q = bits + 106;
    const long xBits = sMax - sMin + 53;
    const long yBits = tMax - tMin + 53;
    const long wBits = q + 2 * (gMax - gMin) + 1;
    const int maxPower = 2 * degree;
    TLimbAccumulator su[7];
    TLimbAccumulator wu[4];
    TLimbAccumulator vv;
    for (int m = 0; m <= maxPower; ++m) {
        su[m].Reset(m * xBits + wBits + 192);
    }
    for (int j = 0; j <= degree; ++j) {
        wu[j].Reset(j * xBits + yBits + wBits + 192);
    }
    vv.Reset(2 * yBits + wBits + 192);

    mp_limb_t weight[9];
    mp_limb_t power[7][8];  // U^m, m + 1 limbs at most
    mp_size_t powerSize[7];
    mp_limb_t product[24];
    const auto add = [&product, &weight](TLimbAccumulator& sum, const mp_limb_t* v, mp_size_t n, int wn,
                                         long offset, bool negative) {
        if (n >= wn) {
            mpn_mul(product, v, n, weight, wn);
        } else {
            mpn_mul(product, weight, wn, v, n);
        }
        sum.Add(product, static_cast<int>(n + wn), offset, negative);
    };
    // A point's big-number sums cost some ten times a plain sum's: steps that much more often.
    constexpr std::size_t kPointsPerStep = kItemsPerStep / 8;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (steps && i % kPointsPerStep == kPointsPerStep - 1) {
            steps(static_cast<double>(i) / static_cast<double>(points.size()));
        }
        const TBinaryParts x = SplitDouble(points[i].X);
        const TBinaryParts y = SplitDouble(points[i].Y);
        const TBinaryParts u = SplitDouble(uy[i]);
        const int wn = RoundedWeight(u.mantissa, q, weight);
        const long shift = 2 * (gMax - u.exponent);
        const long dx = x.exponent - sMin;
        const long dy = y.exponent - tMin;
        power[0][0] = 1;
        powerSize[0] = 1;
        const int powers = x.mantissa != 0 ? maxPower : 0;
        for (int m = 1; m <= powers; ++m) {
            const mp_limb_t carry = mpn_mul_1(power[m], power[m - 1], powerSize[m - 1], x.mantissa);
            powerSize[m] = powerSize[m - 1];
            if (carry != 0) {
                power[m][powerSize[m]++] = carry;
            }
        }
        for (int m = 0; m <= powers; ++m) {
            add(su[m], power[m], powerSize[m], wn, m * dx + shift, (m & 1) != 0 && x.negative);
        }
        if (y.mantissa == 0) {
            continue;
        }
        mp_limb_t withY[9];
        for (int j = 0; j <= std::min(degree, powers); ++j) {
            const mp_limb_t carry = mpn_mul_1(withY, power[j], powerSize[j], y.mantissa);
            mp_size_t n = powerSize[j];
            if (carry != 0) {
                withY[n++] = carry;
            }
            add(wu[j], withY, n, wn, j * dx + dy + shift, y.negative != ((j & 1) != 0 && x.negative));
        }
        const auto square = static_cast<u128>(y.mantissa) * y.mantissa;
        const mp_limb_t sq[2] = {static_cast<mp_limb_t>(square), static_cast<mp_limb_t>(square >> 64)};
        add(vv, sq, sq[1] != 0 ? 2 : 1, wn, 2 * dy + shift, false);
    }
    const auto size = static_cast<std::size_t>(degree) + 1;
    std::vector<mpz_class> suz(2 * size - 1);
    std::vector<mpz_class> wuz(size);
    mpz_class vvz;
    for (std::size_t m = 0; m < suz.size(); ++m) {
        su[m].ToMpz(suz[m].get_mpz_t());
    }
    for (std::size_t j = 0; j < size; ++j) {
        wu[j].ToMpz(wuz[j].get_mpz_t());
    }
    vv.ToMpz(vvz.get_mpz_t());
    return {
        TNormalSystem(degree, sMin, tMin, std::move(suz), std::move(wuz), std::move(vvz), {1, q + 2 * gMax}),
        std::ldexp(1.0, -bits)};
}

}  // namespace

TWeightedSystem WeightedSystem(const TPointTable& points, const std::vector<double>* uy, int degree, int bits,
                               const TWorkOptions& work, const TWorkSteps& steps) {
    if (std::optional<std::vector<TWeightClass>> classes = WeightClasses(points, uy, kExactWeightClasses)) {
        return ExactSystem(*classes, degree, work);
    }
    return RoundedSystem(points, *uy, degree, std::clamp(bits, 64, kMostWeightBits), steps);
}

}  // namespace quorvel
