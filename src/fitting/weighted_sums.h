#pragma once
// The integer normal equations of the weighted fit with the weights w = 1/u(Y)², exact where the table's
// u(Y) take few distinct values, else with the weights rounded down to a chosen number of bits.
#include <vector>

#include "fitting/calibration_data.h"
#include "fitting/fit_types.h"
#include "fitting/normal_system.h"
#include "fitting/work_options.h"
#include "runtime/work_steps.h"

namespace quorvel {

// Tables whose u(Y) take at most this many values are summed exactly, each value's points apart: their
// common denominator grows with every value.
inline constexpr int kExactWeightClasses = 256;

// The most bits a rounded weight is given.
inline constexpr int kMostWeightBits = 448;

struct TWeightedSystem {
    TNormalSystem system;
    // Each weight the system uses lies in [w·(1 − error), w] of its true w; 0 when it is exact.
    double weightError = 0;
};

// The system of the points (X, Y finite) with their u(Y) (> 0, one for each point; nullptr: all alike,
// the ordinary fit) for the degree 1 .. 3. Weights that are not exact are rounded to `bits` bits
// (64 .. kMostWeightBits). The points must outlive the classes. The sums of rounded weights, a pass of
// big-number work over a large table, tell `steps` how far they have come now and then.
TWeightedSystem WeightedSystem(const TPointTable& points, const std::vector<double>* uy, int degree, int bits,
                               const TWorkOptions& work = {}, const TWorkSteps& steps = {});

}  // namespace quorvel
