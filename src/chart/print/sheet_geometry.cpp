#include "chart/print/sheet_geometry.h"

#include <algorithm>
#include <cstdlib>

namespace quorvel {

namespace {

int PercentOf(int size, int percent) {
    return RoundToInt(static_cast<double>(size) * percent / 100.0);
}

}  // namespace

TRect SheetLayout(int clientWidth, int clientHeight, int pageWidth, int pageHeight) {
    const int cw = clientWidth;
    const int ch = clientHeight;
    const int usableWidth = cw - PercentOf(cw, 10);
    const int usableHeight = ch - PercentOf(ch, 10);
    // The page's orientation says which direction limits the sheet; where the other direction would then
    // not fit the control with the sheet's shadow (a landscape page in a squarish control), that one
    // limits it instead, so the whole sheet stays in view.
    constexpr int kShadow = 5;
    bool heightLimits = pageWidth < pageHeight;
    if (heightLimits && pageHeight > 0 && MulDiv(usableHeight, pageWidth, pageHeight) + kShadow > cw) {
        heightLimits = false;
    } else if (!heightLimits && pageWidth > 0 && MulDiv(usableWidth, pageHeight, pageWidth) + kShadow > ch) {
        heightLimits = true;
    }
    TRect sheet;
    if (heightLimits) {
        const int width = pageHeight <= 0 ? cw : MulDiv(usableHeight, pageWidth, pageHeight);
        sheet.Left = (cw - width) / 2;
        sheet.Right = sheet.Left + width;
        sheet.Top = PercentOf(ch, 5);
        sheet.Bottom = sheet.Top + usableHeight;
    } else {
        const int height = pageWidth <= 0 ? ch : MulDiv(usableWidth, pageHeight, pageWidth);
        sheet.Top = (ch - height) / 2;
        sheet.Bottom = sheet.Top + height;
        sheet.Left = PercentOf(cw, 5);
        sheet.Right = sheet.Left + usableWidth;
    }
    return sheet;
}

TRect PictureRectFromMargins(const TRect& sheet, const TPageMargins& m) {
    const int sw = sheet.Width();
    const int sh = sheet.Height();
    return TRect{sheet.Left + MulDiv(m.Left, sw, 100), sheet.Top + MulDiv(m.Top, sh, 100),
                 sheet.Right - MulDiv(m.Right, sw, 100), sheet.Bottom - MulDiv(m.Bottom, sh, 100)};
}

TPageMargins MarginsFromPictureRect(const TRect& sheet, const TRect& picture) {
    const int sw = sheet.Width();
    const int sh = sheet.Height();
    if (sw <= 0 || sh <= 0) {
        return TPageMargins{0, 0, 0, 0};
    }
    return TPageMargins{MulDiv(picture.Left - sheet.Left, 100, sw), MulDiv(picture.Top - sheet.Top, 100, sh),
                        MulDiv(sheet.Right - picture.Right, 100, sw),
                        MulDiv(sheet.Bottom - picture.Bottom, 100, sh)};
}

TGripKind GripHitTest(const TRect& picture, int x, int y, bool allowMove, bool allowResize) {
    const bool nearL = std::abs(x - picture.Left) <= kGripDistance;
    const bool nearR = std::abs(x - picture.Right) <= kGripDistance;
    const bool nearT = std::abs(y - picture.Top) <= kGripDistance;
    const bool nearB = std::abs(y - picture.Bottom) <= kGripDistance;
    TGripKind grip;
    if (nearL && nearT) {
        grip = gkTopLeft;
    } else if (nearL && nearB) {
        grip = gkBottomLeft;
    } else if (nearR && nearT) {
        grip = gkTopRight;
    } else if (nearR && nearB) {
        grip = gkBottomRight;
    } else if (nearL) {
        grip = gkLeft;
    } else if (nearR) {
        grip = gkRight;
    } else if (!nearT && !nearB) {
        return (picture.Contains(x, y) && allowMove) ? gkMove : gkNone;
    } else {
        grip = nearT ? gkTop : gkBottom;
    }
    return allowResize ? grip : gkNone;
}

TRect DragPictureRect(TGripKind grip, const TRect& sheet, const TRect& picture, TPoint startPoint,
                      const TRect& startPicture, int x, int y) {
    const bool leftOk = sheet.Left <= x && x < picture.Right;
    const bool topOk = sheet.Top <= y && y < picture.Bottom;
    const bool rightOk = picture.Left < x && x <= sheet.Right;
    const bool bottomOk = picture.Top < y && y <= sheet.Bottom;
    TRect r = picture;
    const auto corner = [&](bool horizontalOk, int& horizontal, bool verticalOk, int& vertical) {
        if (horizontalOk && verticalOk) {
            horizontal = x;
            vertical = y;
        }
    };
    switch (grip) {
        case gkLeft:
            if (leftOk) {
                r.Left = x;
            }
            break;
        case gkTop:
            if (topOk) {
                r.Top = y;
            }
            break;
        case gkRight:
            if (rightOk) {
                r.Right = x;
            }
            break;
        case gkBottom:
            if (bottomOk) {
                r.Bottom = y;
            }
            break;
        case gkTopLeft:
            corner(leftOk, r.Left, topOk, r.Top);
            break;
        case gkTopRight:
            corner(rightOk, r.Right, topOk, r.Top);
            break;
        case gkBottomLeft:
            corner(leftOk, r.Left, bottomOk, r.Bottom);
            break;
        case gkBottomRight:
            corner(rightOk, r.Right, bottomOk, r.Bottom);
            break;
        case gkMove: {
            TRect moved;
            moved.Left = std::max(sheet.Left, startPicture.Left + (x - startPoint.X));
            moved.Top = std::max(sheet.Top, startPicture.Top + (y - startPoint.Y));
            moved.Right = std::min(sheet.Right, startPicture.Right + (moved.Left - startPicture.Left));
            moved.Bottom = std::min(sheet.Bottom, startPicture.Bottom + (moved.Top - startPicture.Top));
            if (sheet.Contains(moved.Left, moved.Top) && sheet.Contains(moved.Right, moved.Bottom)) {
                r = moved;
            }
            break;
        }
        case gkNone:
            break;
    }
    return r;
}

}  // namespace quorvel
