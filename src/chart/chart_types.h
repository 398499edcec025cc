#pragma once
// Small value types shared by the chart classes: mouse input as plain values, hit-test parts, axis choices.
#include "runtime/colors.h"

namespace quorvel {

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Shift state flags, or-ed together.
enum TShiftFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64,
};
using TShiftState = unsigned;

// The chart draws no legend, so no part of it is ever clicked.
enum TChartClickedPartStyle { cpNone, cpAxis, cpSeries, cpTitle, cpFoot, cpChartRect };

enum THorizAxis { aTopAxis, aBottomAxis, aBothHorizAxis };
enum TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis };

enum class TPanningMode { None, Horizontal, Vertical, Both };

// What one rendering draws onto: the window (or its off-screen buffer), a bitmap copy of it, a picture
// (a file or the clipboard), or a printer's page (and the preview's picture of it).
enum class TRenderTarget { Screen, Bitmap, Picture, Printer };

// Pixel margins a series asks of the axes.
struct TSeriesMargins {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// The framework's button colours used by the panel's bevels and background.
inline constexpr TColor clBtnFace = 0xF0F0F0;
inline constexpr TColor clBtnHighlight = 0xFFFFFF;
inline constexpr TColor clBtnShadow = 0xA0A0A0;

}  // namespace quorvel
