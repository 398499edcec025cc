#include "fitting/result_texts.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "fitting/exact_polynomial.h"
#include "fitting/fit_texts.h"
#include "runtime/exceptions.h"
#include "runtime/number_text.h"

namespace quorvel {

std::string FormatResultValue(double value) {
    const bool fixed = (value > -1000 && value < -0.001) || (value > 0.001 && value < 1000);
    return FormatNumber(fixed ? "0.0000000" : "0.0000000e+0", value);
}

std::string FormatFittedValue(double value) {
    return value == 0 ? std::string("0") : FormatResultValue(value);
}

std::string UncertaintyTip(std::string_view quantity, const std::optional<double>& u) {
    std::string tip = "u(";
    tip.append(quantity);
    tip += ") = ";
    tip += u ? FormatFittedValue(*u) : std::string("—");
    return tip;
}

std::string ExpandedUncertaintyTip(std::string_view quantity, const std::optional<double>& u,
                                   const std::optional<double>& expanded) {
    return UncertaintyTip(quantity, u) + "; U = " + (expanded ? FormatFittedValue(*expanded) : "—");
}

TCoefficientTexts MakeCoefficientTexts(const TFitCoefficients& c) {
    static const char* const kPrefixes[4] = {"a0 = ", "a1 = ", "a2 = ", "a3 = "};
    const double values[4] = {c.a0, c.a1, c.a2, c.a3};
    TCoefficientTexts texts;
    for (int i = 0; i < 4; ++i) {
        // An exact zero is shown as the plain digit, never in the exponent pattern.
        std::string value = values[i] == 0 ? std::string(1, '0') : FormatResultValue(values[i]);
        texts.captions[i] = kPrefixes[i] + value;
        texts.values[i] = std::move(value);
    }
    return texts;
}

std::string BuildFormula(const TFitCoefficients& c, TFunctionKind kind, const TCoefficientTexts& texts) {
    const int itemIndex = static_cast<int>(kind) - 1;
    std::string formula = "Y = ";
    const auto started = [&formula] { return formula.size() > 4; };
    if (c.a3 != 0 && itemIndex == 2) {
        formula += texts.values[3];
        formula += " * X^3 ";
    }
    if (c.a2 != 0 && itemIndex >= 1) {
        if (started() && c.a2 > 0) {
            formula += " +";
        }
        formula += texts.values[2];
        formula += " * X^2 ";
    }
    if (c.a1 != 0) {
        if (started() && c.a1 > 0) {
            formula += " +";
        }
        formula += texts.values[1];
        formula += " * X ";
    }
    if (started() && c.a0 > 0) {
        formula += " +";
    }
    if (formula.size() == 4 || c.a0 != 0) {
        formula += texts.values[0];
    }
    return formula;
}

namespace {

// A number text as shown (FormatNumber's and NumberToText's forms: sign, digits, a decimal character,
// digits, an exponent): value = digits·10^exponent, the exponent that of its last digit.
struct TShownDecimal {
    mpz_class digits;
    long exponent = 0;
};

std::optional<TShownDecimal> ReadShownDecimal(std::string_view text) {
    TShownDecimal d;
    bool negative = false;
    bool fraction = false;
    bool any = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            d.digits = d.digits * 10 + (text[i] - '0');
            d.exponent -= fraction ? 1 : 0;
            any = true;
        } else {
            fraction = true;  // the decimal character, of whatever bytes
        }
    }
    if (!any) {
        return std::nullopt;  // "NAN", "INF"
    }
    if (i < text.size()) {
        char* end = nullptr;
        const std::string exponent(text.substr(i + 1));
        d.exponent += std::strtol(exponent.c_str(), &end, 10);
    }
    if (negative) {
        d.digits = -d.digits;
    }
    return d;
}

// The polynomial of the printed coefficients, taken exactly: Σ m_k·10^e_k·x^k = Σ
// m_k·5^(E+e_k)/5^E·2^e_k·x^k.
std::optional<TExactPolynomial> PrintedPolynomial(const TFitCoefficients& c, double centre) {
    const TCoefficientTexts texts = MakeCoefficientTexts(c);
    std::array<TShownDecimal, 4> printed;
    long scale = 0;  // E: the denominator's power of 5
    for (std::size_t k = 0; k < 4; ++k) {
        const std::optional<TShownDecimal> d = ReadShownDecimal(texts.values[k]);
        if (!d) {
            return std::nullopt;
        }
        printed[k] = *d;
        scale = std::max(scale, -d->exponent);
    }
    std::array<mpz_class, 4> numerators;
    std::array<long, 4> exponents{};
    for (std::size_t k = 0; k < 4; ++k) {
        mpz_class five;
        mpz_ui_pow_ui(five.get_mpz_t(), 5, static_cast<unsigned long>(scale + printed[k].exponent));
        numerators[k] = printed[k].digits * five;
        exponents[k] = printed[k].exponent;
    }
    mpz_class denominator;
    mpz_ui_pow_ui(denominator.get_mpz_t(), 5, static_cast<unsigned long>(scale));
    return TExactPolynomial(3, numerators, denominator, exponents, {c.a0, c.a1, c.a2, c.a3}, centre);
}

// The value of the last shown digit of a number text (0 when there is none to tell).
double LastDigitUnit(const std::string& text) {
    const std::optional<TShownDecimal> d = ReadShownDecimal(text);
    return d ? std::pow(10.0, static_cast<double>(d->exponent)) : 0;
}

}  // namespace

TCoefficientFidelity CoefficientsReproduceFit(const TFitCoefficients& c, const TPointTable& points,
                                              const std::optional<double>& atX) {
    TCoefficientFidelity fidelity;
    if (!c.exact || !c.exact->RoundsTo(c)) {
        return fidelity;
    }
    // How finely Y is given: the last digit of the finest measured Y as the report's table shows it.
    double dataUnit = INFINITY;
    for (const TDataPoint& p : points) {
        if (p.Y != 0) {
            dataUnit = std::min(dataUnit, LastDigitUnit(NumberToText(p.Y)));
        }
    }
    const TExactPolynomial full(c, c.exact->Centre());
    const std::optional<TExactPolynomial> printed = PrintedPolynomial(c, c.exact->Centre());
    if (!printed) {
        fidelity.printed = false;
    }
    const auto check = [&](double x) {
        try {
            const double exact = c.exact->ValueAt(x);
            // A fitted value of exactly 0 is shown as "0", which tells no digit.
            const double shownUnit = exact == 0 ? 0 : LastDigitUnit(FormatFittedValue(exact));
            const double unit = std::isfinite(dataUnit) ? std::max(dataUnit, shownUnit) : shownUnit;
            const auto misses = [&](const TExactPolynomial& p) {
                try {
                    // In extended precision, so that two values far apart cannot overflow the difference.
                    return std::fabs(static_cast<long double>(p.ValueAt(x)) - exact) > 0.5L * unit;
                } catch (const EMathError&) {
                    return true;  // a value beyond the range reproduces nothing
                }
            };
            fidelity.full = fidelity.full && !misses(full);
            fidelity.printed = fidelity.printed && printed && !misses(*printed);
        } catch (const EMathError&) {
            fidelity.printed = fidelity.full = false;
        }
    };
    for (const TDataPoint& p : points) {
        if (!fidelity.printed && !fidelity.full) {
            break;
        }
        check(p.X);
    }
    if (atX) {
        check(*atX);
    }
    return fidelity;
}

TColor DeviationColor(double deviation, double sigma) {
    // A point on the curve is blue even when sigma is 0 (an exact fit), where no deviation is below a
    // quarter of it.
    if (deviation == 0 || 0.25 * sigma > deviation) {
        return clBlue;
    }
    if (0.5 * sigma > deviation) {
        return clPurple;
    }
    return clRed;
}

namespace {

// value in fixed notation with `decimals` decimals, rounded correctly, with "." in every locale.
std::string Fixed(double value, int decimals) {
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    return std::string(buffer.data(), result.ptr);
}

}  // namespace

std::string FormatWithUncertainty(double value, double expanded) {
    const auto local = [](const std::string& text) {
        return ReplaceText(text, ".", DecimalText(), rfReplaceAll);
    };
    if (!(expanded > 0) || !std::isfinite(expanded) || !std::isfinite(value)) {
        std::string text;
        AppendShortest(text, value);
        return local(text);
    }
    // The decimal exponent of U's second significant digit, once U is rounded to two digits.
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), expanded,
                                      std::chars_format::scientific, 1);
    const std::string scientific(buffer.data(), result.ptr);
    const int exponent = std::atoi(scientific.c_str() + scientific.find('e') + 1) - 1;
    if (exponent < 0) {
        return local(Fixed(value, -exponent) + " ± " + Fixed(expanded, -exponent));
    }
    // Whole units or coarser: both rounded to a multiple of 10^exponent.
    const double step = std::pow(10.0, exponent);
    return Fixed(std::nearbyint(value / step) * step, 0) + " ± " +
           Fixed(std::nearbyint(expanded / step) * step, 0);
}

}  // namespace quorvel
