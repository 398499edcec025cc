// Writing a number by a pattern of digit placeholders, separators, exponent and literal text.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/exceptions.h"
#include "runtime/number_text.h"
#include "runtime/number_text_detail.h"

namespace quorvel {

namespace {

using detail::DecimalForm;

constexpr int kMaxPatternLength = 224;
constexpr int kMaxExponentDigits = 4;

// What one section of a pattern asks for.
struct SectionLayout {
    int integerPlaceholders = 0;
    int fractionPlaceholders = 0;  // MaxFrac
    int minInteger = 0;            // MinInt
    int minFraction = 0;           // MinFrac
    bool grouping = false;
    bool scientific = false;
};

bool IsQuote(char c) {
    return c == '\'' || c == '"';
}

// Index just past the literal that opens at `i` (a quote runs to its partner or the end).
std::size_t SkipQuoted(std::string_view s, std::size_t i) {
    const std::size_t close = s.find(s[i], i + 1);
    return close == std::string_view::npos ? s.size() : close + 1;
}

bool IsExponentAt(std::string_view s, std::size_t i) {
    return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

// Splits off up to three sections at the ";" outside quotes.
int SplitSections(std::string_view pattern, std::string_view (&sections)[3]) {
    int n = 0;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < pattern.size() && n < 3) {
        if (IsQuote(pattern[i])) {
            i = SkipQuoted(pattern, i);
        } else if (pattern[i] == ';') {
            sections[n++] = pattern.substr(start, i - start);
            start = ++i;
        } else {
            ++i;
        }
    }
    if (n < 3)
        sections[n++] = pattern.substr(start);
    return n;
}

SectionLayout Analyse(std::string_view s) {
    SectionLayout layout;
    bool afterPoint = false;
    bool exponentSeen = false;
    int firstIntegerZero = -1;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (IsQuote(c)) {
            i = SkipQuoted(s, i);
            continue;
        }
        if (c == '0' || c == '#') {
            if (afterPoint) {
                ++layout.fractionPlaceholders;
                if (c == '0')
                    layout.minFraction = layout.fractionPlaceholders;
            } else {
                if (c == '0' && firstIntegerZero < 0)
                    firstIntegerZero = layout.integerPlaceholders;
                ++layout.integerPlaceholders;
            }
        } else if (c == '.') {
            afterPoint = true;
        } else if (c == ',') {
            layout.grouping = true;
        } else if (!exponentSeen && IsExponentAt(s, i)) {
            exponentSeen = true;
            layout.scientific = true;
            i += 2;
            while (i < s.size() && s[i] == '0')
                ++i;
            continue;
        }
        ++i;
    }
    if (firstIntegerZero >= 0)
        layout.minInteger = layout.integerPlaceholders - firstIntegerZero;
    return layout;
}

// The output is built on the stack: a pattern of at most 224 characters (4 bytes each) with its
// digits, separators and exponent stays far below this size.
class OutputBuffer {
public:
    void Put(char c) { data_[size_++] = c; }
    void Put(const char* p, std::size_t n) {
        std::memcpy(data_ + size_, p, n);
        size_ += n;
    }
    void Put(const detail::Utf8Char& c) { Put(c.bytes, c.size); }
    std::string Text() const { return std::string(data_, size_); }

private:
    char data_[4096];
    std::size_t size_ = 0;
};

// The digits that go into the placeholders, after rounding.
struct PlacedDigits {
    std::string_view integer;   // every integer digit, already padded to MinInt
    std::string_view fraction;  // fraction digits, already padded to MinFrac
    int exponent = 0;           // scientific only
};

class SectionWriter {
public:
    SectionWriter(std::string_view section, const SectionLayout& layout, const PlacedDigits& digits)
        : section_(section), layout_(layout), digits_(digits) {}

    void Write(OutputBuffer& out, bool minus) {
        if (minus)
            out.Put('-');
        const int integerCount = static_cast<int>(digits_.integer.size());
        // Integer digits beyond the placeholders all come out at the first placeholder.
        const int offset = integerCount - layout_.integerPlaceholders;
        int integerPlaceholder = 0;
        int fractionPlaceholder = 0;
        bool afterPoint = false;
        bool exponentSeen = false;
        bool firstPlaceholder = true;
        for (std::size_t i = 0; i < section_.size();) {
            const char c = section_[i];
            if (IsQuote(c)) {
                const std::size_t close = section_.find(c, i + 1);
                const std::size_t stop = close == std::string_view::npos ? section_.size() : close;
                out.Put(section_.data() + i + 1, stop - i - 1);
                i = stop == section_.size() ? stop : stop + 1;
                continue;
            }
            if (c == '0' || c == '#') {
                if (firstPlaceholder && layout_.integerPlaceholders == 0)
                    PutIntegerDigits(out, 0, integerCount);
                firstPlaceholder = false;
                if (afterPoint) {
                    if (fractionPlaceholder < static_cast<int>(digits_.fraction.size())) {
                        if (fractionPlaceholder == 0)
                            out.Put(detail::g_separators.decimalUtf8);
                        out.Put(digits_.fraction[static_cast<std::size_t>(fractionPlaceholder)]);
                    }
                    ++fractionPlaceholder;
                } else {
                    // Placeholder j holds digit j + offset; the first one also every digit before it.
                    const int at = integerPlaceholder + offset;
                    const int from = integerPlaceholder == 0 ? 0 : at;
                    const int to = at + 1;
                    PutIntegerDigits(out, std::max(0, from), to);
                    ++integerPlaceholder;
                }
            } else if (c == '.') {
                afterPoint = true;
            } else if (c == ',') {
                // Only switches grouping on.
            } else if (!exponentSeen && IsExponentAt(section_, i)) {
                exponentSeen = true;
                int minDigits = 0;
                std::size_t j = i + 2;
                while (j < section_.size() && section_[j] == '0')
                    ++j, ++minDigits;
                PutExponent(out, c, section_[i + 1] == '+', std::min(minDigits, kMaxExponentDigits));
                i = j;
                continue;
            } else {
                out.Put(c);
            }
            ++i;
        }
    }

private:
    // Writes integer digits [from, to) with the thousands character between groups of three.
    void PutIntegerDigits(OutputBuffer& out, int from, int to) {
        const int count = static_cast<int>(digits_.integer.size());
        for (int k = from; k < to; ++k) {
            out.Put(digits_.integer[static_cast<std::size_t>(k)]);
            const int remaining = count - 1 - k;
            if (layout_.grouping && remaining > 0 && remaining % 3 == 0) {
                out.Put(detail::g_separators.thousandsUtf8);
            }
        }
    }

    void PutExponent(OutputBuffer& out, char letter, bool plus, int minDigits) {
        out.Put(letter);
        int e = digits_.exponent;
        if (e < 0) {
            out.Put('-');
            e = -e;
        } else if (plus) {
            out.Put('+');
        }
        char text[12];
        int n = 0;
        do {
            text[n++] = static_cast<char>('0' + e % 10);
            e /= 10;
        } while (e != 0);
        for (int k = n; k < minDigits; ++k)
            out.Put('0');
        while (n > 0)
            out.Put(text[--n]);
    }

    std::string_view section_;
    const SectionLayout& layout_;
    const PlacedDigits& digits_;
};

// Rounds the magnitude by the section's rules; false when it came out as zero.
bool RoundForSection(const SectionLayout& layout, DecimalForm& form) {
    if (layout.scientific) {
        detail::RoundToDigits(form, layout.integerPlaceholders + layout.fractionPlaceholders);
    } else {
        detail::RoundToDigits(form, static_cast<long long>(form.exponent) + layout.fractionPlaceholders);
    }
    return !form.IsZero();
}

// Lays out the rounded digits for the section; `buffer` holds the digit texts.
PlacedDigits PlaceDigits(const SectionLayout& layout, const DecimalForm& form, char (&buffer)[512]) {
    PlacedDigits placed;
    char* integer = buffer;
    int integerCount = 0;
    char* fraction = buffer + 256;
    int fractionCount = 0;
    if (layout.scientific) {
        // Never negative; saying so keeps gcc 14 from warning of a read before the digits.
        const int k = std::max(layout.integerPlaceholders, 0);
        for (int i = 0; i < k; ++i)
            integer[integerCount++] = i < form.count ? form.digits[i] : '0';
        for (int i = k; i < form.count; ++i)
            fraction[fractionCount++] = form.digits[i];
        placed.exponent = form.IsZero() ? 0 : form.exponent - k;
        if (form.IsZero())
            integerCount = 0;
    } else {
        const int e = form.exponent;
        for (int i = 0; i < e; ++i)
            integer[integerCount++] = i < form.count ? form.digits[i] : '0';
        for (int i = e; i < 0; ++i)
            fraction[fractionCount++] = '0';
        for (int i = std::max(e, 0); i < form.count; ++i)
            fraction[fractionCount++] = form.digits[i];
        if (form.IsZero())
            fractionCount = 0;
    }
    // Pad the integer digits with leading zeros to MinInt.
    if (integerCount < layout.minInteger) {
        const int pad = layout.minInteger - integerCount;
        std::memmove(integer + pad, integer, static_cast<std::size_t>(integerCount));
        std::memset(integer, '0', static_cast<std::size_t>(pad));
        integerCount = layout.minInteger;
    }
    while (fractionCount > 0 && fraction[fractionCount - 1] == '0')
        --fractionCount;
    while (fractionCount < layout.minFraction)
        fraction[fractionCount++] = '0';
    placed.integer = std::string_view(integer, static_cast<std::size_t>(integerCount));
    placed.fraction = std::string_view(fraction, static_cast<std::size_t>(fractionCount));
    return placed;
}

int CharacterCount(std::string_view text) {
    int count = 0;
    for (const char* p = text.data(); p < text.data() + text.size(); ++count) {
        detail::DecodeUtf8(p, text.data() + text.size());
    }
    return count;
}

}  // namespace

// The length limit counts characters, as a user sees them; an ill-formed UTF-8 byte counts as one.
// A section without any digit placeholder writes only its literals (and a minus sign).
std::string FormatNumber(std::string_view pattern, double value) {
    if (pattern.size() > kMaxPatternLength && CharacterCount(pattern) > kMaxPatternLength) {
        throw EConvertError("Format string too long");
    }
    std::string_view sections[3];
    const int sectionCount = SplitSections(pattern, sections);
    auto sectionOrFirst = [&](int index) {
        return index < sectionCount && !sections[index].empty() ? sections[index] : sections[0];
    };

    // Not-a-number and the infinities take the general form; they are tested before any ordered
    // comparison, which would raise the invalid-operation fault for not-a-number.
    if (!std::isfinite(value))
        return NumberToText(value);
    const bool negative = value < 0;
    const int chosen = value > 0 ? 0 : (negative ? 1 : 2);
    // So does a pattern without a section to write by.
    std::string_view section = sectionOrFirst(chosen);
    if (section.empty())
        return NumberToText(value);

    SectionLayout layout = Analyse(section);
    DecimalForm form = detail::ToDecimalForm(value);
    bool zero = !RoundForSection(layout, form);
    if (!layout.scientific && form.exponent > 18)
        return NumberToText(value);
    if (zero && chosen != 2) {
        // A value that rounds to zero is written as zero is.
        section = sectionOrFirst(2);
        if (section.empty())
            return NumberToText(0.0);
        layout = Analyse(section);
        form = DecimalForm{};
    }
    const bool minus = negative && !zero && section.data() == sections[0].data();

    char digitBuffer[512];
    const PlacedDigits placed = PlaceDigits(layout, form, digitBuffer);
    OutputBuffer out;
    SectionWriter(section, layout, placed).Write(out, minus);
    return out.Text();
}

}  // namespace quorvel
