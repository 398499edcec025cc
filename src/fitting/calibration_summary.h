#pragma once
// Everything a calibration report says of a fit beyond the window's texts: the method, the figures with
// their uncertainties, the model check, R², the comparison of the kinds, Y at X and X at Y with their
// uncertainties. quorvel-fit's JSON and the report are written from it.
#include <optional>
#include <string>

#include "fitting/calibration_fit.h"

namespace quorvel {

struct TRecomputeResult;

// What was asked besides the fit.
struct TCalibrationRequest {
    std::optional<double> atX;
    double atU = 0;  // u of the X at which Y is evaluated
    std::optional<double> inverseY;
    double inverseU = 0;  // u of the Y whose X is sought
};

struct TInverseEvaluation {
    double y = 0;
    std::optional<TCalibrationValue> x;  // nothing: no X, or more than one, in the data's range
};

struct TCalibrationSummary {
    TCalibrationFigures figures;
    TKindChoice kinds;
    std::optional<TCalibrationValue> at;
    std::optional<TInverseEvaluation> inverse;
};

// The model check as the window shows it and the report writes it: "χ² = …, ν = …, χ²₀,₉₅(ν) = …: модель
// согласуется с данными" (or not), "; Γ = … (допустимо Γ ≤ 2)" where Γ is known; with ν = 0, that no
// check is possible.
std::string ModelCheckText(const TCalibrationFigures& figures);

// The summary of a recompute that solved: of its calibration with the given uncertainties of its points
// where it has one, else of the ordinary fit of its points. Throws EOverflow where an evaluation is
// beyond the range.
// The kinds' fits of a large table tell `steps` how far they have come.
TCalibrationSummary Summarize(const TRecomputeResult& result, const TUncertaintyColumns* given,
                              const TCalibrationRequest& request, const TWorkOptions& work = {},
                              const TWorkSteps& steps = {});

}  // namespace quorvel
