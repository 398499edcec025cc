#include "runtime/message_catalog.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace quorvel {
namespace {

constexpr std::uint32_t kMagic = 0x950412deU;
constexpr std::uint32_t kSwappedMagic = 0xde120495U;
// The catalogue's place below an installation prefix or the build tree.
constexpr const char* kCataloguePath = "share/locale/en/LC_MESSAGES/quorvel.mo";
// How far above the program's folder the prefix may lie: bin/, libexec/quorvel/, build/tests/app/.
constexpr int kFolderLevels = 3;

// 0 unset, else the language + 1.
std::atomic<int> chosenLanguage{0};

std::optional<std::uint32_t> Word(std::string_view bytes, std::size_t at, bool swapped) {
    if (at > bytes.size() || bytes.size() - at < 4) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<std::uint8_t>(bytes[at + (swapped ? 3 - i : i)]);
        value |= static_cast<std::uint32_t>(byte) << (8 * i);
    }
    return value;
}

// The string that the table entry at `at` names (length, then offset, in the file's byte order).
std::optional<std::string_view> TableString(std::string_view bytes, std::size_t at, bool swapped) {
    const auto length = Word(bytes, at, swapped);
    const auto offset = Word(bytes, at + 4, swapped);
    if (!length || !offset || *offset > bytes.size() || bytes.size() - *offset <= *length) {
        return std::nullopt;  // the terminating NUL must lie inside the file too
    }
    return bytes.substr(*offset, *length);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return in ? bytes.str() : std::string();
}

std::string FindCatalogue() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    if (error) {
        return {};
    }
    for (int level = 0; level <= kFolderLevels && !folder.empty(); ++level) {
        const std::filesystem::path candidate = folder / kCataloguePath;
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate.string();
        }
        if (folder == folder.root_path()) {
            break;
        }
        folder = folder.parent_path();
    }
    return {};
}

struct TLoadedCatalogue {
    std::string file;
    TCatalogue entries;
};

const TLoadedCatalogue& Loaded() {
    static const TLoadedCatalogue loaded = [] {
        TLoadedCatalogue result;
        result.file = FindCatalogue();
        if (!result.file.empty()) {
            if (auto entries = ParseCatalogue(ReadFile(result.file))) {
                result.entries = std::move(*entries);
            }
        }
        return result;
    }();
    return loaded;
}

bool IsSet(const char* value) {
    return value != nullptr && *value != '\0';
}

}  // namespace

TLanguage LanguageFromSettings(const char* language, const char* lcAll, const char* lcMessages,
                               const char* lang) {
    std::string_view name;
    for (const char* value : {language, lcAll, lcMessages, lang}) {
        if (IsSet(value)) {
            name = value;
            break;
        }
    }
    if (name.data() == language) {
        name = name.substr(0, name.find(':'));
    }
    const std::string_view base = name.substr(0, name.find_first_of("_.@"));
    if (base.empty() || base == "C" || base == "POSIX" || base == "ru") {
        return TLanguage::Russian;
    }
    return TLanguage::English;
}

TLanguage UserLanguage() {
    int chosen = chosenLanguage.load(std::memory_order_relaxed);
    if (chosen == 0) {
        const TLanguage language = LanguageFromSettings(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                                        std::getenv("LC_MESSAGES"), std::getenv("LANG"));
        chosen = static_cast<int>(language) + 1;
        int expected = 0;
        chosenLanguage.compare_exchange_strong(expected, chosen, std::memory_order_relaxed);
        chosen = chosenLanguage.load(std::memory_order_relaxed);
    }
    return static_cast<TLanguage>(chosen - 1);
}

void SetUserLanguage(TLanguage language) {
    chosenLanguage.store(static_cast<int>(language) + 1, std::memory_order_relaxed);
}

std::optional<std::string_view> CatalogueEntry(std::string_view russian) {
    const TCatalogue& entries = Loaded().entries;
    const auto found = entries.find(russian);
    if (found == entries.end()) {
        return std::nullopt;
    }
    return std::string_view(found->second);
}

const char* Tr(const char* russian) {
    if (UserLanguage() == TLanguage::Russian) {
        return russian;
    }
    const auto english = CatalogueEntry(russian);
    return english ? english->data() : russian;
}

std::string TrArgs(const char* russian, std::initializer_list<std::string_view> arguments) {
    const std::string_view pattern = Tr(russian);
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '%' && next >= '1' && next <= '9' &&
            static_cast<std::size_t>(next - '1') < arguments.size()) {
            text += *(arguments.begin() + (next - '1'));
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

const std::string& CatalogueFile() {
    return Loaded().file;
}

std::optional<TCatalogue> ParseCatalogue(std::string_view bytes) {
    const auto magic = Word(bytes, 0, false);
    if (!magic || (*magic != kMagic && *magic != kSwappedMagic)) {
        return std::nullopt;
    }
    const bool swapped = *magic == kSwappedMagic;
    const auto revision = Word(bytes, 4, swapped);
    const auto count = Word(bytes, 8, swapped);
    const auto originals = Word(bytes, 12, swapped);
    const auto translations = Word(bytes, 16, swapped);
    // Only the major revision 0 has this layout.
    if (!revision || (*revision >> 16) != 0 || !count || !originals || !translations) {
        return std::nullopt;
    }
    TCatalogue entries;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto original = TableString(bytes, std::size_t{*originals} + std::size_t{i} * 8, swapped);
        const auto translation = TableString(bytes, std::size_t{*translations} + std::size_t{i} * 8, swapped);
        if (!original || !translation) {
            return std::nullopt;
        }
        // The header entry (empty original) says only how the file was made; a context or plural
        // form is no text of this program's.
        if (original->empty() || original->find('\0') != std::string_view::npos ||
            original->find('\x04') != std::string_view::npos) {
            continue;
        }
        entries.emplace(std::string(*original), std::string(*translation));
    }
    return entries;
}

}  // namespace quorvel
