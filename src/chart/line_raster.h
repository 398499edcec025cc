#pragma once
// One-pixel lines as the classic device context draws them, worked out without any graphics library: the
// first end's pixel is drawn and the last end's never, whatever the direction (Bresenham's pixels, halves
// rounded away from the start); styled pens draw the dashes of their cosmetic pattern counted from the
// first pixel; and only the part that can be seen is walked, so an end far outside costs nothing. A
// canvas fills the runs of pixels it is given.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <span>

#include "chart/canvas.h"
#include "chart/geometry.h"

namespace quorvel {

// The dash pattern of a one-pixel pen of this style, in pixels: on, off, on, ...; empty for solid.
std::span<const int> CosmeticDashes(TPenStyle style);

// Which pixels of a one-pixel line its pen's dash pattern draws, counted from the line's first pixel.
class TDashSteps {
public:
    explicit TDashSteps(TPenStyle style);
    bool On(long long i) const;

private:
    std::span<const int> dashes_;
    long long period_ = 0;
};

// A line from a to b as steps along its major direction (the one it moves most along), the first end's
// pixel step 0 and the last end's not a step; ends anywhere in the int range, every difference in 64 bits.
struct TLineSteps {
    TLineSteps(TPoint a, TPoint b);

    bool XMajor = true;
    long long Count = 0;  // steps: the longer of the two extents
    long long Major = 0;  // the signed extents along and across
    long long Minor = 0;
    long long MajorStart = 0;
    long long MinorStart = 0;
    long long SignMajor() const { return Major < 0 ? -1 : 1; }
    long long SignMinor() const { return Minor < 0 ? -1 : 1; }
    // The steps whose major coordinate lies within visible (right and bottom excluded): first ... last,
    // none when first > last.
    void StepsWithin(const TRect& visible, long long& first, long long& last) const;
};

// Pixels of one row (a line mostly along x) or one column: Length of them from Lo along, at Across.
struct TPixelRun {
    int Lo = 0;
    int Length = 0;
    int Across = 0;
    friend bool operator==(const TPixelRun&, const TPixelRun&) = default;
};

// The pixels of the line from a (drawn) to b (not drawn) with the dashes of style, as far as they lie in
// visible (whose right and bottom edges are excluded).
class TLineRaster {
public:
    TLineRaster(TPoint a, TPoint b, TPenStyle style, const TRect& visible);

    // Whether the line runs mostly along x: its runs are rows, else columns.
    bool XMajor() const { return line_.XMajor; }
    // Calls run(const TPixelRun&) for each run of pixels that share a row (column), in drawing order.
    template <class Run>
    void ForEachRun(Run&& run) const;

private:
    // Bresenham's offset across the line at step i, halves rounded away from the start.
    long long Offset(long long i) const {
        const auto steps = static_cast<unsigned long long>(line_.Count);
        const unsigned long long p =
            static_cast<unsigned long long>(i) * static_cast<unsigned long long>(std::llabs(line_.Minor));
        const unsigned long long q = p / steps;
        const unsigned long long r = p % steps;
        return static_cast<long long>(q + (2 * r >= steps ? 1 : 0));
    }
    // The first step whose offset reaches k (the number of steps when none does).
    long long FirstReaching(long long k) const;

    TLineSteps line_;
    TDashSteps dash_;
    // The steps whose pixel can be visible; none when first_ > last_.
    long long first_ = 0;
    long long last_ = -1;
};

template <class Run>
void TLineRaster::ForEachRun(Run&& run) const {
    // Pixels in a row of equal offset form one run.
    long long runStart = -1;
    long long runMinor = 0;
    const auto flush = [&](long long end) {
        if (runStart < 0) {
            return;
        }
        const long long m0 = line_.MajorStart + line_.SignMajor() * runStart;
        const long long m1 = line_.MajorStart + line_.SignMajor() * (end - 1);
        run(TPixelRun{static_cast<int>(std::min(m0, m1)), static_cast<int>(std::llabs(m1 - m0) + 1),
                      static_cast<int>(line_.MinorStart + line_.SignMinor() * runMinor)});
        runStart = -1;
    };
    for (long long i = first_; i <= last_; ++i) {
        const long long m = Offset(i);
        if (!dash_.On(i)) {
            flush(i);
            continue;
        }
        if (runStart >= 0 && m != runMinor) {
            flush(i);
        }
        if (runStart < 0) {
            runStart = i;
            runMinor = m;
        }
    }
    flush(last_ + 1);
}

// One axis of a device whose pixels are finer than the logical ones: device = logical * Scale + Offset.
struct TDeviceAxis {
    double Scale = 1;
    double Offset = 0;
    // The first device pixel at or after the logical coordinate v: the edges of unsmoothed fills fall
    // there.
    long long Edge(double v) const { return static_cast<long long>(std::floor(v * Scale + Offset + 0.5)); }
    // The logical coordinate of device pixel edge d.
    double Logical(long long d) const { return (static_cast<double>(d) - Offset) / Scale; }
};

// Device pixels from Major0 to Major1 along the line's major direction and from Minor0 to Minor1 across it
// (the second ends excluded).
struct TDeviceRun {
    long long Major0 = 0;
    long long Major1 = 0;
    long long Minor0 = 0;
    long long Minor1 = 0;
    friend bool operator==(const TDeviceRun&, const TDeviceRun&) = default;
};

// A slanted one-pixel line on such a device, one logical pixel thick: the logical pixels that the line
// walks (first end drawn, last not, the pen's dashes counted from the first), each covered at the device's
// resolution across the line's exact course, as far as visible (logical) reaches.
class TDeviceLineRaster {
public:
    TDeviceLineRaster(TPoint a, TPoint b, TPenStyle style, TDeviceAxis x, TDeviceAxis y,
                      const TRect& visible);

    bool XMajor() const { return line_.XMajor; }
    // The device mappings along and across the line.
    const TDeviceAxis& Major() const { return major_; }
    const TDeviceAxis& Minor() const { return minor_; }
    // Calls run(const TDeviceRun&) for each band of device pixels that share their span across the line.
    template <class Run>
    void ForEachRun(Run&& run) const;

private:
    TLineSteps line_;
    TDashSteps dash_;
    TDeviceAxis major_;
    TDeviceAxis minor_;
    // How far the minor coordinate moves per logical pixel along the major axis (signed).
    double slope_ = 0;
    long long minorLo_ = 0;
    long long minorHi_ = 0;
    long long first_ = 0;
    long long last_ = -1;
};

template <class Run>
void TDeviceLineRaster::ForEachRun(Run&& run) const {
    // Device columns (rows, when steep) with the same band of device rows form one run.
    TDeviceRun current;
    bool inRun = false;
    const auto flush = [&] {
        if (inRun) {
            run(current);
            inRun = false;
        }
    };
    for (long long i = first_; i <= last_; ++i) {
        if (!dash_.On(i)) {
            flush();
            continue;
        }
        const long long m = line_.MajorStart + line_.SignMajor() * i;
        const long long c0 = major_.Edge(static_cast<double>(m));
        const long long c1 = major_.Edge(static_cast<double>(m) + 1);
        for (long long k = 0; k < c1 - c0; ++k) {
            // Backwards lines walk their device columns backwards too, so runs stay contiguous.
            const long long c = line_.SignMajor() > 0 ? c0 + k : c1 - 1 - k;
            // The line's minor coordinate at this device column's centre, and one logical pixel around it.
            const double along = (static_cast<double>(c) + 0.5 - major_.Offset) / major_.Scale -
                                 (static_cast<double>(line_.MajorStart) + 0.5);
            const double centre = static_cast<double>(line_.MinorStart) + 0.5 + along * slope_;
            const long long lo = std::max(minor_.Edge(centre - 0.5), minorLo_);
            const long long hi = std::min(minor_.Edge(centre + 0.5), minorHi_);
            if (lo >= hi) {
                flush();
                continue;
            }
            if (inRun && lo == current.Minor0 && hi == current.Minor1) {
                if (c == current.Major1) {
                    current.Major1 = c + 1;
                    continue;
                }
                if (c == current.Major0 - 1) {
                    current.Major0 = c;
                    continue;
                }
            }
            flush();
            current = TDeviceRun{c, c + 1, lo, hi};
            inRun = true;
        }
    }
    flush();
}

}  // namespace quorvel
