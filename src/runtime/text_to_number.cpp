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

constexpr std::uint64_t kZeroDigits = 0x3030303030303030u;

constexpr std::uint64_t kTensUpTo8[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The bytes of w (the first in the lowest byte) that are not ASCII digits, flagged in their high bits.
// The lowest flag is exact; borrows and carries only run upward, so a flag above it may be false.
inline std::uint64_t NonDigitBytes(std::uint64_t w) {
    return ((w + 0x4646464646464646u) | (w - kZeroDigits)) & 0x8080808080808080u;
}

// The value of eight digit values held as bytes, the first in the lowest: pairs, then quadruples, then
// the whole, each step one multiplication for two groups.
inline std::uint64_t EightDigitsValue(std::uint64_t d) {
    d = d * 10 + (d >> 8);
    return (((d & 0x000000FF000000FFu) * (100 + (std::uint64_t{1000000} << 32))) +
            (((d >> 16) & 0x000000FF000000FFu) * (1 + (std::uint64_t{10000} << 32)))) >>
           32;
}

// Reads the decimal digits from p on (before end) into mantissa, wrapping beyond 19 digits, which callers
// refuse; returns the end of the run. A run is valued up to eight digits at a time from one load, where
// [begin, end) holds eight bytes about p: a cell's last digits are taken from the load that ends at its end.
inline const char* ReadDigits(const char* begin, const char* p, const char* end, std::uint64_t& mantissa) {
    if constexpr (std::endian::native == std::endian::little) {
        for (;;) {
            const std::ptrdiff_t left = end - p;
            std::uint64_t w;
            if (left >= 8) {
                std::memcpy(&w, p, 8);
            } else if (left > 0 && end - begin >= 8) {
                std::memcpy(&w, end - 8, 8);
                w >>= 8 * (8 - left);  // the bytes past the end come in as zeros, which are no digits
            } else {
                break;
            }
            const std::uint64_t flags = NonDigitBytes(w);
            const int run = flags == 0 ? 8 : std::countr_zero(flags) / 8;
            if (run == 0) {
                return p;
            }
            // The run's digits moved to the top, below them zeros as leading digits.
            mantissa = mantissa * kTensUpTo8[run] + EightDigitsValue((w - kZeroDigits) << (8 * (8 - run)));
            p += run;
            if (run < 8) {
                return p;
            }
        }
    }
    for (; p < end && static_cast<unsigned>(*p - '0') < 10; ++p) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    return p;
}

// "[+|-]digits[<decimal>digits]" from p on, with at most 19 digits in all and a value that one correctly
// rounded IEEE operation gives: the end of the number (the first byte that continues neither part) with
// the value; nullptr for anything else, which the full reader then decides. decimal < 0: no fraction.
inline const char* ReadPlain(const char* begin, const char* p, const char* end, int decimal, double& out) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    std::uint64_t mantissa = 0;
    const char* const first = p;
    p = ReadDigits(begin, p, end, mantissa);
    const char* const point = p;
    int fraction = 0;
    if (p < end && static_cast<unsigned char>(*p) == decimal) {
        p = ReadDigits(begin, p + 1, end, mantissa);
        fraction = static_cast<int>(p - point - 1);
    }
    const long digits = static_cast<long>(point - first) + fraction;
    if (digits == 0 || digits > 19 || fraction > 22 || mantissa > (std::uint64_t{1} << 53)) {
        return nullptr;
    }
    const double v = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    out = negative ? -v : v;
    return p;
}

// The usual cell, a plain number and nothing else: true with the value. False leaves the text to the
// full reader, which accepts what this does with the same result.
inline bool ReadPlainNumber(const char* p, const char* end, const detail::Utf8Char& decimal, double& out) {
    const int decimalByte = decimal.size == 1 ? static_cast<unsigned char>(decimal.bytes[0]) : -1;
    const char* const stop = ReadPlain(p, p, end, decimalByte, out);
    return stop != nullptr && stop == end;
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
    // A decimal character alone (",", "-,", ",e5") begins a number while it is typed; finished, it is none.
    if (!seenDigit && (!seenDecimal || state == tsFinished))
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

const char* ReadPlainDecimal(const char* begin, const char* p, const char* end, double& value) {
    return ReadPlain(begin, p, end, '.', value);
}

}  // namespace quorvel
