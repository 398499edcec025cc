#pragma once
// Exact power sums of a point table, the input of the exact least-squares solve.
//
// Every double is m·2^e with an integer mantissa m. With s the smallest X exponent and t the
// smallest Y exponent, U = X/2^s and V = Y/2^t are integers, so SU(m) = ΣU^m, WU(j) = ΣU^j·V and
// VV = ΣV² are integers too. They are accumulated in fixed-width column arrays sized once per table, so the
// loop over the points never allocates and never rounds.
#include <gmp.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "fitting/fit_types.h"
#include "fitting/work_options.h"
#include "runtime/work_steps.h"

namespace quorvel {

// A signed integer accumulator anchored at bit 0, with positive and negative parts kept apart. Each
// part is an array of 128-bit columns, column i counting in units of 2^(64·i): an addition adds one
// 64-bit piece to each column it covers and carries nothing, so the additions of one point do not
// wait for each other. A column takes 2^64 additions before it could overflow; the carries are
// settled once, when the sum is read.
class TLimbAccumulator {
public:
    __extension__ typedef unsigned __int128 Column;

    // Makes room for sums below 2^bits.
    void Reset(long bits);
    // Adds (or subtracts) the n-limb magnitude v shifted left by bitOffset.
    void Add(const std::uint64_t* v, int n, long bitOffset, bool negative);
    void AddSmall(std::uint64_t v, bool negative);
    // Adds another accumulator of the same width.
    void Absorb(const TLimbAccumulator& other);
    void ToMpz(mpz_t out) const;

private:
    // Adds n columns of another accumulator's layout, from column 0.
    void AddColumns(const Column* columns, int n, bool negative);
    Column* Columns(bool negative) { return (negative ? neg_ : pos_).data(); }

    std::vector<Column> pos_;
    std::vector<Column> neg_;
};

class TExactPowerSums {
public:
    // Accumulates SU(0..2·degree) and WU(0..degree), and VV when asked (only the uncertainties need
    // it, so the plain fit does not pay for it); degree is 1, 2 or 3. False (with the sums
    // unspecified) when a value is not finite. A large table is summed in two halves at once where the
    // work may take a second core; the first half tells steps how far it has come.
    bool Accumulate(const TPointTable& points, int degree, bool squares = false, const TWorkSteps& steps = {},
                    const TWorkOptions& work = {});

    int Degree() const { return degree_; }
    long XShift() const { return s_; }  // s: X = U·2^s
    long YShift() const { return t_; }  // t: Y = V·2^t
    // out := SU(m), 0 <= m <= 2·degree (out must be initialised).
    void SumU(int m, mpz_t out) const;
    // out := WU(j), 0 <= j <= degree.
    void SumUV(int j, mpz_t out) const;
    // out := VV; only after an accumulation with squares.
    void SumVV(mpz_t out) const;
    bool HasSquares() const { return squares_; }

private:
    template <int Degree, bool Squares>
    void AccumulatePoints(const TDataPoint* begin, const TDataPoint* end);
    template <int Degree, bool Squares>
    void AccumulateInParts(const TPointTable& points, const TWorkSteps& steps, const TWorkOptions& work);

    int degree_ = 0;
    bool squares_ = false;
    long s_ = 0;
    long t_ = 0;
    TLimbAccumulator su_[7];
    TLimbAccumulator wu_[4];
    TLimbAccumulator vv_;
};

// The integer mantissa and exponent of a double: value = ±mantissa·2^exponent with an odd
// mantissa (0 for ±0). Inline: a point on the curve asks for it twice.
struct TBinaryParts {
    std::uint64_t mantissa = 0;
    long exponent = 0;
    bool negative = false;
};
inline TBinaryParts SplitDouble(double value) {
    TBinaryParts parts;
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    parts.negative = (bits >> 63) != 0;
    const long field = static_cast<long>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    long exponent;
    if (field == 0) {
        exponent = -1074;
    } else {
        mantissa |= std::uint64_t{1} << 52;
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

}  // namespace quorvel
