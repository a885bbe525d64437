#include "shell/NightColours.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "shell/ProgramState.h"

namespace zelmora::NightColours {

namespace {

// sRGB values to linear light and back, as relative luminance is defined.
const std::array<double, 256>& linear() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t{};
        for (int v = 0; v < 256; ++v) {
            const double s = v / 255.0;
            t[static_cast<size_t>(v)] =
                s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        }
        return t;
    }();
    return table;
}

constexpr int kSteps = 4096;

// The sRGB value of a luminance, in kSteps steps.
const std::array<unsigned char, kSteps + 1>& encoded() {
    static const std::array<unsigned char, kSteps + 1> table = [] {
        std::array<unsigned char, kSteps + 1> t{};
        for (int i = 0; i <= kSteps; ++i) {
            const double l = double(i) / kSteps;
            const double s = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            t[static_cast<size_t>(i)] = static_cast<unsigned char>(std::lround(s * 255));
        }
        return t;
    }();
    return table;
}

double luminance(int r, int g, int b) {
    const auto& lin = linear();
    return 0.2126 * lin[static_cast<size_t>(r)] + 0.7152 * lin[static_cast<size_t>(g)] +
           0.0722 * lin[static_cast<size_t>(b)];
}

// The brightest red of the night table, 255,43,43, carries this much of each.
constexpr int kMostGreenBlue = 43;

bool keeps(int r, int g, int b) {
    return g <= kMostGreenBlue && b <= kMostGreenBlue && r >= std::max(g, b);
}

// A red as light as the colour, or as its own red where that is brighter (a
// pale red stays bright).
QRgb red(QRgb p) {
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    const double l = std::clamp(luminance(r, g, b), 0.0, 1.0);
    const int light = encoded()[static_cast<size_t>(std::lround(l * kSteps))];
    return qRgba(std::max(r, light), 0, 0, qAlpha(p));
}

// The same, unless the colour keeps the eyes dark-adapted already.
QRgb marked(QRgb p) {
    return keeps(qRed(p), qGreen(p), qBlue(p)) ? p : red(p);
}

template <typename Map>
QImage eachPixel(const QImage& image, Map map) {
    QImage shown = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                 : QImage::Format_RGB32);
    for (int y = 0; y < shown.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x) line[x] = map(line[x]);
    }
    return shown;
}

}  // namespace

bool on() {
    return state().bNightVision;
}

void setOn(bool night) {
    state().bNightVision = night;
}

bool darkAdapted(const QColor& c) {
    const QColor rgb = c.toRgb();
    return keeps(rgb.red(), rgb.green(), rgb.blue());
}

double contrast(const QColor& a, const QColor& b) {
    const QColor x = a.toRgb(), y = b.toRgb();
    const double lx = luminance(x.red(), x.green(), x.blue());
    const double ly = luminance(y.red(), y.green(), y.blue());
    return (std::max(lx, ly) + 0.05) / (std::min(lx, ly) + 0.05);
}

QColor mark(const QColor& chosen) {
    if (!on() || !chosen.isValid()) return chosen;
    return QColor::fromRgba(marked(chosen.rgba()));
}

QImage picture(const QImage& image) {
    if (!on() || image.isNull()) return image;
    return eachPixel(image, red);
}

QImage marks(const QImage& image) {
    if (!on() || image.isNull()) return image;
    return eachPixel(image, marked);
}

QPixmap picture(const QPixmap& pixmap) {
    if (!on() || pixmap.isNull()) return pixmap;
    QPixmap shown = QPixmap::fromImage(picture(pixmap.toImage()));
    shown.setDevicePixelRatio(pixmap.devicePixelRatio());
    return shown;
}

QColor background(const QColor& chosen, const QPalette& palette) {
    return on() ? palette.color(QPalette::Base) : chosen;
}

QColor text(const QColor& chosen, const QPalette& palette) {
    return on() ? palette.color(QPalette::Text) : chosen;
}

}  // namespace zelmora::NightColours
