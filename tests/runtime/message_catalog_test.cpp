// The user's language from the settings, the compiled catalogue's reading, and the check that every
// Russian text of the programs has its English entry.
#include "runtime/message_catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace quorvel {
namespace {

// Sets the language for one test and puts the environment's back after it.
class LanguageScope {
public:
    explicit LanguageScope(TLanguage language) : saved_(UserLanguage()) { SetUserLanguage(language); }
    ~LanguageScope() { SetUserLanguage(saved_); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    TLanguage saved_;
};

TEST(MessageCatalogue, LanguageFromTheSettings) {
    const TLanguage ru = TLanguage::Russian;
    const TLanguage en = TLanguage::English;
    const struct {
        const char* name;
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        TLanguage expected;
    } rows[] = {
        // One row a line: the releases' clang-format versions pack this table differently.
        // clang-format off
        {"nothing set", nullptr, nullptr, nullptr, nullptr, ru},
        {"all empty", "", "", "", "", ru},
        {"C", nullptr, "C", nullptr, nullptr, ru},
        {"POSIX", nullptr, nullptr, nullptr, "POSIX", ru},
        {"C.UTF-8", nullptr, nullptr, nullptr, "C.UTF-8", ru},
        {"Russian", nullptr, nullptr, nullptr, "ru_RU.UTF-8", ru},
        {"Russian in Ukraine", nullptr, nullptr, nullptr, "ru_UA.UTF-8", ru},
        {"bare ru", nullptr, nullptr, nullptr, "ru", ru},
        {"English", nullptr, nullptr, nullptr, "en_US.UTF-8", en},
        {"German", nullptr, nullptr, nullptr, "de_DE.UTF-8", en},
        {"Ukrainian", nullptr, nullptr, nullptr, "uk_UA.UTF-8", en},
        {"Rusyn is not Russian", nullptr, nullptr, nullptr, "rue_UA", en},
        {"a modifier", nullptr, nullptr, nullptr, "sr_RS@latin", en},
        {"LANGUAGE over the C locale", "en", "C", nullptr, nullptr, en},
        {"LANGUAGE's first entry", "de:ru", "C", nullptr, nullptr, en},
        {"LANGUAGE's first entry Russian", "ru:en", nullptr, nullptr, "en_US.UTF-8", ru},
        {"LANGUAGE C", "C", nullptr, nullptr, "en_US.UTF-8", ru},
        {"empty LANGUAGE is unset", "", nullptr, nullptr, "en_GB.UTF-8", en},
        {"LC_ALL over LANG", nullptr, "C", nullptr, "en_US.UTF-8", ru},
        {"LC_ALL over LC_MESSAGES", nullptr, "ru_RU.UTF-8", "en_US.UTF-8", nullptr, ru},
        {"LC_MESSAGES over LANG", nullptr, nullptr, "en_US.UTF-8", "ru_RU.UTF-8", en},
        {"empty LC_ALL is unset", nullptr, "", "ru_RU.UTF-8", "en_US.UTF-8", ru},
        // clang-format on
    };
    for (const auto& row : rows) {
        EXPECT_EQ(LanguageFromSettings(row.language, row.lcAll, row.lcMessages, row.lang), row.expected)
            << row.name;
    }
}

TEST(MessageCatalogue, TextsInEitherLanguage) {
    {
        const LanguageScope english(TLanguage::English);
        EXPECT_STREQ(Tr("Мало данных"), "Too few data");
        EXPECT_STREQ(Tr("Не могу открыть файл."), "Cannot open the file.");
        // A text without an entry stays as it is.
        EXPECT_STREQ(Tr("a0="), "a0=");
        EXPECT_EQ(TrArgs("Страница %1 из %2", {"2", "3"}), "Page 2 of 3");
    }
    const LanguageScope russian(TLanguage::Russian);
    EXPECT_STREQ(Tr("Мало данных"), "Мало данных");
    EXPECT_EQ(TrArgs("Страница %1 из %2", {"2", "3"}), "Страница 2 из 3");
    // An argument is put in as it is, never read as a pattern itself; a number past the arguments stays.
    EXPECT_EQ(TrArgs("Страница %1 из %2", {"%2", "3"}), "Страница %2 из 3");
    EXPECT_EQ(TrArgs("Страница %1 из %2", {"1"}), "Страница 1 из %2");
}

// The build tree's catalogue is the one the programs and tests read there.
TEST(MessageCatalogue, FoundInTheBuildTree) {
    const std::filesystem::path expected =
        std::filesystem::path(QUORVEL_BINARY_DIR) / "share/locale/en/LC_MESSAGES/quorvel.mo";
    EXPECT_EQ(std::filesystem::weakly_canonical(CatalogueFile()),
              std::filesystem::weakly_canonical(expected));
}

// A compiled catalogue of the given entries, in the little- or big-endian layout.
std::string CompiledCatalogue(const std::vector<std::pair<std::string, std::string>>& entries,
                              bool bigEndian) {
    std::string bytes;
    auto word = [&](std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes += static_cast<char>((value >> (8 * (bigEndian ? 3 - i : i))) & 0xFF);
        }
    };
    const auto n = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28;
    const std::uint32_t translations = originals + 8 * n;
    std::uint32_t offset = translations + 8 * n;
    word(0x950412deU);
    word(0);
    word(n);
    word(originals);
    word(translations);
    word(0);
    word(0);
    std::string strings;
    for (int table = 0; table < 2; ++table) {
        for (const auto& entry : entries) {
            const std::string& text = table == 0 ? entry.first : entry.second;
            word(static_cast<std::uint32_t>(text.size()));
            word(offset);
            strings += text + '\0';
            offset += static_cast<std::uint32_t>(text.size() + 1);
        }
    }
    return bytes + strings;
}

TEST(MessageCatalogue, ReadsBothByteOrdersAndRefusesDamage) {
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"", "Content-Type: text/plain; charset=UTF-8\n"}, {"Выход", "Exit"}, {"Правка", "Edit"}};
    for (const bool bigEndian : {false, true}) {
        const auto read = ParseCatalogue(CompiledCatalogue(entries, bigEndian));
        ASSERT_TRUE(read.has_value()) << bigEndian;
        EXPECT_EQ(read->size(), 2u) << "the header entry is no text";
        EXPECT_EQ(read->at("Выход"), "Exit");
        EXPECT_EQ(read->at("Правка"), "Edit");
    }
    const std::string good = CompiledCatalogue(entries, false);
    EXPECT_FALSE(ParseCatalogue("").has_value());
    EXPECT_FALSE(ParseCatalogue(good.substr(0, 20)).has_value()) << "cut in the header";
    EXPECT_FALSE(ParseCatalogue(good.substr(0, good.size() - 1)).has_value()) << "last string unterminated";
    std::string badMagic = good;
    badMagic[0] = 'x';
    EXPECT_FALSE(ParseCatalogue(badMagic).has_value());
    std::string hugeCount = good;
    hugeCount[8] = hugeCount[9] = hugeCount[10] = hugeCount[11] = '\xFF';
    EXPECT_FALSE(ParseCatalogue(hugeCount).has_value()) << "tables beyond the file";
    std::string farString = good;
    farString[28 + 8 + 4 + 3] = '\x7F';  // the second original's offset far past the end
    EXPECT_FALSE(ParseCatalogue(farString).has_value());
    std::string newRevision = good;
    newRevision[6] = '\x01';  // major revision 1
    EXPECT_FALSE(ParseCatalogue(newRevision).has_value());
}

bool HasCyrillic(const std::string& text) {
    // Cyrillic letters are U+0400..U+04FF, lead bytes 0xD0..0xD3 in UTF-8.
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0xD0 && byte <= 0xD3) {
            return true;
        }
    }
    return false;
}

std::string Unescape(const std::string& literal) {
    std::string text;
    for (std::size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] == '\\' && i + 1 < literal.size()) {
            const char next = literal[++i];
            text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            text += literal[i];
        }
    }
    return text;
}

// The string literals of a C++ source outside comments, adjacent ones joined as the compiler joins them.
std::vector<std::string> StringLiterals(const std::string& source) {
    std::vector<std::string> literals;
    std::string current;
    bool open = false;  // a literal that the next one may continue
    std::size_t i = 0;
    while (i < source.size()) {
        const char c = source[i];
        if (source.compare(i, 2, "//") == 0) {
            i = source.find('\n', i);
            i = i == std::string::npos ? source.size() : i;
        } else if (source.compare(i, 2, "/*") == 0) {
            i = source.find("*/", i + 2);
            i = i == std::string::npos ? source.size() : i + 2;
        } else if (c == '\'') {
            // A character literal, or a digit separator (which the next quote on the line closes harmlessly).
            std::size_t end = i + 1;
            while (end < source.size() && source[end] != '\'' && source[end] != '\n') {
                end += source[end] == '\\' ? 2 : 1;
            }
            i = end + 1;
        } else if (c == '"') {
            std::size_t end = i + 1;
            while (end < source.size() && source[end] != '"') {
                end += source[end] == '\\' ? 2 : 1;
            }
            current += Unescape(source.substr(i + 1, end - i - 1));
            open = true;
            i = end + 1;
        } else if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
            ++i;
        } else {
            if (open) {
                literals.push_back(current);
                current.clear();
                open = false;
            }
            ++i;
        }
    }
    if (open) {
        literals.push_back(current);
    }
    return literals;
}

TEST(MessageCatalogue, LiteralsOfASource) {
    const std::string source =
        "// \"в комментарии\"\nf(\"раз\" \"два\", 'x', '\"', \"a\\\"б\\n\");\n/* \"и тут\" */ g(\"три\");";
    EXPECT_EQ(StringLiterals(source), (std::vector<std::string>{"раздва", "a\"б\n", "три"}));
}

// Every Russian text in the programs' sources has an English entry, and the entry keeps its
// placeholders: a new text without one fails here.
TEST(MessageCatalogue, EveryRussianTextHasItsEnglishEntry) {
    ASSERT_FALSE(CatalogueFile().empty());
    int checked = 0;
    const std::regex placeholder("%[1-9]");
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(std::filesystem::path(QUORVEL_SOURCE_DIR) / "src")) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h")) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream source;
        source << in.rdbuf();
        for (const std::string& text : StringLiterals(source.str())) {
            if (!HasCyrillic(text)) {
                continue;
            }
            ++checked;
            const auto english = CatalogueEntry(text);
            if (!english) {
                ADD_FAILURE() << entry.path().string() << ": no English entry for \"" << text << '"';
                continue;
            }
            EXPECT_FALSE(english->empty()) << text;
            EXPECT_FALSE(HasCyrillic(std::string(*english))) << text;
            auto marks = [&](const std::string& s) {
                std::vector<std::string> found;
                for (auto it = std::sregex_iterator(s.begin(), s.end(), placeholder);
                     it != std::sregex_iterator(); ++it) {
                    found.push_back(it->str());
                }
                std::sort(found.begin(), found.end());
                return found;
            };
            EXPECT_EQ(marks(std::string(*english)), marks(text)) << text;
        }
    }
    // The sources hold nearly two hundred texts; a scan that finds few has gone wrong.
    EXPECT_GT(checked, 150);
}

}  // namespace
}  // namespace quorvel
