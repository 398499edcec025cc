#include "chart/axis_scale.h"

#include <algorithm>
#include <cmath>

#include "chart/geometry.h"

namespace quorvel {

namespace {

constexpr double kMaxInt = 2147483647.0;

}  // namespace

double TAxisScale::NextNiceStep(double x) {
    if (!std::isfinite(x) || x <= 0) {
        return x;  // no nicer step exists; callers stop on a non-finite step
    }
    if (x >= 10) {
        return 10 * NextNiceStep(x * 0.1);
    }
    if (x < 1) {
        return 0.1 * NextNiceStep(x * 10);
    }
    if (x < 2) {
        return 2;
    }
    if (x < 5) {
        return 5;
    }
    return 10;
}

double TAxisScale::StepForLabelCount(int n) const {
    if (n < 1) {
        return 1e-12;
    }
    const double span = map_.RangeSpan();
    double step = increment_ > 0 ? increment_ : (std::fabs(span) >= 1 ? 1.0 : 1e-12);
    if (!std::isfinite(span)) {
        // A range of infinities or not-a-numbers has no step; the label loop then draws nothing.
        return 1e-12;
    }
    if (separation_ > 0) {
        while (std::isfinite(step)) {
            const double q = span / step;
            if (std::fabs(q) < kMaxInt && RoundHalfEven(q) <= n) {
                break;
            }
            step = NextNiceStep(step);
        }
    }
    return std::max(step, 1e-12);
}

double TAxisScale::StepForLabelSize(int size) const {
    int n = 1;
    if (size > 0) {
        if (separation_ > 0) {
            size += RoundToInt(separation_ * 0.01 * size);
        }
        n = RoundToInt(static_cast<double>(map_.PixelSpan()) / size);
    }
    return StepForLabelCount(n);
}

double TAxisScale::FirstLabel(double step) const {
    return roundFirst_ ? std::trunc(map_.RangeMax / step) * step : map_.RangeMax;
}

double TAxisScale::LastLabel(double step) const {
    return roundFirst_ ? std::trunc(map_.RangeMin / step) * step : map_.RangeMin;
}

std::vector<double> TAxisScale::ValueLabels(double step) const {
    std::vector<double> values;
    const double lo = map_.RangeMin;
    const double hi = map_.RangeMax;
    if (!(std::fabs(map_.RangeSpan() / step) < 10000)) {
        return values;
    }
    if (lo == hi) {
        // All points at one value: one label there. Stepping down by the tiny step of an empty range
        // would repeat the same value once per step until the tolerance below runs out.
        values.push_back(hi);
        return values;
    }
    double v = FirstLabel(step);
    // Near the end of the double range a step may be below the spacing of the values; subtracting it then
    // changes nothing, and the loops below stop instead of running forever.
    while (v > hi && v - step != v) {
        v -= step;
    }
    // The tolerance admits a label at the minimum despite the drift of the repeated subtraction. Dividing
    // by 1.000000000001 widens it only for a non-negative minimum; a negative minimum is widened by the same
    // factor instead, so a label exactly at a negative minimum is drawn too.
    const double limit = lo < 0 ? lo * 1.000000000001 : (lo - 1e-12) / 1.000000000001;
    while (v >= limit) {
        values.push_back(v);
        if (v - step == v) {
            break;
        }
        v -= step;
    }
    return values;
}

}  // namespace quorvel
