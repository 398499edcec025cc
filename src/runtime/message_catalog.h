#pragma once
// The user's language and the one message catalogue every front end reads its texts from. A text is
// written in the sources in Russian, the program's own language; its English form comes from the
// compiled catalogue (share/locale/en/LC_MESSAGES/quorvel.mo of the installed tree or the build tree).
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

enum class TLanguage { Russian, English };

// The language the settings ask for: the first of LANGUAGE (its first entry), LC_ALL, LC_MESSAGES and
// LANG that is set and not empty decides. Russian for "ru…", for C and POSIX and when none is set;
// English for any other language. A null pointer stands for an unset variable.
TLanguage LanguageFromSettings(const char* language, const char* lcAll, const char* lcMessages,
                               const char* lang);

// The language of this process: from the environment at first use, unless set before.
TLanguage UserLanguage();
void SetUserLanguage(TLanguage language);

// The text in the user's language: the catalogue's English form of the Russian text, or the text
// itself in Russian and where the catalogue has no entry for it.
const char* Tr(const char* russian);
// The same with "%1", "%2"… replaced by the arguments, in the order the translation puts them.
std::string TrArgs(const char* russian, std::initializer_list<std::string_view> arguments);

// The English form of a Russian text, whatever the user's language; nothing when the catalogue has
// no entry for it.
std::optional<std::string_view> CatalogueEntry(std::string_view russian);

// The catalogue file this process reads ("" when none was found).
const std::string& CatalogueFile();

using TCatalogue = std::map<std::string, std::string, std::less<>>;
// The entries of a compiled catalogue (the GNU .mo format, either byte order), without its header
// entry; nothing when the bytes are not a whole catalogue.
std::optional<TCatalogue> ParseCatalogue(std::string_view bytes);

}  // namespace quorvel
