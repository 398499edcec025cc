#include "fitting/fit_texts.h"

#include <array>
#include <charconv>

#include "fitting/calibration_summary.h"
#include "fitting/messages.h"
#include "fitting/presentation.h"
#include "runtime/exceptions.h"
#include "runtime/message_catalog.h"

namespace quorvel {

namespace {

constexpr const char* kKindNames[] = {"linear", "quadratic", "cubic"};

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    static const char kHex[] = "0123456789abcdef";
                    out += "\\u00";
                    out += kHex[(c >> 4) & 0xF];
                    out += kHex[c & 0xF];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

// A figure of the uncertainty analysis: its value, or null (and the overflow noted) beyond the range.
void AppendFigure(TJsonReport& report, const std::optional<double>& value) {
    if (value) {
        AppendShortest(report.text, *value);
    } else {
        report.text += "null";
        report.overflow = true;
    }
}

// "dof", "residual_sd", "covariance", "standard_uncertainties", "coverage_factor" and
// "expanded_uncertainties"; null with no scatter to estimate.
void AppendUncertainties(TJsonReport& report, const TFitUncertainty& u) {
    std::string& text = report.text;
    if (!u.HasScatter()) {
        text +=
            ",\"dof\":null,\"residual_sd\":null,\"covariance\":null,\"standard_uncertainties\":null"
            ",\"coverage_factor\":null,\"expanded_uncertainties\":null";
        return;
    }
    text += ",\"dof\":" + std::to_string(u.Dof());
    text += ",\"residual_sd\":";
    AppendFigure(report, u.ResidualSd());
    text += ",\"covariance\":[";
    for (int j = 0; j < u.Parameters(); ++j) {
        text += j > 0 ? ",[" : "[";
        for (int k = 0; k < u.Parameters(); ++k) {
            if (k > 0) {
                text += ',';
            }
            AppendFigure(report, u.Covariance(j, k));
        }
        text += ']';
    }
    text += "],\"standard_uncertainties\":[";
    for (int j = 0; j < u.Parameters(); ++j) {
        if (j > 0) {
            text += ',';
        }
        AppendFigure(report, u.StandardUncertainty(j));
    }
    text += "],\"coverage_factor\":";
    AppendShortest(text, u.CoverageFactor());
    text += ",\"expanded_uncertainties\":[";
    for (int j = 0; j < u.Parameters(); ++j) {
        if (j > 0) {
            text += ',';
        }
        AppendFigure(report, u.ExpandedUncertainty(j));
    }
    text += ']';
}

// The uncertainty keys of a fit with given uncertainties, as AppendUncertainties writes them: the
// covariance is the one of the given uncertainties, so there is no residual SD.
void AppendGivenUncertainties(TJsonReport& report, const TCalibrationFigures& f) {
    std::string& text = report.text;
    const int p = f.degree + 1;
    text += ",\"dof\":" + std::to_string(f.dof) + ",\"residual_sd\":null,\"covariance\":[";
    for (int j = 0; j < p; ++j) {
        text += j > 0 ? ",[" : "[";
        for (int k = 0; k < p; ++k) {
            if (k > 0) {
                text += ',';
            }
            AppendFigure(report, f.covariance[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)]);
        }
        text += ']';
    }
    const auto list = [&](const char* key, const std::array<std::optional<double>, 4>& values) {
        text += key;
        for (int j = 0; j < p; ++j) {
            if (j > 0) {
                text += ',';
            }
            AppendFigure(report, values[static_cast<std::size_t>(j)]);
        }
        text += ']';
    };
    list("],\"standard_uncertainties\":[", f.u);
    text += ",\"coverage_factor\":";
    AppendShortest(text, f.coverage);
    list(",\"expanded_uncertainties\":[", f.expanded);
}

// A figure that may not be defined: null then, without calling it an overflow.
void AppendOptional(std::string& text, const char* key, const std::optional<double>& value) {
    text += key;
    if (value) {
        AppendShortest(text, *value);
    } else {
        text += "null";
    }
}

// "method", the model check (with given uncertainties), R², the comparison of the kinds, the recommended
// kind, and the inverse evaluation when asked.
void AppendCalibration(TJsonReport& report, const TCalibrationSummary& summary) {
    std::string& text = report.text;
    const TCalibrationFigures& f = summary.figures;
    text += ",\"method\":";
    AppendJsonString(text, MethodName(f.method));
    if (f.method != TFitMethod::Ordinary) {
        AppendOptional(text, ",\"chi2\":", f.chiSquared);
        AppendOptional(text, ",\"chi2_critical\":", f.chiSquaredCritical);
        text += ",\"consistent\":";
        text += !f.consistent ? "null" : *f.consistent ? "true" : "false";
        AppendOptional(text, ",\"gamma\":", f.gamma);
    }
    AppendOptional(text, ",\"r_squared\":", f.rSquared);
    AppendOptional(text, ",\"adjusted_r_squared\":", f.adjustedRSquared);
    text += ",\"comparison\":[";
    for (std::size_t i = 0; i < summary.kinds.kinds.size(); ++i) {
        const TKindComparison& kind = summary.kinds.kinds[i];
        text += i > 0 ? ",{\"kind\":" : "{\"kind\":";
        AppendJsonString(text, KindName(kind.degree));
        text += ",\"dof\":" + std::to_string(kind.dof);
        if (f.method == TFitMethod::Ordinary) {
            AppendOptional(text, ",\"residual_sd\":", kind.residualSd);
        } else {
            AppendOptional(text, ",\"chi2\":", kind.chiSquared);
        }
        text += ",\"top_coefficient\":";
        AppendShortest(text, kind.top);
        AppendOptional(text, ",\"top_expanded_uncertainty\":", kind.topExpanded);
        AppendOptional(text, ",\"r_squared\":", kind.rSquared);
        AppendOptional(text, ",\"adjusted_r_squared\":", kind.adjustedRSquared);
        text += '}';
    }
    text += "],\"recommended_kind\":";
    AppendJsonString(text, KindName(summary.kinds.recommended));
    if (summary.inverse) {
        text += ",\"inverse\":{\"y\":";
        AppendShortest(text, summary.inverse->y);
        if (const std::optional<TCalibrationValue>& x = summary.inverse->x) {
            text += ",\"x\":";
            AppendShortest(text, x->value);
            text += ",\"x_uncertainty\":";
            AppendShortest(text, x->u);
            text += ",\"x_expanded_uncertainty\":";
            AppendShortest(text, x->expanded);
        } else {
            text += ",\"x\":null,\"x_uncertainty\":null,\"x_expanded_uncertainty\":null";
        }
        text += '}';
    }
}

}  // namespace

const char* KindName(int kind) {
    return kKindNames[kind - 1];
}

void AppendShortest(std::string& out, double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

std::string PlainReport(const TRecomputeResult& result, const TEvaluation* at) {
    std::string text;
    for (int i = 0; i <= static_cast<int>(result.kind); ++i) {
        text += result.coefficientTexts[static_cast<std::size_t>(i)];
        text += '\n';
    }
    text += result.formula + '\n';
    if (result.reached >= rsStatistics) {
        text += std::string(Tr(kMaxErrorLabel)) + ' ' + result.maxErrText + '\n';
        text += std::string(Tr(kSigmaLabel)) + ' ' + result.sigmaText + '\n';
    }
    if (at != nullptr) {
        text += Tr(kYLabel) + at->yText + '\n';
    }
    return text;
}

TJsonReport JsonReport(const TRecomputeResult& result, const TFitCoefficients& store, const TEvaluation* at,
                       const std::string& error, const TCalibrationSummary* summary) {
    TJsonReport report;
    std::string& text = report.text;
    text = "{\"kind\":";
    AppendJsonString(text, KindName(result.kind));
    text += ",\"points\":" + std::to_string(result.pointCount);
    text += ",\"coefficients\":[";
    const double a[4] = {store.a0, store.a1, store.a2, store.a3};
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            text += ',';
        }
        AppendShortest(text, a[i]);
    }
    text += ']';
    // Statistics the recompute did not reach (a figure beyond the range) are null, so that every
    // object has the same keys.
    const auto statistic = [&](const char* key, double value) {
        text += key;
        if (result.reached >= rsStatistics) {
            AppendShortest(text, value);
        } else {
            text += "null";
        }
    };
    statistic(",\"max_error\":", result.statistics.maxError);
    statistic(",\"sigma\":", result.statistics.sigma);
    if (result.uncertainty) {
        AppendUncertainties(report, *result.uncertainty);
    } else if (summary != nullptr && result.calibration) {
        AppendGivenUncertainties(report, summary->figures);
    }
    text += ",\"formula\":";
    AppendJsonString(text, result.formula);
    if (at != nullptr) {
        text += ",\"x\":";
        AppendShortest(text, at->x);
        text += ",\"y\":";
        AppendShortest(text, at->y);
        if (summary != nullptr && summary->at) {
            text += ",\"y_uncertainty\":";
            AppendShortest(text, summary->at->u);
            text += ",\"y_expanded_uncertainty\":";
            AppendShortest(text, summary->at->expanded);
        } else if (result.uncertainty) {
            text += ",\"y_uncertainty\":";
            if (result.uncertainty->HasScatter()) {
                AppendFigure(report, result.uncertainty->UncertaintyAt(at->x));
                text += ",\"y_expanded_uncertainty\":";
                AppendFigure(report, result.uncertainty->ExpandedUncertaintyAt(at->x));
            } else {
                text += "null,\"y_expanded_uncertainty\":null";
            }
        }
    }
    if (summary != nullptr) {
        AppendCalibration(report, *summary);
    }
    // A figure beyond the range is an overflow after the fit, named as the window names one.
    const std::string shown = !error.empty()    ? error
                              : report.overflow ? EOverflow().Message()
                                                : std::string();
    if (!shown.empty()) {
        text += ",\"error\":";
        AppendJsonString(text, shown);
    }
    text += "}\n";
    return report;
}

}  // namespace quorvel
