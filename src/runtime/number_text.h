#pragma once
// Number text conversion: every number the program shows or reads goes through these.
// Texts are UTF-8; the decimal and thousands characters are one Unicode character each.
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// Process-wide number settings, read from the user's locale (LC_NUMERIC).
char32_t DecimalChar();
char32_t ThousandsChar();
void SetDecimalChar(char32_t c);
void SetThousandsChar(char32_t c);
// Reads both characters from the user's locale; "." and "," where the locale gives nothing.
void ReadNumberSettingsFromLocale();
// The decimal character as a UTF-8 text (what callers pass to ReplaceText).
std::string DecimalText();

// Writes value by a number pattern ("0.0000000", "0.0000000e+0", "0.###", "#,##0.###", ...).
// Throws EConvertError("Format string too long") for a pattern over 224 characters.
std::string FormatNumber(std::string_view pattern, double value);

// The general form with 15 significant digits ("1,5", "1E15", "-2,5E-8", "NAN", "INF").
std::string NumberToText(double value);
// A key of NumberToText(value)'s layout: two values with the same key other than 0 have texts that
// differ at most in which digits stand where, and hold nothing but digits, "-", "E" and a decimal
// character of "." or ",". 0 where that cannot be told cheaply (NAN, INF, another decimal character).
std::uint32_t NumberTextShape(double value);

// Whose text is read. A finished text (a table cell as the recompute reads it, a file, a command-line
// value) is a number only when it is complete; a text still being typed may also end in an exponent
// letter or its sign ("1e", "1,5E-"), the beginnings of a valid number, read as the number before it.
enum TTextState { tsFinished, tsBeingTyped };

// Reads a number; throws EConvertError("'<text>' is not a valid floating point value")
// for a text of the wrong shape, EOverflow for a value beyond the double range.
double TextToNumber(std::string_view text, TTextState state = tsFinished);

// Reads "[+|-]digits[.digits]" (at most 19 digits) from p on, up to end, as TextToNumber reads it with
// "." the decimal character or replaced by it: the end of the number, where the next byte continues
// neither part, with its value; nullptr where the text there is not of that form or its value is one
// TextToNumber must work out the long way. Bytes from begin (<= p) up to end may be read.
const char* ReadPlainDecimal(const char* begin, const char* p, const char* end, double& value);

enum ReplaceFlags : unsigned { rfNone = 0, rfReplaceAll = 1, rfIgnoreCase = 2 };
std::string ReplaceText(std::string_view text, std::string_view oldPattern, std::string_view newPattern,
                        unsigned flags = rfNone);

}  // namespace quorvel
