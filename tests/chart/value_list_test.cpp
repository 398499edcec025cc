#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "chart/chart.h"
#include "chart/chunked_vector.h"
#include "chart/point_series.h"
#include "chart/value_list.h"
#include "runtime/exceptions.h"

namespace quorvel {
namespace {

std::vector<double> Values(const TChartValueList& list) {
    std::vector<double> out;
    for (int i = 0; i < list.Count(); ++i) {
        out.push_back(list.ValueAt(i));
    }
    return out;
}

TEST(ValueList, AscendingPlacementCarriesYColourAndLabel) {
    TPointSeries s;
    EXPECT_EQ(s.AddPoint(3, 30, "c", clRed), 0);
    EXPECT_EQ(s.AddPoint(1, 10, "a", clBlue), 0);
    EXPECT_EQ(s.AddPoint(2, 20, "b", clGreen), 1);
    EXPECT_EQ(Values(s.XValues()), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(Values(s.YValues()), (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(s.PointColor(0), clBlue);
    EXPECT_EQ(s.PointColor(1), clGreen);
    EXPECT_EQ(s.PointColor(2), clRed);
    EXPECT_EQ(s.PointLabel(0), "a");
    EXPECT_EQ(s.PointLabel(1), "b");
    EXPECT_EQ(s.PointLabel(2), "c");
}

TEST(ValueList, EqualXGoesAfterEveryEarlierOne) {
    TPointSeries s;
    s.AddPoint(1, 1);
    s.AddPoint(2, 20);
    s.AddPoint(3, 3);
    EXPECT_EQ(s.AddPoint(2, 21), 2);
    EXPECT_EQ(s.AddPoint(2, 22), 3);
    EXPECT_EQ(Values(s.YValues()), (std::vector<double>{1, 20, 21, 22, 3}));
}

TEST(ValueList, DescendingOrderMirrorsAscending) {
    TChartValueList list(nullptr, "X");
    list.SetOrder(loDescending);
    EXPECT_EQ(list.PlaceValue(1), 0);
    EXPECT_EQ(list.PlaceValue(3), 0);
    EXPECT_EQ(list.PlaceValue(2), 1);
    EXPECT_EQ(list.PlaceValue(2), 2);
    EXPECT_EQ(Values(list), (std::vector<double>{3, 2, 2, 1}));
}

TEST(ValueList, UnorderedYKeepsPlacementNotValueOrder) {
    TPointSeries s;
    s.AddPoint(2, 5);
    s.AddPoint(1, 9);
    s.AddPoint(3, 1);
    EXPECT_EQ(s.YValues().Order(), loNone);
    EXPECT_EQ(Values(s.YValues()), (std::vector<double>{9, 5, 1}));
}

TEST(ValueList, EmptyStatisticsAreZero) {
    TChartValueList list(nullptr, "Y");
    EXPECT_TRUE(list.StatisticsStale());
    EXPECT_EQ(list.LowestValue(), 0);
    EXPECT_EQ(list.HighestValue(), 0);
    EXPECT_EQ(list.ValueSum(), 0);
    EXPECT_EQ(list.AbsoluteSum(), 0);
    EXPECT_FALSE(list.StatisticsStale());
}

TEST(ValueList, StatisticsAreLazyAndFollowChanges) {
    TChartValueList list(nullptr, "Y");
    list.PlaceValue(-2);
    list.PlaceValue(5);
    list.PlaceValue(1);
    EXPECT_EQ(list.LowestValue(), -2);
    EXPECT_EQ(list.HighestValue(), 5);
    EXPECT_EQ(list.ValueSum(), 4);
    EXPECT_EQ(list.AbsoluteSum(), 8);
    list.SetValueAt(0, -7);
    EXPECT_TRUE(list.StatisticsStale());
    EXPECT_EQ(list.LowestValue(), -7);
    list.DeleteValueAt(0);
    EXPECT_EQ(list.LowestValue(), 1);
    EXPECT_EQ(list.ValueSum(), 6);
}

TEST(ValueList, MultiplierScalesReadsButNotPlacement) {
    TChartValueList list(nullptr, "X");
    list.SetOrder(loAscending);
    list.PlaceValue(3);
    list.PlaceValue(-1);
    list.SetMultiplier(2);
    EXPECT_EQ(list.ValueAt(0), -2);
    EXPECT_EQ(list.ValueAt(1), 6);
    EXPECT_EQ(list.StoredAt(1), 3);
    EXPECT_EQ(list.LowestValue(), -2);
    EXPECT_EQ(list.HighestValue(), 6);
    EXPECT_EQ(list.AbsoluteSum(), 8);
    // 2 lies between the stored -1 and 3 (not between the scaled -2 and 6).
    EXPECT_EQ(list.PlaceValue(2), 1);
    EXPECT_EQ(list.IndexOfValue(4), 1);
    EXPECT_EQ(list.IndexOfValue(2), -1);
}

TEST(ValueList, IndexErrorsUseTheListText) {
    TChartValueList list(nullptr, "X");
    list.PlaceValue(1);
    try {
        list.ValueAt(1);
        FAIL() << "no error";
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (1)");
    }
    EXPECT_THROW(list.ValueAt(-1), EListError);
    EXPECT_THROW(list.InsertValueAt(3, 0), EListError);
    EXPECT_THROW(list.DeleteValueAt(1), EListError);
    EXPECT_NO_THROW(list.InsertValueAt(1, 2));
}

TEST(ValueList, ClearPointsEmptiesEveryList) {
    TPointSeries s;
    s.SetSeriesColor(clRed);
    s.AddPoint(1, 2, "one", clBlue);
    int cleared = 0;
    s.OnClearValues = [&](TChartSeries&) { ++cleared; };
    s.ClearPoints();
    EXPECT_EQ(s.PointCount(), 0);
    EXPECT_EQ(s.YValues().Count(), 0);
    EXPECT_EQ(s.PointLabel(0), "");
    EXPECT_EQ(s.PointColor(0), clRed);
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(s.AddPoint(5, 5, ""), 0);
    EXPECT_EQ(s.PointLabel(0), "");
    EXPECT_FALSE(s.HasLabelAt(0));
}

TEST(ValueList, HooksAroundAdding) {
    TPointSeries s;
    std::vector<int> after;
    s.OnBeforeAdd = [](TChartSeries& series) { return series.XValues().TempValue >= 0; };
    s.OnAfterAdd = [&](TChartSeries&, int index) { after.push_back(index); };
    EXPECT_EQ(s.AddPoint(2, 0), 0);
    EXPECT_EQ(s.AddPoint(-1, 0), -1);
    EXPECT_EQ(s.AddPoint(1, 0), 0);
    EXPECT_EQ(s.PointCount(), 2);
    EXPECT_EQ(after, (std::vector<int>{0, 0}));

    // Points added in one go are heard of one by one where hooks listen, refusals included.
    const double xs[] = {3, -5, 0.5};
    s.AddPoints(3, [&xs](std::size_t k) {
        struct {
            double x, y;
            TColor color;
        } point{xs[k], 0, clBlue};
        return point;
    });
    EXPECT_EQ(s.PointCount(), 4);
    EXPECT_EQ(after, (std::vector<int>{0, 0, 2, 0}));
    EXPECT_EQ(s.XValues().ValueAt(0), 0.5);
}

// Without hooks, points added in one go land where AddPoint puts them (also out of X order), and the
// runs of many points read back across the lists' chunks.
TEST(ValueList, PointsAddedInOneGoAndReadInRuns) {
    TPointSeries s;
    s.SetSeriesColor(clYellow);
    constexpr int kCount = 3000;
    s.AddPoints(kCount, [](std::size_t k) {
        struct {
            double x, y;
            TColor color;
        } point{k == 7 ? -1.0 : static_cast<double>(k), 2.0 * static_cast<double>(k),
                k % 2 == 0 ? clBlue : AutoColor};
        return point;
    });
    ASSERT_EQ(s.PointCount(), kCount);
    EXPECT_EQ(s.XValues().ValueAt(0), -1);
    EXPECT_EQ(s.YValues().ValueAt(0), 14);
    std::vector<double> values(1200);
    s.XValues().CopyValues(1000, values.size(), values.data());
    for (std::size_t k = 0; k < values.size(); ++k) {
        ASSERT_EQ(values[k], 1000.0 + static_cast<double>(k)) << k;  // index 1000 holds X = 1000
    }
    std::vector<TColor> colors(1200);
    s.PointColors(kCount - 1100, colors.size(), colors.data());
    for (std::size_t k = 0; k < colors.size(); ++k) {
        const std::size_t index = kCount - 1100 + k;
        // Past the last point, the series colour.
        const TColor expected = index < kCount && index % 2 == 0 ? clBlue : clYellow;
        ASSERT_EQ(colors[k], expected) << index;
    }
    EXPECT_THROW(s.XValues().CopyValues(kCount - 10, 11, values.data()), EListError);

    // The same as point by point where a block holds a NaN, a step back and equal X values.
    const auto x = [](std::size_t k) {
        return k == 1500 ? std::nan("") : k == 2100 ? 5.0 : static_cast<double>(k / 2);
    };
    TPointSeries inOneGo;
    TPointSeries oneByOne;
    inOneGo.AddPoints(kCount, [&x](std::size_t k) {
        struct {
            double x, y;
            TColor color;
        } point{x(k), static_cast<double>(k), static_cast<TColor>(k)};
        return point;
    });
    for (std::size_t k = 0; k < kCount; ++k) {
        oneByOne.AddPoint(x(k), static_cast<double>(k), "", static_cast<TColor>(k));
    }
    ASSERT_EQ(inOneGo.PointCount(), kCount);
    EXPECT_EQ(inOneGo.XValues().Ascending(), oneByOne.XValues().Ascending());
    for (int i = 0; i < kCount; ++i) {
        const double a = inOneGo.XValues().ValueAt(i);
        const double b = oneByOne.XValues().ValueAt(i);
        ASSERT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << i;
        ASSERT_EQ(inOneGo.YValues().ValueAt(i), oneByOne.YValues().ValueAt(i)) << i;
        ASSERT_EQ(inOneGo.PointColor(i), oneByOne.PointColor(i)) << i;
    }
}

TEST(ValueList, PointColourFallsBackToSeriesOrPalette) {
    TPointSeries s;
    s.SetSeriesColor(clYellow);
    s.AddPoint(1, 1, "", AutoColor);
    s.AddPoint(2, 2, "", clBlue);
    EXPECT_EQ(s.PointColor(0), clYellow);
    EXPECT_EQ(s.PointColor(1), clBlue);
    EXPECT_EQ(s.PointColor(7), clYellow);
    s.SetColorEachPoint(true);
    EXPECT_EQ(s.PointColor(0), ChartPaletteColor(0));
    s.SetColorEachPoint(false);
    // Switching it off forgets the stored point colours.
    EXPECT_EQ(s.PointColor(1), clYellow);
}

// Placement by halving must agree with the scan from the end for every arrival order, also after an
// out-of-order SetValueAt has broken the ordering (then the scan itself decides).
TEST(ValueList, LargeOrderedFillsMatchAStableSort) {
    struct Row {
        const char* name;
        int kind;
    };
    for (const Row& row : {Row{"descending", 0}, Row{"random with duplicates", 1}, Row{"ascending", 2}}) {
        SCOPED_TRACE(row.name);
        std::mt19937 rng(7);
        std::vector<double> xs(20000);
        for (std::size_t i = 0; i < xs.size(); ++i) {
            xs[i] = row.kind == 0   ? -static_cast<double>(i)
                    : row.kind == 1 ? static_cast<double>(rng() % 500)
                                    : static_cast<double>(i);
        }
        TPointSeries s;
        for (std::size_t i = 0; i < xs.size(); ++i) {
            s.AddPoint(xs[i], static_cast<double>(i));
        }
        std::vector<std::size_t> order(xs.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return xs[a] < xs[b]; });
        ASSERT_EQ(s.PointCount(), static_cast<int>(xs.size()));
        for (std::size_t i = 0; i < order.size(); ++i) {
            ASSERT_EQ(s.XValues().ValueAt(static_cast<int>(i)), xs[order[i]]) << i;
            ASSERT_EQ(s.YValues().ValueAt(static_cast<int>(i)), static_cast<double>(order[i])) << i;
        }
    }
}

TEST(ValueList, BrokenOrderFallsBackToTheScanFromTheEnd) {
    TChartValueList list(nullptr, "X");
    list.SetOrder(loAscending);
    for (double v : {1.0, 2.0, 3.0, 4.0}) {
        list.PlaceValue(v);
    }
    list.SetValueAt(0, 10);  // 10, 2, 3, 4
    // The scan stops at the first value from the end that is not above 2.5: index 1 (value 2).
    EXPECT_EQ(list.PlaceValue(2.5), 2);
    EXPECT_EQ(Values(list), (std::vector<double>{10, 2, 2.5, 3, 4}));
}

TEST(ValueList, AxisExtremesOverSeries) {
    TChart chart;
    EXPECT_EQ(chart.LowestXOnAxis(chart.BottomAxis()), 0);
    auto& a = chart.AddSeries(std::make_unique<TPointSeries>());
    auto& b = chart.AddSeries(std::make_unique<TPointSeries>());
    EXPECT_EQ(chart.LowestXOnAxis(chart.BottomAxis()), 0);
    a.AddPoint(2, 5);
    a.AddPoint(4, -1);
    b.AddPoint(-3, 7);
    EXPECT_EQ(chart.LowestXOnAxis(chart.BottomAxis()), -3);
    EXPECT_EQ(chart.HighestXOnAxis(chart.BottomAxis()), 4);
    EXPECT_EQ(chart.LowestYOnAxis(chart.LeftAxis()), -1);
    EXPECT_EQ(chart.HighestYOnAxis(chart.LeftAxis()), 7);
    EXPECT_EQ(chart.HighestYOnAxis(chart.RightAxis()), 0);
    b.SetActive(false);
    EXPECT_EQ(chart.LowestXOnAxis(chart.BottomAxis()), 2);
    a.SetActive(false);
    // With no active series on the axis, the inactive ones count.
    EXPECT_EQ(chart.LowestXOnAxis(chart.BottomAxis()), -3);
}

TEST(ValueList, ChangesOnlyInvalidate) {
    TChart chart;
    auto& s = chart.AddSeries(std::make_unique<TPointSeries>());
    int invalidations = 0;
    chart.OnInvalidate = [&] { ++invalidations; };
    chart.ScreenBuffer().NeedsRedraw = false;
    s.AddPoint(1, 1);
    EXPECT_TRUE(chart.ScreenBuffer().NeedsRedraw);
    EXPECT_EQ(chart.RenderCount(), 0);
    s.SetSeriesColor(s.SeriesColor());
    const int before = invalidations;
    s.SetActive(true);  // unchanged: no request
    EXPECT_EQ(invalidations, before);
    s.XValues().SetMultiplier(3);
    EXPECT_GT(invalidations, before);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// Random inserts, erases and reads across many chunk splits agree with a plain vector.
TEST(ChunkedVector, RandomOperationsMatchAVector) {
    std::mt19937 rng(3);
    TChunkedVector<int> chunked;
    std::vector<int> plain;
    for (int step = 0; step < 30000; ++step) {
        const unsigned op = rng() % 10;
        if (op < 6 || plain.empty()) {
            const std::size_t at = rng() % (plain.size() + 1);
            chunked.insert(at, step);
            plain.insert(plain.begin() + static_cast<std::ptrdiff_t>(at), step);
        } else if (op < 8) {
            const std::size_t at = rng() % plain.size();
            chunked.erase(at);
            plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            const std::size_t at = rng() % plain.size();
            ASSERT_EQ(chunked[at], plain[at]) << step;
        }
    }
    ASSERT_EQ(chunked.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        ASSERT_EQ(chunked[i], plain[i]) << i;
    }
    // Erasing everything empties every chunk.
    while (!plain.empty()) {
        chunked.erase(0);
        plain.erase(plain.begin());
    }
    EXPECT_TRUE(chunked.empty());
    chunked.push_back(5);
    EXPECT_EQ(chunked[0], 5);
}

TEST(ChunkedVector, UpperBoundAcrossChunks) {
    TChunkedVector<double> v;
    for (int i = 0; i < 5000; ++i) {
        v.push_back(i / 2);  // 0, 0, 1, 1, 2, 2, ...
    }
    EXPECT_EQ(v.UpperBound(-1.0, std::less<double>()), 0u);
    EXPECT_EQ(v.UpperBound(0.0, std::less<double>()), 2u);
    EXPECT_EQ(v.UpperBound(1234.0, std::less<double>()), 2470u);
    EXPECT_EQ(v.UpperBound(1e9, std::less<double>()), 5000u);
}

}  // namespace
}  // namespace quorvel
