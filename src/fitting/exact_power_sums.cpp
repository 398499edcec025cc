#include "fitting/exact_power_sums.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

namespace quorvel {

namespace {

using u64 = std::uint64_t;
__extension__ typedef unsigned __int128 u128;

// Limbs for a sum below 2^bits plus 64 bits of headroom for the count of terms and one spare limb
// that the shifted addition may touch.
std::size_t LimbsFor(long bits) {
    return static_cast<std::size_t>((bits + 64 + 63) / 64 + 2);
}

// out[0..n] := a[0..n-1]·b; returns the limb count without a leading zero limb.
inline int MulLimb(const u64* a, int n, u64 b, u64* out) {
    u64 carry = 0;
    for (int i = 0; i < n; ++i) {
        u128 p = static_cast<u128>(a[i]) * b + carry;
        out[i] = static_cast<u64>(p);
        carry = static_cast<u64>(p >> 64);
    }
    out[n] = carry;
    return carry != 0 ? n + 1 : n;
}

// a += v·2^bitOffset; the caller's headroom guarantees the carry stops inside a.
__attribute__((always_inline)) inline void AddShifted(u64* a, const u64* v, int n, long bitOffset) {
    a += bitOffset >> 6;
    const unsigned r = static_cast<unsigned>(bitOffset & 63);
    u64 carry = 0;
    if (r == 0) {
        for (int i = 0; i < n; ++i) {
            const u128 sum = static_cast<u128>(a[i]) + v[i] + carry;
            a[i] = static_cast<u64>(sum);
            carry = static_cast<u64>(sum >> 64);
        }
    } else {
        u64 prev = 0;
        for (int i = 0; i < n; ++i) {
            const u64 limb = (v[i] << r) | (prev >> (64 - r));
            prev = v[i];
            const u128 sum = static_cast<u128>(a[i]) + limb + carry;
            a[i] = static_cast<u64>(sum);
            carry = static_cast<u64>(sum >> 64);
        }
        const u128 sum = static_cast<u128>(a[n]) + (prev >> (64 - r)) + carry;
        a[n] = static_cast<u64>(sum);
        carry = static_cast<u64>(sum >> 64);
        ++a;
    }
    a += n;
    while (carry != 0) {
        carry = ++*a == 0 ? 1 : 0;
        ++a;
    }
}

}  // namespace

TBinaryParts SplitDouble(double value) {
    TBinaryParts parts;
    const u64 bits = std::bit_cast<u64>(value);
    parts.negative = (bits >> 63) != 0;
    const long field = static_cast<long>((bits >> 52) & 0x7FF);
    u64 mantissa = bits & ((u64{1} << 52) - 1);
    long exponent;
    if (field == 0) {
        exponent = -1074;
    } else {
        mantissa |= u64{1} << 52;
        exponent = field - 1075;
    }
    if (mantissa == 0) {
        parts.negative = false;
        return parts;
    }
    const int zeros = std::countr_zero(mantissa);
    parts.mantissa = mantissa >> zeros;
    parts.exponent = exponent + zeros;
    return parts;
}

void TLimbAccumulator::Reset(long bits) {
    const std::size_t limbs = LimbsFor(bits);
    pos_.assign(limbs, 0);
    neg_.assign(limbs, 0);
}

void TLimbAccumulator::Add(const u64* v, int n, long bitOffset, bool negative) {
    AddShifted((negative ? neg_ : pos_).data(), v, n, bitOffset);
}

void TLimbAccumulator::AddSmall(u64 v, bool negative) {
    Add(&v, 1, 0, negative);
}

void TLimbAccumulator::ToMpz(mpz_t out) const {
    mpz_t negative;
    mpz_init(negative);
    mpz_import(out, pos_.size(), -1, sizeof(u64), 0, 0, pos_.data());
    mpz_import(negative, neg_.size(), -1, sizeof(u64), 0, 0, neg_.data());
    mpz_sub(out, out, negative);
    mpz_clear(negative);
}

void TExactPowerSums::Accumulate(const TPointTable& points, int degree) {
    degree_ = degree;
    const int maxPower = 2 * degree;

    // First pass: the exponent ranges, which fix s, t and the accumulator widths.
    long sMin = LONG_MAX, sMax = LONG_MIN, tMin = LONG_MAX, tMax = LONG_MIN;
    for (const TDataPoint& p : points) {
        const TBinaryParts x = SplitDouble(p.X);
        const TBinaryParts y = SplitDouble(p.Y);
        if (x.mantissa != 0) {
            sMin = std::min(sMin, x.exponent);
            sMax = std::max(sMax, x.exponent);
        }
        if (y.mantissa != 0) {
            tMin = std::min(tMin, y.exponent);
            tMax = std::max(tMax, y.exponent);
        }
    }
    if (sMin == LONG_MAX) {
        sMin = sMax = 0;
    }
    if (tMin == LONG_MAX) {
        tMin = tMax = 0;
    }
    s_ = sMin;
    t_ = tMin;
    const long xSpan = sMax - sMin;
    const long ySpan = tMax - tMin;
    for (int m = 0; m <= 6; ++m) {
        su_[m].Reset(m <= maxPower ? m * (xSpan + 53) : 0);
    }
    for (int j = 0; j <= 3; ++j) {
        wu_[j].Reset(j <= degree ? j * (xSpan + 53) + ySpan + 53 : 0);
    }

    // Second pass: U^m = mx^m·2^(m·(ex−s)), U^j·V = mx^j·my·2^(j·(ex−s) + ey−t).
    u64* su[7][2];
    u64* wu[4][2];
    for (int m = 0; m <= 6; ++m) {
        su[m][0] = su_[m].Limbs(false);
        su[m][1] = su_[m].Limbs(true);
    }
    for (int j = 0; j <= 3; ++j) {
        wu[j][0] = wu_[j].Limbs(false);
        wu[j][1] = wu_[j].Limbs(true);
    }
    u64 count = 0;
    u64 pw[7][6];  // mx^m, at most 318 bits
    int pn[7];
    u64 prod[7];  // mx^j·my, at most 212 bits
    for (const TDataPoint& p : points) {
        ++count;
        TBinaryParts x = SplitDouble(p.X);
        TBinaryParts y = SplitDouble(p.Y);
        long dx = x.exponent - s_;
        long dy = y.exponent - t_;
        // Where U (or V) fits one limb, it is used whole: its powers then need no shifting, which is
        // the usual case for readings of similar magnitude.
        if (x.mantissa != 0 && dx <= std::countl_zero(x.mantissa)) {
            x.mantissa <<= dx;
            dx = 0;
        }
        if (y.mantissa != 0 && dy <= std::countl_zero(y.mantissa)) {
            y.mantissa <<= dy;
            dy = 0;
        }
        const int xOdd = x.negative ? 1 : 0;
        if (x.mantissa != 0) {
            pw[1][0] = x.mantissa;
            pn[1] = 1;
            AddShifted(su[1][xOdd], pw[1], 1, dx);
            for (int m = 2; m <= maxPower; ++m) {
                pn[m] = MulLimb(pw[m - 1], pn[m - 1], x.mantissa, pw[m]);
                AddShifted(su[m][(m & 1) != 0 ? xOdd : 0], pw[m], pn[m], m * dx);
            }
        }
        if (y.mantissa != 0) {
            const int yNeg = y.negative ? 1 : 0;
            AddShifted(wu[0][yNeg], &y.mantissa, 1, dy);
            if (x.mantissa != 0) {
                for (int j = 1; j <= degree; ++j) {
                    const int n = MulLimb(pw[j], pn[j], y.mantissa, prod);
                    AddShifted(wu[j][yNeg ^ ((j & 1) != 0 ? xOdd : 0)], prod, n, j * dx + dy);
                }
            }
        }
    }
    su_[0].AddSmall(count, false);
}

void TExactPowerSums::SumU(int m, mpz_t out) const {
    su_[m].ToMpz(out);
}

void TExactPowerSums::SumUV(int j, mpz_t out) const {
    wu_[j].ToMpz(out);
}

}  // namespace quorvel
