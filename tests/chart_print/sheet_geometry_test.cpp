// The preview sheet: paper layout, the chart's rectangle on it, grips and drags.
#include <gtest/gtest.h>

#include "chart/print/sheet_geometry.h"

namespace quorvel {
namespace {

TEST(SheetLayout, LandscapePageFillsNinetyPercentOfTheWidth) {
    // 577 - Round(57.7) = 519 wide; MulDiv(519, 3508, 4960) = 367 high, centred: (389 - 367) / 2 = 11.
    EXPECT_EQ(SheetLayout(577, 389, 4960, 3508), (TRect{29, 11, 548, 378}));
}

TEST(SheetLayout, PortraitPageFillsNinetyPercentOfTheHeight) {
    // 389 - Round(38.9) = 350 high; MulDiv(350, 3508, 4960) = 247.5 -> 248 wide; (577 - 248) / 2 = 164.
    EXPECT_EQ(SheetLayout(577, 389, 3508, 4960), (TRect{164, 19, 412, 369}));
}

TEST(SheetLayout, PercentagesRoundHalvesToEven) {
    // 45 * 10 / 100 = 4.5 -> 4 and 45 * 5 / 100 = 2.25 -> 2: the sheet is 41 high from row 2.
    const TRect r = SheetLayout(1000, 45, 100, 200);
    EXPECT_EQ(r.Top, 2);
    EXPECT_EQ(r.Height(), 41);
    // 25 * 10 / 100 = 2.5 -> 2 and 25 * 5 / 100 = 1.25 -> 1.
    const TRect w = SheetLayout(25, 1000, 200, 100);
    EXPECT_EQ(w.Left, 1);
    EXPECT_EQ(w.Width(), 23);
}

TEST(SheetLayout, TheOtherDirectionLimitsWhereTheSheetWouldOverflow) {
    // The preview's own page control, 577 x 362: a landscape sheet 519 wide would be 367 high, more than
    // the control, so the height limits: 90 % of it, 326, and MulDiv(326, 4960, 3508) = 461 wide.
    EXPECT_EQ(SheetLayout(577, 362, 4960, 3508), (TRect{58, 18, 58 + 461, 18 + 326}));
    // A portrait page in a flat control: the width limits, MulDiv(90, 4960, 3508) = 127 high.
    EXPECT_EQ(SheetLayout(100, 200, 3508, 4960), (TRect{5, 36, 95, 163}));
}

TEST(SheetLayout, PageWithoutSizeTakesTheControl) {
    EXPECT_EQ(SheetLayout(200, 100, 0, 0), (TRect{10, 0, 190, 100}));
}

TEST(PictureRect, MarginsToRectangleAndBack) {
    const TRect sheet{29, 11, 548, 378};  // 519 x 367
    const TPageMargins margins{15, 19, 15, 19};
    const TRect picture = PictureRectFromMargins(sheet, margins);
    // MulDiv(15, 519, 100) = 77.85 -> 78; MulDiv(19, 367, 100) = 69.73 -> 70.
    EXPECT_EQ(picture, (TRect{29 + 78, 11 + 70, 548 - 78, 378 - 70}));
    EXPECT_EQ(MarginsFromPictureRect(sheet, picture), margins);
    // A dragged rectangle maps to the nearest whole percentages.
    EXPECT_EQ(MarginsFromPictureRect(sheet, TRect{29 + 3, 11 + 2, 548 - 259, 378}),
              (TPageMargins{1, 1, 50, 0}));
}

class GripHitTestTest : public ::testing::Test {
protected:
    const TRect picture{100, 50, 300, 200};
};

TEST_F(GripHitTestTest, CornersBeforeEdges) {
    EXPECT_EQ(GripHitTest(picture, 100, 50), gkTopLeft);
    EXPECT_EQ(GripHitTest(picture, 104, 54), gkTopLeft);
    EXPECT_EQ(GripHitTest(picture, 96, 204), gkBottomLeft);
    EXPECT_EQ(GripHitTest(picture, 303, 47), gkTopRight);
    EXPECT_EQ(GripHitTest(picture, 300, 200), gkBottomRight);
    // Five pixels away is no longer near.
    EXPECT_EQ(GripHitTest(picture, 105, 55), gkMove);
}

TEST_F(GripHitTestTest, EdgesAndTheInside) {
    EXPECT_EQ(GripHitTest(picture, 98, 120), gkLeft);
    EXPECT_EQ(GripHitTest(picture, 304, 120), gkRight);
    EXPECT_EQ(GripHitTest(picture, 200, 46), gkTop);
    EXPECT_EQ(GripHitTest(picture, 200, 204), gkBottom);
    EXPECT_EQ(GripHitTest(picture, 200, 120), gkMove);
    // Near the line of an edge but beyond the picture's ends: the edge rules still decide.
    EXPECT_EQ(GripHitTest(picture, 20, 52), gkTop);
    EXPECT_EQ(GripHitTest(picture, 98, 400), gkLeft);
    // Outside and near nothing.
    EXPECT_EQ(GripHitTest(picture, 20, 120), gkNone);
    EXPECT_EQ(GripHitTest(picture, 400, 20), gkNone);
}

TEST_F(GripHitTestTest, PermissionsSwitchGripsOff) {
    EXPECT_EQ(GripHitTest(picture, 200, 120, false, true), gkNone);
    EXPECT_EQ(GripHitTest(picture, 98, 120, false, true), gkLeft);
    EXPECT_EQ(GripHitTest(picture, 98, 120, true, false), gkNone);
    EXPECT_EQ(GripHitTest(picture, 100, 50, true, false), gkNone);
    EXPECT_EQ(GripHitTest(picture, 200, 120, true, false), gkMove);
}

class DragTest : public ::testing::Test {
protected:
    TRect Drag(TGripKind grip, int x, int y) const {
        return DragPictureRect(grip, sheet, picture, {}, picture, x, y);
    }
    TRect Move(TPoint from, int x, int y) const {
        return DragPictureRect(gkMove, sheet, picture, from, picture, x, y);
    }
    const TRect sheet{20, 10, 420, 290};
    const TRect picture{100, 50, 300, 200};
};

TEST_F(DragTest, EdgesMoveWithinSheetAndBeforeTheOppositeEdge) {
    EXPECT_EQ(Drag(gkLeft, 60, 999), (TRect{60, 50, 300, 200}));
    EXPECT_EQ(Drag(gkLeft, 20, 0), (TRect{20, 50, 300, 200}));
    EXPECT_EQ(Drag(gkLeft, 19, 0), picture);   // beyond the sheet
    EXPECT_EQ(Drag(gkLeft, 300, 0), picture);  // onto the right edge
    EXPECT_EQ(Drag(gkLeft, 299, 0), (TRect{299, 50, 300, 200}));
    EXPECT_EQ(Drag(gkRight, 420, 0), (TRect{100, 50, 420, 200}));
    EXPECT_EQ(Drag(gkRight, 421, 0), picture);
    EXPECT_EQ(Drag(gkRight, 100, 0), picture);
    EXPECT_EQ(Drag(gkTop, 0, 10), (TRect{100, 10, 300, 200}));
    EXPECT_EQ(Drag(gkTop, 0, 200), picture);
    EXPECT_EQ(Drag(gkBottom, 0, 290), (TRect{100, 50, 300, 290}));
    EXPECT_EQ(Drag(gkBottom, 0, 291), picture);
}

TEST_F(DragTest, CornersNeedBothConditions) {
    EXPECT_EQ(Drag(gkTopLeft, 40, 20), (TRect{40, 20, 300, 200}));
    EXPECT_EQ(Drag(gkTopLeft, 40, 5), picture);
    EXPECT_EQ(Drag(gkBottomRight, 400, 280), (TRect{100, 50, 400, 280}));
    EXPECT_EQ(Drag(gkBottomRight, 500, 280), picture);
    EXPECT_EQ(Drag(gkTopRight, 350, 30), (TRect{100, 30, 350, 200}));
    EXPECT_EQ(Drag(gkBottomLeft, 50, 250), (TRect{50, 50, 300, 250}));
}

TEST_F(DragTest, MoveShiftsTheRectangleFromWhereTheDragBegan) {
    EXPECT_EQ(Move({150, 100}, 170, 90), (TRect{120, 40, 320, 190}));
    // Far to the left: the left edge stops at the sheet and the size is kept.
    EXPECT_EQ(Move({150, 100}, 0, 100), (TRect{20, 50, 220, 200}));
    // Past the right or bottom edge: refused as a whole.
    EXPECT_EQ(Move({150, 100}, 271, 100), picture);
    EXPECT_EQ(Move({150, 100}, 150, 190), picture);
    EXPECT_EQ(Move({150, 100}, 269, 189), (TRect{219, 139, 419, 289}));
}

}  // namespace
}  // namespace quorvel
