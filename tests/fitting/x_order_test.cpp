#include "fitting/x_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace quorvel {
namespace {

std::vector<int> Reference(const TPointTable& points) {
    std::vector<int> order(points.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&points](int a, int b) { return points[a].X < points[b].X; });
    return order;
}

TEST(StableOrderByX, MatchesAStableSort) {
    std::mt19937_64 rng(5);
    for (const std::size_t n : {0, 1, 7, 100, 2047, 2048, 5000, 70000}) {
        TPointTable points(n);
        for (TDataPoint& p : points) {
            switch (rng() % 5) {
                case 0:
                    p.X = static_cast<double>(rng() % 10);  // many equal values
                    break;
                case 1:
                    p.X = (rng() % 2 != 0) ? 0.0 : -0.0;
                    break;
                case 2:
                    p.X = -std::ldexp(static_cast<double>(rng() % 1000), static_cast<int>(rng() % 200) - 100);
                    break;
                default:
                    p.X = 101000 + std::uniform_real_distribution<double>(0, 650)(rng);
            }
        }
        EXPECT_EQ(StableOrderByX(points), Reference(points)) << n;
        if (n > kItemsPerStep) {
            // In pieces with steps between them, as a window's recompute asks: the same order, the steps
            // rising and below the end.
            std::vector<double> told;
            EXPECT_EQ(StableOrderByX(points, [&told](double done) { told.push_back(done); }),
                      Reference(points));
            EXPECT_GT(told.size(), 6u);
            EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
            EXPECT_LT(told.back(), 1.0);
        }
    }
}

TEST(StableOrderByX, SortedTablesKeepTheirOrder) {
    TPointTable points(3000);
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].X = static_cast<double>(i / 3);
    }
    std::vector<int> expected(points.size());
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(StableOrderByX(points), expected);
}

}  // namespace
}  // namespace quorvel
