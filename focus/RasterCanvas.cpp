#include "focus/RasterCanvas.h"

#include <cmath>
#include <cstdlib>

#include "shell/Conv.h"

namespace zelmora::focus {

RasterCanvas::RasterCanvas(int width, int height, QRgb background)
    : image_(width, height, QImage::Format_RGB32),
      background_(background),
      width_(image_.width()),
      height_(image_.height()),
      stride_(static_cast<int>(image_.bytesPerLine() / 4)) {
    Cls();
}

void RasterCanvas::Cls() {
    image_.fill(background_);
}

int RasterCanvas::toPixel(double v) {
    // Far outside any surface either way; keeps the line maths in range.
    constexpr double kLimit = 1 << 16;
    if (!(v >= -kLimit)) return std::isnan(v) ? 0 : static_cast<int>(-kLimit);
    if (v > kLimit) return static_cast<int>(kLimit);
    return static_cast<int>(Conv::roundHalfEven(v));
}

void RasterCanvas::PSet(int x, int y, QRgb colour) {
    put(pixels(), x, y, colour);
}

std::optional<QRgb> RasterCanvas::Point(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return std::nullopt;
    return reinterpret_cast<const QRgb*>(image_.constBits())[y * stride_ + x];
}

void RasterCanvas::plot(int x0, int y0, int x1, int y1, QRgb colour, bool dashed) {
    // Bresenham over all octants.
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    QRgb* px = pixels();
    for (int i = 0;; ++i) {
        if (!dashed || i % 7 < 4) put(px, x0, y0, colour);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void RasterCanvas::Line(double x0, double y0, double x1, double y1, QRgb colour) {
    plot(toPixel(x0), toPixel(y0), toPixel(x1), toPixel(y1), colour, false);
}

void RasterCanvas::DashedLine(double x0, double y0, double x1, double y1, QRgb colour) {
    plot(toPixel(x0), toPixel(y0), toPixel(x1), toPixel(y1), colour, true);
}

void RasterCanvas::Circle(double x, double y, QRgb colour) {
    const int cx = toPixel(x);
    const int cy = toPixel(y);
    QRgb* px = pixels();
    put(px, cx, cy - 1, colour);
    put(px, cx - 1, cy, colour);
    put(px, cx + 1, cy, colour);
    put(px, cx, cy + 1, colour);
}

}  // namespace zelmora::focus
