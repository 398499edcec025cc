#include "fitting/curve_samples.h"

#include <gtest/gtest.h>

#include <cmath>

#include "runtime/exceptions.h"

namespace quorvel {
namespace {

const TFitCoefficients kLine{};  // Y = X

// The single-precision loop written out plainly, for ranges it resolves.
std::vector<float> SinglePrecisionPositions(double lowest, double highest) {
    const float start = static_cast<float>(lowest), end = static_cast<float>(highest);
    const float step = static_cast<float>((static_cast<long double>(end) - start) * 0.02L);
    std::vector<float> xs;
    for (float x = start; x < end; x = x + step) {
        xs.push_back(x);
    }
    return xs;
}

TEST(CurveSamples, CountsOfTheSinglePrecisionLoop) {
    EXPECT_EQ(CurveSamples(1, 10, kLine).size(), 50u);
    const auto unit = CurveSamples(0, 1, kLine);
    ASSERT_EQ(unit.size(), 51u);
    EXPECT_LT(unit.back().x, 1.0);
    EXPECT_GT(unit.back().x, 0.99);
    EXPECT_TRUE(CurveSamples(3, 3, kLine).empty());
    EXPECT_TRUE(CurveSamples(0, 0, kLine).empty());
}

TEST(CurveSamples, OrdinaryRangesGiveExactlyTheLoopPositions) {
    const double ranges[][2] = {{1, 10}, {0, 1}, {-5.5, 17.25}, {101000, 101650}, {0.001, 0.002}, {-1e6, 3}};
    for (const auto& r : ranges) {
        const auto samples = CurveSamples(r[0], r[1], {1, 0.5, 0, 0});
        const auto expected = SinglePrecisionPositions(r[0], r[1]);
        ASSERT_EQ(samples.size(), expected.size()) << r[0] << " .. " << r[1];
        for (std::size_t i = 0; i < samples.size(); ++i) {
            EXPECT_EQ(samples[i].x, static_cast<double>(expected[i]));
            EXPECT_EQ(samples[i].y, 1 + 0.5 * static_cast<double>(expected[i]));
            EXPECT_EQ(samples[i].color, AutoColor);
        }
    }
}

TEST(CurveSamples, NarrowRangesFarFromZeroEnd) {
    // 10^8 + 8 is one single-precision step above 10^8; (end − start)·0.02 cannot move x.
    const auto samples = CurveSamples(1e8, 1e8 + 8, kLine);
    ASSERT_EQ(samples.size(), 50u);
    EXPECT_EQ(samples.front().x, 1e8);
    for (std::size_t i = 1; i < samples.size(); ++i) {
        EXPECT_GT(samples[i].x, samples[i - 1].x);
        EXPECT_LT(samples[i].x, 1e8 + 8);
    }
    // Distinct extremes that share one single value still get a curve between them.
    const auto close = CurveSamples(1e8, 1e8 + 1, kLine);
    ASSERT_FALSE(close.empty());
    EXPECT_LE(close.size(), 50u);
    EXPECT_LT(close.back().x, 1e8 + 1);
}

TEST(CurveSamples, ExtremesBeyondSinglePrecisionOverflow) {
    EXPECT_THROW(CurveSamples(0, 1e39, kLine), EOverflow);
    EXPECT_THROW(CurveSamples(1, 2, {0, 0, 0, 1e308}), EOverflow);
}

}  // namespace
}  // namespace quorvel
