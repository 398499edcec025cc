#include "fitting/calibration_summary.h"

#include <algorithm>

#include "fitting/presentation.h"

namespace quorvel {

TCalibrationSummary Summarize(const TRecomputeResult& result, const TCalibrationTable& given,
                              const TCalibrationRequest& request, const TWorkOptions& work) {
    TCalibrationSummary summary;
    TCalibrationTable ordinary;
    const bool withGiven = result.calibration != nullptr;
    if (!withGiven) {
        ordinary.reserve(result.measured.size());
        for (const TDataPoint& p : result.measured) {
            ordinary.push_back({p.X, p.Y, 0, 1});
        }
    }
    const TCalibrationTable& table = withGiven ? given : ordinary;
    std::optional<TCalibration> own;
    if (!withGiven) {
        own.emplace(table, static_cast<int>(result.kind), true, 128, work);
    }
    const TCalibration& fit = withGiven ? *result.calibration : *own;
    summary.figures = fit.Figures();
    summary.kinds = CompareKinds(table, !withGiven, work);
    // The ordinary fit's Y at X is given by its own figures unless u(X) asks for more; without scatter
    // there is none.
    if (request.atX && (withGiven || (request.atU != 0 && summary.figures.dof > 0))) {
        summary.at = fit.Evaluate(*request.atX, request.atU);
    }
    if (request.inverseY && !table.empty()) {
        const auto [low, high] = std::minmax_element(
            table.begin(), table.end(),
            [](const TCalibrationPoint& a, const TCalibrationPoint& b) { return a.x < b.x; });
        summary.inverse = TInverseEvaluation{
            *request.inverseY, fit.Inverse(*request.inverseY, request.inverseU, low->x, high->x)};
    }
    return summary;
}

}  // namespace quorvel
