#pragma once
// Internals shared by the number text conversions: UTF-8 helpers, the current separators and the
// decimal form of a double with its rounding. Not part of the public interface.
#include <cstdint>
#include <string>

namespace quorvel::detail {

// One Unicode character encoded as UTF-8 (1 to 4 bytes).
struct Utf8Char {
    char bytes[4] = {};
    std::uint8_t size = 0;
};

Utf8Char EncodeUtf8(char32_t c);

// Decodes one character at p (p < end) and advances p. An ill-formed byte yields kInvalidUtf8 and
// advances by one byte, so every byte belongs to exactly one decoded unit.
inline constexpr char32_t kInvalidUtf8 = 0xFFFFFFFFu;
char32_t DecodeUtf8(const char*& p, const char* end);

// The process-wide separators with their encodings, read on every conversion.
struct NumberSeparators {
    char32_t decimal = U'.';
    char32_t thousands = U',';
    Utf8Char decimalUtf8;
    Utf8Char thousandsUtf8;
};
extern NumberSeparators g_separators;

inline void Append(std::string& out, const Utf8Char& c) {
    out.append(c.bytes, c.size);
}

// The magnitude of a finite double as 0.d1d2d3... x 10^exponent with at most 18 digits, the first
// digit not zero and no trailing zeros; zero has no digits and exponent 0.
struct DecimalForm {
    char digits[18] = {};
    int count = 0;
    int exponent = 0;

    bool IsZero() const { return count == 0; }
};

// The exact binary value expanded to 18 significant digits (nearest).
DecimalForm ToDecimalForm(double magnitude);

// ToDecimalForm rounded to 15 digits by RoundToDigits, the same digits made faster.
DecimalForm ToDecimalForm15(double magnitude);

// Keeps the first `keep` digits (keep may be <= 0 or beyond count); the first dropped digit of 5 or
// more rounds the kept ones up, with the carry rippling into the exponent. Trailing zeros are
// dropped and a result without digits is the plain zero.
void RoundToDigits(DecimalForm& form, long long keep);

// NumberToText writing into a caller's buffer (at least 32 bytes); returns the length.
std::size_t WriteGeneralForm(char* out, double value);

}  // namespace quorvel::detail
