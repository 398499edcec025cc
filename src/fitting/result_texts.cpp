#include "fitting/result_texts.h"

#include <utility>

#include "fitting/exact_polynomial.h"
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

bool CoefficientsReproduceFit(const TFitCoefficients& c, const std::vector<double>& xs) {
    if (!c.exact || !c.exact->RoundsTo(c)) {
        return true;
    }
    const TExactPolynomial rounded(c, c.exact->Centre());
    try {
        for (const double x : xs) {
            if (FormatFittedValue(rounded.ValueAt(x)) != FormatFittedValue(c.exact->ValueAt(x))) {
                return false;
            }
        }
    } catch (const EMathError&) {
        return false;  // a value beyond the range reproduces nothing
    }
    return true;
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

}  // namespace quorvel
