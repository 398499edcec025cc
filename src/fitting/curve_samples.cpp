#include "fitting/curve_samples.h"

#include <cmath>

#include "fitting/least_squares.h"
#include "runtime/exceptions.h"

namespace quorvel {

namespace {

// More samples than the single-precision loop ever makes for a range it can resolve.
constexpr int kMaxSamples = 256;
constexpr int kEvenSamples = 50;

float ToSingle(long double value) {
    const float single = static_cast<float>(value);
    if (std::isinf(single)) {
        throw EOverflow();
    }
    return single;
}

std::vector<TFeedPoint> EvenSamples(double lowest, double highest, const TFitCoefficients& c) {
    std::vector<TFeedPoint> samples;
    samples.reserve(kEvenSamples);
    const long double width = static_cast<long double>(highest) - lowest;
    for (int k = 0; k < kEvenSamples; ++k) {
        const double x = static_cast<double>(lowest + width * k / kEvenSamples);
        if (!(x < highest) && k > 0) {
            break;
        }
        samples.push_back({x, EvalPolynomial(x, c), AutoColor});
    }
    return samples;
}

}  // namespace

std::vector<TFeedPoint> CurveSamples(double lowest, double highest, const TFitCoefficients& c) {
    const float start = ToSingle(lowest);
    const float end = ToSingle(highest);
    if (!(start < end)) {
        return lowest < highest ? EvenSamples(lowest, highest, c) : std::vector<TFeedPoint>{};
    }
    const float step = ToSingle((static_cast<long double>(end) - start) * 0.02L);
    std::vector<TFeedPoint> samples;
    samples.reserve(52);
    float x = start;
    while (x < end) {
        if (static_cast<int>(samples.size()) == kMaxSamples) {
            return EvenSamples(lowest, highest, c);
        }
        samples.push_back({x, EvalPolynomial(x, c), AutoColor});
        const float next = x + step;
        if (!(next > x)) {
            return EvenSamples(lowest, highest, c);
        }
        x = next;
    }
    return samples;
}

}  // namespace quorvel
