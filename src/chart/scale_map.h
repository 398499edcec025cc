#pragma once
// One axis' value <-> pixel mapping as a plain value: a value range laid onto a pixel range. The layout
// makes one per axis for each rendering; drawing, hit testing, zoom and scroll take it from there, and a
// test can make one without laying out a chart.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "chart/geometry.h"

namespace quorvel {

// The pixel that stands for any value far beyond the plot, on the value's side. Far enough that no
// plot reaches it, near enough that differences of two pixels stay within 32 bits.
inline constexpr int kFarPixel = 1 << 30;

struct TScaleMap {
    double RangeMin = 0;
    double RangeMax = 0;
    int StartPixel = 0;
    int EndPixel = 0;
    // Values grow rightwards on a horizontal scale and upwards on a vertical one, unless inverted.
    bool Horizontal = true;
    bool Inverted = false;

    double RangeSpan() const { return RangeMax - RangeMin; }
    int PixelSpan() const { return EndPixel - StartPixel; }
    int CenterPixel() const { return (StartPixel + EndPixel) / 2; }

    // The pixel of a value, kept within +-kFarPixel; an empty range maps everything to its centre.
    int ToPixel(double value) const {
        const double span = RangeSpan();
        if (span == 0) {
            return CenterPixel();
        }
        return PixelOnScale(value, RangeMin, span, PixelSpan(), Horizontal != Inverted, StartPixel, EndPixel);
    }
    // ToPixel of n values, into pixels.
    void ToPixels(const double* values, std::size_t n, int* pixels) const {
        const double span = RangeSpan();
        if (span == 0) {
            std::fill(pixels, pixels + n, CenterPixel());
            return;
        }
        // Locals, so that the stores into pixels cannot be taken to change the scale.
        const double rangeMin = RangeMin;
        const int pixelSpan = PixelSpan();
        const bool fromStart = Horizontal != Inverted;
        const int startPixel = StartPixel;
        const int endPixel = EndPixel;
        for (std::size_t k = 0; k < n; ++k) {
            pixels[k] = PixelOnScale(values[k], rangeMin, span, pixelSpan, fromStart, startPixel, endPixel);
        }
    }
    // The same mapping before rounding and without the limit (for clipping lines in real numbers).
    double ToPixelUnrounded(double value) const {
        const double span = RangeSpan();
        if (span == 0) {
            return CenterPixel();
        }
        const double t = (value - RangeMin) * PixelSpan() / span;
        return Horizontal != Inverted ? StartPixel + t : EndPixel - t;
    }
    // The value under a pixel; 0 on a scale without pixels.
    double ToValue(int pixel) const {
        const int pixelSpan = PixelSpan();
        if (pixelSpan < 1) {
            return 0;
        }
        const double d =
            static_cast<double>(Inverted ? EndPixel - pixel : pixel - StartPixel) * RangeSpan() / pixelSpan;
        return Horizontal ? RangeMin + d : RangeMax - d;
    }

    bool operator==(const TScaleMap&) const = default;

private:
    static int PixelOnScale(double value, double rangeMin, double rangeSpan, int pixelSpan, bool fromStart,
                            int startPixel, int endPixel) {
        const double t = (value - rangeMin) * pixelSpan / rangeSpan;
        if (std::isnan(t)) {
            return kFarPixel;
        }
        // A far-off value stays on its own side, far beyond any plot: it is neither drawn nor hit, and a
        // line towards it leaves the plot in its direction.
        const long long rt = RoundHalfEven(std::clamp(t, -2.0 * kFarPixel, 2.0 * kFarPixel));
        const long long p = fromStart ? startPixel + rt : endPixel - rt;
        return static_cast<int>(std::clamp<long long>(p, -kFarPixel, kFarPixel));
    }
};

}  // namespace quorvel
