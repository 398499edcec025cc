// The decimal form of a double and the one rounding rule every number text uses.
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "runtime/number_text_detail.h"

namespace quorvel::detail {

DecimalForm ToDecimalForm(double magnitude) {
    DecimalForm form;
    if (magnitude == 0)
        return form;
    if (magnitude < 0)
        magnitude = -magnitude;
    // The exact binary value, correctly rounded to 18 significant digits: "d.ddddddddddddddddde+XXX".
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 17);
    const char* end = result.ptr;
    form.digits[0] = text[0];
    std::memcpy(form.digits + 1, text + 2, 17);
    const char* p = text + 19;  // at 'e'
    ++p;
    const bool negative = *p == '-';
    ++p;
    int exponent = 0;
    for (; p < end; ++p)
        exponent = exponent * 10 + (*p - '0');
    form.exponent = (negative ? -exponent : exponent) + 1;
    int count = 18;
    while (count > 0 && form.digits[count - 1] == '0')
        --count;
    form.count = count;
    return form;
}

namespace {

// Powers of ten that are exact doubles, 10^0 ... 10^22.
constexpr std::array<double, 23> kExactPowers = [] {
    std::array<double, 23> p{};
    double v = 1;
    for (double& e : p) {
        e = v;
        v *= 10;
    }
    return p;
}();

// The 15 digits of a magnitude from 10^-7 to 10^15 as one integer: the magnitude times an exact power
// of ten is off the exact product by at most 1/16, so its nearest integer is the exact one unless the
// fraction is near a half, which is left to the slower ways.
bool QuickForm15(double magnitude, DecimalForm& form) {
    if (!(magnitude >= 1e-7 && magnitude < 1e15))
        return false;
    // Digits before the point: a guess from the binary exponent (read off the bits of this normal
    // double; 78913/2^18 is log10(2) to within 10^-6), corrected by the scaled value itself.
    const int binary = static_cast<int>((std::bit_cast<std::uint64_t>(magnitude) >> 52) & 0x7FF) - 1023;
    int e = ((binary * 78913) >> 18) + 1;
    double scaled = 0;
    for (int tries = 0;; ++tries) {
        if (tries == 3 || e > 15 || e < -6)
            return false;
        scaled = magnitude * kExactPowers[static_cast<std::size_t>(15 - e)];
        if (scaled < 1e14)
            --e;
        else if (scaled >= 1e15)
            ++e;
        else
            break;
    }
    // Below 2^53 and positive: the conversion drops the fraction exactly.
    const auto whole = static_cast<double>(static_cast<std::uint64_t>(scaled));
    const double fraction = scaled - whole;
    if (fraction > 0.25 && fraction < 0.75)
        return false;
    auto n = static_cast<std::uint64_t>(whole) + (fraction >= 0.75 ? 1 : 0);
    if (n == 1'000'000'000'000'000) {
        // Rounded up into the next decade.
        n = 100'000'000'000'000;
        ++e;
    }
    // Two digits at a time from two halves of at most 8 digits: few divisions, all by constants.
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    auto high = static_cast<std::uint32_t>(n / 100'000'000);
    auto low = static_cast<std::uint32_t>(n % 100'000'000);
    for (int i = 13; i >= 7; i -= 2) {
        std::memcpy(form.digits + i, kPairs + 2 * (low % 100), 2);
        low /= 100;
    }
    for (int i = 5; i >= 1; i -= 2) {
        std::memcpy(form.digits + i, kPairs + 2 * (high % 100), 2);
        high /= 100;
    }
    form.digits[0] = static_cast<char>('0' + high);
    form.count = 15;
    while (form.count > 0 && form.digits[form.count - 1] == '0')
        --form.count;
    form.exponent = e;
    return true;
}

}  // namespace

DecimalForm ToDecimalForm15(double magnitude) {
    if (magnitude < 0)
        magnitude = -magnitude;
    DecimalForm form;
    if (QuickForm15(magnitude, form))
        return form;
    // The shortest text that reads back as the same double is much cheaper to make. For a normal double
    // an ulp is below a ninth of the spacing of 15-digit decimals, so when that text has at most 15
    // digits it is also the nearest 15-digit decimal, and so what rounding the 18 digits gives.
    if (std::isnormal(magnitude)) {
        char text[40];
        const auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
        const char* p = text;
        form.digits[form.count++] = *p++;
        if (*p == '.') {
            ++p;
            while (*p != 'e' && form.count <= 15)
                form.digits[form.count++] = *p++;
        }
        if (*p == 'e' && form.count <= 15) {
            ++p;
            const bool negative = *p == '-';
            ++p;
            int exponent = 0;
            for (; p < result.ptr; ++p)
                exponent = exponent * 10 + (*p - '0');
            form.exponent = (negative ? -exponent : exponent) + 1;
            while (form.count > 0 && form.digits[form.count - 1] == '0')
                --form.count;
            return form;
        }
    }
    form = ToDecimalForm(magnitude);
    RoundToDigits(form, 15);
    return form;
}

void RoundToDigits(DecimalForm& form, long long keep) {
    if (keep >= form.count)
        return;
    if (keep < 0) {
        form = DecimalForm{};
        return;
    }
    const int k = static_cast<int>(keep);
    const bool up = form.digits[k] >= '5';
    form.count = k;
    if (up) {
        int i = k - 1;
        while (i >= 0 && form.digits[i] == '9')
            --i;
        if (i < 0) {
            // Every kept digit was 9 (or none was kept): the carry makes one more integer digit.
            form.digits[0] = '1';
            form.count = 1;
            ++form.exponent;
            return;
        }
        ++form.digits[i];
        form.count = i + 1;
    }
    while (form.count > 0 && form.digits[form.count - 1] == '0')
        --form.count;
    if (form.count == 0)
        form = DecimalForm{};
}

}  // namespace quorvel::detail
