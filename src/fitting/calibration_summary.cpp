#include "fitting/calibration_summary.h"

#include <algorithm>
#include <string>

#include "fitting/presentation.h"
#include "fitting/result_texts.h"
#include "runtime/message_catalog.h"

namespace quorvel {

TCalibrationSummary Summarize(const TRecomputeResult& result, const TUncertaintyColumns* given,
                              const TCalibrationRequest& request, const TWorkOptions& work,
                              const TWorkSteps& steps) {
    TCalibrationSummary summary;
    const TPointTable& points = result.measured;
    const TUncertaintyColumns* used = result.calibration != nullptr ? given : nullptr;
    // Every kind is fitted for the comparison; the ordinary fit on show is the one of its kind (made alone
    // when that kind has none, to fail as it fails).
    const std::array<std::optional<TCalibration>, 3> kinds =
        TCalibration::EachKind(points, used, work, steps);
    std::optional<TCalibration> own;
    const std::optional<TCalibration>& ofKind = kinds[static_cast<std::size_t>(result.kind) - 1];
    if (used == nullptr && !ofKind) {
        own.emplace(points, nullptr, static_cast<int>(result.kind), 128, work);
    }
    const TCalibration& fit = used != nullptr ? *result.calibration : own ? *own : *ofKind;
    summary.figures = fit.Figures();
    if (used != nullptr) {
        summary.figures.gamma = fit.Gamma(points, *used);
    }
    summary.kinds = CompareKinds(kinds);
    // The ordinary fit's Y at X is given by its own figures unless u(X) asks for more; without scatter
    // there is none.
    if (request.atX && (used != nullptr || (request.atU != 0 && summary.figures.dof > 0))) {
        summary.at = fit.Evaluate(*request.atX, request.atU);
    }
    if (request.inverseY && !points.empty()) {
        const auto [low, high] = std::minmax_element(
            points.begin(), points.end(), [](const TDataPoint& a, const TDataPoint& b) { return a.X < b.X; });
        summary.inverse = TInverseEvaluation{
            *request.inverseY, fit.Inverse(*request.inverseY, request.inverseU, low->X, high->X)};
    }
    return summary;
}

std::string ModelCheckText(const TCalibrationFigures& f) {
    std::string check;
    if (f.chiSquared && f.chiSquaredCritical) {
        check = TrArgs("χ² = %1, ν = %2, χ²₀,₉₅(ν) = %3: ",
                       {FormatFittedValue(*f.chiSquared), std::to_string(f.dof),
                        FormatFittedValue(*f.chiSquaredCritical)}) +
                Tr(f.consistent.value_or(false) ? "модель согласуется с данными"
                                                : "модель не согласуется с данными");
    } else {
        check = Tr("ν = 0: точек столько же, сколько коэффициентов, проверка χ² невозможна");
    }
    if (f.gamma) {
        check += TrArgs("; Γ = %1 (допустимо Γ ≤ 2)", {FormatFittedValue(*f.gamma)});
    }
    return check;
}

}  // namespace quorvel
