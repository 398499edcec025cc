#include "fitting/uncertainty_rule.h"

#include <cmath>
#include <string>

#include "fitting/point_extraction.h"
#include "runtime/exceptions.h"

namespace quorvel {

double TUncertaintyRule::At(double value) const {
    return absolute + percent / 100 * std::fabs(value);
}

namespace {

// A finite number that is not negative; nothing otherwise.
std::optional<double> Part(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    try {
        const double v = ParseUserNumber(text);
        if (!(v >= 0) || !std::isfinite(v)) {
            return std::nullopt;
        }
        return v;
    } catch (const Exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<TUncertaintyRule> ParseUncertaintyRule(std::string_view text) {
    TUncertaintyRule rule;
    // "a+b%": the '+' that parts them is the one after the first character (a leading '+' is a sign).
    std::string_view absolute = text;
    std::string_view percent;
    if (!text.empty() && text.back() == '%') {
        const std::size_t plus = text.find('+', 1);
        // An exponent's sign ("1e+2%") is no separator.
        const bool exponent =
            plus != std::string_view::npos && (text[plus - 1] == 'e' || text[plus - 1] == 'E');
        if (plus != std::string_view::npos && !exponent) {
            absolute = text.substr(0, plus);
            percent = text.substr(plus + 1, text.size() - plus - 2);
        } else {
            absolute = {};
            percent = text.substr(0, text.size() - 1);
        }
        const std::optional<double> p = Part(percent);
        if (!p) {
            return std::nullopt;
        }
        rule.percent = *p;
    }
    if (!absolute.empty() || percent.empty()) {
        const std::optional<double> a = Part(absolute);
        if (!a) {
            return std::nullopt;
        }
        rule.absolute = *a;
    }
    return rule;
}

}  // namespace quorvel
