#include "fitting/calibration_fit.h"

#include <gtest/gtest.h>
#include <algorithm>

#include <cmath>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "exact_reference.h"
#include "fitting/distance_fit.h"

namespace quorvel {
namespace {

using testing::Exact;
using testing::IsNearestDouble;
using testing::IsNearestSqrt;

// Points with their uncertainties, as the calibration takes them.
struct TTable {
    struct TRow {
        double x, y, ux, uy;
    };
    TPointTable points;
    TUncertaintyColumns u;
    void push_back(const TRow& r) {
        points.push_back({r.x, r.y});
        u.ux.push_back(r.ux);
        u.uy.push_back(r.uy);
    }
};

TTable Table(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& ux,
             const std::vector<double>& uy) {
    TTable table;
    for (std::size_t i = 0; i < x.size(); ++i) {
        table.push_back({x[i], y[i], ux.size() == 1 ? ux[0] : ux[i], uy.size() == 1 ? uy[0] : uy[i]});
    }
    return table;
}

// The published worked examples of straight-line calibration, to the digits they are published with.
struct TPublishedCase {
    const char* name;
    TTable table;
    TFitMethod method;
    double a0, u0, a1, u1, cov01, chi2;
    double digits;  // half a unit in the last published digit
};

TEST(CalibrationFit, PublishedStraightLineExamples) {
    const TPublishedCase cases[] = {
        {"equal_weights", Table({1, 2, 3, 4, 5, 6}, {3.3, 5.6, 7.1, 9.3, 10.7, 12.1}, {0}, {0.5}),
         TFitMethod::Weighted, 1.867, 0.465, 1.757, 0.120, -0.050, 1.665, 0.0005},
        {"both_variables",
         Table({1.2, 1.9, 2.9, 4.0, 4.7, 5.9}, {3.4, 4.4, 7.2, 8.5, 10.8, 13.5}, {0.2},
               {0.2, 0.2, 0.2, 0.4, 0.4, 0.4}),
         TFitMethod::Generalized, 0.5788, 0.4764, 2.1597, 0.1355, -0.0577, 2.743, 0.00005},
    };
    for (const TPublishedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TCalibration fit(c.table.points, &c.table.u, 1);
        const TCalibrationFigures& f = fit.Figures();
        EXPECT_EQ(f.method, c.method);
        EXPECT_NEAR(f.a[0], c.a0, c.digits);
        EXPECT_NEAR(*f.u[0], c.u0, c.digits);
        EXPECT_NEAR(f.a[1], c.a1, c.digits);
        EXPECT_NEAR(*f.u[1], c.u1, c.digits);
        EXPECT_NEAR(*f.covariance[0][1], c.cov01, c.digits);
        EXPECT_NEAR(*f.chiSquared, c.chi2, std::max(c.digits, 0.0005));
        EXPECT_EQ(f.dof, 4);
        EXPECT_NEAR(*f.chiSquaredCritical, 9.488, 0.0005);
        EXPECT_TRUE(*f.consistent);
        EXPECT_EQ(f.coverage, kNormalCoverage95);
    }
    // The first example's forward and inverse evaluation.
    const TCalibration fit(cases[0].table.points, &cases[0].table.u, 1);
    const TCalibrationValue at = fit.Evaluate(3.5, 0.2);
    EXPECT_NEAR(at.value, 8.017, 0.0005);
    EXPECT_NEAR(at.u, 0.406, 0.0005);
    const std::optional<TCalibrationValue> inverse = fit.Inverse(10.5, 0.5, 1, 6);
    ASSERT_TRUE(inverse);
    EXPECT_NEAR(inverse->value, 4.913, 0.0005);
    EXPECT_NEAR(inverse->u, 0.322, 0.0005);
    EXPECT_NEAR(inverse->expanded, 0.322 * kNormalCoverage95, 0.001);
}

// Weighted fits held against Gauss-Jordan elimination on rationals: every figure the double nearest to the
// exact one, with few u(Y) values (summed exactly) and with many (weights rounded, precision raised until
// the rounding is certain).
struct TWeightedCase {
    const char* name;
    int degree;
    int count;
    double offset;
    double spacing;
    std::function<double(int, std::mt19937_64&)> uy;
    int weightBits = 128;  // where rounded weights start
};

TEST(CalibrationFit, WeightedFiguresAreTheExactOnesRounded) {
    const TWeightedCase cases[] = {
        {"line_one_u", 1, 20, 0, 0.5, [](int, std::mt19937_64&) { return 0.05; }},
        {"quadratic_three_u", 2, 30, 0, 0.37,
         [](int i, std::mt19937_64&) { return i % 3 == 0   ? 0.2
                                              : i % 3 == 1 ? 0.4
                                                           : 0.03; }},
        {"cubic_offset", 3, 25, 101325, 1.001, [](int i, std::mt19937_64&) { return 0.01 * (1 + i % 5); }},
        {"cubic_percent_u", 3, 260, 0, 0.1,
         [](int, std::mt19937_64& rng) { return std::uniform_real_distribution<double>(0.01, 0.5)(rng); }},
        {"line_percent_offset", 1, 270, 1e5, 3.3,
         [](int, std::mt19937_64& rng) { return std::uniform_real_distribution<double>(1e-3, 2e-3)(rng); }},
        // Far from zero the solve amplifies the weights' rounding by some 10^30: more bits are needed.
        {"cubic_far_offset_many_u", 3, 260, 1e7, 1.001,
         [](int, std::mt19937_64& rng) { return std::uniform_real_distribution<double>(0.01, 0.02)(rng); }},
        // A line through curved points far from zero, its weights rounded to only 64 bits at first: the
        // figures must still be the exact ones rounded.
        {"line_misfit_far_offset_from_64_bits", 1, 260, 1e7, 1.001,
         [](int, std::mt19937_64& rng) { return std::uniform_real_distribution<double>(0.01, 0.02)(rng); },
         64},
    };
    for (const TWeightedCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937_64 rng(7);
        std::normal_distribution<double> noise(0, 1);
        TTable table;
        std::vector<mpq_class> weights;
        for (int i = 0; i < c.count; ++i) {
            const double x = c.offset + c.spacing * i + 0.1 * noise(rng);
            const double u = c.uy(i, rng);
            const double y =
                2 + 0.7 * (x - c.offset) + 0.01 * (x - c.offset) * (x - c.offset) + u * noise(rng);
            table.push_back({x, y, 0, u});
            weights.push_back(1 / (Exact(u) * Exact(u)));
        }
        const auto exact = testing::ExactWeightedLeastSquares(table.points, weights, c.degree);
        ASSERT_TRUE(exact);
        const TCalibration fit(table.points, &table.u, c.degree, c.weightBits);
        const TCalibrationFigures& f = fit.Figures();
        ASSERT_EQ(f.method, TFitMethod::Weighted);
        for (int j = 0; j <= c.degree; ++j) {
            EXPECT_TRUE(IsNearestDouble(exact->coefficients[j], f.a[j])) << "a" << j << " = " << f.a[j];
            EXPECT_TRUE(IsNearestSqrt(exact->inverse[j][j], *f.u[j])) << "u" << j;
            for (int k = 0; k <= c.degree; ++k) {
                EXPECT_TRUE(IsNearestDouble(exact->inverse[j][k], *f.covariance[j][k])) << j << "," << k;
            }
        }
        EXPECT_TRUE(IsNearestDouble(exact->residualSquares, *f.chiSquared));
        // Γ: the largest |r|/u(Y), from the deviations each rounded once and divided: a few ulps.
        mpq_class gamma = 0;
        for (std::size_t i = 0; i < table.points.size(); ++i) {
            mpq_class value = 0;
            for (int j = c.degree; j >= 0; --j) {
                value = value * Exact(table.points[i].X) + exact->coefficients[j];
            }
            gamma = std::max<mpq_class>(gamma, abs(Exact(table.points[i].Y) - value) / Exact(table.u.Uy(i)));
        }
        const double expectedGamma = gamma.get_d();
        EXPECT_NEAR(*fit.Gamma(table.points, table.u), expectedGamma, 4e-16 * expectedGamma);
        // R² against the weighted scatter about the weighted mean.
        mpq_class sw = 0, swy = 0, total = 0;
        for (std::size_t i = 0; i < table.points.size(); ++i) {
            sw += weights[i];
            swy += weights[i] * Exact(table.points[i].Y);
        }
        for (std::size_t i = 0; i < table.points.size(); ++i) {
            const mpq_class d = Exact(table.points[i].Y) - swy / sw;
            total += weights[i] * d * d;
        }
        EXPECT_TRUE(IsNearestDouble(1 - exact->residualSquares / total, *f.rSquared));
        const int n = c.count, p = c.degree + 1;
        EXPECT_TRUE(
            IsNearestDouble(1 - exact->residualSquares / total * (n - 1) / (n - p), *f.adjustedRSquared));
        // Y at an X with its uncertainty: gᵀVg exactly, rounded once.
        const double x = c.offset + c.spacing * c.count / 3;
        mpq_class value = 0, variance = 0;
        for (int j = c.degree; j >= 0; --j) {
            value = value * Exact(x) + exact->coefficients[j];
        }
        for (int j = 0; j <= c.degree; ++j) {
            for (int k = 0; k <= c.degree; ++k) {
                mpq_class term = exact->inverse[j][k];
                for (int e = 0; e < j + k; ++e) {
                    term *= Exact(x);
                }
                variance += term;
            }
        }
        const TCalibrationValue at = fit.Evaluate(x);
        EXPECT_TRUE(IsNearestDouble(value, at.value));
        EXPECT_TRUE(IsNearestSqrt(variance, at.u));
    }
}

// The ordinary fit through the same path: the coefficients of the exact least squares, the covariance
// scaled by s² = S/(n − p), and R² from the exact sums.
TEST(CalibrationFit, OrdinaryFiguresAreTheExactOnesRounded) {
    TTable table;
    std::mt19937_64 rng(3);
    std::normal_distribution<double> noise(0, 0.01);
    for (int i = 0; i < 40; ++i) {
        const double x = 1e7 + i * 1.001;
        const double y = 5 + 0.999 * (x - 1e7) + noise(rng);
        table.push_back({x, y, 0.3, 7});  // the uncertainties are not used
    }
    const auto exact =
        testing::ExactWeightedLeastSquares(table.points, std::vector<mpq_class>(40, mpq_class(1)), 3);
    const TCalibration fit(table.points, nullptr, 3);
    const TCalibrationFigures& f = fit.Figures();
    EXPECT_EQ(f.method, TFitMethod::Ordinary);
    const mpq_class s2 = exact->residualSquares / 36;
    EXPECT_TRUE(IsNearestSqrt(s2, *f.residualSd));
    for (int j = 0; j <= 3; ++j) {
        EXPECT_TRUE(IsNearestDouble(exact->coefficients[j], f.a[j])) << j;
        EXPECT_TRUE(IsNearestSqrt(s2 * exact->inverse[j][j], *f.u[j])) << j;
    }
    EXPECT_FALSE(f.chiSquared);
    EXPECT_FALSE(f.gamma);
    EXPECT_GT(f.coverage, 2.02);  // Student's t for 36 degrees of freedom
    EXPECT_LT(f.coverage, 2.03);
}

// One generalized case of the committed oracle file.
struct TOracleCase {
    std::string name;
    int degree = 1;
    TTable table;
    std::vector<double> a, u, cov;
    double chi2 = 0, gamma = 0;
};

std::vector<TOracleCase> ReadOracleCases(const std::string& path) {
    std::ifstream in(path);
    std::vector<TOracleCase> cases;
    std::string line;
    const auto numbers = [](std::istringstream& words) {
        std::vector<double> v;
        std::string w;
        while (words >> w) {
            v.push_back(std::stod(w));
        }
        return v;
    };
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string head;
        words >> head;
        if (head == "case") {
            cases.emplace_back();
            int count = 0;
            words >> cases.back().name >> cases.back().degree >> count;
        } else if (head == "point") {
            std::string x, y, ux, uy;
            words >> x >> y >> ux >> uy;
            cases.back().table.push_back({std::strtod(x.c_str(), nullptr), std::strtod(y.c_str(), nullptr),
                                          std::strtod(ux.c_str(), nullptr),
                                          std::strtod(uy.c_str(), nullptr)});
        } else if (head == "a") {
            cases.back().a = numbers(words);
        } else if (head == "u") {
            cases.back().u = numbers(words);
        } else if (head == "cov") {
            cases.back().cov = numbers(words);
        } else if (head == "chi2") {
            cases.back().chi2 = numbers(words).at(0);
        } else if (head == "gamma") {
            cases.back().gamma = numbers(words).at(0);
        }
    }
    return cases;
}

TEST(CalibrationFit, DistanceRegressionMatchesTheHighPrecisionOracle) {
    const std::vector<TOracleCase> cases =
        ReadOracleCases(QUORVEL_SOURCE_DIR "/tests/fitting/data/distance_cases.txt");
    ASSERT_GE(cases.size(), 9u);
    for (const TOracleCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TCalibration fit(c.table.points, &c.table.u, c.degree);
        const TCalibrationFigures& f = fit.Figures();
        const int p = c.degree + 1;
        for (int j = 0; j < p; ++j) {
            EXPECT_LE(std::fabs(f.a[j] - c.a[j]), 1e-12 * std::fabs(c.a[j])) << "a" << j << " " << f.a[j];
            EXPECT_LE(std::fabs(*f.u[j] - c.u[j]), 1e-10 * c.u[j]) << "u" << j;
            for (int k = 0; k < p; ++k) {
                const double expected = c.cov[static_cast<std::size_t>(j * p + k)];
                EXPECT_LE(std::fabs(*f.covariance[j][k] - expected), 1e-10 * std::fabs(expected))
                    << j << "," << k;
            }
        }
        EXPECT_LE(std::fabs(*f.chiSquared - c.chi2), 1e-12 * c.chi2);
        EXPECT_LE(std::fabs(*f.gamma - c.gamma), 1e-10 * c.gamma);
        EXPECT_EQ(*f.consistent, *f.chiSquared <= *f.chiSquaredCritical);
    }
}

TEST(CalibrationFit, FarPointFailsTheModelCheck) {
    for (const TOracleCase& c :
         ReadOracleCases(QUORVEL_SOURCE_DIR "/tests/fitting/data/distance_cases.txt")) {
        if (c.name == "far_point") {
            const TCalibrationFigures f = TCalibration(c.table.points, &c.table.u, c.degree).Figures();
            EXPECT_FALSE(*f.consistent) << *f.chiSquared << " against " << *f.chiSquaredCritical;
            EXPECT_GT(*f.gamma, 2);
            return;
        }
    }
    FAIL() << "no far_point case";
}

struct TInverseCase {
    const char* name;
    std::vector<double> x, y;
    int degree;
    double target;
    bool found;
};

TEST(CalibrationFit, InverseEvaluationFindsTheOneRootInTheRange) {
    const TInverseCase cases[] = {
        {"line", {0, 1, 2, 3}, {1, 3, 5, 7}, 1, 4, true},
        {"outside_the_range", {0, 1, 2, 3}, {1, 3, 5, 7}, 1, 8, false},
        {"parabola_twice", {-2, -1, 0, 1, 2}, {4, 1, 0, 1, 4}, 2, 2, false},
        // One root, but the curve is flat there: X has no finite uncertainty.
        {"parabola_at_the_vertex", {-2, -1, 0, 1, 2}, {4, 1, 0, 1, 4}, 2, 0, false},
        {"parabola_one_side", {0, 1, 2, 3, 4}, {0, 1, 4, 9, 16}, 2, 2, true},
        {"monotone_cubic", {0, 1, 2, 3, 4}, {0, 1, 8, 27, 64}, 3, 20, true},
        {"cubic_three_roots", {-2, -1, 0, 1, 2}, {-6, 0, 0, 0, 6}, 3, 0, false},
    };
    for (const TInverseCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTable table;
        for (std::size_t i = 0; i < c.x.size(); ++i) {
            table.push_back({c.x[i], c.y[i], 0, 0.1});
        }
        const TCalibration fit(table.points, &table.u, c.degree);
        const auto inverse = fit.Inverse(c.target, 0, c.x.front(), c.x.back());
        ASSERT_EQ(inverse.has_value(), c.found);
        if (!inverse) {
            continue;
        }
        // The exact root lies within half an ulp: f − target changes sign around it (or is 0 there).
        const double x = inverse->value;
        const double below = std::nextafter(x, -INFINITY), above = std::nextafter(x, INFINITY);
        const double here = fit.ValueAt(x) - c.target;
        EXPECT_TRUE(here == 0 || (fit.ValueAt(below) - c.target) * (fit.ValueAt(above) - c.target) <= 0) << x;
    }
}

TEST(CalibrationFit, NoUniqueSolutionIsAnError) {
    const TTable same = Table({2, 2, 2, 2}, {1, 2, 3, 4}, {0}, {0.1});
    EXPECT_THROW(TCalibration(same.points, &same.u, 1), EFitNotFound);
    const TTable sameWithUx = Table({2, 2, 2, 2}, {1, 2, 3, 4}, {0.1}, {0.1});
    EXPECT_THROW(TCalibration(sameWithUx.points, &sameWithUx.u, 2), EFitNotFound);
    const TTable two = Table({1, 2}, {1, 2}, {0}, {0.1});
    EXPECT_THROW(TCalibration(two.points, &two.u, 2), EFitNotFound);  // too few points
}

struct TKindCase {
    const char* name;
    std::function<double(double)> curve;
    int count;
    bool ordinary;
    int recommended;
    std::size_t kinds;
    double offset = 0;       // added to X
    bool distinctU = false;  // every u(Y) different: more classes than are summed exactly
    double ux = 0;
};

// The figures two fits must share bit for bit.
void ExpectSameFigures(const TCalibrationFigures& a, const TCalibrationFigures& b) {
    EXPECT_EQ(a.method, b.method);
    EXPECT_EQ(a.degree, b.degree);
    EXPECT_EQ(a.a, b.a);
    EXPECT_EQ(a.covariance, b.covariance);
    EXPECT_EQ(a.u, b.u);
    EXPECT_EQ(a.expanded, b.expanded);
    EXPECT_EQ(a.chiSquared, b.chiSquared);
    EXPECT_EQ(a.residualSd, b.residualSd);
    EXPECT_EQ(a.rSquared, b.rSquared);
    EXPECT_EQ(a.adjustedRSquared, b.adjustedRSquared);
}

TEST(CalibrationFit, CompareKindsRecommendsTheHighestSignificantOne) {
    const TKindCase cases[] = {
        {"line", [](double x) { return 1 + 2 * x; }, 12, false, 1, 3},
        {"parabola", [](double x) { return 1 + 2 * x + 0.3 * x * x; }, 12, false, 2, 3},
        {"cubic", [](double x) { return 1 - x + 0.2 * x * x * x; }, 12, true, 3, 3},
        {"three_points", [](double x) { return x * x; }, 3, true, 1, 2},
        {"offset_distinct_u", [](double x) { return 3 + 0.5 * x + 0.02 * x * x; }, 300, false, 2, 3, 101325,
         true},
        {"offset_ordinary", [](double x) { return 3 + 0.5 * x; }, 40, true, 1, 3, 101325},
        {"both_variables", [](double x) { return 1 + 2 * x; }, 12, false, 1, 3, 0, false, 0.02},
    };
    for (const TKindCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937_64 rng(11);
        std::normal_distribution<double> noise(0, 0.01);
        TTable table;
        for (int i = 0; i < c.count; ++i) {
            const double x = i * 0.5;
            table.push_back(
                {c.offset + x, c.curve(x) + noise(rng), c.ux, c.distinctU ? 0.01 + i * 1e-6 : 0.01});
        }
        const TUncertaintyColumns* given = c.ordinary ? nullptr : &table.u;
        const TKindChoice choice = CompareKinds(table.points, given);
        // Each kind of the comparison, from one summation, is the fit of that kind made alone.
        const auto fits = TCalibration::EachKind(table.points, given);
        for (std::size_t k = 0; k < choice.kinds.size(); ++k) {
            ASSERT_TRUE(fits[k]);
            ExpectSameFigures(fits[k]->Figures(),
                              TCalibration(table.points, given, static_cast<int>(k) + 1).Figures());
        }
        EXPECT_EQ(choice.recommended, c.recommended);
        ASSERT_EQ(choice.kinds.size(), c.kinds);
        for (std::size_t k = 0; k < choice.kinds.size(); ++k) {
            EXPECT_EQ(choice.kinds[k].degree, static_cast<int>(k) + 1);
            EXPECT_EQ(choice.kinds[k].dof, c.count - static_cast<int>(k) - 2);
            EXPECT_EQ(choice.kinds[k].residualSd.has_value(), c.ordinary && choice.kinds[k].dof > 0);
            EXPECT_EQ(choice.kinds[k].chiSquared.has_value(), !c.ordinary);
        }
    }
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// A large table's weighted fit (rounded weights) and fit in both variables tell their steps, in order and
// within 0 … 1, and the steps change nothing of the fit.
TEST(CalibrationFit, LargeFitsTellTheirStepsAndStayTheSame) {
    TTable table;
    for (int i = 0; i < 40000; ++i) {
        const double x = 100 + 0.01 * i;
        // More than 256 distinct u(Y): the sums of rounded weights.
        table.push_back({x, 2 + 0.5 * x + 1e-4 * ((i * 7919) % 23 - 11), i % 3 == 0 ? 0.002 : 0.0,
                         0.001 + 1e-7 * (i % 1000)});
    }
    TUncertaintyColumns weighted = table.u;
    weighted.ux.clear();
    for (const TUncertaintyColumns* given : {&weighted, &table.u}) {
        std::vector<double> told;
        const TCalibration stepped(table.points, given, 1, 128, {},
                                   [&told](double done) { told.push_back(done); });
        const TCalibration plain(table.points, given, 1);
        EXPECT_GE(told.size(), 4u) << MethodName(stepped.Figures().method);
        EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
        for (const double done : told) {
            EXPECT_GE(done, 0.0);
            EXPECT_LE(done, 1.0);
        }
        EXPECT_EQ(stepped.Figures().a, plain.Figures().a);
        EXPECT_EQ(stepped.Figures().u, plain.Figures().u);
        EXPECT_EQ(stepped.Figures().chiSquared, plain.Figures().chiSquared);
    }
}

}  // namespace
}  // namespace quorvel
