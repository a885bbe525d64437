#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <cmath>
#include <vector>

#include "focus/FocusAnalysis.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"
#include "shell/AppPaths.h"

// Focus crops made for the tests: 100 x 100 pixels, as the image window cuts them.
namespace zelmora::focus::testutil {

constexpr int kCrop = 100;

inline QImage starCrop(double fwhm, double peak = 200.0, double background = 10.0,
                       double noise = 2.0, std::uint64_t seed = 1, double x = 50.0,
                       double y = 50.0) {
    cDIBSection dib;
    dib.Create(kCrop, kCrop);
    synth::Star star;
    star.x = x;
    star.y = y;
    star.fwhm = fwhm;
    star.peak = peak;
    synth::renderStars(dib, {star}, {background, noise, seed, false});
    return dib.toImage();
}

// A flat ring (inner radius 0 gives a disc) of one grey value on black.
inline QImage ringCrop(double inner, double outer, int value, double cx = 50.0, double cy = 50.0) {
    QImage image(kCrop, kCrop, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (int y = 0; y < kCrop; ++y)
        for (int x = 0; x < kCrop; ++x) {
            const double r = std::hypot(x - cx, y - cy);
            if (r <= outer && r >= inner) image.setPixel(x, y, qRgb(value, value, value));
        }
    return image;
}

// Stores the crop and analyses it as a new frame does.
inline FocusAnalysis::Outcome analyse(FocusAnalysis& model, const QImage& crop) {
    const int n = model.addPicture(crop, QStringLiteral("21:45:03"));
    model.LocateBrightestPoint(n);
    return model.Update(n);
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void makeDataFiles() {
    QDir().mkpath(AppPaths::dataFiles());
}

}  // namespace zelmora::focus::testutil
