// Reading numbers: the accepted shape, the exponent limit, range errors and exact rounding.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <random>
#include <string>

#include "runtime/exceptions.h"
#include "runtime/number_text.h"
#include "separators_scope.h"

namespace quorvel {
namespace {

using test::SeparatorsScope;

class TextToNumberTest : public ::testing::Test {
protected:
    SeparatorsScope scope_{U',', U' '};
};

std::string MessageFor(std::string_view text) {
    std::string message = "'";
    message += text;
    message += "' is not a valid floating point value";
    return message;
}

std::string ErrorOf(std::string_view text) {
    try {
        TextToNumber(text);
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return "no conversion error";
}

TEST_F(TextToNumberTest, AcceptsTheDocumentedShapes) {
    EXPECT_EQ(TextToNumber("0,25"), 0.25);
    EXPECT_EQ(TextToNumber("-15,74e4"), -157400.0);
    EXPECT_EQ(TextToNumber("+15638e-5"), 0.15638);
    EXPECT_EQ(TextToNumber("   12,5  "), 12.5);
    EXPECT_EQ(TextToNumber(",5"), 0.5);
    EXPECT_EQ(TextToNumber("5,"), 5.0);
    EXPECT_EQ(TextToNumber("007,100"), 7.1);
    EXPECT_EQ(TextToNumber("1010,425"), 1010.425);
    EXPECT_TRUE(std::signbit(TextToNumber("-0")));
}

// While a text is typed, an exponent letter (and its sign) without digits is the beginning of a number
// and reads as the number before it, and so is a decimal character before any digit; a finished text
// must be whole, with a digit (",", "-," and ",e7" used to read as 0).
TEST_F(TextToNumberTest, ExponentWithoutDigitsOnlyWhileTyping) {
    const struct {
        const char* text;
        double typed;
    } rows[] = {{"1e", 1.0}, {"1E+", 1.0},  {"1,5e", 1.5}, {"1E-", 1.0}, {" -2,5e- ", -2.5}, {",e", 0.0},
                {",", 0.0},  {" -, ", 0.0}, {"+,", 0.0},   {",e7", 0.0}, {"-,E5", 0.0}};
    for (const auto& row : rows) {
        EXPECT_EQ(TextToNumber(row.text, tsBeingTyped), row.typed) << row.text;
        EXPECT_EQ(ErrorOf(row.text), MessageFor(row.text)) << row.text;
    }
    // Complete exponents read alike in both states.
    EXPECT_EQ(TextToNumber("1,5e-3", tsBeingTyped), 0.0015);
    EXPECT_EQ(TextToNumber("1,5e-3"), 0.0015);
}

TEST_F(TextToNumberTest, RejectsEverythingElseWithTheWholeText) {
    for (const char* text :
         {"",     " ",  "+",    "-",    " - ",  "1.5", "1 000", "1,2,3",      "\t1",  "1\t", "1e5000",
          "0x10", "e5", "1e5e", "1 e5", "1e 5", "- 1", "++1",   "1\u00A0000", "1,5%", "INF", "NAN"}) {
        EXPECT_EQ(ErrorOf(text), MessageFor(text)) << text;
    }
    const std::string_view withNul("1\0", 2);
    EXPECT_EQ(ErrorOf(withNul), MessageFor(withNul));
}

TEST_F(TextToNumberTest, OnlyTheCurrentDecimalCharacterSeparates) {
    SeparatorsScope point(U'.', U',');
    EXPECT_EQ(TextToNumber("1.5"), 1.5);
    EXPECT_THROW(TextToNumber("1,5"), EConvertError);
    EXPECT_THROW(TextToNumber("1,000"), EConvertError);
    SeparatorsScope multiByte(U'\u066B', U'\u00A0');
    EXPECT_EQ(TextToNumber("2\u066B25"), 2.25);
    EXPECT_THROW(TextToNumber("2\u00A0250"), EConvertError);
    EXPECT_THROW(TextToNumber("2\xD9"), EConvertError);  // the decimal character cut short
}

TEST_F(TextToNumberTest, ExponentDigitsStopAtFiveHundred) {
    EXPECT_EQ(TextToNumber("1e-499"), 0.0);
    EXPECT_EQ(TextToNumber("1e-500"), 0.0);
    EXPECT_THROW(TextToNumber("1e-5000"), EConvertError);
    EXPECT_EQ(TextToNumber("0e4999"), 0.0);
    EXPECT_EQ(TextToNumber("5e-0000000000000000000000000001"), 0.5);  // leading zeros keep it below
    EXPECT_THROW(TextToNumber("1e0499"), EOverflow);
    EXPECT_THROW(TextToNumber("1e05000"), EConvertError);
}

TEST_F(TextToNumberTest, RangeErrors) {
    EXPECT_EQ(TextToNumber("1,7976931348623158e308"), DBL_MAX);
    EXPECT_THROW(TextToNumber("1,8e308"), EOverflow);
    EXPECT_THROW(TextToNumber("-1e500"), EOverflow);
    EXPECT_THROW(TextToNumber("1e4932"), EOverflow);        // inside the extended range
    EXPECT_THROW(TextToNumber("0,0001e4936"), EOverflow);   // the same value
    EXPECT_THROW(TextToNumber("1,2e4932"), EConvertError);  // beyond it
    EXPECT_THROW(TextToNumber("1e4999"), EConvertError);    // 499 is below 500, so a fourth digit
    EXPECT_EQ(ErrorOf("12e4999"), "'12e4999' is not a valid floating point value");
    try {
        TextToNumber("1e400");
        FAIL() << "no overflow";
    } catch (const EOverflow& e) {
        EXPECT_STREQ(e.what(), "Floating point overflow");
    }
    // Tiny values become the nearest subnormal or zero.
    EXPECT_EQ(TextToNumber("4,9e-324"), DBL_TRUE_MIN);
    EXPECT_EQ(TextToNumber("2,5e-324"), DBL_TRUE_MIN);
    EXPECT_EQ(TextToNumber("2e-324"), 0.0);
    EXPECT_EQ(TextToNumber("-1e-400"), 0.0);
}

// The solver runs with overflow, division by zero and invalid operations trapping; reading and
// writing numbers must still report through exceptions, never through a signal.
TEST_F(TextToNumberTest, WorksWhileFloatingPointFaultsTrap) {
    feenableexcept(FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID);
    EXPECT_THROW(TextToNumber("1e4932"), EOverflow);
    EXPECT_THROW(TextToNumber("1,2e4932"), EConvertError);
    EXPECT_THROW(TextToNumber("1e400"), EOverflow);
    EXPECT_EQ(TextToNumber("1e-400"), 0.0);
    EXPECT_EQ(NumberToText(DBL_MAX), "1,79769313486232E308");
    EXPECT_EQ(FormatNumber("0.0000000", DBL_MAX), "1,79769313486232E308");
    EXPECT_EQ(FormatNumber("0.###", NAN), "NAN");
    fedisableexcept(FE_ALL_EXCEPT);
}

TEST_F(TextToNumberTest, RoundsLongTextsCorrectly) {
    EXPECT_EQ(TextToNumber("9007199254740993"), 9007199254740992.0);  // halfway: to even
    // The same halfway value with a nonzero digit far behind it rounds up.
    EXPECT_EQ(TextToNumber("9007199254740993," + std::string(900, '0') + "1"), 9007199254740994.0);
    EXPECT_EQ(TextToNumber("9007199254740993," + std::string(900, '0')), 9007199254740992.0);
    EXPECT_EQ(TextToNumber("0," + std::string(1000, '0') + "1e999"), 1e-2);
    EXPECT_EQ(TextToNumber("1" + std::string(1000, '0') + "e-999"), 10.0);
}

// Texts of up to 15 significant digits survive text -> number -> text unchanged, every double is read
// back exactly from its shortest round-trip digits, and plain decimal texts are read exactly.
TEST_F(TextToNumberTest, RoundTrips) {
    std::mt19937_64 random(4932);
    for (int i = 0; i < 100000; ++i) {
        const long long digits =
            std::uniform_int_distribution<long long>(100000000000000, 999999999999999)(random);
        const int exponent = std::uniform_int_distribution<int>(-340, 293)(random);
        const std::string text = std::to_string(digits) + "e" + std::to_string(exponent);
        const double v = TextToNumber(text);
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(v, expected) << text;
        if (std::fabs(v) >= DBL_MIN) {
            ASSERT_EQ(TextToNumber(NumberToText(v)), v) << text;
        }

        std::uint64_t bits = random() & 0x7FFFFFFFFFFFFFFFull;
        if ((bits >> 52) == 0x7FF)
            bits ^= 1ull << 62;  // no infinity or not-a-number
        const double any = std::bit_cast<double>(bits);
        std::string shortest(32, '\0');
        shortest.resize(static_cast<std::size_t>(
            std::to_chars(shortest.data(), shortest.data() + shortest.size(), any).ptr - shortest.data()));
        for (char& c : shortest) {
            if (c == '.')
                c = ',';
        }
        ASSERT_EQ(TextToNumber(shortest), any) << shortest;

        // Plain cells: up to 20 digits around the decimal character, read eight digits at a time.
        const int count = std::uniform_int_distribution<int>(1, 20)(random);
        std::string plain;
        for (int k = 0; k < count; ++k) {
            plain += static_cast<char>('0' + random() % 10);
        }
        plain.insert(static_cast<std::size_t>(random() % (count + 1)), 1, '.');
        if (random() % 2 == 0) {
            plain.insert(0, 1, '-');
        }
        double exact = 0;
        std::from_chars(plain.data(), plain.data() + plain.size(), exact);
        std::string local = plain;
        local[local.find('.')] = ',';
        ASSERT_EQ(TextToNumber(local), exact) << local;

        // The same number inside a data line: read up to the byte after it, never past the given end
        // (digits lie beyond it), and never refused with few digits.
        const std::string before = std::string(random() % 12, '7') + " ";
        const char after = " \t\n,e"[random() % 5];
        for (const bool cut : {false, true}) {
            const std::string line = before + plain + (cut ? "" : std::string(1, after)) + "123456789";
            const char* const at = line.data() + before.size();
            const char* const end = cut ? at + plain.size() : line.data() + line.size();
            double value = -1;
            const char* const stop = ReadPlainDecimal(line.data(), at, end, value);
            if (stop != nullptr) {
                ASSERT_EQ(stop, at + plain.size()) << line;
                ASSERT_EQ(value, exact) << line;
            } else {
                ASSERT_GT(count, 15) << line;
            }
        }
    }
}

}  // namespace
}  // namespace quorvel
