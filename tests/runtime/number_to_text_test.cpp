// The general form: 15 significant digits, and where it switches to the exponent form.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "runtime/number_text.h"
#include "runtime/number_text_detail.h"
#include "separators_scope.h"

namespace quorvel {
namespace {

using test::SeparatorsScope;

TEST(NumberToText, SwitchesToExponentFormOutsideTheFifteenDigitWindow) {
    SeparatorsScope scope(U',', U' ');
    EXPECT_EQ(NumberToText(123456789012345.0), "123456789012345");
    EXPECT_EQ(NumberToText(999999999999999.0), "999999999999999");
    EXPECT_EQ(NumberToText(9999999999999999.0), "1E16");  // rounds up past the window
    EXPECT_EQ(NumberToText(1e15), "1E15");
    EXPECT_EQ(NumberToText(1.25e20), "1,25E20");
    EXPECT_EQ(NumberToText(1e14), "100000000000000");
    EXPECT_EQ(NumberToText(0.0001), "0,0001");
    EXPECT_EQ(NumberToText(0.00009999999999999999), "0,0001");
    EXPECT_EQ(NumberToText(0.000099999), "9,9999E-5");
    EXPECT_EQ(NumberToText(-1e-300), "-1E-300");
}

TEST(NumberToText, ExtremesAndSpecialValues) {
    SeparatorsScope scope(U'.', U',');
    EXPECT_EQ(NumberToText(DBL_MAX), "1.79769313486232E308");
    EXPECT_EQ(NumberToText(DBL_TRUE_MIN), "4.94065645841247E-324");
    EXPECT_EQ(NumberToText(-0.0), "0");
    EXPECT_EQ(NumberToText(NAN), "NAN");
    EXPECT_EQ(NumberToText(-NAN), "NAN");
    EXPECT_EQ(NumberToText(INFINITY), "INF");
    EXPECT_EQ(NumberToText(-INFINITY), "-INF");
    EXPECT_EQ(NumberToText(0.1 + 0.7), "0.8");
    EXPECT_EQ(NumberToText(2.0 / 3), "0.666666666666667");
}

// The quick 15-digit form must give the digits of rounding the exact value's 18 digits, on the values
// where a shortcut is most likely to slip: readings with few decimals, values at the edges of a decade,
// 16th digits of 5, the smallest normal and subnormal doubles, and random bit patterns.
TEST(NumberToText, QuickFifteenDigitFormIsTheRoundedExactForm) {
    std::vector<double> values = {DBL_MIN,
                                  std::nextafter(DBL_MIN, 1.0),
                                  std::nextafter(DBL_MIN, 0.0),
                                  DBL_TRUE_MIN,
                                  DBL_MAX,
                                  1.0,
                                  0.1,
                                  0.3,
                                  2.0 / 3,
                                  1e23,
                                  5e-324,
                                  0.1234567890123455,
                                  1.000000000000005,
                                  9.999999999999995,
                                  999999999999999.5,
                                  123456789012345.6};
    for (int e = -307; e <= 308; ++e) {
        const double p = std::pow(10.0, e);
        double below = p;
        double above = p;
        for (int k = 0; k < 6; ++k) {
            values.push_back(below = std::nextafter(below, 0.0));
            values.push_back(above = std::nextafter(above, INFINITY));
        }
        values.push_back(p);
        values.push_back(5 * p);
        values.push_back(p * 1.5);
    }
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> reading(0.0, 100.0);
    std::uniform_real_distribution<double> nearOffset(101275.0, 101375.0);
    for (int k = 0; k < 200000; ++k) {
        values.push_back(std::round(reading(rng) * 1e7) / 1e7);
        values.push_back(std::round(nearOffset(rng) * 1e7) / 1e7);
        values.push_back(std::round(reading(rng) * 1e3) / 1e3);
        values.push_back(std::pow(10.0, std::uniform_real_distribution<double>(-8.0, 16.0)(rng)));
        const std::uint64_t bits = rng() & ~(std::uint64_t{1} << 63);
        double any;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any)) {
            values.push_back(any);
        }
    }
    for (double v : values) {
        if (!std::isfinite(v)) {
            continue;  // five times the largest power of ten
        }
        detail::DecimalForm exact = detail::ToDecimalForm(v);
        detail::RoundToDigits(exact, 15);
        const detail::DecimalForm quick = detail::ToDecimalForm15(v);
        ASSERT_EQ(std::string(quick.digits, static_cast<std::size_t>(quick.count)),
                  std::string(exact.digits, static_cast<std::size_t>(exact.count)))
            << v;
        ASSERT_EQ(quick.exponent, exact.exponent) << v;
    }
}

}  // namespace
}  // namespace quorvel
