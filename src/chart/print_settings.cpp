#include "chart/print_settings.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quorvel {

int CalcPrintMargin(int s1, int s2, double ratio, int dpiX, int dpiY) {
    const double S1 = s1;
    const double S2 = s2;
    const double resolutionRatio = static_cast<double>(dpiX) / static_cast<double>(dpiY);
    const double value = 100.0 * (S2 - (S1 - 0.4 * S1) * ratio * resolutionRatio) / S2;
    const int m = RoundToInt(value) / 2;
    // A printer with a very uneven resolution could ask for more than the page; keep opposite margins
    // below 100 % together and never negative.
    return std::clamp(m, 0, 49);
}

TPageMargins ProportionalMargins(int chartWidth, int chartHeight, const TPrinterPageMetrics& page) {
    TPageMargins result;
    if (chartWidth <= 0 || chartHeight <= 0 || page.Width <= 0 || page.Height <= 0 || page.DpiX <= 0 ||
        page.DpiY <= 0) {
        return result;
    }
    const double w = chartWidth;
    const double h = chartHeight;
    if (chartHeight < chartWidth) {
        const int m = CalcPrintMargin(page.Width, page.Height, h / w, page.DpiX, page.DpiY);
        result.Top = m;
        result.Bottom = m;
    } else {
        const int m = CalcPrintMargin(page.Height, page.Width, w / h, page.DpiX, page.DpiY);
        result.Left = m;
        result.Right = m;
    }
    return result;
}

TRect PagePrintRect(TChartPrintSettings& settings, int chartWidth, int chartHeight,
                    const TPrinterPageMetrics& page) {
    if (settings.PrintProportional) {
        settings.PageMargins = ProportionalMargins(chartWidth, chartHeight, page);
    }
    const TPageMargins& m = settings.PageMargins;
    const double pw = page.Width;
    const double ph = page.Height;
    TRect r;
    r.Left = RoundToInt(m.Left * pw / 100.0);
    r.Right = page.Width - RoundToInt(m.Right * pw / 100.0);
    r.Top = RoundToInt(m.Top * ph / 100.0);
    r.Bottom = page.Height - RoundToInt(m.Bottom * ph / 100.0);
    return r;
}

TLogicalExtent LogicalExtent(const TRect& rect, const TRect& natural, int printDetail) {
    TLogicalExtent e;
    const int nw = natural.Width();
    const int nh = natural.Height();
    e.Width = nw - MulDiv(nw, printDetail, 100);
    e.Height = nh - MulDiv(nh, printDetail, 100);
    const int vw = rect.Width();
    const int vh = rect.Height();
    e.Scaled.Left = MulDiv(rect.Left, e.Width, vw);
    e.Scaled.Right = MulDiv(rect.Right, e.Width, vw);
    e.Scaled.Top = MulDiv(rect.Top, e.Height, vh);
    e.Scaled.Bottom = MulDiv(rect.Bottom, e.Height, vh);
    return e;
}

TRect NormalisedRect(const TRect& r) {
    TRect n = r;
    if (n.Left > n.Right) {
        std::swap(n.Left, n.Right);
    }
    if (n.Top > n.Bottom) {
        std::swap(n.Top, n.Bottom);
    }
    return n;
}

}  // namespace quorvel
