// The number characters and how they are read from the user's locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#include "runtime/number_text.h"
#include "separators_scope.h"

namespace quorvel {
namespace {

using test::SeparatorsScope;

// Sets LC_ALL for one test and restores the previous value.
class EnvironmentLocale {
public:
    explicit EnvironmentLocale(const char* value) {
        if (const char* old = std::getenv("LC_ALL"))
            old_ = old;
        setenv("LC_ALL", value, 1);
    }
    ~EnvironmentLocale() {
        if (old_) {
            setenv("LC_ALL", old_->c_str(), 1);
        } else {
            unsetenv("LC_ALL");
        }
    }

private:
    std::optional<std::string> old_;
};

bool LocaleInstalled(const char* name) {
    const locale_t loc = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return false;
    freelocale(loc);
    return true;
}

TEST(NumberSettings, ReadsTheRussianLocale) {
    if (!LocaleInstalled("ru_RU.UTF-8"))
        GTEST_SKIP() << "ru_RU.UTF-8 is not installed (scripts/setup.sh makes it)";
    SeparatorsScope scope(U'?', U'?');
    EnvironmentLocale env("ru_RU.UTF-8");
    ReadNumberSettingsFromLocale();
    EXPECT_EQ(DecimalChar(), U',');
    EXPECT_TRUE(ThousandsChar() == U'\u00A0' || ThousandsChar() == U'\u202F')
        << std::hex << static_cast<unsigned>(ThousandsChar());
    EXPECT_EQ(DecimalText(), ",");
    // The multi-byte thousands character works through every conversion.
    const std::string thousands = ThousandsChar() == U'\u00A0' ? "\u00A0" : "\u202F";
    EXPECT_EQ(FormatNumber("#,##0.###", 12345.678), "12" + thousands + "345,678");
    EXPECT_EQ(TextToNumber("12345,678"), 12345.678);
    EXPECT_ANY_THROW(TextToNumber("12" + thousands + "345"));
}

TEST(NumberSettings, PlainLocaleGivesPointAndComma) {
    SeparatorsScope scope(U'?', U'?');
    EnvironmentLocale env("C");
    ReadNumberSettingsFromLocale();
    EXPECT_EQ(DecimalChar(), U'.');
    EXPECT_EQ(ThousandsChar(), U',');  // the C locale gives no thousands character
}

TEST(NumberSettings, MissingLocaleKeepsTheDefaults) {
    SeparatorsScope scope(U'?', U'?');
    EnvironmentLocale env("xx_NOWHERE.UTF-8");
    ReadNumberSettingsFromLocale();
    EXPECT_EQ(DecimalChar(), U'.');
    EXPECT_EQ(ThousandsChar(), U',');
}

TEST(NumberSettings, SettersChangeEveryConversion) {
    SeparatorsScope scope(U'\U0001D7D8', U'\u2009');  // a four-byte decimal character
    EXPECT_EQ(DecimalText(), "\U0001D7D8");
    EXPECT_EQ(NumberToText(0.5),
              "0\U0001D7D8"
              "5");
    EXPECT_EQ(TextToNumber("0\U0001D7D8"
                           "5"),
              0.5);
    EXPECT_EQ(FormatNumber("#,##0", 1234), "1\u2009234");
}

}  // namespace
}  // namespace quorvel
