// The decimal and thousands characters: process-wide, read from the user's locale.
#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <cuchar>

#include "runtime/number_text.h"
#include "runtime/number_text_detail.h"

namespace quorvel {
namespace detail {

namespace {

bool IsValidScalar(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

NumberSeparators MakeSeparators(char32_t decimal, char32_t thousands) {
    NumberSeparators s;
    s.decimal = decimal;
    s.thousands = thousands;
    s.decimalUtf8 = EncodeUtf8(decimal);
    s.thousandsUtf8 = EncodeUtf8(thousands);
    return s;
}

}  // namespace

NumberSeparators g_separators = MakeSeparators(U'.', U',');

Utf8Char EncodeUtf8(char32_t c) {
    // A value that is no Unicode character cannot be written as UTF-8; the replacement character
    // keeps every output well-formed.
    if (!IsValidScalar(c))
        c = 0xFFFD;
    Utf8Char u;
    if (c < 0x80) {
        u.bytes[0] = static_cast<char>(c);
        u.size = 1;
    } else if (c < 0x800) {
        u.bytes[0] = static_cast<char>(0xC0 | (c >> 6));
        u.bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
        u.size = 2;
    } else if (c < 0x10000) {
        u.bytes[0] = static_cast<char>(0xE0 | (c >> 12));
        u.bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        u.bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
        u.size = 3;
    } else {
        u.bytes[0] = static_cast<char>(0xF0 | (c >> 18));
        u.bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        u.bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        u.bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
        u.size = 4;
    }
    return u;
}

char32_t DecodeUtf8(const char*& p, const char* end) {
    const auto b0 = static_cast<unsigned char>(*p);
    if (b0 < 0x80) {
        ++p;
        return b0;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        ++p;
        return kInvalidUtf8;
    }
    if (end - p <= extra) {
        ++p;
        return kInvalidUtf8;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if ((b & 0xC0) != 0x80) {
            ++p;
            return kInvalidUtf8;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || !IsValidScalar(c)) {
        ++p;
        return kInvalidUtf8;
    }
    p += extra + 1;
    return c;
}

}  // namespace detail

namespace {

// The first character of a locale text, decoded in the locale's own character set. Falls back to
// UTF-8 when the locale's character type cannot decode it (LC_NUMERIC and LC_CTYPE may differ).
char32_t FirstCharacter(const char* text, locale_t loc, char32_t fallback) {
    if (text == nullptr || *text == '\0')
        return fallback;
    const std::size_t length = std::strlen(text);
    char32_t c = 0;
    std::mbstate_t state{};
    const locale_t previous = uselocale(loc);
    const std::size_t used = std::mbrtoc32(&c, text, length, &state);
    uselocale(previous);
    if (used != 0 && used <= length && c != 0)
        return c;
    const char* p = text;
    c = detail::DecodeUtf8(p, text + length);
    return c == detail::kInvalidUtf8 || c == 0 ? fallback : c;
}

}  // namespace

char32_t DecimalChar() {
    return detail::g_separators.decimal;
}
char32_t ThousandsChar() {
    return detail::g_separators.thousands;
}

void SetDecimalChar(char32_t c) {
    detail::g_separators.decimal = c;
    detail::g_separators.decimalUtf8 = detail::EncodeUtf8(c);
}

void SetThousandsChar(char32_t c) {
    detail::g_separators.thousands = c;
    detail::g_separators.thousandsUtf8 = detail::EncodeUtf8(c);
}

void ReadNumberSettingsFromLocale() {
    char32_t decimal = U'.';
    char32_t thousands = U',';
    // Only the number and character-type categories of the user's locale; the process-wide C locale
    // is left alone.
    locale_t loc = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) {
        // A character type that is not installed must not cost us the number settings.
        loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    }
    if (loc != static_cast<locale_t>(0)) {
        decimal = FirstCharacter(nl_langinfo_l(RADIXCHAR, loc), loc, U'.');
        thousands = FirstCharacter(nl_langinfo_l(THOUSEP, loc), loc, U',');
        freelocale(loc);
    }
    SetDecimalChar(decimal);
    SetThousandsChar(thousands);
}

std::string DecimalText() {
    const auto& d = detail::g_separators.decimalUtf8;
    return std::string(d.bytes, d.size);
}

}  // namespace quorvel
