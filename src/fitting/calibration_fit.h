#pragma once
// The calibration function with its uncertainties, as an accredited laboratory reports it: the fit of a
// kind (ordinary least squares, weighted by given u(Y), or generalized distance regression where u(X) is
// given too), its covariance, the model check, the evaluation at an X and the inverse evaluation at a Y
// with their uncertainties, and the comparison of the kinds. Every front end calls these.
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "fitting/calibration_data.h"
#include "fitting/distance_fit.h"
#include "fitting/fit_types.h"
#include "fitting/work_options.h"
#include "runtime/work_steps.h"

namespace quorvel {

enum class TFitMethod {
    Ordinary,     // every point alike; the uncertainties from the scatter (the residual SD)
    Weighted,     // weights 1/u(Y)², every u(X) = 0
    Generalized,  // some u(X) > 0: generalized distance regression
};
const char* MethodName(TFitMethod method);  // "ordinary", "weighted", "generalized"

// The method the points' uncertainties call for: generalized when any u(X) > 0, else weighted; ordinary
// without them.
TFitMethod MethodFor(const TUncertaintyColumns* given);

// The normal distribution's two-sided 95 % factor: the coverage factor of uncertainties that are given
// (a Type B model's degrees of freedom are taken as infinite).
inline constexpr double kNormalCoverage95 = 1.959963984540054;

// The figures of one fit; each the double nearest to the exact figure of the method where the method's
// mathematics has one (ordinary and weighted), else of its double-double solution. Absent: beyond the
// double range, or not defined (no scatter, every Y the same).
struct TCalibrationFigures {
    TFitMethod method = TFitMethod::Ordinary;
    int degree = 1;
    int pointCount = 0;
    int dof = 0;                // n − p
    std::array<double, 4> a{};  // a0 .. a3, 0 above the degree
    std::array<std::array<std::optional<double>, 4>, 4> covariance{};
    std::array<std::optional<double>, 4> u{};
    double coverage = 0;  // k: Student's t for n − p (ordinary), the normal one for given uncertainties
    std::array<std::optional<double>, 4> expanded{};  // U = k·u
    // Σw·r² at the solution (with given uncertainties; the ordinary fit's is its sum of squares S).
    std::optional<double> chiSquared;
    std::optional<double> chiSquaredCritical;  // χ²₀.₉₅(ν), ν = n − p >= 1
    std::optional<bool> consistent;            // χ² <= its critical value
    // The largest weighted residual of a point, in X or in Y (given uncertainties): of the generalized fit
    // here, of the weighted one from Gamma(), which takes a pass over the points.
    std::optional<double> gamma;
    std::optional<double> residualSd;  // s (ordinary)
    std::optional<double> rSquared;
    std::optional<double> adjustedRSquared;
};

// The fitted value at an X, or the X of a Y, with its standard and expanded uncertainty.
struct TCalibrationValue {
    double value = 0;
    double u = 0;
    double expanded = 0;
};

struct TCalibrationModel;
struct TWeightedSystem;
class TExactPolynomial;

class TCalibration {
public:
    // The fit of the points with their given uncertainties (one for each point; nullptr: the ordinary fit)
    // of the degree (1 .. 3), by the method they call for. Throws EFitNotFound (kSolveFailedText) without a
    // unique solution or when an iteration does not settle, ESolveOverflow when a coefficient is beyond
    // the double range; needs at least degree + 1 points. Weights that cannot be summed exactly start
    // with weightBits bits (64 .. 448), and get more until every figure's rounding is certain.
    // The generalized fit of a large table tells `steps` how far it has come, now and then.
    TCalibration(const TPointTable& points, const TUncertaintyColumns* given, int degree,
                 int weightBits = 128, const TWorkOptions& work = {}, const TWorkSteps& steps = {});
    ~TCalibration();
    TCalibration(TCalibration&&) noexcept;
    TCalibration& operator=(TCalibration&&) noexcept;

    // The fit of each degree 1 .. 3 the points allow (at index degree − 1), empty where that kind has no
    // unique fit or a coefficient beyond the double range. Each equals the fit made alone; the weighted and
    // ordinary ones come from one summation, since a degree's sums hold those of every lower degree.
    // A large table's sums, or each kind's fit in both variables, tell `steps` how far they have come.
    static std::array<std::optional<TCalibration>, 3> EachKind(const TPointTable& points,
                                                               const TUncertaintyColumns* given,
                                                               const TWorkOptions& work = {},
                                                               const TWorkSteps& steps = {});

    const TCalibrationFigures& Figures() const { return figures_; }

    // Γ of the fit of these points with these uncertainties: the largest |Y − f(X)|/u(Y) of the weighted
    // fit, the largest weighted residual in X or Y at the foot points of the generalized one.
    std::optional<double> Gamma(const TPointTable& points, const TUncertaintyColumns& given) const;

    // The fitted value at x. Throws EOverflow beyond the double range.
    double ValueAt(double x) const;
    // The fitted polynomial, exactly: for the store whose coefficients its rounded ones are.
    std::shared_ptr<const TExactPolynomial> Polynomial() const;
    // Y = f(X) with u(Y)² = gᵀVg + f'(X)²·ux². Throws EOverflow.
    TCalibrationValue Evaluate(double x, double ux = 0) const;
    // The X inside [low, high] where f(X) = y, with u(X)² = (uy² + gᵀVg)/f'(X)²; nothing when there is no
    // such X or more than one.
    std::optional<TCalibrationValue> Inverse(double y, double uy, double low, double high) const;

private:
    TCalibration();
    // Takes the summed system when every figure's rounding is certain (or `last`): true, the fit then set.
    bool TakeSystem(TWeightedSystem sums, const TPointTable& points, const TUncertaintyColumns* given,
                    bool last);

    std::unique_ptr<TCalibrationModel> model_;
    TCalibrationFigures figures_;
};

// One kind in the comparison.
struct TKindComparison {
    int degree = 1;
    int dof = 0;
    std::optional<double> residualSd;   // ordinary
    std::optional<double> chiSquared;   // given uncertainties
    double top = 0;                     // the highest coefficient
    std::optional<double> topExpanded;  // its U
    std::optional<double> rSquared;
    std::optional<double> adjustedRSquared;
};

struct TKindChoice {
    std::vector<TKindComparison> kinds;  // each kind the points allow (n >= p), linear first
    int recommended = 1;                 // the degree
};

// Every kind the points allow, and the recommended one: from cubic down, the highest whose top
// coefficient's 95 % interval a ± U excludes 0; linear when none does. Kinds with no unique fit are left
// out.
TKindChoice CompareKinds(const TPointTable& points, const TUncertaintyColumns* given,
                         const TWorkOptions& work = {}, const TWorkSteps& steps = {});
// The same from the fits of TCalibration::EachKind.
TKindChoice CompareKinds(const std::array<std::optional<TCalibration>, 3>& fits);

}  // namespace quorvel
