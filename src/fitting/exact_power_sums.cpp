#include "fitting/exact_power_sums.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "fitting/two_parts.h"

namespace quorvel {

namespace {

using u64 = std::uint64_t;
using Column = TLimbAccumulator::Column;
__extension__ typedef unsigned __int128 u128;

// Columns for a sum below 2^bits, with room for the spill column of a shifted addition and for at
// least minColumns columns.
std::size_t ColumnsFor(long bits, int minColumns) {
    return static_cast<std::size_t>(std::max<long>((bits + 63) / 64, minColumns) + 2);
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

// out[0..N] := a[0..N-1]·b, with the limb counts fixed so that the loops unroll.
template <int N>
inline void MulFixed(const u64* a, u64 b, u64* out) {
    u64 carry = 0;
    for (int i = 0; i < N; ++i) {
        const u128 p = static_cast<u128>(a[i]) * b + carry;
        out[i] = static_cast<u64>(p);
        carry = static_cast<u64>(p >> 64);
    }
    out[N] = carry;
}

template <int N>
inline void AddColumns(Column* c, const u64* v) {
    for (int i = 0; i < N; ++i) {
        c[i] += v[i];
    }
}

// c += a + b, the two pieces summed before the column is touched.
template <int N>
inline void AddColumns2(Column* c, const u64* a, const u64* b) {
    for (int i = 0; i < N; ++i) {
        c[i] += static_cast<Column>(a[i]) + b[i];
    }
}

// c += v·2^bitOffset: one 64-bit piece into each column it covers.
inline void AddShifted(Column* c, const u64* v, int n, long bitOffset) {
    c += bitOffset >> 6;
    const unsigned r = static_cast<unsigned>(bitOffset & 63);
    if (r == 0) {
        for (int i = 0; i < n; ++i) {
            c[i] += v[i];
        }
        return;
    }
    u64 prev = 0;
    for (int i = 0; i < n; ++i) {
        c[i] += (v[i] << r) | (prev >> (64 - r));
        prev = v[i];
    }
    c[n] += prev >> (64 - r);
}

// The powers U^M .. U^Last, each of M limbs: pw[M] := pw[M - 1]·U.
template <int M, int Last>
inline void Powers(u64 (&pw)[7][8], u64 u) {
    if constexpr (M <= Last) {
        MulFixed<M - 1>(pw[M - 1], u, pw[M]);
        Powers<M + 1, Last>(pw, u);
    }
}

// V² of a one-limb V, as two limbs.
inline void Square(u64 v, u64 (&out)[2]) {
    const u128 p = static_cast<u128>(v) * v;
    out[0] = static_cast<u64>(p);
    out[1] = static_cast<u64>(p >> 64);
}

// The sums of the points whose U and V fit one limb each, in one block of columns at fixed places:
// SU(m), m = 1 .. 2·Degree, takes m columns, WU(j), j = 0 .. Degree, takes j + 1, and VV two, when
// kept; positive and negative parts apart. The places are constants, so the accumulation loop needs no
// pointers.
template <int Degree, bool Squares>
struct TWholeSums {
    static constexpr int kMaxPower = 2 * Degree;
    static constexpr int SuAt(int m) { return m * (m - 1) / 2; }
    static constexpr int WuAt(int j) { return SuAt(kMaxPower + 1) + j * (j + 1) / 2; }
    static constexpr int kVvAt = WuAt(Degree + 1);
    static constexpr int kColumns = kVvAt + (Squares ? 2 : 0);

    Column part[2][kColumns] = {};

    // SU(M) .. SU(Last) += U^M .. U^Last; odd powers take the sign of X.
    template <int M, int Last>
    void AddPowers(const u64 (&pw)[7][8], int xNegative) {
        if constexpr (M <= Last) {
            AddColumns<M>(part[(M & 1) != 0 ? xNegative : 0] + SuAt(M), pw[M]);
            AddPowers<M + 1, Last>(pw, xNegative);
        }
    }

    // WU(J) .. WU(Last) += U^J·V.
    template <int J, int Last>
    void AddProducts(const u64 (&pw)[7][8], u64 v, int yNegative, int xNegative) {
        if constexpr (J <= Last) {
            u64 prod[8];
            MulFixed<J>(pw[J], v, prod);
            AddColumns<J + 1>(part[yNegative ^ ((J & 1) != 0 ? xNegative : 0)] + WuAt(J), prod);
            AddProducts<J + 1, Last>(pw, v, yNegative, xNegative);
        }
    }

    template <int M, int Last>
    void AddPowers2(const u64 (&pa)[7][8], const u64 (&pb)[7][8], int xNegative) {
        if constexpr (M <= Last) {
            AddColumns2<M>(part[(M & 1) != 0 ? xNegative : 0] + SuAt(M), pa[M], pb[M]);
            AddPowers2<M + 1, Last>(pa, pb, xNegative);
        }
    }

    template <int J, int Last>
    void AddProducts2(const u64 (&pa)[7][8], u64 va, const u64 (&pb)[7][8], u64 vb, int yNegative,
                      int xNegative) {
        if constexpr (J <= Last) {
            u64 prodA[8];
            u64 prodB[8];
            MulFixed<J>(pa[J], va, prodA);
            MulFixed<J>(pb[J], vb, prodB);
            AddColumns2<J + 1>(part[yNegative ^ ((J & 1) != 0 ? xNegative : 0)] + WuAt(J), prodA, prodB);
            AddProducts2<J + 1, Last>(pa, va, pb, vb, yNegative, xNegative);
        }
    }

    // Two points of the same signs.
    void Add2(u64 ua, u64 va, u64 ub, u64 vb, int xNegative, int yNegative) {
        u64 pa[7][8];
        u64 pb[7][8];
        pa[1][0] = ua;
        pb[1][0] = ub;
        Powers<2, kMaxPower>(pa, ua);
        Powers<2, kMaxPower>(pb, ub);
        AddPowers2<1, kMaxPower>(pa, pb, xNegative);
        AddColumns2<1>(part[yNegative] + WuAt(0), &va, &vb);
        AddProducts2<1, Degree>(pa, va, pb, vb, yNegative, xNegative);
        if constexpr (Squares) {
            u64 sa[2];
            u64 sb[2];
            Square(va, sa);
            Square(vb, sb);
            AddColumns2<2>(part[0] + kVvAt, sa, sb);
        }
    }

    void Add(u64 u, u64 v, int xNegative, int yNegative) {
        u64 pw[7][8];
        pw[1][0] = u;
        Powers<2, kMaxPower>(pw, u);
        AddPowers<1, kMaxPower>(pw, xNegative);
        AddColumns<1>(part[yNegative] + WuAt(0), &v);
        AddProducts<1, Degree>(pw, v, yNegative, xNegative);
        if constexpr (Squares) {
            u64 sq[2];
            Square(v, sq);
            AddColumns<2>(part[0] + kVvAt, sq);
        }
    }
};

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
    const std::size_t columns = ColumnsFor(bits, 1);
    pos_.assign(columns, 0);
    neg_.assign(columns, 0);
}

void TLimbAccumulator::Add(const u64* v, int n, long bitOffset, bool negative) {
    AddShifted(Columns(negative), v, n, bitOffset);
}

void TLimbAccumulator::AddSmall(u64 v, bool negative) {
    Add(&v, 1, 0, negative);
}

void TLimbAccumulator::Absorb(const TLimbAccumulator& other) {
    AddColumns(other.pos_.data(), static_cast<int>(other.pos_.size()), false);
    AddColumns(other.neg_.data(), static_cast<int>(other.neg_.size()), true);
}

void TLimbAccumulator::AddColumns(const Column* columns, int n, bool negative) {
    Column* to = Columns(negative);
    for (int i = 0; i < n; ++i) {
        to[i] += columns[i];
    }
}

void TLimbAccumulator::ToMpz(mpz_t out) const {
    // Settles the carries: each column plus the carry from below is below 2^128 for fewer than 2^63
    // additions per column.
    const auto settle = [](const std::vector<Column>& columns, mpz_t z) {
        std::vector<u64> limbs(columns.size() + 2);
        Column carry = 0;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Column sum = columns[i] + carry;
            limbs[i] = static_cast<u64>(sum);
            carry = sum >> 64;
        }
        limbs[columns.size()] = static_cast<u64>(carry);
        limbs[columns.size() + 1] = static_cast<u64>(carry >> 64);
        mpz_import(z, limbs.size(), -1, sizeof(u64), 0, 0, limbs.data());
    };
    mpz_t negative;
    mpz_init(negative);
    settle(pos_, out);
    settle(neg_, negative);
    mpz_sub(out, out, negative);
    mpz_clear(negative);
}

bool TExactPowerSums::Accumulate(const TPointTable& points, int degree, bool squares) {
    degree_ = degree;
    squares_ = squares;
    const int maxPower = 2 * degree;

    // First pass: the exponent ranges, which fix s, t and the accumulator widths.
    struct TRanges {
        long sMin = LONG_MAX, sMax = LONG_MIN, tMin = LONG_MAX, tMax = LONG_MIN;
        bool finite = true;
    } ranges[2];
    InTwoParts(points.size(), [&points, &ranges](std::size_t from, std::size_t to, int part) {
        TRanges& r = ranges[part];
        for (std::size_t i = from; i < to; ++i) {
            const TBinaryParts x = SplitDouble(points[i].X);
            const TBinaryParts y = SplitDouble(points[i].Y);
            r.finite = r.finite && std::isfinite(points[i].X) && std::isfinite(points[i].Y);
            if (x.mantissa != 0) {
                r.sMin = std::min(r.sMin, x.exponent);
                r.sMax = std::max(r.sMax, x.exponent);
            }
            if (y.mantissa != 0) {
                r.tMin = std::min(r.tMin, y.exponent);
                r.tMax = std::max(r.tMax, y.exponent);
            }
        }
    });
    if (!ranges[0].finite || !ranges[1].finite) {
        return false;
    }
    long sMin = std::min(ranges[0].sMin, ranges[1].sMin), sMax = std::max(ranges[0].sMax, ranges[1].sMax);
    long tMin = std::min(ranges[0].tMin, ranges[1].tMin), tMax = std::max(ranges[0].tMax, ranges[1].tMax);
    if (sMin == LONG_MAX) {
        sMin = sMax = 0;
    }
    if (tMin == LONG_MAX) {
        tMin = tMax = 0;
    }
    s_ = sMin;
    t_ = tMin;
    // U < 2^(xSpan + 53) and V < 2^(ySpan + 53); a one-limb U's powers take one limb per power.
    const long xBits = sMax - sMin + 53;
    const long yBits = tMax - tMin + 53;
    for (int m = 0; m <= 6; ++m) {
        su_[m].Reset(m <= maxPower ? std::max(m * xBits, 64L * m) : 0);
    }
    for (int j = 0; j <= 3; ++j) {
        wu_[j].Reset(j <= degree ? std::max(j * xBits + yBits, 64L * (j + 1)) : 0);
    }
    vv_.Reset(squares ? std::max(2 * yBits, 128L) : 0);

    const auto accumulate = [this, &points](auto squaresTag) {
        constexpr bool kSquares = decltype(squaresTag)::value;
        switch (degree_) {
            case 1:
                AccumulateInParts<1, kSquares>(points);
                break;
            case 2:
                AccumulateInParts<2, kSquares>(points);
                break;
            default:
                AccumulateInParts<3, kSquares>(points);
                break;
        }
    };
    if (squares) {
        accumulate(std::true_type{});
    } else {
        accumulate(std::false_type{});
    }
    su_[0].AddSmall(points.size(), false);
    return true;
}

template <int Degree, bool Squares>
void TExactPowerSums::AccumulateInParts(const TPointTable& points) {
    // Integer sums do not depend on their order: the halves are summed apart and then added.
    TExactPowerSums second = *this;
    const int parts =
        InTwoParts(points.size(), [this, &second, &points](std::size_t from, std::size_t to, int part) {
            (part == 0 ? *this : second)
                .AccumulatePoints<Degree, Squares>(points.data() + from, points.data() + to);
        });
    if (parts == 2) {
        for (int m = 1; m <= 2 * Degree; ++m) {
            su_[m].Absorb(second.su_[m]);
        }
        for (int j = 0; j <= Degree; ++j) {
            wu_[j].Absorb(second.wu_[j]);
        }
        if constexpr (Squares) {
            vv_.Absorb(second.vv_);
        }
    }
}

template <int Degree, bool Squares>
void TExactPowerSums::AccumulatePoints(const TDataPoint* begin, const TDataPoint* end) {
    constexpr int kMaxPower = 2 * Degree;
    using Whole = TWholeSums<Degree, Squares>;
    Whole whole;
    Column* su[7][2];
    Column* wu[4][2];
    for (int m = 0; m <= 6; ++m) {
        su[m][0] = su_[m].Columns(false);
        su[m][1] = su_[m].Columns(true);
    }
    for (int j = 0; j <= 3; ++j) {
        wu[j][0] = wu_[j].Columns(false);
        wu[j][1] = wu_[j].Columns(true);
    }
    u64 pw[7][8];  // mx^m, at most 384 bits
    int pn[7];
    u64 prod[8];
    // A whole point waiting for a second one of the same signs.
    bool pending = false;
    u64 pendingU = 0, pendingV = 0;
    int pendingX = 0, pendingY = 0;
    for (const TDataPoint* point = begin; point != end; ++point) {
        const TDataPoint& p = *point;
        TBinaryParts x = SplitDouble(p.X);
        TBinaryParts y = SplitDouble(p.Y);
        long dx = x.mantissa != 0 ? x.exponent - s_ : 0;
        long dy = y.mantissa != 0 ? y.exponent - t_ : 0;
        // Where U (or V) fits one limb, it is used whole: its powers then need no shifting, which is
        // the usual case for readings of similar magnitude.
        if (dx != 0 && dx <= std::countl_zero(x.mantissa)) {
            x.mantissa <<= dx;
            dx = 0;
        }
        if (dy != 0 && dy <= std::countl_zero(y.mantissa)) {
            y.mantissa <<= dy;
            dy = 0;
        }
        const int xOdd = x.negative ? 1 : 0;
        const int yNeg = y.negative ? 1 : 0;
        if (dx == 0 && dy == 0) [[likely]] {
            if (!pending) {
                pending = true;
                pendingU = x.mantissa;
                pendingV = y.mantissa;
                pendingX = xOdd;
                pendingY = yNeg;
            } else if (pendingX == xOdd && pendingY == yNeg) {
                whole.Add2(pendingU, pendingV, x.mantissa, y.mantissa, xOdd, yNeg);
                pending = false;
            } else {
                whole.Add(pendingU, pendingV, pendingX, pendingY);
                pendingU = x.mantissa;
                pendingV = y.mantissa;
                pendingX = xOdd;
                pendingY = yNeg;
            }
            continue;
        }
        // U = mx·2^dx, V = my·2^dy: U^m = mx^m·2^(m·dx), U^j·V = mx^j·my·2^(j·dx + dy).
        if (x.mantissa != 0) {
            pw[1][0] = x.mantissa;
            pn[1] = 1;
            AddShifted(su[1][xOdd], pw[1], 1, dx);
            for (int m = 2; m <= kMaxPower; ++m) {
                pn[m] = MulLimb(pw[m - 1], pn[m - 1], x.mantissa, pw[m]);
                AddShifted(su[m][(m & 1) != 0 ? xOdd : 0], pw[m], pn[m], m * dx);
            }
        }
        if (y.mantissa != 0) {
            AddShifted(wu[0][yNeg], &y.mantissa, 1, dy);
            if constexpr (Squares) {
                u64 sq[2];
                Square(y.mantissa, sq);
                vv_.Add(sq, 2, 2 * dy, false);
            }
            if (x.mantissa != 0) {
                for (int j = 1; j <= Degree; ++j) {
                    const int n = MulLimb(pw[j], pn[j], y.mantissa, prod);
                    AddShifted(wu[j][yNeg ^ ((j & 1) != 0 ? xOdd : 0)], prod, n, j * dx + dy);
                }
            }
        }
    }
    if (pending) {
        whole.Add(pendingU, pendingV, pendingX, pendingY);
    }
    for (int sign = 0; sign < 2; ++sign) {
        for (int m = 1; m <= kMaxPower; ++m) {
            su_[m].AddColumns(whole.part[sign] + Whole::SuAt(m), m, sign != 0);
        }
        for (int j = 0; j <= Degree; ++j) {
            wu_[j].AddColumns(whole.part[sign] + Whole::WuAt(j), j + 1, sign != 0);
        }
    }
    if constexpr (Squares) {
        vv_.AddColumns(whole.part[0] + Whole::kVvAt, 2, false);
    }
}

void TExactPowerSums::SumU(int m, mpz_t out) const {
    su_[m].ToMpz(out);
}

void TExactPowerSums::SumUV(int j, mpz_t out) const {
    wu_[j].ToMpz(out);
}

void TExactPowerSums::SumVV(mpz_t out) const {
    vv_.ToMpz(out);
}

}  // namespace quorvel
