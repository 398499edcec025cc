#pragma once
// The chart's print settings and the arithmetic that turns them into a printed rectangle: page margins in
// percent of the page, the margins that keep the screen's aspect ratio, the page rectangle they leave and
// the logical drawing size the chart is laid out at before it is mapped onto that rectangle.
#include "chart/geometry.h"

namespace quorvel {

// Left and right in percent of the page width, top and bottom in percent of the page height.
struct TPageMargins {
    int Left = 15;
    int Top = 15;
    int Right = 15;
    int Bottom = 15;
    friend constexpr bool operator==(const TPageMargins&, const TPageMargins&) = default;
};

// What the layout needs to know of a printer page: its size in device pixels and its resolution.
struct TPrinterPageMetrics {
    int Width = 0;
    int Height = 0;
    int DpiX = 0;
    int DpiY = 0;
};

// Print settings a chart keeps between previews.
struct TChartPrintSettings {
    TPageMargins PageMargins;
    // The margins are recomputed so that the printed chart keeps its on-screen aspect ratio.
    bool PrintProportional = true;
    // Percent, -100..0 in the preview: negative values enlarge the logical drawing size, so text and
    // lines come out smaller and finer on paper.
    int PrintDetail = 0;
};

// The margin, in percent, that gives the page's S2 direction the extent 60 % of S1 would give with the
// chart's ratio (short side / long side), centred: Round(100 (S2 - 0.6 S1 ratio dpiX/dpiY) / S2) / 2.
int CalcPrintMargin(int s1, int s2, double ratio, int dpiX, int dpiY);

// Margins that print a chart of the given client size with its screen aspect ratio: 15 % along the
// chart's longer side, centred along the shorter one. The defaults when the chart or page has no size.
TPageMargins ProportionalMargins(int chartWidth, int chartHeight, const TPrinterPageMetrics& page);

// The page rectangle the margins leave, in device pixels. With PrintProportional the margins are first
// replaced by ProportionalMargins (and stay so in settings).
TRect PagePrintRect(TChartPrintSettings& settings, int chartWidth, int chartHeight,
                    const TPrinterPageMetrics& page);

// The logical size the chart is laid out at for a device rectangle, and that rectangle in logical units.
struct TLogicalExtent {
    int Width = 0;
    int Height = 0;
    TRect Scaled;
};

// rect: the device rectangle; natural: the chart's client area; printDetail as in TChartPrintSettings.
TLogicalExtent LogicalExtent(const TRect& rect, const TRect& natural, int printDetail);

// r with Left <= Right and Top <= Bottom.
TRect NormalisedRect(const TRect& r);

}  // namespace quorvel
