#include "fitting/presentation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fitting/least_squares.h"
#include "fitting/result_texts.h"
#include "fitting/two_parts.h"
#include "fitting/work_options.h"
#include "runtime/exceptions.h"
#include "table_fixture.h"

namespace quorvel {
namespace {

using testing::TDecimalScope;
using testing::TTextTable;

TEST(FormatResultValue, PatternByMagnitude) {
    TDecimalScope point(U'.');
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {1000, "1.0000000e+3"},   {999.9, "999.9000000"}, {-1000, "-1.0000000e+3"}, {-999.9, "-999.9000000"},
        {0.0005, "5.0000000e-4"}, {0.0011, "0.0011000"},  {0.001, "1.0000000e-3"},  {-0.001, "-1.0000000e-3"},
        {1234.5, "1.2345000e+3"}, {0, "0.0000000e+0"},    {1.5, "1.5000000"},       {-0.0011, "-0.0011000"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FormatResultValue(row.value), row.text) << row.value;
    }
}

// A certificate's "value ± U": U to two significant digits, the value to the same decimal place, each
// rounded correctly from the double (0.00155 is 0.001549999… and 2.05 is 2.04999…).
TEST(FormatWithUncertainty, TwoDigitsOfUAndTheValueToTheirPlace) {
    TDecimalScope point(U'.');
    const struct {
        double value;
        double expanded;
        const char* text;
    } rows[] = {
        {1.01442, 0.00156, "1.0144 ± 0.0016"},
        {1.01442, 0.00155, "1.0144 ± 0.0015"},
        {-0.0497, 0.05, "-0.050 ± 0.050"},
        {1.86666, 0.9123, "1.87 ± 0.91"},
        {8.0166, 2.05, "8.0 ± 2.0"},
        {12345.6, 1234, "12300 ± 1200"},
        {12.3, 99.6, "10 ± 100"},
        {0.5, 0, "0.5"},
        {2.5, INFINITY, "2.5"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FormatWithUncertainty(row.value, row.expanded), row.text)
            << row.value << " " << row.expanded;
    }
    TDecimalScope comma(U',');
    EXPECT_EQ(FormatWithUncertainty(1.01442, 0.00156), "1,0144 ± 0,0016");
}

std::string Formula(const TFitCoefficients& c, TFunctionKind kind) {
    return BuildFormula(c, kind, MakeCoefficientTexts(c));
}

TEST(BuildFormula, TermsSignsAndBlanks) {
    TDecimalScope point(U'.');
    EXPECT_EQ(Formula({3, 0, -2, 1.5}, fkCubic), "Y = 1.5000000 * X^3 -2.0000000 * X^2  +3.0000000");
    EXPECT_EQ(Formula({0, 2, 0, 0}, fkLinear), "Y = 2.0000000 * X ");
    EXPECT_EQ(Formula({12, -0.5, 0, 0}, fkLinear), "Y = -0.5000000 * X  +12.0000000");
    EXPECT_EQ(Formula({0, 0, 0, 0}, fkCubic), "Y = 0");
    EXPECT_EQ(Formula({1, 0, 1, 0}, fkQuadratic), "Y = 1.0000000 * X^2  +1.0000000");
    EXPECT_EQ(Formula({0, 0, 0, 1}, fkCubic), "Y = 1.0000000 * X^3 ");
    EXPECT_EQ(Formula({-4, 0, 0, 0}, fkLinear), "Y = -4.0000000");
    // The kind decides which high terms appear, whatever the store holds.
    EXPECT_EQ(Formula({1, 2, 3, 4}, fkQuadratic), "Y = 3.0000000 * X^2  +2.0000000 * X  +1.0000000");
    EXPECT_EQ(Formula({1, 2, 3, 4}, fkLinear), "Y = 2.0000000 * X  +1.0000000");
    EXPECT_EQ(Formula({-1, 2000, 0, 0}, fkLinear), "Y = 2.0000000e+3 * X -1.0000000");
}

TEST(BuildFormula, CommaLocale) {
    TDecimalScope comma(U',');
    EXPECT_EQ(Formula({12, -0.5, 0, 0}, fkLinear), "Y = -0,5000000 * X  +12,0000000");
}

// Whether the coefficients as printed and in full give the exact fit to the digits Y is shown with,
// decided from the values at every X. The verdicts come from exact rational arithmetic in Python (the
// exact fit and the printed decimals as fractions, the allowance half a unit in the last digit of the
// finest 15-digit Y, or of the fitted value's 8-digit text where coarser).
std::vector<TDataPoint> ExamplePoints(const char* name) {
    std::vector<TDataPoint> points;
    std::ifstream in(std::string(QUORVEL_SOURCE_DIR "/examples/") + name);
    for (std::string y, x; in >> y >> x;) {
        std::replace(y.begin(), y.end(), ',', '.');
        std::replace(x.begin(), x.end(), ',', '.');
        points.push_back({std::strtod(x.c_str(), nullptr), std::strtod(y.c_str(), nullptr)});
    }
    return points;
}

std::vector<TDataPoint> FarReadings(double x0) {
    std::vector<TDataPoint> points;
    for (int i = 0; i < 25; ++i) {
        char x[40], y[40];
        std::snprintf(x, sizeof x, "%.6f", x0 + i * 1.001);
        std::snprintf(y, sizeof y, "%.6f", std::strtod(x, nullptr) + 0.1 * std::sin(1.7 * i + 0.3));
        points.push_back({std::strtod(x, nullptr), std::strtod(y, nullptr)});
    }
    return points;
}

TEST(CoefficientsReproduceFit, DecidedFromTheValuesAtEveryX) {
    TDecimalScope point(U'.');
    std::vector<TDataPoint> line;
    for (int x = 1; x < 8; ++x) {
        line.push_back({double(x), 2.0 * x + 1});
    }
    const struct {
        const char* name;
        std::vector<TDataPoint> points;
        TFunctionKind kind;
        bool printed;
        bool full;
    } rows[] = {
        // The printed coefficients miss by about 10^8 units of Y's last digit, the full ones by one.
        {"25 readings around 10^7", FarReadings(1e7), fkCubic, false, false},
        {"25 readings around 10^5", FarReadings(1e5), fkCubic, false, true},
        {"barometer around 101 kPa", ExamplePoints("barometer_comma.txt"), fkCubic, false, true},
        // A slope of 0.0100000 printed with 7 decimals misses Y (given to 0.001) by 0.0017 at 10^5.
        {"barometer, linear", ExamplePoints("barometer_comma.txt"), fkLinear, false, true},
        {"pressure gauge", ExamplePoints("pressure_gauge.txt"), fkCubic, true, true},
        {"thermocouple", ExamplePoints("thermocouple_k.txt"), fkCubic, true, true},
        {"an exact line", line, fkLinear, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_GT(row.points.size(), 6u);
        TFitCoefficients store;
        ASSERT_TRUE(SolveLeastSquares(row.kind, row.points, store));
        const TCoefficientFidelity fidelity = CoefficientsReproduceFit(store, row.points);
        EXPECT_EQ(fidelity.printed, row.printed);
        EXPECT_EQ(fidelity.full, row.full);
    }
    // A store that holds no fit is what it shows.
    const TCoefficientFidelity plain = CoefficientsReproduceFit(TFitCoefficients{1e7, 3, 0, 0}, line, 1e9);
    EXPECT_TRUE(plain.printed && plain.full);
}

TEST(DeviationColor, QuarterAndHalfSigma) {
    // A point on the curve is blue, also when sigma is 0; any other deviation is measured against sigma.
    EXPECT_EQ(DeviationColor(0, 0), clBlue);
    EXPECT_EQ(DeviationColor(0, 4), clBlue);
    EXPECT_EQ(DeviationColor(1e-300, 0), clRed);
    EXPECT_EQ(DeviationColor(0.99, 4), clBlue);
    EXPECT_EQ(DeviationColor(1, 4), clPurple);
    EXPECT_EQ(DeviationColor(1.99, 4), clPurple);
    EXPECT_EQ(DeviationColor(2, 4), clRed);
    EXPECT_EQ(DeviationColor(7, 4), clRed);
}

TEST(Recompute, LinearFit) {
    TDecimalScope point(U'.');
    TFitCoefficients store;
    const TRecomputeResult r = Recompute(TTextTable{{"2", "1"}, {"20", "10"}}, fkLinear, store);
    EXPECT_FALSE(r.tooFew);
    EXPECT_FALSE(r.solveFailed);
    EXPECT_EQ(r.pointCount, 2);
    EXPECT_EQ(r.coefficientTexts[0], "a0 = 0");
    EXPECT_EQ(r.coefficientTexts[1], "a1 = 2.0000000");
    EXPECT_EQ(r.coefficientTexts[2], "a2 = 0");
    EXPECT_EQ(r.coefficientTexts[3], "a3 = 0");
    EXPECT_EQ(r.formula, "Y = 2.0000000 * X ");
    EXPECT_EQ(r.resultText, r.formula);
    EXPECT_EQ(r.sigmaText, "0");
    EXPECT_EQ(r.maxErrText, "0");
    ASSERT_EQ(r.measured.size(), 2u);
    EXPECT_EQ(r.colors[0], clBlue);  // sigma 0, both points on the line
    EXPECT_EQ(r.colors[1], clBlue);
    EXPECT_EQ(r.curve.size(), 50u);  // 1 .. 10 in single precision
    EXPECT_EQ(r.curve[1].y, 2 * r.curve[1].x);
}

TEST(Recompute, ExactExamples) {
    TDecimalScope point(U'.');
    TFitCoefficients store;
    TRecomputeResult r = Recompute(TTextTable{{"2", "-1"}, {"1", "0"}, {"2", "1"}}, fkQuadratic, store);
    EXPECT_EQ(r.coefficientTexts[0], "a0 = 1.0000000");
    EXPECT_EQ(r.coefficientTexts[1], "a1 = 0");
    EXPECT_EQ(r.coefficientTexts[2], "a2 = 1.0000000");
    EXPECT_EQ(r.coefficientTexts[3], "a3 = 0");
    EXPECT_EQ(r.formula, "Y = 1.0000000 * X^2  +1.0000000");

    r = Recompute(TTextTable{{"-1", "-1"}, {"0", "0"}, {"1", "1"}, {"8", "2"}}, fkCubic, store);
    EXPECT_EQ(r.coefficientTexts[0], "a0 = 0");
    EXPECT_EQ(r.coefficientTexts[1], "a1 = 0");
    EXPECT_EQ(r.coefficientTexts[2], "a2 = 0");
    EXPECT_EQ(r.coefficientTexts[3], "a3 = 1.0000000");
    EXPECT_EQ(r.formula, "Y = 1.0000000 * X^3 ");
    EXPECT_EQ(r.maxErrText, "0");

    r = Recompute(TTextTable{{"0", "1"}, {"0", "2"}, {"0", "3"}, {"0", "4"}}, fkCubic, store);
    EXPECT_EQ(r.coefficientTexts[0], "a0 = 0");
    EXPECT_EQ(r.coefficientTexts[3], "a3 = 0");
    EXPECT_EQ(r.formula, "Y = 0");

    // X = −1, 3, 2, 6 with Y = X² + 1: a unique quadratic, found exactly.
    r = Recompute(TTextTable{{"2", "-1"}, {"10", "3"}, {"5", "2"}, {"37", "6"}}, fkQuadratic, store);
    EXPECT_FALSE(r.solveFailed);
    EXPECT_EQ(r.formula, "Y = 1.0000000 * X^2  +1.0000000");
}

TEST(Recompute, FailedSolvePresentsTheStore) {
    TDecimalScope point(U'.');
    TFitCoefficients store{1, 2, 3, 4};
    // All X zero: no quadratic; the store is untouched, and the formula leaves out a3.
    const TRecomputeResult r = Recompute(TTextTable{{"1", "0"}, {"2", "0"}, {"3", "0"}}, fkQuadratic, store);
    EXPECT_TRUE(r.solveFailed);
    EXPECT_FALSE(r.tooFew);
    EXPECT_EQ(store.a3, 4);
    EXPECT_EQ(r.coefficientTexts[3], "a3 = 4.0000000");
    EXPECT_EQ(r.formula, "Y = 3.0000000 * X^2  +2.0000000 * X  +1.0000000");
    // Deviations from Y = 1 + 2X + 3X² + 4X³ at X = 0 are 0, 1, 2.
    EXPECT_EQ(r.maxErrText, "2");
    EXPECT_EQ(r.sigmaText, "1.581");
    EXPECT_TRUE(r.curve.empty());

    TFitCoefficients line{7, 8, 9, 10};
    const TRecomputeResult l = Recompute(TTextTable{{"1", "5"}, {"2", "5"}}, fkLinear, line);
    EXPECT_TRUE(l.solveFailed);
    EXPECT_EQ(line.a0, 7);
    EXPECT_EQ(line.a1, 8);
    EXPECT_EQ(line.a2, 0);
    EXPECT_EQ(line.a3, 0);
    EXPECT_EQ(l.formula, "Y = 8.0000000 * X  +7.0000000");
}

TEST(Recompute, TooFewPoints) {
    TDecimalScope point(U'.');
    TFitCoefficients store{1, 2, 0, 0};
    // Three complete rows and several half-filled ones are too few for a cubic.
    const TRecomputeResult r =
        Recompute(TTextTable{{"3", "1"}, {"", "4"}, {"5", "2"}, {"9", ""}, {"1", ""}, {"7", "3"}, {"", "5"}},
                  fkCubic, store);
    EXPECT_TRUE(r.tooFew);
    EXPECT_FALSE(r.solveFailed);
    for (const std::string& caption : r.coefficientTexts) {
        EXPECT_EQ(caption, "Мало данных");
    }
    EXPECT_EQ(r.resultText, "Заполните таблицу значений Y(X)");
    EXPECT_EQ(r.formula, "Y = ");
    EXPECT_EQ(store.a0, 1);
    EXPECT_EQ(store.a1, 2);
    // Statistics, points and curve still come from the retained line Y = 1 + 2X: all exact.
    EXPECT_EQ(r.maxErrText, "0");
    EXPECT_EQ(r.measured.size(), 3u);
    ASSERT_FALSE(r.curve.empty());
    EXPECT_EQ(r.curve.front().x, 1);
    EXPECT_EQ(r.curve.front().y, 3);

    const TRecomputeResult empty = Recompute(TTextTable{}, fkLinear, store);
    EXPECT_TRUE(empty.tooFew);
    EXPECT_TRUE(empty.measured.empty());
    EXPECT_TRUE(empty.curve.empty());
    EXPECT_EQ(empty.sigmaText, "0");
    const TRecomputeResult one = Recompute(TTextTable{{"5", "1"}}, fkLinear, store);
    EXPECT_EQ(one.statistics.sigma, 0);
    EXPECT_EQ(one.maxErrText, "2");
}

TEST(Recompute, BadCellLeavesTheStoreAlone) {
    TDecimalScope point(U'.');
    TFitCoefficients store{1, 2, 3, 4};
    EXPECT_THROW(Recompute(TTextTable{{"1", "1"}, {"2", "2"}, {"x", "3"}}, fkLinear, store), EConvertError);
    EXPECT_EQ(store.a0, 1);
    EXPECT_EQ(store.a3, 4);
}

// A fault after the solve ends the recompute: the result keeps what came before and the error.
TEST(Recompute, FaultAfterTheSolveSaysHowFarItGot) {
    TDecimalScope point(U'.');
    const struct {
        TTextTable table;
        TRecomputeStage reached;
        const char* formula;
        std::size_t colors;
    } rows[] = {
        // A deviation of 2.3e308 is beyond the double range: the statistics fail.
        {TTextTable{{"1.7e308", "0"}, {"-1.7e308", "1"}, {"1.7e308", "2"}}, rsPresented, "Y = 5.6666667e+307",
         0},
        // The curve's ends are held in single precision: 1e39 is beyond it.
        {TTextTable{{"1e39", "1e39"}, {"2e39", "2e39"}}, rsPoints, "Y = 1.0000000 * X ", 2},
    };
    for (const auto& row : rows) {
        TFitCoefficients store;
        const TRecomputeResult r = Recompute(row.table, fkLinear, store);
        EXPECT_FALSE(r.solveFailed);
        EXPECT_EQ(r.reached, row.reached);
        EXPECT_EQ(r.formula, row.formula);
        EXPECT_EQ(r.colors.size(), row.colors);
        EXPECT_TRUE(r.curve.empty());
        ASSERT_TRUE(r.error);
        EXPECT_THROW(std::rethrow_exception(r.error), EOverflow);
    }
    // Squares of the deviations beyond the range, while the deviations and sigma are within it: sigma is
    // taken from the exact sum of squares, not from the squares of the rounded deviations.
    for (const TTextTable& table :
         {TTextTable{{"2", "1"}, {"20", "10"}}, TTextTable{{"0", "0"}, {"1e200", "1"}, {"0", "2"}}}) {
        TFitCoefficients store;
        const TRecomputeResult complete = Recompute(table, fkLinear, store);
        EXPECT_EQ(complete.reached, rsCurve);
        EXPECT_FALSE(complete.error);
    }
}

// Once a chart holds the points, their room goes back; what the window shows stays.
TEST(Recompute, ChartDataReleasedTextsKept) {
    TDecimalScope point(U'.');
    TFitCoefficients store;
    TRecomputeResult r = Recompute(TTextTable{{"2", "1"}, {"4", "2"}, {"7", "3"}}, fkLinear, store, true);
    ASSERT_EQ(r.measured.size(), 3u);
    ASSERT_FALSE(r.curve.empty());
    const std::string formula = r.formula;
    ReleaseChartData(r);
    EXPECT_EQ(r.measured.capacity(), 0u);
    EXPECT_EQ(r.colors.capacity(), 0u);
    EXPECT_EQ(r.measuredByX.capacity(), 0u);
    EXPECT_EQ(r.curve.capacity(), 0u);
    EXPECT_EQ(r.formula, formula);
    EXPECT_EQ(r.pointCount, 3);
    EXPECT_TRUE(r.uncertainty.has_value());
}

TEST(Recompute, MeasuredPointsInTableOrderAndByX) {
    TDecimalScope point(U'.');
    TFitCoefficients store;
    const TRecomputeResult r =
        Recompute(TTextTable{{"5", "5"}, {"1", "3"}, {"1", "1"}, {"3", "3"}, {"12", "2"}}, fkCubic, store);
    ASSERT_EQ(r.measured.size(), 5u);
    EXPECT_EQ(r.measured[0].X, 5);
    EXPECT_EQ(r.measured[0].Y, 5);
    EXPECT_EQ(r.measured[4].X, 2);
    EXPECT_EQ(r.measuredByX, (std::vector<int>{2, 4, 1, 3, 0}));  // stable among the equal X = 3
    ASSERT_FALSE(r.curve.empty());
    EXPECT_EQ(r.curve.front().x, 1);
    EXPECT_LT(r.curve.back().x, 5);
}

// A large table's order by X is sorted on another thread while the fit goes on: the same order (stable
// among equal X) and colours as on one core.
TEST(Recompute, LargeTableOrderedBesideTheFit) {
    std::mt19937_64 rng(11);
    TPointTable points(70000);
    for (TDataPoint& p : points) {
        p.X = 101325 + std::uniform_real_distribution<double>(-50, 50)(rng);
        p.Y = 0.5 * p.X + std::uniform_real_distribution<double>(-1, 1)(rng);
        if (rng() % 4 == 0) {
            p.X = std::floor(p.X);  // equal X values keep their table order
        }
    }
    std::vector<int> byX(points.size());
    std::iota(byX.begin(), byX.end(), 0);
    std::stable_sort(byX.begin(), byX.end(), [&points](int a, int b) { return points[a].X < points[b].X; });
    std::vector<TColor> oneCoreColors;
    for (const bool twoCores : {false, true}) {
        TFitCoefficients store;
        const TRecomputeResult r =
            RecomputePoints(points, fkQuadratic, store, false, true, TWorkOptions{.secondCore = twoCores});
        EXPECT_EQ(r.reached, rsCurve);
        EXPECT_EQ(r.measuredByX, byX) << twoCores;
        if (!twoCores) {
            oneCoreColors = r.colors;
        } else {
            EXPECT_EQ(r.colors, oneCoreColors);
        }
    }
}

// Work in two parts: each part runs to its end whatever the other throws, and then the first part's
// exception (else the second's) is thrown on; with a second core the second part runs beside the first.
TEST(WorkBeside, BothRunToTheirEndAndTheFirstFaultIsThrown) {
    const struct {
        bool firstThrows;
        bool secondThrows;
        const char* thrown;
    } rows[] = {{false, false, ""}, {true, false, "first"}, {false, true, "second"}, {true, true, "first"}};
    for (const bool twoCores : {false, true}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(twoCores ? "two cores, " : "one core, ") + row.thrown);
            bool firstEnded = false;
            bool secondEnded = false;
            std::thread::id secondThread;
            std::string thrown;
            try {
                BothAtOnce(
                    TWorkOptions{.secondCore = twoCores},
                    [&] {
                        firstEnded = true;
                        if (row.firstThrows) {
                            throw std::runtime_error("first");
                        }
                    },
                    [&] {
                        secondThread = std::this_thread::get_id();
                        secondEnded = true;
                        if (row.secondThrows) {
                            throw std::runtime_error("second");
                        }
                    });
            } catch (const std::runtime_error& e) {
                thrown = e.what();
            }
            EXPECT_TRUE(firstEnded);
            EXPECT_TRUE(secondEnded);
            EXPECT_EQ(thrown, row.thrown);
            EXPECT_EQ(secondThread != std::this_thread::get_id(),
                      twoCores && std::thread::hardware_concurrency() >= 2);
        }
    }
}

TEST(Recompute, QuarterAndHalfSigmaColours) {
    TDecimalScope point(U'.');
    // The too-few state of the cubic kind keeps the store Y = 0, so each deviation is |Y|.
    TFitCoefficients store{0, 0, 0, 0};
    const TRecomputeResult r = Recompute(TTextTable{{"0", "1"}, {"1", "2"}, {"-2", "3"}}, fkCubic, store);
    ASSERT_TRUE(r.tooFew);
    // Deviations 0, 1, 2 → sumSq 5, sigma √2.5 ≈ 1.581: quarter 0.395, half 0.791.
    EXPECT_EQ(r.sigmaText, "1.581");
    EXPECT_EQ(r.colors[0], clBlue);
    EXPECT_EQ(r.colors[1], clRed);
    EXPECT_EQ(r.colors[2], clRed);
    TFitCoefficients s2{0, 0, 0, 0};
    const TRecomputeResult r2 = Recompute(TTextTable{{"0.5", "1"}, {"0", "2"}, {"-1", "3"}}, fkCubic, s2);
    // Deviations 0.5, 0, 1 → sumSq 1.25, sigma √0.625 ≈ 0.791: quarter 0.198, half 0.395.
    EXPECT_EQ(r2.colors[0], clRed);
    EXPECT_EQ(r2.colors[1], clBlue);
    TFitCoefficients s3{0, 0, 0, 0};
    const TRecomputeResult r3 = Recompute(TTextTable{{"0.3", "1"}, {"0", "2"}, {"-1", "3"}}, fkCubic, s3);
    // Deviations 0.3, 0, 1 → sigma √(1.09/2) ≈ 0.738: quarter 0.185, half 0.369: 0.3 is purple.
    EXPECT_EQ(r3.colors[0], clPurple);
    // As many points as coefficients: the cubic passes through them, every deviation is exactly 0, so sigma
    // is 0 and every point is blue (from the rounded coefficients the deviations were tiny but not 0).
    TFitCoefficients s4;
    const TRecomputeResult r4 =
        Recompute(TTextTable{{"0.3", "1.1"}, {"5.1", "2.7"}, {"-1.9", "3.3"}, {"2.2", "4.9"}}, fkCubic, s4);
    ASSERT_FALSE(r4.solveFailed);
    EXPECT_EQ(r4.statistics.maxError, 0);
    EXPECT_EQ(r4.statistics.sigma, 0);
    EXPECT_EQ(r4.colors, std::vector<TColor>(4, clBlue));
}

TEST(EvaluateAt, TextsAndStates) {
    TDecimalScope comma(U',');
    const TFitCoefficients store{1, 2, 0, 0};
    for (const char* skipped : {"", "-", "+"}) {
        EXPECT_EQ(EvaluateAt(skipped, store).state, TEvaluation::Skipped);
    }
    TEvaluation e = EvaluateAt("2", store);
    EXPECT_EQ(e.state, TEvaluation::Evaluated);
    EXPECT_EQ(e.y, 5);
    EXPECT_EQ(e.yText, "5,0000000");
    EXPECT_EQ(e.label, "2");
    EXPECT_EQ(EvaluateAt("2.5", store).yText, "6,0000000");
    EXPECT_EQ(EvaluateAt("2,5", store).label, "2,5");
    EXPECT_EQ(EvaluateAt("-0,5", store).yText, "0");  // exactly 0
    EXPECT_EQ(EvaluateAt("3", TFitCoefficients{}).yText, "3,0000000");
    EXPECT_EQ(EvaluateAt("1000", TFitCoefficients{}).yText, "1,0000000e+3");
    EXPECT_EQ(EvaluateAt("0,0005", TFitCoefficients{}).yText, "5,0000000e-4");
    EXPECT_EQ(EvaluateAt("999,5", TFitCoefficients{}).yText, "999,5000000");

    e = EvaluateAt("abc", store);
    EXPECT_EQ(e.state, TEvaluation::Invalid);
    EXPECT_EQ(
        e.message,
        "abc не является правильным числом\nПримеры правильного ввода:\n   0,25\n   -15,74e4\n   +15638e-5");
    EXPECT_TRUE(e.yText.empty());
    EXPECT_EQ(EvaluateAt("1.2.3", store).message.substr(0, 6), "1.2.3 ");
    EXPECT_EQ(EvaluateAt("1e400", store).state, TEvaluation::Invalid);
    // A command line's X is finished; the window's is read while typed, where "1e" is on its way.
    EXPECT_EQ(EvaluateAt("1e", store).state, TEvaluation::Invalid);
    EXPECT_EQ(EvaluateAt("1e", store, tsBeingTyped).y, 3);
    // Y beyond the range: X is read, and the error is kept for the front end to show (or to write into
    // the report's row of Y at X).
    e = EvaluateAt("1e200", {0, 0, 1, 0});
    EXPECT_EQ(e.state, TEvaluation::BeyondRange);
    EXPECT_EQ(e.x, 1e200);
    EXPECT_EQ(e.label, "1E200");
    EXPECT_TRUE(e.yText.empty());
    ASSERT_TRUE(e.error);
    EXPECT_THROW(std::rethrow_exception(e.error), EOverflow);
}

}  // namespace
}  // namespace quorvel
