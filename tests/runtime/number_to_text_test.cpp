// The general form: 15 significant digits, and where it switches to the exponent form.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "runtime/number_text.h"
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

}  // namespace
}  // namespace quorvel
