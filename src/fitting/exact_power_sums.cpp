#include "fitting/exact_power_sums.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
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

// Settles the carries of n columns into n + 2 limbs; returns the count without leading zero limbs.
int SettleColumns(const Column* columns, int n, u64* limbs) {
    Column carry = 0;
    for (int i = 0; i < n; ++i) {
        const Column sum = columns[i] + carry;
        limbs[i] = static_cast<u64>(sum);
        carry = sum >> 64;
    }
    limbs[n] = static_cast<u64>(carry);
    limbs[n + 1] = static_cast<u64>(carry >> 64);
    int used = n + 2;
    while (used > 0 && limbs[used - 1] == 0) {
        --used;
    }
    return used;
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

// The sums of points whose U = u·2^dx and V = v·2^dy share dx and dy, with u and v of one limb each, taken
// without the powers of two: SU(m), m = 1 .. 2·Degree, takes m columns, WU(j), j = 0 .. Degree, takes
// j + 1, and VV two, when kept; positive and negative parts apart. The places are constants, so the
// accumulation loop needs no pointers, and the shifts are applied once, when the block is emptied.
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
    // Each column plus the carry from below is below 2^128 for fewer than 2^63 additions per column.
    const auto settle = [](const std::vector<Column>& columns, mpz_t z) {
        std::vector<u64> limbs(columns.size() + 2);
        const int n = SettleColumns(columns.data(), static_cast<int>(columns.size()), limbs.data());
        mpz_import(z, static_cast<std::size_t>(n), -1, sizeof(u64), 0, 0, limbs.data());
    };
    mpz_t negative;
    mpz_init(negative);
    settle(pos_, out);
    settle(neg_, negative);
    mpz_sub(out, out, negative);
    mpz_clear(negative);
}

bool TExactPowerSums::Accumulate(const TPointTable& points, int degree, bool squares, const TWorkSteps& steps,
                                 const TWorkOptions& work) {
    // The first pass costs a fifth of the second.
    const TWorkSteps rangeSteps = PartOfSteps(steps, 0, 0.2);
    const TWorkSteps sumSteps = PartOfSteps(steps, 0.2, 1);
    degree_ = degree;
    squares_ = squares;
    const int maxPower = 2 * degree;

    // First pass: the exponent ranges, which fix s, t and the accumulator widths.
    struct TRanges {
        long sMin = LONG_MAX, sMax = LONG_MIN, tMin = LONG_MAX, tMax = LONG_MIN;
        bool finite = true;
    } ranges[2];
    InTwoPartsInSteps(work, points.size(), rangeSteps,
                      [&points, &ranges](std::size_t from, std::size_t to, int part) {
                          // Kept here, not in ranges, so that the loop holds them in registers.
                          TRanges r = ranges[part];
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
                          ranges[part] = r;
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
    // U < 2^(xSpan + 53) and V < 2^(ySpan + 53); a one-limb U's powers take one limb per power. A block's
    // sums come in with up to two limbs of carries above them: room for those too.
    const long xBits = sMax - sMin + 53;
    const long yBits = tMax - tMin + 53;
    for (int m = 0; m <= 6; ++m) {
        su_[m].Reset(m <= maxPower ? std::max(m * xBits, 64L * m) + 128 : 0);
    }
    for (int j = 0; j <= 3; ++j) {
        wu_[j].Reset(j <= degree ? std::max(j * xBits + yBits, 64L * (j + 1)) + 128 : 0);
    }
    vv_.Reset(squares ? std::max(2 * yBits, 128L) + 128 : 0);

    const auto accumulate = [this, &points, &sumSteps, &work](auto squaresTag) {
        constexpr bool kSquares = decltype(squaresTag)::value;
        switch (degree_) {
            case 1:
                AccumulateInParts<1, kSquares>(points, sumSteps, work);
                break;
            case 2:
                AccumulateInParts<2, kSquares>(points, sumSteps, work);
                break;
            default:
                AccumulateInParts<3, kSquares>(points, sumSteps, work);
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
void TExactPowerSums::AccumulateInParts(const TPointTable& points, const TWorkSteps& steps,
                                        const TWorkOptions& work) {
    // Integer sums do not depend on their order: the halves are summed apart and then added, and a half
    // may be summed in pieces.
    TExactPowerSums second = *this;
    const int parts = InTwoPartsInSteps(
        work, points.size(), steps, [this, &second, &points](std::size_t from, std::size_t to, int part) {
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
    using Block = TWholeSums<Degree, Squares>;
    // Readings of one binade of X and one of Y share their shifts, and most tables have their points in
    // a few such pairs: each pair gets a block, at a slot picked by the low bits of the shifts. A point
    // whose slot holds another pair empties that block into the sums first.
    constexpr int kSlotBits = 3;
    constexpr long kSlotMask = (1 << kSlotBits) - 1;
    struct TSlot {
        long dx = -1;
        long dy = -1;
        Block block;
    };
    const std::unique_ptr<TSlot[]> slots(new TSlot[1 << (2 * kSlotBits)]);
    const auto empty = [this](TSlot& slot) {
        u64 limbs[Block::kColumns + 2];
        for (int sign = 0; sign < 2; ++sign) {
            const Column* part = slot.block.part[sign];
            for (int m = 1; m <= kMaxPower; ++m) {
                const int n = SettleColumns(part + Block::SuAt(m), m, limbs);
                su_[m].Add(limbs, n, m * slot.dx, sign != 0);
            }
            for (int j = 0; j <= Degree; ++j) {
                const int n = SettleColumns(part + Block::WuAt(j), j + 1, limbs);
                wu_[j].Add(limbs, n, j * slot.dx + slot.dy, sign != 0);
            }
        }
        if constexpr (Squares) {
            const int n = SettleColumns(slot.block.part[0] + Block::kVvAt, 2, limbs);
            vv_.Add(limbs, n, 2 * slot.dy, false);
        }
        slot.block = Block{};
    };
    for (const TDataPoint* point = begin; point != end; ++point) {
        TBinaryParts x = SplitDouble(point->X);
        TBinaryParts y = SplitDouble(point->Y);
        long dx = x.mantissa != 0 ? x.exponent - s_ : 0;
        long dy = y.mantissa != 0 ? y.exponent - t_ : 0;
        // The mantissas shifted up as far as one limb allows: what remains of the shift then depends
        // only on the binade.
        const int zx = static_cast<int>(std::min<long>(dx, std::countl_zero(x.mantissa)));
        const int zy = static_cast<int>(std::min<long>(dy, std::countl_zero(y.mantissa)));
        x.mantissa <<= zx;
        y.mantissa <<= zy;
        dx -= zx;
        dy -= zy;
        TSlot& slot = slots[static_cast<std::size_t>(((dx & kSlotMask) << kSlotBits) | (dy & kSlotMask))];
        if (slot.dx != dx || slot.dy != dy) [[unlikely]] {
            if (slot.dx >= 0) {
                empty(slot);
            }
            slot.dx = dx;
            slot.dy = dy;
        }
        slot.block.Add(x.mantissa, y.mantissa, x.negative ? 1 : 0, y.negative ? 1 : 0);
    }
    for (int i = 0; i < 1 << (2 * kSlotBits); ++i) {
        if (slots[static_cast<std::size_t>(i)].dx >= 0) {
            empty(slots[static_cast<std::size_t>(i)]);
        }
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
