#pragma once
// Pixel helpers shared by the canvas and chart tests.
#include <QImage>
#include <QRect>
#include <algorithm>
#include <climits>
#include <cmath>

#include "runtime/colors.h"

namespace quorvel::test {

inline QImage WhiteImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A white image of w x h logical pixels, ratio device pixels each, as a high-density screen has them.
inline QImage WhiteImage(int w, int h, qreal ratio) {
    QImage image(QSize(w, h) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    return image;
}

// The first device pixel of logical coordinate v at ratio: where Qt puts the edge of a fill.
inline int DeviceEdge(int v, qreal ratio) {
    return static_cast<int>(std::floor(v * ratio + 0.5));
}

// The pixel as a blue-green-red colour value.
inline TColor PixelColor(const QImage& image, int x, int y) {
    const QRgb p = image.pixel(x, y);
    return static_cast<TColor>(qRed(p)) | (static_cast<TColor>(qGreen(p)) << 8) |
           (static_cast<TColor>(qBlue(p)) << 16);
}

// The colour of logical pixel (x, y) of an image at its device pixel ratio (its first device pixel).
inline TColor LogicalPixel(const QImage& image, int x, int y) {
    const qreal ratio = image.devicePixelRatio();
    return PixelColor(image, DeviceEdge(x, ratio), DeviceEdge(y, ratio));
}

// How many aligned 2 x 2 blocks of device pixels inside area are not of one colour: detail finer
// than a logical pixel at ratio 2.
inline int MixedBlocks(const QImage& image, QRect area) {
    area = area.intersected(image.rect());
    int n = 0;
    for (int y = area.top() & ~1; y + 1 <= area.bottom(); y += 2) {
        for (int x = area.left() & ~1; x + 1 <= area.right(); x += 2) {
            const QRgb p = image.pixel(x, y);
            n += (image.pixel(x + 1, y) != p || image.pixel(x, y + 1) != p || image.pixel(x + 1, y + 1) != p)
                     ? 1
                     : 0;
        }
    }
    return n;
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
