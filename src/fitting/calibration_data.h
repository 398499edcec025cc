#pragma once
// The points of a calibration with known uncertainties: each reference value Y with the standard
// uncertainty of its standard, each reading X with its own (0 where the reading is taken as exact).
#include <vector>

namespace quorvel {

struct TCalibrationPoint {
    double x = 0;
    double y = 0;
    double ux = 0;  // u(X) >= 0
    double uy = 0;  // u(Y) > 0
};
using TCalibrationTable = std::vector<TCalibrationPoint>;

}  // namespace quorvel
