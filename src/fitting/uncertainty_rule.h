#pragma once
// A rule that gives a column of uncertainties for a whole range, as a data sheet states it: an
// absolute value ("0.05"), a part of the value ("0.02%"), or both ("0.05+0.02%").
#include <optional>
#include <string_view>

namespace quorvel {

struct TUncertaintyRule {
    double absolute = 0;
    double percent = 0;

    // absolute + percent/100·|value|.
    double At(double value) const;
};

// The rule of a text; nothing when it is none (a part that is not a number, a negative part, an empty
// text). Numbers are read as the command line reads them ("." or the locale's decimal character).
std::optional<TUncertaintyRule> ParseUncertaintyRule(std::string_view text);

}  // namespace quorvel
