#pragma once
// Geometry of the preview sheet, free of any toolkit: where the paper lies in the page control, where the
// chart lies on the paper, which grip the mouse is over and how a drag moves the chart's edges.
#include "chart/geometry.h"
#include "chart/print_settings.h"

namespace quorvel {

// What the mouse is over on the preview sheet, or is dragging.
enum TGripKind {
    gkNone = 0,
    gkLeft = 1,
    gkTop = 2,
    gkRight = 3,
    gkBottom = 4,
    gkMove = 5,
    gkTopLeft = 6,
    gkTopRight = 7,
    gkBottomLeft = 8,
    gkBottomRight = 9,
};

// How near (in pixels) the mouse must be to an edge of the picture to grip it.
inline constexpr int kGripDistance = 4;

// The paper in a control of clientWidth x clientHeight for a printer page of pageWidth x pageHeight:
// 90 % of the control in the limiting direction, the page's aspect ratio, centred.
// The limiting direction is the page's longer side unless the other one would not fit.
TRect SheetLayout(int clientWidth, int clientHeight, int pageWidth, int pageHeight);

// The chart's rectangle on the sheet that the margins leave.
TRect PictureRectFromMargins(const TRect& sheet, const TPageMargins& margins);

// The margins that a chart rectangle on the sheet stands for.
TPageMargins MarginsFromPictureRect(const TRect& sheet, const TRect& picture);

// The grip at (x, y) against the picture rectangle.
TGripKind GripHitTest(const TRect& picture, int x, int y, bool allowMove = true, bool allowResize = true);

// The picture rectangle after the mouse went to (x, y) while dragging grip. startPoint and startPicture
// are the mouse point and the rectangle when a move began. An edge goes only where it stays on the sheet
// and before the opposite edge; a move that would leave the sheet is refused as a whole.
TRect DragPictureRect(TGripKind grip, const TRect& sheet, const TRect& picture, TPoint startPoint,
                      const TRect& startPicture, int x, int y);

}  // namespace quorvel
