#pragma once
// Pixel helpers shared by the canvas and chart tests.
#include <QImage>
#include <QRect>
#include <algorithm>
#include <climits>

#include "runtime/colors.h"

namespace quorvel::test {

inline QImage WhiteImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// The pixel as a blue-green-red colour value.
inline TColor PixelColor(const QImage& image, int x, int y) {
    const QRgb p = image.pixel(x, y);
    return static_cast<TColor>(qRed(p)) | (static_cast<TColor>(qGreen(p)) << 8) |
           (static_cast<TColor>(qBlue(p)) << 16);
}

inline bool IsWhite(const QImage& image, int x, int y) {
    return PixelColor(image, x, y) == clWhite;
}

// Bounding box of the pixels that differ from white inside area (empty when none do).
inline QRect InkBox(const QImage& image, QRect area) {
    area = area.intersected(image.rect());
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!IsWhite(image, x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return left == INT_MAX ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

inline int CountColor(const QImage& image, TColor color, QRect area) {
    area = area.intersected(image.rect());
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += PixelColor(image, x, y) == color ? 1 : 0;
        }
    }
    return n;
}

}  // namespace quorvel::test
