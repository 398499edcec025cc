#include "fitting/fit_texts.h"

#include <array>
#include <charconv>

#include "fitting/messages.h"
#include "fitting/presentation.h"
#include "runtime/exceptions.h"

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
        text += std::string(kMaxErrorLabel) + ' ' + result.maxErrText + '\n';
        text += std::string(kSigmaLabel) + ' ' + result.sigmaText + '\n';
    }
    if (at != nullptr) {
        text += kYLabel + at->yText + '\n';
    }
    return text;
}

TJsonReport JsonReport(const TRecomputeResult& result, const TFitCoefficients& store, const TEvaluation* at,
                       const std::string& error) {
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
    }
    text += ",\"formula\":";
    AppendJsonString(text, result.formula);
    if (at != nullptr) {
        text += ",\"x\":";
        AppendShortest(text, at->x);
        text += ",\"y\":";
        AppendShortest(text, at->y);
        if (result.uncertainty) {
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
