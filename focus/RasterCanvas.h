#pragma once

#include <QImage>
#include <cstdint>
#include <optional>

// A drawing surface whose pixels are exact: the focus figures are read back
// from what is drawn, so nothing here blends or antialiases. Coordinates are
// pixel units with (0, 0) at the top-left; each is turned into a pixel by
// rounding halves to even, and whatever falls outside the surface is dropped.
namespace zelmora::focus {

class RasterCanvas {
public:
    RasterCanvas(int width, int height, QRgb background = 0xFF000000u);

    // The usable drawing size (the box's inner size).
    int ScaleWidth() const { return image_.width(); }
    int ScaleHeight() const { return image_.height(); }

    void Cls();
    // A solid line from (x0, y0) to (x1, y1), both ends included.
    void Line(double x0, double y0, double x1, double y1, QRgb colour);
    // The same, dashed: 4 pixels drawn, 3 left out, counted from the first end.
    void DashedLine(double x0, double y0, double x1, double y1, QRgb colour);
    // The radius-1 circle: the four pixels next to the centre (not the centre).
    void Circle(double x, double y, QRgb colour);
    void PSet(int x, int y, QRgb colour);
    // The colour of one pixel; no value outside the surface.
    std::optional<QRgb> Point(int x, int y) const;

    // The pixel a coordinate falls on (halves to even, limited to the int range).
    static int toPixel(double v);

    const QImage& image() const { return image_; }

private:
    void plot(int x0, int y0, int x1, int y1, QRgb colour, bool dashed);
    // The pixels, unshared, for one drawing call (a copy someone holds of
    // image() keeps what it had).
    QRgb* pixels() { return reinterpret_cast<QRgb*>(image_.bits()); }
    void put(QRgb* px, int x, int y, QRgb colour) const {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) px[y * stride_ + x] = colour;
    }

    QImage image_;
    QRgb background_;
    int width_;
    int height_;
    int stride_;  // pixels per line
};

// Colours as the figures are drawn (red, green, blue).
inline constexpr QRgb rgb(int r, int g, int b) {
    return 0xFF000000u | (static_cast<QRgb>(r) << 16) | (static_cast<QRgb>(g) << 8) |
           static_cast<QRgb>(b);
}

}  // namespace zelmora::focus
