#include "fitting/curve_samples.h"

#include <cfloat>
#include <cmath>

#include "fitting/least_squares.h"
#include "runtime/exceptions.h"

namespace quorvel {

namespace {

// More samples than the single-precision loop ever makes for a range it can resolve.
constexpr int kMaxSamples = 256;
constexpr int kEvenSamples = 50;

// Holds a value in single precision; the range is tested first, as in StoreChecked.
float ToSingle(long double value) {
    constexpr long double kOverflow = static_cast<long double>(FLT_MAX) + 0x1p103L;
    if (std::fabs(value) >= kOverflow) {
        throw EOverflow();
    }
    return static_cast<float>(value);
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
        // The single sum, formed wide and rounded once (which gives the same single); a sum at or
        // past the end ends the loop before it could leave the single range.
        const long double wide = static_cast<long double>(x) + step;
        if (wide >= end) {
            break;
        }
        const float next = static_cast<float>(wide);
        if (!(next > x)) {
            return EvenSamples(lowest, highest, c);
        }
        x = next;
    }
    return samples;
}

}  // namespace quorvel
