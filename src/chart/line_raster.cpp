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

TLineRaster::TLineRaster(TPoint a, TPoint b, TPenStyle style, const TRect& visible) : dash_(style) {
    // Ends may lie anywhere in the int range, so every difference is taken in 64 bits.
    const long long dx = static_cast<long long>(b.X) - a.X;
    const long long dy = static_cast<long long>(b.Y) - a.Y;
    xMajor_ = std::llabs(dx) >= std::llabs(dy);
    const long long n = std::max(std::llabs(dx), std::llabs(dy));
    if (n == 0) {
        return;
    }
    const long long major = xMajor_ ? dx : dy;
    const long long minor = xMajor_ ? dy : dx;
    sMajor_ = major < 0 ? -1 : 1;
    sMinor_ = minor < 0 ? -1 : 1;
    absMinor_ = static_cast<unsigned long long>(std::llabs(minor));
    steps_ = static_cast<unsigned long long>(n);
    majorStart_ = xMajor_ ? a.X : a.Y;
    minorStart_ = xMajor_ ? a.Y : a.X;
    // Both coordinates move monotonically with the step, so the steps whose pixel can be visible form
    // one interval, found in 64-bit arithmetic from the line's own ends.
    const long long majorLo = xMajor_ ? visible.Left : visible.Top;
    const long long majorHi = (xMajor_ ? visible.Right : visible.Bottom) - 1;
    const long long minorLo = xMajor_ ? visible.Top : visible.Left;
    const long long minorHi = (xMajor_ ? visible.Bottom : visible.Right) - 1;
    first_ = std::max(sMajor_ > 0 ? majorLo - majorStart_ : majorStart_ - majorHi, 0LL);
    last_ = std::min(sMajor_ > 0 ? majorHi - majorStart_ : majorStart_ - majorLo, n - 1);
    const long long offsetLo = sMinor_ > 0 ? minorLo - minorStart_ : minorStart_ - minorHi;
    const long long offsetHi = sMinor_ > 0 ? minorHi - minorStart_ : minorStart_ - minorLo;
    first_ = std::max(first_, FirstReaching(offsetLo));
    last_ = std::min(last_, FirstReaching(offsetHi + 1) - 1);
}

long long TLineRaster::FirstReaching(long long k) const {
    long long lo = 0;
    auto hi = static_cast<long long>(steps_);
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
    : dash_(style) {
    const long long dx = static_cast<long long>(b.X) - a.X;
    const long long dy = static_cast<long long>(b.Y) - a.Y;
    xMajor_ = std::llabs(dx) >= std::llabs(dy);
    const long long n = std::max(std::llabs(dx), std::llabs(dy));
    if (n == 0) {
        return;
    }
    const long long major = xMajor_ ? dx : dy;
    sMajor_ = major < 0 ? -1 : 1;
    majorStart_ = xMajor_ ? a.X : a.Y;
    minorStart_ = xMajor_ ? a.Y : a.X;
    major_ = xMajor_ ? x : y;
    minor_ = xMajor_ ? y : x;
    slope_ = static_cast<double>(xMajor_ ? dy : dx) / static_cast<double>(major);
    // As for whole pixels, only the logical steps that can be visible are walked.
    const long long majorLo = xMajor_ ? visible.Left : visible.Top;
    const long long majorHi = (xMajor_ ? visible.Right : visible.Bottom) - 1;
    minorLo_ = minor_.Edge(xMajor_ ? visible.Top : visible.Left);
    minorHi_ = minor_.Edge(xMajor_ ? visible.Bottom : visible.Right);
    first_ = std::max(sMajor_ > 0 ? majorLo - majorStart_ : majorStart_ - majorHi, 0LL);
    last_ = std::min(sMajor_ > 0 ? majorHi - majorStart_ : majorStart_ - majorLo, n - 1);
}

}  // namespace quorvel
