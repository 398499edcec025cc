// Fuzzes reading numbers: only the two documented errors may escape, and every accepted value reads
// back from its general form within 15 significant digits.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/exceptions.h"
#include "runtime/number_text.h"

namespace {

// The first byte picks the number characters, so multi-byte separators are fuzzed too.
void ChooseSeparators(std::uint8_t selector) {
    static constexpr char32_t kDecimals[] = {U',', U'.', U'\u066B', U'\U0001D7D8'};
    static constexpr char32_t kThousands[] = {U' ', U',', U'\u00A0', U'\u202F'};
    quorvel::SetDecimalChar(kDecimals[selector & 3]);
    quorvel::SetThousandsChar(kThousands[(selector >> 2) & 3]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    ChooseSeparators(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    double value = 0;
    try {
        value = quorvel::TextToNumber(text);
    } catch (const quorvel::EConvertError& e) {
        const std::string expected = "'" + std::string(text) + "' is not a valid floating point value";
        if (e.Message() != expected)
            std::abort();
        return 0;
    } catch (const quorvel::EOverflow&) {
        return 0;
    }
    if (!std::isfinite(value))
        std::abort();

    const std::string general = quorvel::NumberToText(value);
    double back = 0;
    try {
        back = quorvel::TextToNumber(general);
    } catch (const quorvel::EOverflow&) {
        // The 15-digit form of a value next to the largest double may lie beyond it.
        if (std::fabs(value) < 1.797693134862315e308)
            std::abort();
        return 0;
    }
    if (std::fabs(back - value) > 6e-15 * std::fabs(value) + DBL_TRUE_MIN)
        std::abort();
    if (quorvel::NumberToText(back) != general)
        std::abort();
    return 0;
}
