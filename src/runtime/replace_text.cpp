// Substring replacement, optionally of every occurrence and ignoring letter case.
#include <locale.h>

#include <cwctype>
#include <vector>

#include "runtime/number_text.h"
#include "runtime/number_text_detail.h"

namespace quorvel {

namespace {

// The user's character type for upper-casing; a locale without Unicode case tables (the plain C
// locale) would leave every non-ASCII letter unmatched, so C.UTF-8 stands in for it.
locale_t CaseLocale() {
    static const locale_t loc = [] {
        locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        if (user != static_cast<locale_t>(0) && towupper_l(0x0436, user) == 0x0416)
            return user;
        if (user != static_cast<locale_t>(0))
            freelocale(user);
        locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return utf8 != static_cast<locale_t>(0) ? utf8
                                                : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return loc;
}

// One character of a text: its upper-case form and where its bytes begin.
struct FoldedChar {
    char32_t upper;
    std::size_t offset;
};

std::vector<FoldedChar> FoldCase(std::string_view text) {
    const locale_t loc = CaseLocale();
    std::vector<FoldedChar> folded;
    folded.reserve(text.size() + 1);
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin; p < end;) {
        const std::size_t offset = static_cast<std::size_t>(p - begin);
        const char32_t c = detail::DecodeUtf8(p, end);
        char32_t upper = c;
        if (c == detail::kInvalidUtf8) {
            // An ill-formed byte matches only the same byte.
            upper = 0x80000000u | static_cast<unsigned char>(begin[offset]);
        } else if (loc != static_cast<locale_t>(0)) {
            upper = static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), loc));
        }
        folded.push_back({upper, offset});
    }
    folded.push_back({0, text.size()});  // the end, for byte offsets of a match's end
    return folded;
}

std::string ReplaceIgnoringCase(std::string_view text, std::string_view oldPattern,
                                std::string_view newPattern, bool all) {
    const std::vector<FoldedChar> hay = FoldCase(text);
    const std::vector<FoldedChar> needle = FoldCase(oldPattern);
    const std::size_t n = hay.size() - 1;
    const std::size_t m = needle.size() - 1;
    std::string result;
    result.reserve(text.size());
    std::size_t copied = 0;  // byte offset in text up to which the result is written
    for (std::size_t i = 0; i + m <= n;) {
        std::size_t k = 0;
        while (k < m && hay[i + k].upper == needle[k].upper)
            ++k;
        if (k < m) {
            ++i;
            continue;
        }
        result.append(text.substr(copied, hay[i].offset - copied));
        result.append(newPattern);
        copied = hay[i + m].offset;
        i += m;
        if (!all)
            break;
    }
    result.append(text.substr(copied));
    return result;
}

}  // namespace

std::string ReplaceText(std::string_view text, std::string_view oldPattern, std::string_view newPattern,
                        unsigned flags) {
    if (oldPattern.empty())
        return std::string(text);
    const bool all = (flags & rfReplaceAll) != 0;
    if ((flags & rfIgnoreCase) != 0)
        return ReplaceIgnoringCase(text, oldPattern, newPattern, all);
    std::string result;
    result.reserve(text.size() + newPattern.size());
    std::size_t copied = 0;
    for (std::size_t found = text.find(oldPattern); found != std::string_view::npos;
         found = text.find(oldPattern, copied)) {
        result.append(text.substr(copied, found - copied));
        result.append(newPattern);
        copied = found + oldPattern.size();
        if (!all)
            break;
    }
    result.append(text.substr(copied));
    return result;
}

}  // namespace quorvel
