#pragma once
// The texts a recompute writes: coefficient values and captions, the formula line, and the
// colour rule of the measured points.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fitting/fit_types.h"
#include "runtime/colors.h"

namespace quorvel {

// "0.0000000" for 0.001 < |value| < 1000, "0.0000000e+0" otherwise (0 included).
std::string FormatResultValue(double value);

// A value of the fitted polynomial as the evaluation at X shows it: "0" for an exact zero, else
// FormatResultValue.
std::string FormatFittedValue(double value);

// The standard uncertainty of a shown figure, as its tooltip says it: "u(a1) = 0.0134782" with the value
// as FormatFittedValue writes it, "u(a1) = —" when there is none (no scatter to estimate, n = p, or
// beyond the number range).
std::string UncertaintyTip(std::string_view quantity, const std::optional<double>& u);

// The same with the expanded uncertainty: "u(a1) = 0.0134782; U = 0.0264171", "—" for one there is none of.
std::string ExpandedUncertaintyTip(std::string_view quantity, const std::optional<double>& u,
                                   const std::optional<double>& expanded);

struct TCoefficientTexts {
    std::array<std::string, 4> captions;  // "a0 = 1.0000000", or "a0 = 0" for an exact zero
    std::array<std::string, 4> values;    // t0..t3: the value texts, "0" for an exact zero
};
TCoefficientTexts MakeCoefficientTexts(const TFitCoefficients& c);

// "Y = " followed by the terms of the store that the kind shows; zero terms are left out, a
// positive term after another gets " +" (so a double blank), an all-zero store gives "Y = 0".
std::string BuildFormula(const TFitCoefficients& c, TFunctionKind kind, const TCoefficientTexts& texts);

// Whether the coefficients, taken as they stand, give the exact fit's values: the printed ones (the texts
// of the panels, the formula and the report, MakeCoefficientTexts) and the full doubles, each polynomial
// evaluated exactly at every X of the points and at `atX` when given. One misses where its value lies
// further from the exact fit's than the shown digits of Y allow: half a unit in the last digit of the
// finest measured Y as shown (NumberToText), or of the fitted value as shown (FormatFittedValue) where
// that digit is coarser. Far from zero, or with a coefficient of few shown digits (a slope of 0.0100000
// at X = 10^5), they miss; the values shown are then the exact fit's. Both reproduce a store that holds
// no fit but its coefficients.
struct TCoefficientFidelity {
    bool printed = true;  // the printed coefficients reproduce the fit
    bool full = true;     // the full doubles do
};
TCoefficientFidelity CoefficientsReproduceFit(const TFitCoefficients& c, const TPointTable& points,
                                              const std::optional<double>& atX = std::nullopt);

// A value with its expanded uncertainty as a certificate writes it: U to two significant digits and the
// value rounded to the same decimal place, "1.0144 ± 0.0016" (with the locale's decimal character);
// "12300 ± 1200" for a U of 1234. The value alone, in full, where U is not a finite positive number.
std::string FormatWithUncertainty(double value, double expanded);

// clBlue for a deviation of exactly 0 or below a quarter of sigma, clPurple below a half, clRed
// otherwise.
TColor DeviationColor(double deviation, double sigma);

}  // namespace quorvel
