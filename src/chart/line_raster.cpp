#include "chart/line_raster.h"

#include <array>

namespace quorvel {

std::span<const int> CosmeticDashes(TPenStyle style) {
    static constexpr std::array<int, 2> kDash{18, 6};
    static constexpr std::array<int, 2> kDot{3, 3};
    static constexpr std::array<int, 4> kDashDot{9, 6, 3, 6};
    static constexpr std::array<int, 6> kDashDotDot{9, 3, 3, 3, 3, 3};
    switch (style) {
        case TPenStyle::Dash:
            return kDash;
        case TPenStyle::Dot:
            return kDot;
        case TPenStyle::DashDot:
            return kDashDot;
        case TPenStyle::DashDotDot:
            return kDashDotDot;
        default:
            return {};
    }
}

TDashSteps::TDashSteps(TPenStyle style) : dashes_(CosmeticDashes(style)) {
    for (const int d : dashes_) {
        period_ += d;
    }
}

bool TDashSteps::On(long long i) const {
    if (period_ == 0) {
        return true;
    }
    long long k = i % period_;
    for (std::size_t j = 0; j < dashes_.size(); ++j) {
        k -= dashes_[j];
        if (k < 0) {
            return j % 2 == 0;
        }
    }
    return false;
}

TLineSteps::TLineSteps(TPoint a, TPoint b) {
    const long long dx = static_cast<long long>(b.X) - a.X;
    const long long dy = static_cast<long long>(b.Y) - a.Y;
    XMajor = std::llabs(dx) >= std::llabs(dy);
    Count = std::max(std::llabs(dx), std::llabs(dy));
    Major = XMajor ? dx : dy;
    Minor = XMajor ? dy : dx;
    MajorStart = XMajor ? a.X : a.Y;
    MinorStart = XMajor ? a.Y : a.X;
}

void TLineSteps::StepsWithin(const TRect& visible, long long& first, long long& last) const {
    const long long lo = XMajor ? visible.Left : visible.Top;
    const long long hi = (XMajor ? visible.Right : visible.Bottom) - 1;
    first = std::max(SignMajor() > 0 ? lo - MajorStart : MajorStart - hi, 0LL);
    last = std::min(SignMajor() > 0 ? hi - MajorStart : MajorStart - lo, Count - 1);
}

TLineRaster::TLineRaster(TPoint a, TPoint b, TPenStyle style, const TRect& visible)
    : line_(a, b), dash_(style) {
    if (line_.Count == 0) {
        return;
    }
    // Both coordinates move monotonically with the step, so the steps whose pixel can be visible form
    // one interval: those within the visible extent along the line, then across it.
    line_.StepsWithin(visible, first_, last_);
    const bool x = line_.XMajor;
    const long long minorLo = x ? visible.Top : visible.Left;
    const long long minorHi = (x ? visible.Bottom : visible.Right) - 1;
    const long long offsetLo =
        line_.SignMinor() > 0 ? minorLo - line_.MinorStart : line_.MinorStart - minorHi;
    const long long offsetHi =
        line_.SignMinor() > 0 ? minorHi - line_.MinorStart : line_.MinorStart - minorLo;
    first_ = std::max(first_, FirstReaching(offsetLo));
    last_ = std::min(last_, FirstReaching(offsetHi + 1) - 1);
}

long long TLineRaster::FirstReaching(long long k) const {
    long long lo = 0;
    long long hi = line_.Count;
    while (lo < hi) {
        const long long mid = lo + (hi - lo) / 2;
        if (Offset(mid) >= k) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

TDeviceLineRaster::TDeviceLineRaster(TPoint a, TPoint b, TPenStyle style, TDeviceAxis x, TDeviceAxis y,
                                     const TRect& visible)
    : line_(a, b), dash_(style), major_(line_.XMajor ? x : y), minor_(line_.XMajor ? y : x) {
    if (line_.Count == 0) {
        return;
    }
    slope_ = static_cast<double>(line_.Minor) / static_cast<double>(line_.Major);
    // As for whole pixels, only the logical steps that can be visible are walked.
    line_.StepsWithin(visible, first_, last_);
    minorLo_ = minor_.Edge(line_.XMajor ? visible.Top : visible.Left);
    minorHi_ = minor_.Edge(line_.XMajor ? visible.Bottom : visible.Right);
}

}  // namespace quorvel
