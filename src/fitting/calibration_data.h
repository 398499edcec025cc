#pragma once
// The uncertainties a calibration laboratory knows of its points, beside the points themselves: each
// reference value Y with the standard uncertainty of its standard, each reading X with its own.
#include <cstddef>
#include <vector>

namespace quorvel {

struct TUncertaintyColumns {
    std::vector<double> uy;  // u(Y) > 0 of each point, in the points' order
    std::vector<double> ux;  // u(X) >= 0 of each point; empty where every reading is taken as exact

    double Uy(std::size_t i) const { return uy[i]; }
    double Ux(std::size_t i) const { return ux.empty() ? 0 : ux[i]; }
    // Whether some u(X) > 0, which calls for the fit in both variables.
    bool AnyUx() const {
        for (const double u : ux) {
            if (u > 0) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace quorvel
