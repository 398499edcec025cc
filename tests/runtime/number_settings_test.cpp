// The number characters and how they are read from the user's locale.
#include <gtest/gtest.h>

#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/number_text.h"
#include "runtime/process_locale.h"
#include "separators_scope.h"

namespace quorvel {
namespace {

using test::SeparatorsScope;

// Sets locale variables for one test, the others unset, and restores them all afterwards.
class EnvironmentLocale {
public:
    using Variables = std::vector<std::pair<const char*, const char*>>;
    explicit EnvironmentLocale(const char* all) : EnvironmentLocale(Variables{{"LC_ALL", all}}) {}
    explicit EnvironmentLocale(const Variables& values) {
        for (const char* name : {"LC_ALL", "LANG", "LC_CTYPE", "LC_NUMERIC", "LC_TIME", "LC_MESSAGES",
                                 "LC_COLLATE", "LC_MONETARY", "LC_PAPER", "LC_NAME", "LC_ADDRESS",
                                 "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"}) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
            unsetenv(name);
        }
        for (const auto& [name, value] : values) {
            Set(name, value);
        }
    }
    ~EnvironmentLocale() {
        for (const auto& [name, value] : saved_) {
            Set(name.c_str(), value ? value->c_str() : nullptr);
        }
    }

private:
    static void Set(const char* name, const char* value) {
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
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

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "(unset)";
}

// The character type Qt would find: what setlocale(LC_ALL, "") gives from the environment.
std::string EnvironmentCodeset() {
    const locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return "(no locale)";
    std::string codeset = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    return codeset;
}

// Qt warns on stderr about a character type that is not UTF-8; the switch must keep the number format.
TEST(NumberSettings, Utf8CharacterTypeKeepsTheNumberFormat) {
    if (!LocaleInstalled("ru_RU.UTF-8"))
        GTEST_SKIP() << "ru_RU.UTF-8 is not installed (scripts/setup.sh makes it)";
    struct Row {
        std::vector<std::pair<const char*, const char*>> environment;
        const char* all;
        const char* ctype;
        const char* numeric;
        char32_t decimal;
    };
    const Row rows[] = {
        {{{"LC_ALL", "C"}}, "(unset)", "C.UTF-8", "C", U'.'},
        {{{"LC_ALL", "POSIX"}}, "(unset)", "C.UTF-8", "POSIX", U'.'},
        {{{"LANG", "C"}, {"LC_NUMERIC", "ru_RU.UTF-8"}}, "(unset)", "C.UTF-8", "ru_RU.UTF-8", U','},
        // Nothing set at all is the C locale too.
        {{}, "(unset)", "C.UTF-8", "(unset)", U'.'},
        // Already UTF-8: left exactly as it is.
        {{{"LC_ALL", "ru_RU.UTF-8"}}, "ru_RU.UTF-8", "(unset)", "(unset)", U','},
        {{{"LANG", "C.UTF-8"}, {"LC_NUMERIC", "ru_RU.UTF-8"}}, "(unset)", "(unset)", "ru_RU.UTF-8", U','},
        // Not installed: the user's to mend, nothing changed.
        {{{"LC_ALL", "xx_NOWHERE"}}, "xx_NOWHERE", "(unset)", "(unset)", U'.'},
    };
    for (const Row& row : rows) {
        SeparatorsScope scope(U'?', U'?');
        EnvironmentLocale env(row.environment);
        PreferUtf8CharacterType();
        ReadNumberSettingsFromLocale();
        const std::string context = "LC_ALL " + Variable("LC_ALL") + ", LC_CTYPE " + Variable("LC_CTYPE");
        EXPECT_EQ(Variable("LC_ALL"), row.all) << context;
        EXPECT_EQ(Variable("LC_CTYPE"), row.ctype) << context;
        EXPECT_EQ(Variable("LC_NUMERIC"), row.numeric) << context;
        EXPECT_EQ(DecimalChar(), row.decimal) << context;
        if (std::string(row.all) != "xx_NOWHERE") {
            EXPECT_EQ(EnvironmentCodeset(), "UTF-8") << context;
        }
    }
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
