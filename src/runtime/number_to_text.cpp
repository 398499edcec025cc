// The general number form with 15 significant digits.
#include <cmath>
#include <cstring>

#include "runtime/number_text.h"
#include "runtime/number_text_detail.h"

namespace quorvel {
namespace detail {

namespace {

char* Put(char* out, const Utf8Char& c) {
    std::memcpy(out, c.bytes, c.size);
    return out + c.size;
}

char* PutUnsigned(char* out, unsigned value) {
    char reversed[12];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        *out++ = reversed[--n];
    return out;
}

}  // namespace

std::size_t WriteGeneralForm(char* const start, double value) {
    char* out = start;
    if (std::isnan(value)) {
        std::memcpy(out, "NAN", 3);
        return 3;
    }
    if (std::isinf(value)) {
        if (value < 0)
            *out++ = '-';
        std::memcpy(out, "INF", 3);
        return static_cast<std::size_t>(out + 3 - start);
    }
    const DecimalForm form = ToDecimalForm15(value);
    if (form.IsZero()) {
        *out = '0';
        return 1;
    }
    if (value < 0)
        *out++ = '-';
    const Utf8Char& decimal = g_separators.decimalUtf8;
    const int e = form.exponent;
    if (e > 15 || e < -3) {
        *out++ = form.digits[0];
        if (form.count > 1) {
            out = Put(out, decimal);
            std::memcpy(out, form.digits + 1, static_cast<std::size_t>(form.count - 1));
            out += form.count - 1;
        }
        *out++ = 'E';
        int shown = e - 1;
        if (shown < 0) {
            *out++ = '-';
            shown = -shown;
        }
        out = PutUnsigned(out, static_cast<unsigned>(shown));
    } else if (e > 0) {
        if (form.count <= e) {
            std::memcpy(out, form.digits, static_cast<std::size_t>(form.count));
            out += form.count;
            for (int i = form.count; i < e; ++i)
                *out++ = '0';
        } else {
            std::memcpy(out, form.digits, static_cast<std::size_t>(e));
            out += e;
            out = Put(out, decimal);
            std::memcpy(out, form.digits + e, static_cast<std::size_t>(form.count - e));
            out += form.count - e;
        }
    } else {
        *out++ = '0';
        out = Put(out, decimal);
        for (int i = 0; i < -e; ++i)
            *out++ = '0';
        std::memcpy(out, form.digits, static_cast<std::size_t>(form.count));
        out += form.count;
    }
    return static_cast<std::size_t>(out - start);
}

}  // namespace detail

std::string NumberToText(double value) {
    char text[32];
    return std::string(text, detail::WriteGeneralForm(text, value));
}

std::uint32_t NumberTextShape(double value) {
    const detail::Utf8Char& decimal = detail::g_separators.decimalUtf8;
    if (!std::isfinite(value) || decimal.size != 1 || (decimal.bytes[0] != '.' && decimal.bytes[0] != ',')) {
        return 0;
    }
    const detail::DecimalForm form = detail::ToDecimalForm15(value);
    if (form.IsZero()) {
        return 1;
    }
    // WriteGeneralForm places the sign, the digits, the decimal character, the zeros and the exponent by
    // these three alone: the sign, how many digits (1 ... 15) and the exponent (-330 ... 310).
    return (value < 0 ? 2u : 0u) | (static_cast<std::uint32_t>(form.count) << 2) |
           (static_cast<std::uint32_t>(form.exponent + 512) << 8);
}

}  // namespace quorvel
