#pragma once
// What quorvel-fit prints of a fit: the window's texts one a line, or one JSON object with the exact
// standard uncertainties.
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

struct TCalibrationSummary;
struct TEvaluation;
struct TFitCoefficients;
struct TRecomputeResult;

// The name of a kind on the command line and in JSON: "linear", "quadratic", "cubic".
const char* KindName(int kind);

// Appends the shortest text that reads back to the same double, with "." for the decimal point in
// every locale, so that other programs read it.
void AppendShortest(std::string& out, double value);

// The window's texts, one a line, as far as the recompute got: the coefficient captions of the kind and
// the formula, then the two statistics, then Y at the asked X.
std::string PlainReport(const TRecomputeResult& result, const TEvaluation* at);

struct TJsonReport {
    std::string text;
    // A figure beyond the double range was printed as null.
    bool overflow = false;
};

// The same as one JSON object, numbers as shortest round-trip texts, with the uncertainties when the
// result holds them; `error` names what stopped the recompute or the evaluation. With a summary, also the
// method, the model check, R², the comparison of the kinds and the inverse evaluation; the uncertainties
// of a fit with given uncertainties come from it.
TJsonReport JsonReport(const TRecomputeResult& result, const TFitCoefficients& store, const TEvaluation* at,
                       const std::string& error, const TCalibrationSummary* summary = nullptr);

}  // namespace quorvel
