#pragma once
// The sample positions of the fitted curve between the smallest and largest measured X.
#include <vector>

#include "fitting/fit_types.h"
#include "fitting/presentation.h"

namespace quorvel {

// Positions start, start + step, ... while below end, with start, end, step = (end − start)·0.02 and
// every sum held in single precision: 50 or 51 samples for ordinary ranges, none when start = end.
// Where single precision cannot resolve the range (a step too small to advance x, or distinct
// extremes that round to the same single), 50 positions are spaced evenly in double precision
// instead, so the loop always ends. Throws EOverflow when an extreme is beyond the single range or a
// value beyond the double range.
std::vector<TFeedPoint> CurveSamples(double lowest, double highest, const TFitCoefficients& c);

}  // namespace quorvel
