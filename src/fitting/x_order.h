#pragma once
// The order in which the chart's X-sorted series take the measured points.
#include <vector>

#include "fitting/fit_types.h"

namespace quorvel {

// Indices of `points` in ascending x, equal x keeping their table order (−0 equals +0). Linear
// time for large tables, so an unsorted million-row table costs no more than a sorted one.
std::vector<int> StableOrderByX(const TPointTable& points);

}  // namespace quorvel
