#include "fitting/exact_solver.h"
#include "fitting/work_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

#include "exact_reference.h"
#include "fitting/exact_power_sums.h"

namespace quorvel {
namespace {

using testing::Exact;
using testing::ExactLeastSquares;
using testing::IsNearestDouble;
using testing::IsNearestSqrt;

TEST(SplitDouble, GivesOddMantissaAndExponent) {
    const TBinaryParts twelve = SplitDouble(12.0);
    EXPECT_EQ(twelve.mantissa, 3u);
    EXPECT_EQ(twelve.exponent, 2);
    EXPECT_FALSE(twelve.negative);
    const TBinaryParts half = SplitDouble(-0.5);
    EXPECT_EQ(half.mantissa, 1u);
    EXPECT_EQ(half.exponent, -1);
    EXPECT_TRUE(half.negative);
    const TBinaryParts tiny = SplitDouble(std::nextafter(0.0, 1.0));
    EXPECT_EQ(tiny.mantissa, 1u);
    EXPECT_EQ(tiny.exponent, -1074);
    EXPECT_EQ(SplitDouble(-0.0).mantissa, 0u);
    EXPECT_FALSE(SplitDouble(-0.0).negative);
}

mpq_class TimesPowerOfTwo(mpq_class q, long exp2) {
    if (exp2 >= 0) {
        mpq_mul_2exp(q.get_mpq_t(), q.get_mpq_t(), static_cast<mp_bitcnt_t>(exp2));
    } else {
        mpq_div_2exp(q.get_mpq_t(), q.get_mpq_t(), static_cast<mp_bitcnt_t>(-exp2));
    }
    return q;
}

// The fast accumulator against sums formed in rational arithmetic.
void ExpectSumsExact(const TPointTable& points, int degree, bool squares, const TWorkSteps& steps = {},
                     const TWorkOptions& work = {}) {
    TExactPowerSums sums;
    sums.Accumulate(points, degree, squares, steps, work);
    const long s = sums.XShift(), t = sums.YShift();
    mpz_class actual;
    for (int m = 0; m <= 2 * degree; ++m) {
        mpq_class expected = 0;
        for (const TDataPoint& p : points) {
            const mpq_class u = TimesPowerOfTwo(Exact(p.X), -s);
            mpq_class power = 1;
            for (int k = 0; k < m; ++k) {
                power *= u;
            }
            expected += power;
        }
        sums.SumU(m, actual.get_mpz_t());
        ASSERT_EQ(expected.get_den(), 1) << "U is not an integer, m = " << m;
        ASSERT_TRUE(mpz_class(expected.get_num()) == actual) << "SU(" << m << ")";
    }
    for (int j = 0; j <= degree; ++j) {
        mpq_class expected = 0;
        for (const TDataPoint& p : points) {
            const mpq_class u = TimesPowerOfTwo(Exact(p.X), -s), v = TimesPowerOfTwo(Exact(p.Y), -t);
            mpq_class power = 1;
            for (int k = 0; k < j; ++k) {
                power *= u;
            }
            expected += power * v;
        }
        sums.SumUV(j, actual.get_mpz_t());
        ASSERT_EQ(expected.get_den(), 1) << "V is not an integer, j = " << j;
        ASSERT_TRUE(mpz_class(expected.get_num()) == actual) << "WU(" << j << ")";
    }
    if (squares) {
        mpq_class expected = 0;
        for (const TDataPoint& p : points) {
            const mpq_class v = TimesPowerOfTwo(Exact(p.Y), -t);
            expected += v * v;
        }
        sums.SumVV(actual.get_mpz_t());
        ASSERT_TRUE(mpz_class(expected.get_num()) == actual) << "VV";
    }
}

// The same with and without the squares.
void ExpectSumsExact(const TPointTable& points, int degree, const TWorkOptions& work = {}) {
    for (const bool squares : {false, true}) {
        SCOPED_TRACE(squares ? "with squares" : "without squares");
        ExpectSumsExact(points, degree, squares, {}, work);
    }
}

double RandomDouble(std::mt19937_64& rng, int minExp, int maxExp) {
    std::uniform_int_distribution<int> exps(minExp, maxExp);
    std::uniform_real_distribution<double> unit(0.5, 1.0);
    double v = std::ldexp(unit(rng), exps(rng));
    if (rng() % 2 == 0) {
        v = -v;
    }
    if (rng() % 17 == 0) {
        v = 0;
    }
    return v;
}

TEST(ExactPowerSums, MatchRationalSumsOnRandomData) {
    std::mt19937_64 rng(20261207);
    struct Range {
        int minExp, maxExp;
    };
    const Range ranges[] = {{-3, 20}, {-60, 60}, {-1074, -1000}, {-1074, 1023}, {900, 1000}, {0, 0}};
    for (const Range& xr : ranges) {
        for (const Range& yr : ranges) {
            for (int degree = 1; degree <= 3; ++degree) {
                TPointTable points;
                const int n = 1 + static_cast<int>(rng() % 40);
                for (int i = 0; i < n; ++i) {
                    points.push_back(
                        {RandomDouble(rng, xr.minExp, xr.maxExp), RandomDouble(rng, yr.minExp, yr.maxExp)});
                }
                ExpectSumsExact(points, degree);
            }
        }
    }
}

TEST(ExactPowerSums, CarriesAcrossManyLimbs) {
    // Many largest-mantissa values make every limb overflow into the next one.
    TPointTable points(5000, TDataPoint{-std::nextafter(1.0, 0.0), std::nextafter(2.0, 0.0)});
    points.push_back({std::ldexp(1.0, -300), -std::ldexp(1.0, 200)});
    points.push_back({0.0, 0.0});
    for (int degree = 1; degree <= 3; ++degree) {
        ExpectSumsExact(points, degree);
    }
}

TEST(ExactPowerSums, LargeTablesSummedInTwoHalves) {
    // Signs, zeros, shifted and whole values on both sides of the middle of a table that is split,
    // on one core (the window) and on two (quorvel-fit).
    std::mt19937_64 rng(65537);
    TPointTable points;
    for (int i = 0; i < 70001; ++i) {
        points.push_back(
            {RandomDouble(rng, -8, 16), i % 1000 == 0 ? RandomDouble(rng, -60, 60) : i % 7 - 3.0});
    }
    for (const bool twoCores : {false, true}) {
        const TWorkOptions work{.secondCore = twoCores};
        ExpectSumsExact(points, 3, work);
        // Told steps (the window), the first half is summed in pieces, with the same sums; the steps
        // rise and stay below the end. Each half of two is shorter than a piece.
        std::vector<double> steps;
        const auto told = [&steps](double done) { steps.push_back(done); };
        ExpectSumsExact(points, 3, true, told, work);
        EXPECT_EQ(steps.size(), twoCores ? 0U : 2U);
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
        EXPECT_TRUE(steps.empty() || (steps.front() > 0 && steps.back() < 1));
    }
}

bool Round(const mpq_class& q, long exp2, double& out) {
    return RoundQuotientToDouble(q.get_num_mpz_t(), q.get_den_mpz_t(), exp2, out);
}

TEST(RoundQuotientToDouble, NearestWithTiesToEven) {
    double out = -1;
    ASSERT_TRUE(Round(mpq_class(1, 3), 0, out));
    EXPECT_EQ(out, 1.0 / 3.0);
    ASSERT_TRUE(Round(mpq_class(-2, 3), 0, out));
    EXPECT_EQ(out, -2.0 / 3.0);
    ASSERT_TRUE(Round(mpq_class(0), 5, out));
    EXPECT_EQ(out, 0.0);
    EXPECT_FALSE(std::signbit(out));
    // 1 + 2^-53 lies halfway between 1 and its successor: even mantissa, so 1.
    mpz_class tieNum = (mpz_class(1) << 53) + 1;
    mpz_class den = mpz_class(1) << 53;
    ASSERT_TRUE(RoundQuotientToDouble(tieNum.get_mpz_t(), den.get_mpz_t(), 0, out));
    EXPECT_EQ(out, 1.0);
    // 1 + 3·2^-53 is halfway between odd and even successors: rounds up to the even one.
    tieNum = (mpz_class(1) << 53) + 3;
    ASSERT_TRUE(RoundQuotientToDouble(tieNum.get_mpz_t(), den.get_mpz_t(), 0, out));
    EXPECT_EQ(out, 1.0 + 4 * std::ldexp(1.0, -53));
    // Just above the tie rounds up.
    mpz_class above = (mpz_class(1) << 60) + (mpz_class(1) << 7) + 1;
    mpz_class den60 = mpz_class(1) << 60;
    ASSERT_TRUE(RoundQuotientToDouble(above.get_mpz_t(), den60.get_mpz_t(), 0, out));
    EXPECT_EQ(out, std::nextafter(1.0, 2.0));
}

TEST(RoundQuotientToDouble, SubnormalsUnderflowAndOverflow) {
    double out = -1;
    ASSERT_TRUE(Round(mpq_class(3, 1), -1076, out));  // 0.75 of the smallest subnormal
    EXPECT_EQ(out, std::nextafter(0.0, 1.0));
    ASSERT_TRUE(Round(mpq_class(1, 1), -1075, out));  // exactly half: ties to even zero
    EXPECT_EQ(out, 0.0);
    ASSERT_TRUE(Round(mpq_class(-1, 1), -5000, out));
    EXPECT_EQ(out, 0.0);
    ASSERT_TRUE(Round(mpq_class(5, 1), -1074, out));
    EXPECT_EQ(out, 5 * std::nextafter(0.0, 1.0));
    ASSERT_TRUE(Round(mpq_class(1, 3), -1020, out));
    EXPECT_TRUE(IsNearestDouble(mpq_class(1, 3) / (mpz_class(1) << 1020), out));

    // DBL_MAX itself, and values up to half an ulp above it, still round to DBL_MAX.
    const mpq_class max = Exact(DBL_MAX);
    ASSERT_TRUE(Round(max, 0, out));
    EXPECT_EQ(out, DBL_MAX);
    const mpq_class halfUlp = Exact(std::ldexp(1.0, 970));
    ASSERT_TRUE(Round(max + halfUlp - 1, 0, out));
    EXPECT_EQ(out, DBL_MAX);
    EXPECT_FALSE(Round(max + halfUlp, 0, out));  // the tie goes to the even 2^1024: overflow
    EXPECT_FALSE(Round(mpq_class(1), 1024, out));
    EXPECT_FALSE(Round(mpq_class(-1), 5000, out));
}

TEST(RoundQuotientToDouble, MatchesRationalReferenceOnRandomQuotients) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 3000; ++i) {
        mpz_class num = 0, den = 0;
        const int numLimbs = 1 + static_cast<int>(rng() % 4), denLimbs = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < numLimbs; ++k) {
            num = (num << 64) + mpz_class(std::to_string(rng()));
        }
        for (int k = 0; k < denLimbs; ++k) {
            den = (den << 64) + mpz_class(std::to_string(rng()));
        }
        num >>= static_cast<mp_bitcnt_t>(rng() % 200);
        if (den == 0) {
            den = 1;
        }
        if (rng() % 2) {
            num = -num;
        }
        const long exp2 = static_cast<long>(rng() % 2400) - 1300;
        mpq_class q(num, den);
        q.canonicalize();
        const mpq_class exact = TimesPowerOfTwo(q, exp2);
        double out = 0;
        const bool ok = RoundQuotientToDouble(num.get_mpz_t(), den.get_mpz_t(), exp2, out);
        if (abs(exact) >= Exact(DBL_MAX) + Exact(std::ldexp(1.0, 970))) {
            EXPECT_FALSE(ok);
        } else {
            ASSERT_TRUE(ok);
            EXPECT_TRUE(IsNearestDouble(exact, out)) << "case " << i;
        }
    }
}

bool RoundSqrt(const mpq_class& q, long exp2, double& out) {
    return RoundSqrtOfQuotientToDouble(q.get_num_mpz_t(), q.get_den_mpz_t(), exp2, out);
}

TEST(RoundSqrtOfQuotientToDouble, ExactRootsTiesSubnormalsAndRange) {
    const struct {
        mpq_class q;
        long exp2;
        double expected;  // NAN: beyond the range
    } rows[] = {
        {mpq_class(0), 0, 0.0},
        {mpq_class(9, 4), 0, 1.5},  // exact roots come out exactly
        {mpq_class(1), -2148, std::ldexp(1.0, -1074)},
        {mpq_class(1), 1, std::sqrt(2.0)},  // an odd power of two
        {mpq_class(2), -1, 1.0},
        {mpq_class(1, 3), 0, std::sqrt(1.0 / 3.0)},
        {mpq_class(1), 2046, std::ldexp(1.0, 1023)},
        {mpq_class(1), 2048, NAN},
        // 2^-1075 is half the smallest subnormal; its square is the tie between 0 and it: even 0.
        {mpq_class(1), -2150, 0.0},
        {mpq_class(5, 4), -2150, std::ldexp(1.0, -1074)},  // just above that tie
    };
    // Just above the midpoint of 1 and its successor, by less than the scaled quotient resolves: only
    // the division's remainder says the root is not the tie.
    const mpq_class midpoint = 1 + Exact(std::ldexp(1.0, -53));
    double above = 0;
    ASSERT_TRUE(RoundSqrt(midpoint * midpoint + Exact(std::ldexp(1.0, -400)), 0, above));
    EXPECT_EQ(above, std::nextafter(1.0, 2.0));
    ASSERT_TRUE(RoundSqrt(midpoint * midpoint, 0, above));
    EXPECT_EQ(above, 1.0);
    for (const auto& row : rows) {
        double out = -1;
        const bool ok = RoundSqrt(row.q, row.exp2, out);
        if (std::isnan(row.expected)) {
            EXPECT_FALSE(ok) << row.exp2;
        } else {
            ASSERT_TRUE(ok) << row.exp2;
            EXPECT_EQ(out, row.expected) << row.q.get_str() << " * 2^" << row.exp2;
        }
    }
    // DBL_MAX² itself still has a finite root; the square of DBL_MAX plus half its ulp does not.
    double out = 0;
    ASSERT_TRUE(RoundSqrt(Exact(DBL_MAX) * Exact(DBL_MAX), 0, out));
    EXPECT_EQ(out, DBL_MAX);
    const mpq_class edge = Exact(DBL_MAX) + Exact(std::ldexp(1.0, 970));
    EXPECT_FALSE(RoundSqrt(edge * edge, 0, out));
}

TEST(RoundSqrtOfQuotientToDouble, MatchesRationalReferenceOnRandomQuotients) {
    std::mt19937_64 rng(11);
    for (int i = 0; i < 3000; ++i) {
        mpz_class num = 0, den = 0;
        for (int k = 0, limbs = 1 + static_cast<int>(rng() % 4); k < limbs; ++k) {
            num = (num << 64) + mpz_class(std::to_string(rng()));
        }
        for (int k = 0, limbs = 1 + static_cast<int>(rng() % 4); k < limbs; ++k) {
            den = (den << 64) + mpz_class(std::to_string(rng()));
        }
        num >>= static_cast<mp_bitcnt_t>(rng() % 200);
        if (i % 5 == 0) {
            num = num * num;  // squares of integers over squares, whose roots end exactly
            den = den * den;
        }
        if (den == 0) {
            den = 1;
        }
        mpq_class q(num, den);
        q.canonicalize();
        const long exp2 = static_cast<long>(rng() % 4400) - 2300;
        const mpq_class exact = TimesPowerOfTwo(q, exp2);
        double out = 0;
        if (!RoundSqrt(q, exp2, out)) {
            const mpq_class edge = Exact(DBL_MAX) + Exact(std::ldexp(1.0, 970));
            EXPECT_GE(exact, edge * edge) << "case " << i;
        } else {
            EXPECT_TRUE(IsNearestSqrt(exact, out)) << "case " << i << ": " << out;
        }
    }
}

TSolveOutcome Solve(const TPointTable& points, int degree, std::array<double, 4>& a) {
    TExactPowerSums sums;
    sums.Accumulate(points, degree);
    return SolveNormalEquationsExactly(sums, a);
}

void ExpectCorrectlyRoundedFit(const TPointTable& points, int degree) {
    const auto exact = ExactLeastSquares(points, degree);
    std::array<double, 4> a{};
    const TSolveOutcome outcome = Solve(points, degree, a);
    if (exact.has_value()) {
        // A unique fit fails only when a coefficient rounds beyond the double range, and says so.
        bool representable = true;
        for (const mpq_class& c : *exact) {
            representable = representable && abs(c) < Exact(DBL_MAX) + Exact(std::ldexp(1.0, 970));
        }
        ASSERT_EQ(outcome, representable ? TSolveOutcome::Solved : TSolveOutcome::BeyondRange);
    } else {
        ASSERT_EQ(outcome, TSolveOutcome::Singular);
    }
    if (outcome != TSolveOutcome::Solved) {
        return;
    }
    for (int k = 0; k <= degree; ++k) {
        EXPECT_TRUE(IsNearestDouble((*exact)[k], a[k])) << "a" << k << " = " << a[k];
    }
    for (int k = degree + 1; k < 4; ++k) {
        EXPECT_EQ(a[k], 0.0);
    }
}

TEST(SolveNormalEquationsExactly, CorrectlyRoundedOnRandomTables) {
    std::mt19937_64 rng(99);
    struct Case {
        int xMin, xMax, yMin, yMax;
    };
    const Case cases[] = {
        {-4, 8, -4, 8}, {-40, 40, -10, 10}, {-1074, -1060, 0, 3}, {200, 230, -30, 30}, {0, 1, 0, 60}};
    for (const Case& c : cases) {
        for (int degree = 1; degree <= 3; ++degree) {
            for (int rep = 0; rep < 10; ++rep) {
                TPointTable points;
                const int n = degree + 1 + static_cast<int>(rng() % 30);
                for (int i = 0; i < n; ++i) {
                    points.push_back({RandomDouble(rng, c.xMin, c.xMax), RandomDouble(rng, c.yMin, c.yMax)});
                }
                ExpectCorrectlyRoundedFit(points, degree);
            }
        }
    }
}

TEST(SolveNormalEquationsExactly, ExactPolynomialsComeOutExactly) {
    std::array<double, 4> a{};
    ASSERT_EQ(TSolveOutcome::Solved, Solve({{1, 2}, {3, 6}}, 1, a));
    EXPECT_EQ(a, (std::array<double, 4>{0, 2, 0, 0}));
    ASSERT_EQ(TSolveOutcome::Solved, Solve({{-1, 2}, {0, 1}, {1, 2}}, 2, a));
    EXPECT_EQ(a, (std::array<double, 4>{1, 0, 1, 0}));
    ASSERT_EQ(TSolveOutcome::Solved, Solve({{-1, -1}, {0, 0}, {1, 1}, {2, 8}}, 3, a));
    EXPECT_EQ(a, (std::array<double, 4>{0, 0, 0, 1}));
    EXPECT_FALSE(std::signbit(a[0]));
    // The X values −1, 3, 2, 6 have a unique quadratic fit: Y = X² + 1 comes back exactly.
    ASSERT_EQ(TSolveOutcome::Solved, Solve({{-1, 2}, {3, 10}, {2, 5}, {6, 37}}, 2, a));
    EXPECT_EQ(a, (std::array<double, 4>{1, 0, 1, 0}));
    // Cubic through points of 0.5·X³ − 2.25·X + 1000 with X around an offset.
    TPointTable cubic;
    for (double x = 1000; x < 1010; x += 1) {
        cubic.push_back({x, 0.5 * x * x * x - 2.25 * x + 1000});
    }
    ASSERT_EQ(TSolveOutcome::Solved, Solve(cubic, 3, a));
    EXPECT_EQ(a, (std::array<double, 4>{1000, -2.25, 0, 0.5}));
}

TEST(SolveNormalEquationsExactly, QuadraticOnXMinus1_3_2_6) {
    // Least squares through (−1, 0), (3, 1), (2, 0), (6, 4). The exact solution, obtained by solving
    // the 3×3 normal equations with Python's fractions.Fraction, is a0 = −1/5, a1 = −9/200,
    // a2 = 1/8; float() of a Fraction rounds correctly.
    const TPointTable points = {{-1, 0}, {3, 1}, {2, 0}, {6, 4}};
    std::array<double, 4> a{};
    ASSERT_EQ(TSolveOutcome::Solved, Solve(points, 2, a));
    EXPECT_EQ(a[0], -0.2);
    EXPECT_EQ(a[1], -0.045);
    EXPECT_EQ(a[2], 0.125);
    EXPECT_EQ(a[3], 0.0);
    ExpectCorrectlyRoundedFit(points, 2);
}

TEST(SolveNormalEquationsExactly, SingularSystemsFail) {
    std::array<double, 4> a{};
    const struct {
        const char* name;
        TPointTable points;
        int degree;
    } singular[] = {
        {"one distinct X", {{1, 1}, {1, 2}}, 1},
        {"all X zero", {{0, 1}, {0, 2}, {0, 3}}, 2},
        {"two distinct X for a quadratic", {{1, 1}, {2, 1}, {1, 3}, {2, 5}}, 2},
        {"three distinct X, cubic", {{1, 1}, {2, 1}, {3, 3}, {1, 5}, {2, 2}}, 3},
        {"one distinct subnormal X", {{4.9e-324, 1}, {4.9e-324, 2}}, 1},
    };
    for (const auto& row : singular) {
        EXPECT_EQ(Solve(row.points, row.degree, a), TSolveOutcome::Singular) << row.name;
    }
    EXPECT_EQ(TSolveOutcome::Solved, Solve({{1, 1}, {2, 1}, {3, 3}, {4, 5}}, 3, a));
    // All Y zero: every coefficient is a positive zero.
    ASSERT_EQ(TSolveOutcome::Solved, Solve({{1, 0}, {2, 0}, {3, 0}, {5, 0}}, 3, a));
    for (double c : a) {
        EXPECT_EQ(c, 0.0);
        EXPECT_FALSE(std::signbit(c));
    }
}

TEST(SolveNormalEquationsExactly, CoefficientBeyondDoubleRangeFails) {
    // A slope of about 2^1100 between two points 2^-600 apart in X.
    std::array<double, 4> a{};
    EXPECT_EQ(Solve({{0, 0}, {std::ldexp(1.0, -600), std::ldexp(1.0, 500)}}, 1, a),
              TSolveOutcome::BeyondRange);
    // Solvable systems on tiny X, once taken for singular: a slope of about 10^310, and a cubic whose a3
    // is about 10^312. Their determinants are far from 0 in exact arithmetic.
    EXPECT_EQ(Solve({{1e-310, 1}, {2e-310, 2}}, 1, a), TSolveOutcome::BeyondRange);
    EXPECT_EQ(Solve({{1e-104, 1}, {2e-104, 2}, {3e-104, 3}, {4e-104, 5}}, 3, a), TSolveOutcome::BeyondRange);
    // Against the exact reference: those, and the same shapes a little further from 0, which fit.
    ExpectCorrectlyRoundedFit({{1e-310, 1}, {2e-310, 2}}, 1);
    ExpectCorrectlyRoundedFit({{1e-104, 1}, {2e-104, 2}, {3e-104, 3}, {4e-104, 5}}, 3);
    ExpectCorrectlyRoundedFit({{1e-300, 1}, {2e-300, 2}}, 1);
    ExpectCorrectlyRoundedFit({{1e-100, 1}, {2e-100, 2}, {3e-100, 3}, {4e-100, 5}}, 3);
    ASSERT_EQ(TSolveOutcome::Solved, Solve({{0, 0}, {std::ldexp(1.0, -600), std::ldexp(1.0, 400)}}, 1, a));
    EXPECT_EQ(a[1], std::ldexp(1.0, 1000));
}

}  // namespace
}  // namespace quorvel
