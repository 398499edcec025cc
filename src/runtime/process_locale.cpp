#include "runtime/process_locale.h"

#include <langinfo.h>
#include <strings.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace quorvel {
namespace {

// Every category but LC_CTYPE, which gets the replacement.
constexpr const char* kOtherCategories[] = {
    "LC_NUMERIC", "LC_TIME",    "LC_COLLATE",   "LC_MONETARY",    "LC_MESSAGES",       "LC_PAPER",
    "LC_NAME",    "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION",
};

const char* NonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// The locale name the environment gives a category, by the POSIX order LC_ALL, LC_<category>, LANG.
std::string EnvironmentName(const char* category) {
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        if (const char* value = NonEmptyVariable(variable)) {
            return value;
        }
    }
    return "C";
}

// True when the locale exists; codeset then receives its character encoding.
bool LocaleCodeset(const std::string& name, std::string& codeset) {
    const locale_t loc = newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) {
        return false;
    }
    codeset = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    return true;
}

bool IsUtf8(const std::string& codeset) {
    return strcasecmp(codeset.c_str(), "UTF-8") == 0 || strcasecmp(codeset.c_str(), "utf8") == 0;
}

}  // namespace

void PreferUtf8CharacterType() {
    const std::string current = EnvironmentName("LC_CTYPE");
    std::string codeset;
    if (!LocaleCodeset(current, codeset) || IsUtf8(codeset)) {
        // A locale that is not installed is the user's to mend; Qt's own fallback handles it.
        return;
    }
    // The same language in UTF-8 where it is installed, else the C locale in UTF-8.
    std::string language = current.substr(0, current.find_first_of(".@"));
    std::string replacement;
    for (const std::string& candidate : {language + ".UTF-8", std::string("C.UTF-8")}) {
        if (LocaleCodeset(candidate, codeset) && IsUtf8(codeset)) {
            replacement = candidate;
            break;
        }
    }
    if (replacement.empty()) {
        return;
    }
    // LC_ALL would override LC_CTYPE: hand its value to every category one by one instead.
    if (const char* all = NonEmptyVariable("LC_ALL")) {
        const std::string value = all;
        for (const char* category : kOtherCategories) {
            setenv(category, value.c_str(), 1);
        }
        unsetenv("LC_ALL");
    }
    setenv("LC_CTYPE", replacement.c_str(), 1);
}

}  // namespace quorvel
