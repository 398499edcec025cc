// Reading a number from a cell or field text.
#include <locale.h>

#include <bit>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/exceptions.h"
#include "runtime/number_text.h"
#include "runtime/number_text_detail.h"

namespace quorvel {

namespace {

// Enough significant digits to decide the rounding of any double (the longest exact halfway case has
// 767); further digits only matter as "some nonzero digit follows".
constexpr int kMaxDigits = 780;

// The exponent digits are read only while the exponent is below this; a further digit is an error.
constexpr int kExponentLimit = 500;

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

[[noreturn]] __attribute__((noinline, cold)) void ThrowNotANumber(std::string_view text) {
    std::string message;
    message.reserve(text.size() + 40);
    message += '\'';
    message += text;
    message += "' is not a valid floating point value";
    throw EConvertError(std::move(message));
}

// Whether the decimal value written in `ascii` ("<digits>e<exponent>") lies beyond the largest
// extended-precision value, that is, would not even survive a 64-bit-mantissa computation.
__attribute__((noinline, cold)) bool BeyondExtendedRange(const char* ascii) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    // The overflow is the expected answer here, so it must neither trap nor stay flagged.
    std::fenv_t environment;
    feholdexcept(&environment);
    const long double extended = strtold_l(ascii, nullptr, cLocale);
    fesetenv(&environment);
    return std::isinf(extended);
}

// Reads the decimal digits at p into mantissa (wrapping beyond 19 digits, which callers refuse), four
// at a time where four are there: the four are checked and valued without a chain through mantissa.
inline const char* ReadDigits(const char* p, const char* end, std::uint64_t& mantissa) {
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 4) {
            std::uint32_t w;
            std::memcpy(&w, p, 4);
            // Each byte in '0'..'9': its high nibble is 3, also after adding 6.
            if ((w & 0xF0F0F0F0u) != 0x30303030u || ((w + 0x06060606u) & 0xF0F0F0F0u) != 0x30303030u) {
                break;
            }
            const std::uint32_t d = w - 0x30303030u;        // the first digit in the lowest byte
            const std::uint32_t pairs = d * 10 + (d >> 8);  // bytes 0 and 2: the two-digit pairs
            mantissa = mantissa * 10000 + (pairs & 0xFF) * 100 + ((pairs >> 16) & 0xFF);
            p += 4;
        }
    }
    for (; p < end && static_cast<unsigned>(*p - '0') < 10; ++p) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    return p;
}

// The usual cell, "[-]digits[,digits]" with at most 19 digits in all and no exponent, whose value
// one correctly rounded IEEE operation gives: true with the value. False leaves the text to the full
// reader, which accepts what this does with the same result.
inline bool ReadPlainNumber(const char* p, const char* end, const detail::Utf8Char& decimal, double& out) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    std::uint64_t mantissa = 0;
    const char* const first = p;
    p = ReadDigits(p, end, mantissa);
    const char* const point = p;
    int fraction = 0;
    if (decimal.size == 1 && p < end && *p == decimal.bytes[0]) {
        p = ReadDigits(p + 1, end, mantissa);
        fraction = static_cast<int>(p - point - 1);
    }
    const long digits = static_cast<long>(point - first) + fraction;
    if (p != end || digits == 0 || digits > 19 || fraction > 22 || mantissa > (std::uint64_t{1} << 53)) {
        return false;
    }
    const double v = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    out = negative ? -v : v;
    return true;
}

}  // namespace

// The result is the exact decimal value of the text rounded once to the nearest double (ties to
// even): never worse than a 64-bit-mantissa computation, and every double comes back exactly from
// its shortest digits. The grammar is parsed by hand into a stack buffer, so a cell is read without
// touching the heap; only the error path allocates.
double TextToNumber(std::string_view text, TTextState state) {
    const char* p = text.data();
    const char* const end = p + text.size();
    const detail::Utf8Char& decimal = detail::g_separators.decimalUtf8;
    if (double value; ReadPlainNumber(p, end, decimal, value)) {
        return value;
    }

    while (p < end && *p == ' ')
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }

    // Significant digits (leading zeros skipped) and the power of ten that scales their integer.
    char digits[kMaxDigits + 24];
    int count = 0;
    std::uint64_t mantissa = 0;
    long long scale = 0;
    bool dropped = false;  // a nonzero digit beyond kMaxDigits
    bool seenDigit = false;

    for (; p < end && static_cast<unsigned>(*p - '0') < 10; ++p) {
        seenDigit = true;
        if (count == 0 && *p == '0')
            continue;
        if (count < kMaxDigits) {
            if (count < 19)
                mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            digits[count++] = *p;
        } else {
            ++scale;
            dropped |= *p != '0';
        }
    }
    bool seenDecimal = false;
    if (end - p >= decimal.size && std::memcmp(p, decimal.bytes, decimal.size) == 0) {
        seenDecimal = true;
        p += decimal.size;
        for (; p < end && static_cast<unsigned>(*p - '0') < 10; ++p) {
            seenDigit = true;
            if (count == 0 && *p == '0') {
                --scale;
            } else if (count < kMaxDigits) {
                if (count < 19)
                    mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
                digits[count++] = *p;
                --scale;
            } else {
                dropped |= *p != '0';
            }
        }
    }
    if (!seenDigit && !seenDecimal)
        ThrowNotANumber(text);

    int exponent = 0;
    bool negativeExponent = false;
    if (p < end && (*p == 'E' || *p == 'e')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-')) {
            negativeExponent = *p == '-';
            ++p;
        }
        const char* const digits = p;
        while (p < end && static_cast<unsigned>(*p - '0') < 10 && exponent < kExponentLimit) {
            exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        // A cut "1.5e-3" must not pass for 1.5 once the text is finished.
        if (p == digits && state == tsFinished)
            ThrowNotANumber(text);
    }
    while (p < end && *p == ' ')
        ++p;
    if (p != end)
        ThrowNotANumber(text);

    if (count == 0)
        return negative ? -0.0 : 0.0;
    const long long power = scale + (negativeExponent ? -exponent : exponent);

    // Few digits and a small power: one exact operand and one correctly rounded IEEE operation.
    if (count <= 19 && mantissa <= (std::uint64_t{1} << 53) && !dropped && power >= -22 && power <= 22) {
        const double m = static_cast<double>(mantissa);
        const double v = power < 0 ? m / kPowersOfTen[-power] : m * kPowersOfTen[power];
        return negative ? -v : v;
    }

    // The value is 0.<digits> x 10^magnitude.
    const long long magnitude = count + power;
    if (magnitude < -330)
        return negative ? -0.0 : 0.0;  // below half the smallest subnormal

    if (dropped) {
        // Stands for the nonzero tail, one place below the kept digits: it cannot change which way
        // the value rounds, only that it is not exactly a halfway case.
        digits[count++] = '1';
    }
    const long long digitPower = power - (dropped ? 1 : 0);
    char* q = digits + count;
    *q++ = 'e';
    q = std::to_chars(q, digits + sizeof digits - 1, digitPower).ptr;
    *q = '\0';

    double value = 0;
    const auto result = magnitude > 310 ? std::from_chars_result{q, std::errc::result_out_of_range}
                                        : std::from_chars(digits, q, value);
    if (result.ec == std::errc::result_out_of_range) {
        if (magnitude <= 0)
            return negative ? -0.0 : 0.0;  // rounds below the smallest subnormal
        if (magnitude > 4933 || BeyondExtendedRange(digits))
            ThrowNotANumber(text);
        throw EOverflow();
    }
    return negative ? -value : value;
}

}  // namespace quorvel
