#include "fitting/least_squares.h"
#include "fitting/work_options.h"

#include <fenv.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "exact_reference.h"
#include "fitting/curve_samples.h"
#include "fitting/double_double.h"
#include "fitting/exact_polynomial.h"
#include "fitting/presentation.h"
#include "runtime/exceptions.h"

namespace quorvel {
namespace {

using testing::ExactLeastSquares;
using testing::IsNearestDouble;

TEST(SolveLeastSquares, WritesTheCoefficientsOfTheKind) {
    TFitCoefficients store{5, 6, 7, 8};
    ASSERT_TRUE(SolveLeastSquares(fkLinear, {{1, 2}, {3, 6}}, store));
    EXPECT_EQ(store.a0, 0);
    EXPECT_EQ(store.a1, 2);
    EXPECT_EQ(store.a2, 0);
    EXPECT_EQ(store.a3, 0);

    store = {5, 6, 7, 8};
    ASSERT_TRUE(SolveLeastSquares(fkQuadratic, {{-1, 2}, {0, 1}, {1, 2}}, store));
    EXPECT_EQ(store.a0, 1);
    EXPECT_EQ(store.a1, 0);
    EXPECT_EQ(store.a2, 1);
    EXPECT_EQ(store.a3, 0);  // a quadratic after a cubic clears a3

    ASSERT_TRUE(SolveLeastSquares(fkCubic, {{-1, -1}, {0, 0}, {1, 1}, {2, 8}}, store));
    EXPECT_EQ(store.a0, 0);
    EXPECT_EQ(store.a1, 0);
    EXPECT_EQ(store.a2, 0);
    EXPECT_EQ(store.a3, 1);
}

TEST(SolveLeastSquares, FailureLeavesTheStoreAsTheKindPrescribes) {
    // Linear with all X equal: a2 and a3 are already cleared, a0 and a1 stay.
    TFitCoefficients store{5, 6, 7, 8};
    EXPECT_FALSE(SolveLeastSquares(fkLinear, {{1, 1}, {1, 2}}, store));
    EXPECT_EQ(store.a0, 5);
    EXPECT_EQ(store.a1, 6);
    EXPECT_EQ(store.a2, 0);
    EXPECT_EQ(store.a3, 0);

    // A failed quadratic after a cubic keeps everything, the cubic's a3 included.
    store = {5, 6, 7, 8};
    EXPECT_FALSE(SolveLeastSquares(fkQuadratic, {{0, 1}, {0, 2}, {0, 3}}, store));
    EXPECT_EQ(store.a0, 5);
    EXPECT_EQ(store.a1, 6);
    EXPECT_EQ(store.a2, 7);
    EXPECT_EQ(store.a3, 8);

    EXPECT_FALSE(SolveLeastSquares(fkCubic, {{1, 1}, {1, 2}, {2, 3}, {2, 4}, {3, 0}}, store));
    EXPECT_EQ(store.a0, 5);
    EXPECT_EQ(store.a3, 8);
    // A fit that exists with a coefficient beyond the range is an overflow, and leaves the store whole,
    // for the linear kind too.
    for (const auto& [kind, points] :
         {std::pair<TFunctionKind, TPointTable>{fkLinear, {{1e-310, 1}, {2e-310, 2}}},
          {fkCubic, {{1e-104, 1}, {2e-104, 2}, {3e-104, 3}, {4e-104, 5}}}}) {
        store = {5, 6, 7, 8};
        EXPECT_THROW(SolveLeastSquares(kind, points, store), ESolveOverflow) << kind;
        EXPECT_EQ(store.a0, 5);
        EXPECT_EQ(store.a1, 6);
        EXPECT_EQ(store.a2, 7);
        EXPECT_EQ(store.a3, 8);
    }
}

TEST(SolveLeastSquares, BarometerTableIsFittedExactly) {
    // Station barometer (hPa) against a reference reading (Pa), the shipped example table.
    const double y[] = {1010.175, 1010.425, 1010.676, 1010.930, 1011.178, 1011.427, 1011.679,
                        1011.928, 1012.177, 1012.431, 1012.680, 1012.927, 1013.180, 1013.429,
                        1013.682, 1013.931, 1014.178, 1014.433, 1014.677, 1014.929, 1015.182,
                        1015.427, 1015.680, 1015.926, 1016.182, 1016.432, 1016.681};
    TPointTable points;
    for (int k = 0; k < 27; ++k) {
        points.push_back({101000.0 + 25 * k, y[k]});
    }
    // Expected values: the normal equations solved in Python with fractions.Fraction over the exact
    // doubles of the texts, each result converted with float() (correctly rounded).
    TFitCoefficients store;
    ASSERT_TRUE(SolveLeastSquares(fkLinear, points, store));
    EXPECT_EQ(store.a0, -0.42725498576062326);
    EXPECT_EQ(store.a1, 0.010005982905982962);
    ASSERT_TRUE(SolveLeastSquares(fkQuadratic, points, store));
    EXPECT_EQ(store.a0, -159.4314839374675);
    EXPECT_EQ(store.a1, 0.01314449395814807);
    EXPECT_EQ(store.a2, -1.5487347901135496e-08);
    ASSERT_TRUE(SolveLeastSquares(fkCubic, points, store));
    EXPECT_EQ(store.a0, -97724.33064782732);
    EXPECT_EQ(store.a1, 2.9018293425439414);
    EXPECT_EQ(store.a2, -2.8524653278165355e-05);
    EXPECT_EQ(store.a3, 9.378786390415073e-11);
}

TEST(SolveLeastSquares, OffsetReadingsKeepFullAccuracy) {
    // X = 100000 … 100019 with a gentle curvature: the rounded coefficients are the nearest doubles
    // to the exact ones, and the maximum error is that of the true fit.
    TPointTable points;
    for (int k = 0; k < 20; ++k) {
        const double x = 100000 + k;
        points.push_back({x, 0.001 * k * k + 0.37 * std::sin(k)});
    }
    TFitCoefficients store;
    ASSERT_TRUE(SolveLeastSquares(fkQuadratic, points, store));
    const auto exact = ExactLeastSquares(points, 2);
    ASSERT_TRUE(exact.has_value());
    EXPECT_TRUE(IsNearestDouble((*exact)[0], store.a0));
    EXPECT_TRUE(IsNearestDouble((*exact)[1], store.a1));
    EXPECT_TRUE(IsNearestDouble((*exact)[2], store.a2));
}

// Readings far from zero: 25 points Y ≈ X, X = X0 + i·1.001 (six decimals), Y = X + 0.1·sin(1.7·i + 0.3)
// (six decimals). The fitted values and the statistics must be those of the exact least-squares
// polynomial: its rounded monomial coefficients, evaluated as they stand, were off by up to 1.1 (and
// the maximum error 1.12 instead of 0.106) for the cubic at 10^7. Expected values from Python:
//   from fractions import Fraction as F; import math
//   xs = ["%.6f" % (x0 + i * 1.001) for i in range(25)]
//   ys = ["%.6f" % (float(x) + 0.1 * math.sin(1.7 * i + 0.3)) for i, x in enumerate(xs)]
//   c = the normal equations Σ_k c_k·Σx^(j+k) = Σx^j·y solved by Gauss-Jordan over Fraction(float(text))
//   P = lambda x: sum(ck * F(x) ** k for k, ck in enumerate(c))
//   value at r: float(P(float(r))); deviations d = [float(F(y) - P(x))]; max_error max(abs(d));
//   sigma math.sqrt(float(sum(F(v) ** 2 for v in d) / 24))
struct TFarRow {
    const char* name;
    double x0;
    TFunctionKind kind;
    double readings[4];
    double values[4];
    double maxError;
    double sigma;
};

const TFarRow kFarRows[] = {
    {"cubic at 10^7",
     1e7,
     fkCubic,
     {10000007.564, 10000000.5, 10000012.3456, 10000024.024},
     {10000007.560113257, 10000000.523530869, 10000012.341696497, 10000024.030714264},
     0.10576985040017743,
     0.07038604869859223},
    {"cubic at 10^6",
     1e6,
     fkCubic,
     {1000007.564, 1000000.5, 1000012.3456, 1000024.024},
     {1000007.5601132567, 1000000.5235308701, 1000012.3416964967, 1000024.0307142643},
     0.10576985069796177,
     0.07038604871508482},
    {"quadratic at 10^7",
     1e7,
     fkQuadratic,
     {10000007.564, 10000000.5, 10000012.3456, 10000024.024},
     {10000007.56390776, 10000000.518349325, 10000012.341336047, 10000024.037753975},
     0.1044759904945858,
     0.07047079013492069},
};

TPointTable FarPoints(double x0) {
    TPointTable points;
    for (int i = 0; i < 25; ++i) {
        char x[40], y[40];
        std::snprintf(x, sizeof x, "%.6f", x0 + i * 1.001);
        const double xv = std::strtod(x, nullptr);
        std::snprintf(y, sizeof y, "%.6f", xv + 0.1 * std::sin(1.7 * i + 0.3));
        points.push_back({xv, std::strtod(y, nullptr)});
    }
    return points;
}

TEST(EvalPolynomial, FarFromZeroGivesTheExactFit) {
    for (const TFarRow& row : kFarRows) {
        SCOPED_TRACE(row.name);
        const TPointTable points = FarPoints(row.x0);
        TFitCoefficients store;
        ASSERT_TRUE(SolveLeastSquares(row.kind, points, store));
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(EvalPolynomial(row.readings[i], store), row.values[i]) << row.readings[i];
        }
        const TRecomputeResult r = RecomputePoints(points, row.kind, store);
        EXPECT_EQ(r.statistics.maxError, row.maxError);
        EXPECT_EQ(r.statistics.sigma, row.sigma);
    }
}

// sigma = √(S/(m − 1)) and s = √(S/(n − p)), S the sum of the squared deviations from the exact fit, each
// the double nearest to the exact value, against tables worked out in exact rational arithmetic
// (data/sigma_cases.py): random readings, readings whose squares lie among the subnormals or below them
// (where a running sum of the rounded squares lost every digit), and deviations whose squares lie beyond
// the double range while sigma does not.
struct TSigmaCase {
    std::string name;
    TFunctionKind kind = fkCubic;
    std::string sigma;
    std::string s;
    TPointTable points;
};

std::vector<TSigmaCase> SigmaCases() {
    std::ifstream in(QUORVEL_SOURCE_DIR "/tests/fitting/data/sigma_cases.txt");
    std::vector<TSigmaCase> cases;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string head;
        words >> head;
        if (head == "case") {
            TSigmaCase c;
            int degree = 0;
            words >> c.name >> degree >> c.sigma >> c.s;
            c.kind = static_cast<TFunctionKind>(degree);
            cases.push_back(c);
        } else if (!head.empty() && head != "end" && head[0] != '#' && !cases.empty()) {
            std::string y;
            words >> y;
            cases.back().points.push_back(
                {std::strtod(head.c_str(), nullptr), std::strtod(y.c_str(), nullptr)});
        }
    }
    return cases;
}

TEST(ComputeStatistics, SigmaIsTheExactFitsRoundedOnce) {
    const std::vector<TSigmaCase> cases = SigmaCases();
    ASSERT_EQ(cases.size(), 9u);
    for (const TSigmaCase& c : cases) {
        SCOPED_TRACE(c.name);
        TFitCoefficients store;
        const TRecomputeResult r = RecomputePoints(c.points, c.kind, store, true);
        ASSERT_FALSE(r.error) << "stopped after stage " << r.reached;
        EXPECT_EQ(r.statistics.sigma, std::strtod(c.sigma.c_str(), nullptr)) << c.sigma;
        ASSERT_TRUE(r.uncertainty.has_value());
        EXPECT_EQ(r.uncertainty->ResidualSd(), std::strtod(c.s.c_str(), nullptr)) << c.s;
    }
}

// The double-double value of a polynomial near its centre lies within its bound of the exact value, and so
// does a deviation from it; the bound stays near 2^-96 of the scale, so that the fast way decides almost
// every value. Coefficients of any size in the fast range, sums that cancel, values below the normal
// range; two lanes give each lane the scalar's bits.
struct TNearShape {
    const char* name;
    int minCoefficient;  // the coefficients' exponents
    int maxCoefficient;
    int minH;  // the exponents of x − centre
    int maxH;
    bool cancel;     // b0 nearly takes away the rest at the first x
    bool zeroFirst;  // b0 = 0, so that a small x − centre makes the value as small as it likes
};

template <int Degree>
void ExpectValuesNearWithinTheirBound(std::mt19937_64& rng, const TNearShape& shape) {
    using dd::TPair;
    using testing::Exact;
    typedef double TTwo __attribute__((vector_size(16)));
    const bool cancel = shape.cancel && Degree > 0;
    std::uniform_real_distribution<double> unit(-1, 1);
    const auto random = [&](int minExp, int maxExp) {
        const int exp = std::uniform_int_distribution<int>(minExp, maxExp)(rng);
        const double v = std::ldexp(unit(rng), exp);
        return v == 0 ? std::ldexp(1.0, exp) : v;
    };
    for (int trial = 0; trial < 400; ++trial) {
        // h = x − centre exactly, as a pair.
        const double centre = random(shape.minH, shape.maxH + 20);
        const TPair h[2] = {dd::TwoSum(centre + random(shape.minH, shape.maxH), -centre),
                            dd::TwoSum(centre + random(shape.minH, shape.maxH), -centre)};
        TPair b[Degree + 1];
        for (TPair& c : b) {
            const double hi = random(shape.minCoefficient, shape.maxCoefficient);
            c = {hi, std::ldexp(unit(rng), std::ilogb(hi) - 54)};
        }
        if (shape.zeroFirst) {
            b[0] = {0, 0};
        }
        if (cancel) {
            mpq_class rest = 0;
            mpq_class power = 1;
            for (int j = 1; j <= Degree; ++j) {
                power *= Exact(h[0].hi) + Exact(h[0].lo);
                rest += (Exact(b[j].hi) + Exact(b[j].lo)) * power;
            }
            b[0].hi = -rest.get_d();
            b[0].lo = mpq_class(-rest - Exact(b[0].hi)).get_d();
            if (std::fabs(b[0].hi) < 1 / dd::kFastRange) {
                continue;
            }
        }
        dd::TPairOf<TTwo> lanesB[Degree + 1];
        for (int j = 0; j <= Degree; ++j) {
            lanesB[j] = {TTwo{} + b[j].hi, TTwo{} + b[j].lo};
        }
        const dd::TPairOf<TTwo> lanesH = {TTwo{h[0].hi, h[1].hi}, TTwo{h[0].lo, h[1].lo}};
        const TTwo y = {random(shape.minCoefficient, shape.maxCoefficient), b[0].hi + b[0].lo};
        const dd::TBoundedValue<TTwo> lanes = dd::DeviationFrom(y, dd::ValueNear<Degree>(lanesB, lanesH));
        for (int lane = 0; lane < 2; ++lane) {
            SCOPED_TRACE("degree " + std::to_string(Degree) + ", trial " + std::to_string(trial) + ", lane " +
                         std::to_string(lane));
            mpq_class value = 0;
            mpq_class power = 1;
            for (int j = 0; j <= Degree; ++j) {
                value += (Exact(b[j].hi) + Exact(b[j].lo)) * power;
                power *= Exact(h[lane].hi) + Exact(h[lane].lo);
            }
            const dd::TBoundedValue<double> near = dd::ValueNear<Degree>(b, h[lane]);
            ASSERT_LT(near.scale, dd::kFastRange);
            EXPECT_LE(abs(value - Exact(near.value.hi) - Exact(near.value.lo)), Exact(near.bound));
            EXPECT_LE(near.bound, near.scale * 0x1p-95 + 0x1p-999);
            const dd::TBoundedValue<double> d = dd::DeviationFrom(y[lane], near);
            EXPECT_LE(abs(Exact(y[lane]) - value - Exact(d.value.hi) - Exact(d.value.lo)), Exact(d.bound));
            const double fromLanes[] = {lanes.value.hi[lane], lanes.value.lo[lane], lanes.bound[lane]};
            const double scalar[] = {d.value.hi, d.value.lo, d.bound};
            EXPECT_EQ(std::memcmp(fromLanes, scalar, sizeof scalar), 0);
        }
    }
}

TEST(DoubleDouble, ValuesNearTheCentreAreWithinTheirBound) {
    std::mt19937_64 rng(2718);
    const TNearShape shapes[] = {
        {"near 1", -4, 4, -4, 4, false, false},
        {"near 1, cancelling", -4, 4, -4, 4, true, false},
        {"wide", -200, 200, -25, 25, false, false},
        {"wide, cancelling", -200, 200, -25, 25, true, false},
        {"below the normal range", -900, -880, -220, -180, false, true},
    };
    for (const TNearShape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        ExpectValuesNearWithinTheirBound<0>(rng, shape);
        ExpectValuesNearWithinTheirBound<1>(rng, shape);
        ExpectValuesNearWithinTheirBound<2>(rng, shape);
        ExpectValuesNearWithinTheirBound<3>(rng, shape);
    }
}

// Every deviation behind the statistics is |y − P(x)| of the exact fit, rounded once: readings in random
// order near 50 and near an offset, an odd count (the last point alone), and points on the curve, whose
// deviations are exactly 0 and take the exact way (readings in eighths on a line near 10^6, as an
// instrument's table may be, give a fit whose exact denominator is tiny once in lowest terms).
TEST(ComputeStatistics, EachDeviationIsTheExactFitsRounded) {
    std::mt19937_64 rng(90210);
    std::uniform_real_distribution<double> unit(0, 1);
    const struct {
        const char* name;
        double x0;
        double span;  // of the random X; without noise, the step of X
        double noise;
        double curvature;
    } shapes[] = {{"near 50", 0, 100, 0.01, 1},
                  {"near an offset", 101325 - 50, 100, 0.01, 1},
                  {"on the curve", 2, 1, 0, 1},
                  {"on a line in eighths near 10^6", 1000000.125, 3, 0, 0}};
    for (const auto& shape : shapes) {
        for (int degree = 1; degree <= 3; ++degree) {
            SCOPED_TRACE(std::string(shape.name) + ", degree " + std::to_string(degree));
            TPointTable points;
            for (int i = 0; i < 301; ++i) {
                const double x =
                    shape.noise == 0 ? shape.x0 + shape.span * i : shape.x0 + shape.span * unit(rng);
                const double t = x - shape.x0;
                const double bend =
                    shape.curvature * (-3e-3 * t * t * (degree > 1) + 1e-5 * t * t * t * (degree > 2));
                points.push_back({x, 100000.25 * (shape.curvature == 0) + 0.5 * t + bend +
                                         shape.noise * (unit(rng) - 0.5)});
            }
            TFitCoefficients store;
            ASSERT_TRUE(SolveLeastSquares(static_cast<TFunctionKind>(degree), points, store));
            const auto exact = ExactLeastSquares(points, degree);
            ASSERT_TRUE(exact.has_value());
            // Four lanes where the processor has them, and two.
            for (const bool wide : {true, false}) {
                std::vector<double> deviations;
                ComputeStatistics(points, store, &deviations, {}, TWorkOptions{.wideLanes = wide});
                ASSERT_EQ(deviations.size(), points.size());
                for (std::size_t i = 0; i < points.size(); ++i) {
                    mpq_class fitted = 0;
                    mpq_class power = 1;
                    for (int k = 0; k <= degree; ++k) {
                        fitted += (*exact)[static_cast<std::size_t>(k)] * power;
                        power *= testing::Exact(points[i].X);
                    }
                    ASSERT_TRUE(IsNearestDouble(abs(testing::Exact(points[i].Y) - fitted), deviations[i]))
                        << "point " << i << ": " << deviations[i] << (wide ? "" : ", two lanes");
                }
            }
        }
    }
}

TEST(EvalPolynomial, EvaluatesWithExtendedIntermediates) {
    EXPECT_EQ(EvalPolynomial(2, {1, 2, 0, 0}), 5);
    EXPECT_EQ(EvalPolynomial(3, TFitCoefficients{}), 3);
    EXPECT_EQ(EvalPolynomial(-2, {1, 0, 0, 1}), -7);
    // (1e300·1e10)·1e-10 overflows a double in the middle but not in extended precision.
    EXPECT_EQ(EvalPolynomial(1e10, {0, 0, 1e280, 0}), 1e300);
    EXPECT_THROW(EvalPolynomial(1e200, {0, 0, 1, 0}), EOverflow);
    EXPECT_THROW(EvalPolynomial(-1e103, {0, 0, 0, 1}), EOverflow);

    // Y = X/3 exactly: the slope is shown rounded, the values are X/3 rounded once, the points lie on the
    // curve (Python: float(Fraction(x) / 3) for the values; the rounded slope gives 1.6666666666666665
    // and 3.333333333333333).
    const TPointTable third = {{3, 1}, {6, 2}};
    TFitCoefficients store;
    ASSERT_TRUE(SolveLeastSquares(fkLinear, third, store));
    EXPECT_EQ(store.a1, 1.0 / 3);
    EXPECT_EQ(EvalPolynomial(5, store), 1.6666666666666667);
    EXPECT_EQ(EvalPolynomial(10, store), 3.3333333333333335);
    EXPECT_EQ(EvalPolynomial(9.9, store), 3.3000000000000003);
    EXPECT_EQ(Deviation(third[0], store), 0);
    EXPECT_EQ(Deviation(third[1], store), 0);
    // float(F(0.1) - F(0.3) / 3): the exact difference, not 0.1 minus the rounded 0.3/3
    // (1.3877787807814457e-17).
    EXPECT_EQ(Deviation({0.3, 0.1}, store), 9.25185853854297e-18);
    EXPECT_THROW(EvalPolynomial(DBL_MAX, TFitCoefficients{0, 2, 0, 0}), EOverflow);

    // A failed linear solve after a cubic one leaves a store that is no fit: it is evaluated as it stands.
    ASSERT_TRUE(SolveLeastSquares(fkCubic, {{-1, -1}, {0, 0}, {1, 1}, {2, 8}}, store));
    EXPECT_EQ(EvalPolynomial(2, store), 8);
    EXPECT_FALSE(SolveLeastSquares(fkLinear, {{1, 1}, {1, 2}}, store));
    EXPECT_EQ(EvalPolynomial(2, store), 0);
}

TEST(ComputeStatistics, MaxErrorAndSigma) {
    const TFitCoefficients line{0, 2, 0, 0};
    TFitStatistics s = ComputeStatistics({{1, 2}, {2, 4}, {3, 6}}, line);
    EXPECT_EQ(s.maxError, 0);
    EXPECT_EQ(s.sigma, 0);
    EXPECT_EQ(s.m, 3);

    // Deviations 1, 3, 0: sum of squares 10, sigma √(10/2).
    s = ComputeStatistics({{1, 3}, {2, 1}, {3, 6}}, line);
    EXPECT_EQ(s.maxError, 3);
    EXPECT_DOUBLE_EQ(s.sigma, std::sqrt(5.0));

    s = ComputeStatistics({{1, 10}}, line);
    EXPECT_EQ(s.maxError, 8);
    EXPECT_EQ(s.sigma, 0);  // m ≤ 1
    s = ComputeStatistics({}, line);
    EXPECT_EQ(s.sigma, 0);
    EXPECT_EQ(s.m, 0);

    EXPECT_THROW(ComputeStatistics({{1, 1e300}, {2, -1e300}}, {0, 0, 0, 0}), EOverflow);
    EXPECT_THROW(ComputeStatistics({{1, DBL_MAX}, {2, -DBL_MAX}}, {DBL_MAX, 0, 0, 0}), EOverflow);

    // A table large enough to be split in two halves: the same figures, and an overflow in either
    // half, on one core (the window) and on two (quorvel-fit).
    TPointTable big;
    for (int i = 0; i < 100000; ++i) {
        big.push_back({static_cast<double>(i), 2.0 * i + (i % 4 == 3 ? 0.5 : 0)});
    }
    for (const bool twoCores : {false, true}) {
        const TWorkOptions work{.secondCore = twoCores};
        std::vector<double> deviations;
        // Told steps (the window), the first half goes in pieces with a step between them.
        std::vector<double> steps;
        const auto told = [&steps](double done) { steps.push_back(done); };
        s = ComputeStatistics(big, line, &deviations, told, work);
        EXPECT_EQ(steps.size(), twoCores ? 0U : 1U);
        EXPECT_TRUE(steps.empty() || (steps.front() > 0 && steps.back() < 1));
        EXPECT_EQ(s.maxError, 0.5);
        EXPECT_EQ(s.m, 100000);
        EXPECT_EQ(s.sigma, static_cast<double>(std::sqrt(25000 * 0.25L / 99999)));
        ASSERT_EQ(deviations.size(), big.size());
        EXPECT_EQ(deviations[99999], 0.5);
        EXPECT_EQ(deviations[99998], 0);
        for (const std::size_t at : {std::size_t{10}, big.size() - 1}) {
            TPointTable faulty = big;
            faulty[at].Y = DBL_MAX;
            EXPECT_THROW(ComputeStatistics(faulty, {-DBL_MAX, 0, 0, 0}, nullptr, {}, work), EOverflow) << at;
        }
    }
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// The window may run with overflow, division by zero and invalid operations trapping; every
// fault must still arrive as the program's own exception.
class TrappingFaults : public ::testing::Test {
protected:
    void SetUp() override { feenableexcept(FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID); }
    void TearDown() override { fedisableexcept(FE_ALL_EXCEPT); }
};

TEST_F(TrappingFaults, OverflowsAreReportedNotTrapped) {
    EXPECT_THROW(EvalPolynomial(1e200, {0, 0, 1, 0}), EOverflow);
    EXPECT_THROW(ComputeStatistics({{1, DBL_MAX}, {2, -DBL_MAX}}, {DBL_MAX, 0, 0, 0}), EOverflow);
    EXPECT_THROW(CurveSamples(0, 1e39, TFitCoefficients{}), EOverflow);
    EXPECT_THROW(CurveSamples(1, 2, {0, 0, 0, 1e308}), EOverflow);
    // Near the top of the single range the loop ends without leaving it.
    const std::size_t nearTop = CurveSamples(3e38, FLT_MAX, TFitCoefficients{}).size();
    EXPECT_TRUE(nearTop == 50u || nearTop == 51u) << nearTop;
    TFitCoefficients store;
    EXPECT_THROW(SolveLeastSquares(fkLinear, {{0, 0}, {std::ldexp(1.0, -600), std::ldexp(1.0, 500)}}, store),
                 ESolveOverflow);
    EXPECT_FALSE(SolveLeastSquares(fkQuadratic, {{0, 1}, {0, 2}, {0, 3}}, store));
    ASSERT_TRUE(SolveLeastSquares(fkCubic, {{-1, -1}, {0, 0}, {1, 1}, {2, 8}}, store));
    EXPECT_EQ(store.a3, 1);
    const TFitStatistics s = ComputeStatistics({{std::ldexp(1.0, -1074), 0}, {1, 1}}, store);
    EXPECT_EQ(s.maxError, 0);
}

}  // namespace
}  // namespace quorvel
