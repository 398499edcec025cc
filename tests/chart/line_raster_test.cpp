// One-pixel lines in whole pixels and at a finer device's resolution, checked against the rule written
// out plainly: every pixel of the line, one step at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "chart/line_raster.h"

namespace quorvel::testing {
namespace {

using Pixels = std::set<std::pair<long long, long long>>;

Pixels Drawn(const TLineRaster& line) {
    Pixels out;
    line.ForEachRun([&](const TPixelRun& r) {
        for (int k = 0; k < r.Length; ++k) {
            out.insert(line.XMajor() ? std::pair<long long, long long>{r.Lo + k, r.Across}
                                     : std::pair<long long, long long>{r.Across, r.Lo + k});
        }
    });
    return out;
}

// The line's pixels step by step from a (drawn) to b (not drawn): across the line the nearest pixel to the
// exact course, a half rounded away from the start; dashes counted from the first pixel; only those in
// visible.
Pixels Reference(TPoint a, TPoint b, const std::vector<int>& dashes, const TRect& visible) {
    const long long dx = static_cast<long long>(b.X) - a.X;
    const long long dy = static_cast<long long>(b.Y) - a.Y;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long n = std::max(std::llabs(dx), std::llabs(dy));
    long long period = 0;
    for (const int d : dashes) {
        period += d;
    }
    Pixels out;
    for (long long i = 0; i < n; ++i) {
        if (period > 0) {
            long long k = i % period;
            std::size_t j = 0;
            while (k >= dashes[j]) {
                k -= dashes[j++];
            }
            if (j % 2 == 1) {
                continue;
            }
        }
        const long long along = xMajor ? dx : dy;
        const long long across = xMajor ? dy : dx;
        // |across| * i / n to the nearest whole number, halves up, in exact integers.
        const long long offset = (2 * std::llabs(across) * i + n) / (2 * n);
        const long long major = (xMajor ? a.X : a.Y) + (along < 0 ? -i : i);
        const long long minor = (xMajor ? a.Y : a.X) + (across < 0 ? -offset : offset);
        const long long x = xMajor ? major : minor;
        const long long y = xMajor ? minor : major;
        if (x >= visible.Left && x < visible.Right && y >= visible.Top && y < visible.Bottom) {
            out.insert({x, y});
        }
    }
    return out;
}

TEST(LineRaster, PixelsOfLinesTable) {
    const TRect all{-100, -100, 100, 100};
    struct Row {
        const char* name;
        TPoint a;
        TPoint b;
        TPenStyle style;
        TRect visible;
        Pixels pixels;
    };
    const Row rows[] = {
        {"rightwards: the last pixel left out",
         {0, 0},
         {3, 0},
         TPenStyle::Solid,
         all,
         {{0, 0}, {1, 0}, {2, 0}}},
        {"leftwards: the first pixel drawn", {3, 0}, {0, 0}, TPenStyle::Solid, all, {{3, 0}, {2, 0}, {1, 0}}},
        {"upwards", {0, 2}, {0, 0}, TPenStyle::Solid, all, {{0, 2}, {0, 1}}},
        {"diagonal", {0, 0}, {3, 3}, TPenStyle::Solid, all, {{0, 0}, {1, 1}, {2, 2}}},
        {"a half rounds away from the start",
         {0, 0},
         {4, 2},
         TPenStyle::Solid,
         all,
         {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},
        {"the same line backwards", {4, 2}, {0, 0}, TPenStyle::Solid, all, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},
        {"steep", {0, 0}, {1, 3}, TPenStyle::Solid, all, {{0, 0}, {0, 1}, {1, 2}}},
        {"a point has no pixels", {5, 5}, {5, 5}, TPenStyle::Solid, all, {}},
        {"dots: three on, three off",
         {0, 0},
         {9, 0},
         TPenStyle::Dot,
         all,
         {{0, 0}, {1, 0}, {2, 0}, {6, 0}, {7, 0}, {8, 0}}},
        {"cut to what is visible",
         {-5, 0},
         {5, 0},
         TPenStyle::Solid,
         {-1, -1, 2, 1},
         {{-1, 0}, {0, 0}, {1, 0}}},
        {"visible edges excluded", {0, 0}, {0, 5}, TPenStyle::Solid, {0, 1, 1, 3}, {{0, 1}, {0, 2}}},
        {"nothing visible", {0, 0}, {5, 5}, TPenStyle::Solid, {10, 10, 20, 20}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Drawn(TLineRaster(row.a, row.b, row.style, row.visible)), row.pixels);
    }
}

TEST(LineRaster, RunsAreRowsOrColumnsOfEqualOffset) {
    std::vector<TPixelRun> runs;
    const TLineRaster line(TPoint{0, 0}, TPoint{6, 2}, TPenStyle::Solid, TRect{-10, -10, 10, 10});
    line.ForEachRun([&](const TPixelRun& r) { runs.push_back(r); });
    // Offsets 0 0 1 1 1 2 at x = 0 ... 5.
    EXPECT_TRUE(line.XMajor());
    EXPECT_EQ(runs, (std::vector<TPixelRun>{{0, 2, 0}, {2, 3, 1}, {5, 1, 2}}));
}

// Random lines of every direction and style, some with ends far beyond the visible square, against the
// rule step by step.
TEST(LineRaster, AgreesWithThePlainRule) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> near(-40, 40);
    std::uniform_int_distribution<int> far(-20000, 20000);
    const TPenStyle styles[] = {TPenStyle::Solid, TPenStyle::Dash, TPenStyle::Dot, TPenStyle::DashDot,
                                TPenStyle::DashDotDot};
    const TRect visible{-17, -9, 23, 31};
    for (int k = 0; k < 3000; ++k) {
        auto& pick = k % 5 == 0 ? far : near;
        const TPoint a{pick(rng), pick(rng)};
        const TPoint b{near(rng), near(rng)};
        const TPenStyle style = styles[k % 5];
        const std::span<const int> dashes = CosmeticDashes(style);
        ASSERT_EQ(Drawn(TLineRaster(a, b, style, visible)),
                  Reference(a, b, std::vector<int>(dashes.begin(), dashes.end()), visible))
            << a.X << "," << a.Y << " to " << b.X << "," << b.Y << " style " << k % 5;
    }
}

TEST(LineRaster, EndsAnywhereInTheIntRangeWalkOnlyWhatIsVisible) {
    const TRect visible{0, 0, 300, 200};
    const TPoint a{-2147483647, -2147483647};
    const TPoint b{2147483647, 2147483647};
    long long pixels = 0;
    TLineRaster(a, b, TPenStyle::Solid, visible).ForEachRun([&](const TPixelRun& r) {
        pixels += r.Length;
        EXPECT_EQ(r.Lo, r.Across);
    });
    EXPECT_EQ(pixels, 200);
}

TEST(LineRaster, DashPatternsOfTheCosmeticPens) {
    struct Row {
        TPenStyle style;
        std::vector<int> dashes;
    };
    for (const Row& row : {Row{TPenStyle::Solid, {}}, Row{TPenStyle::Dash, {18, 6}},
                           Row{TPenStyle::Dot, {3, 3}}, Row{TPenStyle::DashDot, {9, 6, 3, 6}},
                           Row{TPenStyle::DashDotDot, {9, 3, 3, 3, 3, 3}}, Row{TPenStyle::Clear, {}}}) {
        const std::span<const int> dashes = CosmeticDashes(row.style);
        EXPECT_EQ(std::vector<int>(dashes.begin(), dashes.end()), row.dashes);
    }
    const TDashSteps dot(TPenStyle::Dot);
    std::vector<bool> on;
    for (int i = 0; i < 8; ++i) {
        on.push_back(dot.On(i));
    }
    EXPECT_EQ(on, (std::vector<bool>{true, true, true, false, false, false, true, true}));
}

// At twice the device's resolution a slanted line covers, in each device column, the device rows within
// half a logical pixel of its exact course through that column's centre.
TEST(DeviceLineRaster, CoversTheCourseAtTheDevicesResolution) {
    const TDeviceAxis twice{2, 0};
    const TDeviceLineRaster line(TPoint{0, 0}, TPoint{4, 2}, TPenStyle::Solid, twice, twice,
                                 TRect{-10, -10, 10, 10});
    std::set<std::pair<long long, long long>> cells;
    line.ForEachRun([&](const TDeviceRun& r) {
        for (long long c = r.Major0; c < r.Major1; ++c) {
            for (long long d = r.Minor0; d < r.Minor1; ++d) {
                cells.insert({c, d});
            }
        }
    });
    std::set<std::pair<long long, long long>> expected;
    for (long long c = 0; c < 8; ++c) {
        // Device column c's centre lies at logical x = (c + 0.5) / 2; the line's course there, through
        // the pixel centres, is y + 0.5 = (x - 0.5) / 2 + 0.5.
        const double x = (static_cast<double>(c) + 0.5) / 2;
        const double centre = (x - 0.5) / 2 + 0.5;
        for (long long d = static_cast<long long>(std::floor(2 * (centre - 0.5) + 0.5));
             d < static_cast<long long>(std::floor(2 * (centre + 0.5) + 0.5)); ++d) {
            expected.insert({c, d});
        }
    }
    EXPECT_EQ(cells, expected);
    // Cut to a visible square, it covers what lies there.
    const TDeviceLineRaster cut(TPoint{0, 0}, TPoint{4, 2}, TPenStyle::Solid, twice, twice,
                                TRect{1, 0, 3, 10});
    cut.ForEachRun([&](const TDeviceRun& r) {
        EXPECT_GE(r.Major0, 2);
        EXPECT_LE(r.Major1, 6);
    });
}

}  // namespace
}  // namespace quorvel::testing
