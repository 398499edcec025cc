#pragma once
// The order, ascending in X, in which a chart takes the measured points.
#include <vector>

#include "fitting/fit_types.h"
#include "runtime/work_steps.h"

namespace quorvel {

// Indices of `points` in ascending x, equal x keeping their table order (−0 equals +0). Linear
// time for large tables, so an unsorted million-row table costs no more than a sorted one. Steps are
// told between pieces of each pass over the points.
std::vector<int> StableOrderByX(const TPointTable& points, const TWorkSteps& steps = {});

}  // namespace quorvel
