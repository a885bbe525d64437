#include "image/ImageRotate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace zelmora::ImageRotate {

namespace {

// A picture read and written point by point, with "outside" reported rather
// than failing: reads outside give no colour, writes outside do nothing.
class PixelPlane {
public:
    explicit PixelPlane(QImage& image) : image_(image) {}
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    bool point(int x, int y, QRgb& colour) const {
        if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return false;
        colour = image_.pixel(x, y);
        return true;
    }
    void pset(int x, int y, QRgb colour) {
        if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
        image_.setPixel(x, y, colour);
    }

private:
    QImage& image_;
};

bool needsConversion(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
        case QImage::Format_Indexed8:
        case QImage::Format_Alpha8:
        case QImage::Format_Grayscale8:
        case QImage::Format_Grayscale16:
            return true;
        default:
            return false;
    }
}

QImage::Format colourFormat(const QImage& image) {
    return image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

}  // namespace

void RotatePicture(const QImage& source, QImage& destination, float angle) {
    if (needsConversion(destination))
        destination = destination.convertToFormat(colourFormat(destination));
    QImage src = needsConversion(source) ? source.convertToFormat(colourFormat(source)) : source;

    PixelPlane from(src);
    PixelPlane to(destination);
    // Half sizes in whole pixels, the remainder dropped.
    const int hw1 = from.width() / 2;
    const int hh1 = from.height() / 2;
    const int hw2 = to.width() / 2;
    const int hh2 = to.height() / 2;
    const int n = std::max(hw2, hh2) - 1;
    if (n < 0) return;

    const float quarterTurn = static_cast<float>(std::numbers::pi / 2.0);
    for (int X = 0; X <= n; ++X) {
        for (int Y = 0; Y <= n; ++Y) {
            const float theta = X == 0 ? quarterTurn
                                       : static_cast<float>(std::atan(static_cast<double>(Y) /
                                                                      static_cast<double>(X)));
            const std::int32_t r2 = X * X + Y * Y;
            const int r = static_cast<int>(std::nearbyint(std::sqrt(static_cast<double>(r2))));
            const float a = theta + angle;
            const int dx = static_cast<int>(std::nearbyint(r * std::cos(static_cast<double>(a))));
            const int dy = static_cast<int>(std::nearbyint(r * std::sin(static_cast<double>(a))));

            QRgb c1 = 0, c2 = 0, c3 = 0, c4 = 0;
            const bool has1 = from.point(hw1 + dx, hh1 + dy, c1);
            const bool has2 = from.point(hw1 - dx, hh1 - dy, c2);
            const bool has3 = from.point(hw1 + dy, hh1 - dx, c3);
            const bool has4 = from.point(hw1 - dy, hh1 + dx, c4);
            if (has1) to.pset(hw2 + X, hh2 + Y, c1);
            if (has2) to.pset(hw2 - X, hh2 - Y, c2);
            if (has3) to.pset(hw2 + Y, hh2 - X, c3);
            if (has4) to.pset(hw2 - Y, hh2 + X, c4);
        }
    }
}

}  // namespace zelmora::ImageRotate
