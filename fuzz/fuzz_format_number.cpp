// Fuzzes writing numbers by a pattern: no crash for any pattern and double, only the length error
// escapes, and a minus sign never stands before a text without a nonzero digit.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/exceptions.h"
#include "runtime/number_text.h"

namespace {

// Every byte that is not a UTF-8 continuation byte begins a character of its own.
std::size_t CharacterStarts(std::string_view text) {
    std::size_t count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    return count;
}

// A minus sign before a text without any nonzero digit: a negative zero written out.
bool IsMinusZero(std::string_view text) {
    return !text.empty() && text[0] == '-' && text.find('0') != std::string_view::npos &&
           text.find_first_of("123456789") == std::string_view::npos;
}

// Whether a digit placeholder remains once the exponent markers ("E+00", "e-0") are taken out; a
// section without one writes no digit of the value, only a sign and an exponent.
bool HasMantissaPlaceholder(std::string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if ((c == 'E' || c == 'e') && i + 1 < pattern.size() &&
            (pattern[i + 1] == '+' || pattern[i + 1] == '-')) {
            for (i += 2; i < pattern.size() && pattern[i] == '0'; ++i) {
            }
            --i;
        } else if (c == '0' || c == '#') {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9)
        return 0;
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    quorvel::SetDecimalChar(data[8] & 1 ? U',' : U'\u066B');
    quorvel::SetThousandsChar(data[8] & 2 ? U' ' : U'\u00A0');
    const std::string_view pattern(reinterpret_cast<const char*>(data + 9), size - 9);
    std::string text;
    try {
        text = quorvel::FormatNumber(pattern, value);
    } catch (const quorvel::EConvertError& e) {
        if (e.Message() != "Format string too long" || pattern.size() <= 224)
            std::abort();
        return 0;
    }
    if (CharacterStarts(pattern) > 224)
        std::abort();  // a too long pattern must have been refused
    // Without quotes or a "-" of its own, a leading minus can only be the automatic one.
    if (pattern.find_first_of("'\"-") == std::string_view::npos && HasMantissaPlaceholder(pattern) &&
        IsMinusZero(text))
        std::abort();
    // The program's own patterns always write a number that reads back.
    if (std::isfinite(value)) {
        for (const char* own : {"0.0000000", "0.0000000e+0", "0.###"}) {
            const std::string written = quorvel::FormatNumber(own, value);
            if (IsMinusZero(written))
                std::abort();
            if (std::fabs(value) < 1e300)
                (void)quorvel::TextToNumber(written);
        }
    }
    return 0;
}
