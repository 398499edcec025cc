#pragma once
// Pixel geometry shared by the chart engine and its canvases.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quorvel {

struct TPoint {
    int X = 0;
    int Y = 0;
    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// A pixel position in real numbers: (3, 4) is the same place as TPoint{3, 4}, fractions lie between.
struct TPointF {
    double X = 0;
    double Y = 0;
};

// Right and Bottom are excluded: a rectangle covers columns Left..Right-1 and rows Top..Bottom-1.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    // A pixel inside the covered area.
    constexpr bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    constexpr bool Contains(TPoint p) const { return Contains(p.X, p.Y); }
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

inline constexpr TRect MakeRect(int left, int top, int right, int bottom) {
    return TRect{left, top, right, bottom};
}

// The overlap of a and b; false (and out untouched) when they do not overlap.
inline bool IntersectRect(TRect& out, const TRect& a, const TRect& b) {
    TRect r{a.Left > b.Left ? a.Left : b.Left, a.Top > b.Top ? a.Top : b.Top,
            a.Right < b.Right ? a.Right : b.Right, a.Bottom < b.Bottom ? a.Bottom : b.Bottom};
    if (r.IsEmpty()) {
        return false;
    }
    out = r;
    return true;
}

// a * b / c rounded to the nearest integer, halves away from zero; -1 when c is 0.
inline int MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    std::int64_t num = static_cast<std::int64_t>(a) * b;
    std::int64_t den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const std::int64_t absNum = num < 0 ? -num : num;
    // A remainder of exactly half goes away from zero.
    const std::int64_t rounded = (2 * (absNum % den) >= den) ? absNum / den + 1 : absNum / den;
    return static_cast<int>(num < 0 ? -rounded : rounded);
}

// A line segment in real pixel coordinates, from (X0, Y0) to (X1, Y1).
struct TSegmentF {
    double X0 = 0;
    double Y0 = 0;
    double X1 = 0;
    double Y1 = 0;
};

// Cuts s in place to its part inside left <= x <= right, top <= y <= bottom, keeping its direction
// (Liang-Barsky); false when no part lies inside or an end is not finite.
inline bool ClipSegment(TSegmentF& s, double left, double top, double right, double bottom) {
    const double dx = s.X1 - s.X0;
    const double dy = s.Y1 - s.Y0;
    if (!(std::isfinite(dx) && std::isfinite(dy))) {
        return false;
    }
    double t0 = 0;
    double t1 = 1;
    const auto cut = [&](double p, double q) {
        if (p == 0) {
            return q >= 0;
        }
        const double r = q / p;
        if (p < 0) {
            t0 = std::max(t0, r);
        } else {
            t1 = std::min(t1, r);
        }
        return t0 <= t1;
    };
    if (!cut(-dx, s.X0 - left) || !cut(dx, right - s.X0) || !cut(-dy, s.Y0 - top) ||
        !cut(dy, bottom - s.Y0)) {
        return false;
    }
    s = TSegmentF{s.X0 + t0 * dx, s.Y0 + t0 * dy, s.X0 + t1 * dx, s.Y0 + t1 * dy};
    return true;
}

// Float-to-pixel rounding: to nearest, halves to even.
inline long long RoundHalfEven(double v) {
#if defined(__x86_64__)
    // llrint's own instruction, without the call into the maths library: a million points per paint.
    return _mm_cvtsd_si64(_mm_set_sd(v));
#else
    return std::llrint(v);
#endif
}

inline int RoundToInt(double v) {
    return static_cast<int>(std::llrint(v));
}

}  // namespace quorvel
