// The arithmetic from chart size and printer page to the printed rectangle and the logical extent.
#include <gtest/gtest.h>

#include "chart/print_settings.h"

namespace quorvel {
namespace {

constexpr TPrinterPageMetrics kLandscape600{4960, 3508, 600, 600};
constexpr TPrinterPageMetrics kPortrait600{3508, 4960, 600, 600};

TEST(ProportionalMargins, WideChartOnLandscapePageNarrowsTopAndBottom) {
    EXPECT_EQ(ProportionalMargins(289, 208, kLandscape600), (TPageMargins{15, 19, 15, 19}));
}

TEST(ProportionalMargins, FollowsTheShorterSideOfTheChart) {
    // Wide chart, portrait page: 100 (4960 - 0.6 * 3508 * 208/289) / 4960 = 69.46 -> 69 / 2 = 34.
    EXPECT_EQ(ProportionalMargins(289, 208, kPortrait600), (TPageMargins{15, 34, 15, 34}));
    // Tall chart, landscape page: the left and right margins move instead.
    // 100 (4960 - 0.6 * 3508 * 208/289) / 4960 -> 34 as well, by symmetry of the numbers.
    EXPECT_EQ(ProportionalMargins(208, 289, kLandscape600), (TPageMargins{34, 15, 34, 15}));
    // A square chart takes the second branch: 100 (4960 - 0.6 * 3508) / 4960 = 57.56 -> 58 / 2 = 29.
    EXPECT_EQ(ProportionalMargins(200, 200, kLandscape600), (TPageMargins{29, 15, 29, 15}));
}

TEST(ProportionalMargins, UnevenResolutionScalesTheShortSide) {
    // 300 x 600 dpi: 100 (3508 - 0.6 * 4960 * 0.7197 * 0.5) / 3508 = 69.45 -> 69 / 2 = 34.
    EXPECT_EQ(ProportionalMargins(289, 208, TPrinterPageMetrics{4960, 3508, 300, 600}),
              (TPageMargins{15, 34, 15, 34}));
}

TEST(ProportionalMargins, DegenerateSizesKeepTheDefaults) {
    EXPECT_EQ(ProportionalMargins(0, 0, kLandscape600), TPageMargins{});
    EXPECT_EQ(ProportionalMargins(289, 208, TPrinterPageMetrics{}), TPageMargins{});
    EXPECT_EQ(ProportionalMargins(289, 208, TPrinterPageMetrics{4960, 3508, 600, 0}), TPageMargins{});
}

TEST(CalcPrintMargin, StaysWithinTheHalfPage) {
    // A resolution ratio that would ask for more than the page is held at 0 rather than going negative.
    EXPECT_EQ(CalcPrintMargin(4960, 3508, 0.9, 2400, 300), 0);
    // A vanishing ratio leaves half the page on each side, less one percent so the chart keeps a size.
    EXPECT_EQ(CalcPrintMargin(4960, 3508, 0.0, 600, 600), 49);
}

TEST(PagePrintRect, ProportionalMarginsOnTheLandscapePage) {
    TChartPrintSettings settings;
    EXPECT_EQ(PagePrintRect(settings, 289, 208, kLandscape600), (TRect{744, 667, 4216, 2841}));
    // The proportional margins become the chart's page margins.
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 19, 15, 19}));
}

TEST(PagePrintRect, FixedMarginsAreKept) {
    TChartPrintSettings settings;
    settings.PrintProportional = false;
    settings.PageMargins = TPageMargins{10, 20, 30, 5};
    // 10 % of 4960 = 496; 30 % = 1488; 20 % of 3508 = 701.6 -> 702; 5 % = 175.4 -> 175.
    EXPECT_EQ(PagePrintRect(settings, 289, 208, kLandscape600), (TRect{496, 702, 4960 - 1488, 3508 - 175}));
    EXPECT_EQ(settings.PageMargins, (TPageMargins{10, 20, 30, 5}));
}

TEST(LogicalExtent, ChartSizeAtDetailZero) {
    const TLogicalExtent e = LogicalExtent(TRect{744, 667, 4216, 2841}, TRect{0, 0, 289, 208}, 0);
    EXPECT_EQ(e.Width, 289);
    EXPECT_EQ(e.Height, 208);
    EXPECT_EQ(e.Scaled, (TRect{62, 64, 351, 272}));
}

TEST(LogicalExtent, NegativeDetailEnlargesTheLogicalSize) {
    const TLogicalExtent e = LogicalExtent(TRect{744, 667, 4216, 2841}, TRect{0, 0, 289, 208}, -50);
    // 289 - MulDiv(289, -50, 100) = 289 + 145 (144.5 rounds away from zero).
    EXPECT_EQ(e.Width, 434);
    EXPECT_EQ(e.Height, 312);
    // The page rectangle in logical units: 744 * 434 / 3472 = 93 exactly, 667 * 312 / 2174 = 95.7 ...
    EXPECT_EQ(e.Scaled, (TRect{93, 96, 527, 408}));
    const TLogicalExtent full = LogicalExtent(TRect{0, 0, 100, 100}, TRect{0, 0, 289, 208}, -100);
    EXPECT_EQ(full.Width, 578);
    EXPECT_EQ(full.Height, 416);
}

TEST(NormalisedRect, SwapsReversedCorners) {
    EXPECT_EQ(NormalisedRect(TRect{10, 20, 5, 2}), (TRect{5, 2, 10, 20}));
    EXPECT_EQ(NormalisedRect(TRect{1, 2, 3, 4}), (TRect{1, 2, 3, 4}));
}

}  // namespace
}  // namespace quorvel
