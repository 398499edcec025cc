// Number patterns: the program's four patterns against a table of values in two locales, and the
// rules of the pattern language.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "runtime/exceptions.h"
#include "runtime/number_text.h"
#include "separators_scope.h"

namespace quorvel {
namespace {

using test::SeparatorsScope;

struct PatternRow {
    const char* name;
    double value;
    const char* fixed;       // "0.0000000"
    const char* scientific;  // "0.0000000e+0"
    const char* shortFixed;  // "0.###"
    const char* grouped;     // "#,##0.###"
    const char* general;     // NumberToText
};

// Written for a comma decimal character and a blank thousands character.
const PatternRow kRows[] = {
    {"Zero", 0.0, "0,0000000", "0,0000000e+0", "0", "0", "0"},
    {"NegativeZero", -0.0, "0,0000000", "0,0000000e+0", "0", "0", "0"},
    {"OneAndHalf", 1.5, "1,5000000", "1,5000000e+0", "1,5", "1,5", "1,5"},
    {"MinusOneAndHalf", -1.5, "-1,5000000", "-1,5000000e+0", "-1,5", "-1,5", "-1,5"},
    {"FiveHundredths", 0.05, "0,0500000", "5,0000000e-2", "0,05", "0,05", "0,05"},
    {"HundredsWithFraction", 123.456, "123,4560000", "1,2345600e+2", "123,456", "123,456", "123,456"},
    {"ThousandsWithFraction", 12345.678, "12345,6780000", "1,2345678e+4", "12345,678", "12 345,678",
     "12345,678"},
    {"ExactTie", 0.0625, "0,0625000", "6,2500000e-2", "0,063", "0,063", "0,0625"},
    {"FourTenThousandths", 0.0004, "0,0004000", "4,0000000e-4", "0", "0", "0,0004"},
    {"SmallManyDigits", 0.00012345678, "0,0001235", "1,2345678e-4", "0", "0", "0,00012345678"},
    {"NineDigitInteger", 123456785, "123456785,0000000", "1,2345679e+8", "123456785", "123 456 785",
     "123456785"},
    {"NinesRippling", 9.99999999, "10,0000000", "1,0000000e+1", "10", "10", "9,99999999"},
    {"Pi", 3.14159265358979, "3,1415927", "3,1415927e+0", "3,142", "3,142", "3,14159265358979"},
    {"NegativeTiny", -2.5e-8, "0,0000000", "-2,5000000e-8", "0", "0", "-2,5E-8"},
    {"HundredThousandth", 0.00001, "0,0000100", "1,0000000e-5", "0", "0", "1E-5"},
    {"TenToFifteen", 1e15, "1000000000000000,0000000", "1,0000000e+15", "1000000000000000",
     "1 000 000 000 000 000", "1E15"},
    {"BeyondTenToEighteen", 1.5e18, "1,5E18", "1,5000000e+18", "1,5E18", "1,5E18", "1,5E18"},
    {"PointOnePlusPointTwo", 0.1 + 0.2, "0,3000000", "3,0000000e-1", "0,3", "0,3", "0,3"},
    {"OneSeventh", 1.0 / 7, "0,1428571", "1,4285714e-1", "0,143", "0,143", "0,142857142857143"},
};

// The same text for a point decimal character and a comma thousands character.
std::string ToPointLocale(std::string text) {
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        } else if (c == ' ') {
            c = ',';
        }
    }
    return text;
}

class PatternTable : public ::testing::TestWithParam<PatternRow> {};

TEST_P(PatternTable, CommaDecimalBlankThousands) {
    const PatternRow& row = GetParam();
    SeparatorsScope scope(U',', U' ');
    EXPECT_EQ(FormatNumber("0.0000000", row.value), row.fixed);
    EXPECT_EQ(FormatNumber("0.0000000e+0", row.value), row.scientific);
    EXPECT_EQ(FormatNumber("0.###", row.value), row.shortFixed);
    EXPECT_EQ(FormatNumber("#,##0.###", row.value), row.grouped);
    EXPECT_EQ(NumberToText(row.value), row.general);
}

TEST_P(PatternTable, PointDecimalCommaThousands) {
    const PatternRow& row = GetParam();
    SeparatorsScope scope(U'.', U',');
    EXPECT_EQ(FormatNumber("0.0000000", row.value), ToPointLocale(row.fixed));
    EXPECT_EQ(FormatNumber("0.0000000e+0", row.value), ToPointLocale(row.scientific));
    EXPECT_EQ(FormatNumber("0.###", row.value), ToPointLocale(row.shortFixed));
    EXPECT_EQ(FormatNumber("#,##0.###", row.value), ToPointLocale(row.grouped));
    EXPECT_EQ(NumberToText(row.value), ToPointLocale(row.general));
}

INSTANTIATE_TEST_SUITE_P(Examples, PatternTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

class FormatNumberTest : public ::testing::Test {
protected:
    SeparatorsScope scope_{U',', U' '};
};

TEST_F(FormatNumberTest, RoundingFollowsTheEighteenDigitExpansion) {
    EXPECT_EQ(FormatNumber("0.###", 0.0001), "0");
    EXPECT_EQ(FormatNumber("0.###", 0.00049), "0");
    EXPECT_EQ(FormatNumber("0.###", -0.0004), "0");
    EXPECT_EQ(FormatNumber("0.###", 0.00004), "0");
    EXPECT_EQ(FormatNumber("0.###", -0.0625), "-0,063");
    EXPECT_EQ(FormatNumber("0.###", 1.0005), "1");  // stored just below the tie
    EXPECT_EQ(FormatNumber("0.###", 999.9996), "1000");
    EXPECT_EQ(FormatNumber("0.0000000e+0", 9.99999999), "1,0000000e+1");
    EXPECT_EQ(FormatNumber("0.###", 0.0005), "0,001");  // 0.000500000000000000010...
}

TEST_F(FormatNumberTest, FixedSevenDecimalsAndTheTenToEighteenSwitch) {
    EXPECT_EQ(FormatNumber("0.0000000", 0.5), "0,5000000");
    EXPECT_EQ(FormatNumber("0.0000000", 999999999999999999.0), "1E18");
    EXPECT_EQ(FormatNumber("0.0000000", 123456789012345678.0), "123456789012345680,0000000");
    EXPECT_EQ(FormatNumber("0.0000000", -1.5e18), "-1,5E18");
    EXPECT_EQ(FormatNumber("0.0000000e+0", -1e300), "-1,0000000e+300");
    EXPECT_EQ(FormatNumber("0.0000000e+0", 5e-324), "4,9406565e-324");
}

TEST_F(FormatNumberTest, NotANumberAndInfinities) {
    for (const char* pattern : {"0.0000000", "0.0000000e+0", "0.###", "#,##0.###", ""}) {
        EXPECT_EQ(FormatNumber(pattern, NAN), "NAN") << pattern;
        EXPECT_EQ(FormatNumber(pattern, INFINITY), "INF") << pattern;
        EXPECT_EQ(FormatNumber(pattern, -INFINITY), "-INF") << pattern;
    }
}

TEST_F(FormatNumberTest, PlaceholdersLiteralsAndGrouping) {
    EXPECT_EQ(FormatNumber("", 1.5), "1,5");
    EXPECT_EQ(FormatNumber("#.##", 0), "");
    EXPECT_EQ(FormatNumber(".00", 12.5), "12,50");
    EXPECT_EQ(FormatNumber("000", 7), "007");
    EXPECT_EQ(FormatNumber("0.0#", 2), "2,0");
    EXPECT_EQ(FormatNumber("0.#0", 2), "2,00");  // MinFrac runs to the last "0"
    EXPECT_EQ(FormatNumber("00-00", 12345), "123-45");
    EXPECT_EQ(FormatNumber("0%", 50), "50%");
    EXPECT_EQ(FormatNumber("0 kg", -3), "-3 kg");
    EXPECT_EQ(FormatNumber("0,0", 1234567), "1 234 567");
    EXPECT_EQ(FormatNumber("0000000,", 1234), "0 001 234");
    EXPECT_EQ(FormatNumber("0.0Е", 1.25), "1,3Е");  // a non-ASCII literal is copied whole
    EXPECT_EQ(FormatNumber("0e0", 5), "0e5");       // "e" without a sign is a literal
}

TEST_F(FormatNumberTest, ScientificExponentForms) {
    EXPECT_EQ(FormatNumber("0.00E+00", 12345), "1,23E+04");
    EXPECT_EQ(FormatNumber("0.00E-00", 12345), "1,23E04");
    EXPECT_EQ(FormatNumber("0.00e-0", 0.0012345), "1,23e-3");
    EXPECT_EQ(FormatNumber("0.0E+000000", 1e100), "1,0E+0100");  // at most four exponent digits
    EXPECT_EQ(FormatNumber("00.0E+0", 1.5), "15,0E-1");
    EXPECT_EQ(FormatNumber("0.##E+0", 1), "1E+0");
    EXPECT_EQ(FormatNumber("0.0000000e+0", 0.0), "0,0000000e+0");
}

TEST_F(FormatNumberTest, SectionsQuotesAndTheZeroSwitch) {
    const char* pattern = "0.00;(0.00);'zero'";
    EXPECT_EQ(FormatNumber(pattern, 1.5), "1,50");
    EXPECT_EQ(FormatNumber(pattern, -1.5), "(1,50)");
    EXPECT_EQ(FormatNumber(pattern, 0), "zero");
    EXPECT_EQ(FormatNumber(pattern, -0.001), "zero");  // rounds to zero
    EXPECT_EQ(FormatNumber("0.0;", -2), "-2,0");       // empty section counts as the first
    EXPECT_EQ(FormatNumber("0.0;;", 0), "0,0");
    EXPECT_EQ(FormatNumber("0.0;(0.0)", -0.01), "0,0");
    EXPECT_EQ(FormatNumber("\"a;b\"0", 3), "a;b3");
    EXPECT_EQ(FormatNumber("'0.#,'0", 3), "0.#,3");
    EXPECT_EQ(FormatNumber("0'unterminated", 3), "3unterminated");
}

TEST_F(FormatNumberTest, PatternLengthLimit) {
    const std::string limit(224, '0');
    EXPECT_EQ(FormatNumber(limit, 1).size(), 224u);
    try {
        FormatNumber(limit + "0", 1);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Format string too long");
    }
    // The limit counts characters, not bytes.
    std::string cyrillic;
    for (int i = 0; i < 112; ++i)
        cyrillic += "ж";
    EXPECT_EQ(FormatNumber("0" + cyrillic, 1), "1" + cyrillic);
    EXPECT_THROW(FormatNumber("0" + cyrillic + cyrillic, 1), EConvertError);
}

TEST(FormatNumberSeparators, MultiByteThousandsAndDecimalCharacters) {
    SeparatorsScope scope(U'\u066B', U'\u00A0');
    EXPECT_EQ(FormatNumber("#,##0.###", 1234567.5), "1\u00A0234\u00A0567\u066B5");
    EXPECT_EQ(NumberToText(-2.5e-8), "-2\u066B5E-8");
    EXPECT_EQ(FormatNumber("0.0000000e+0", 1.5), "1\u066B5000000e+0");
}

TEST_F(FormatNumberTest, NeverMinusZero) {
    std::mt19937_64 random(20261207);
    const char* patterns[] = {"0.0000000", "0.0000000e+0", "0.###", "#,##0.###", "0", "#", "0.0;0.0"};
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::ldexp(std::uniform_real_distribution<double>(1, 2)(random),
                                            std::uniform_int_distribution<int>(-40, 20)(random));
        for (const char* pattern : patterns) {
            const std::string text = FormatNumber(pattern, -magnitude);
            const bool allZero = text.find_first_of("123456789") == std::string::npos;
            ASSERT_FALSE(text[0] == '-' && allZero) << pattern << " " << magnitude << " -> " << text;
        }
    }
}

}  // namespace
}  // namespace quorvel
