#include "fitting/critical_values.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace quorvel {

namespace {

using TFloat50 = boost::multiprecision::cpp_bin_float_50;
using TFloat100 = boost::multiprecision::cpp_bin_float_100;

// The library's quantiles in 50 digits are good to about 40 (checked against an independent table):
// a value at least this far (relatively) from the midpoint between two doubles rounds the same as the
// exact quantile does.
const TFloat50 kClearOfMidpoint("1e-35");

// The double nearest to v, found among the three around the conversion's own result, so that it does
// not depend on how the conversion rounds; with the distance from v to the midpoint on that side.
template <class Float>
std::pair<double, Float> NearestDouble(const Float& v) {
    const double guess = static_cast<double>(v);
    double best = guess;
    Float bestDistance = abs(v - Float(guess));
    for (const double candidate : {std::nextafter(guess, -INFINITY), std::nextafter(guess, INFINITY)}) {
        const Float distance = abs(v - Float(candidate));
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    const double neighbour =
        v > Float(best) ? std::nextafter(best, INFINITY) : std::nextafter(best, -INFINITY);
    const Float halfGap = abs(Float(neighbour) - Float(best)) / 2;
    return {best, halfGap - bestDistance};
}

// The double nearest to a quantile worked out by `quantile` in a multiprecision type: in 50 digits, and
// only where that value lies too near a midpoint between two doubles for its last digits to be trusted,
// once more in 100 digits (ties, which no irrational quantile has, would go to the nearer of the pair).
template <class Quantile>
double CorrectlyRounded(const Quantile& quantile) {
    const TFloat50 value = quantile(TFloat50{});
    const auto [nearest, margin] = NearestDouble(value);
    if (margin > kClearOfMidpoint * abs(value)) {
        return nearest;
    }
    return NearestDouble(quantile(TFloat100{})).first;
}

// Each quantile costs milliseconds in these types: the values asked for are kept (a report asks for
// the same k once per figure).
template <class Compute>
double Remembered(int which, int dof, const Compute& compute) {
    static std::mutex mutex;
    static std::map<std::pair<int, int>, double> known;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (const auto it = known.find({which, dof}); it != known.end()) {
            return it->second;
        }
    }
    const double value = compute();
    const std::lock_guard<std::mutex> lock(mutex);
    known.emplace(std::make_pair(which, dof), value);
    return value;
}

}  // namespace

double CoverageFactor95(int dof) {
    return Remembered(0, dof, [dof] {
        return CorrectlyRounded([dof](auto zero) {
            using Float = decltype(zero);
            const boost::math::students_t_distribution<Float> t{Float(dof)};
            return boost::math::quantile(boost::math::complement(t, Float(1) / 40));
        });
    });
}

double ChiSquaredCritical95(int dof) {
    return Remembered(1, dof, [dof] {
        return CorrectlyRounded([dof](auto zero) {
            using Float = decltype(zero);
            const boost::math::chi_squared_distribution<Float> chi{Float(dof)};
            return boost::math::quantile(boost::math::complement(chi, Float(1) / 20));
        });
    });
}

}  // namespace quorvel
