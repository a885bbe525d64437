#pragma once

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <vector>

#include "image/cDIBSection.h"

// Synthetic star fields with known star widths, for tests and benchmarks.
// Deterministic: the same stars, background and seed give the same bytes on
// every machine that has the same maths library (the noise comes from our own
// generator, not from the standard library's distributions).
namespace zelmora::synth {

struct Star {
    double x = 0.0;  // centre, top-down pixel coordinates (pixel centres are whole numbers)
    double y = 0.0;
    double fwhm = 3.0;  // full width at half maximum, pixels
    double peak = 200.0;
    // Share of the star's light in each channel (1 = full).
    double red = 1.0;
    double green = 1.0;
    double blue = 1.0;
};

struct Field {
    double background = 10.0;
    double noiseSigma = 0.0;  // standard deviation of the Gaussian noise
    std::uint64_t seed = 1;
    bool colourNoise = false;  // independent noise per channel instead of grey noise
};

// A small random-number generator (SplitMix64) with a Gaussian draw by the
// Box-Muller method, one pair of uniforms per draw.
class NoiseSource {
public:
    explicit NoiseSource(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    double uniform();  // (0, 1]
    double gaussian();

private:
    std::uint64_t state_;
};

// Renders the stars into dib (which must have been created): every pixel of
// every channel is background + the sum of the stars' Gaussians + noise,
// rounded half to even and limited to 0 ... 255. Pixels are visited top-down,
// left to right, one noise draw per pixel (three with colourNoise).
void renderStars(cDIBSection& dib, const std::vector<Star>& stars, const Field& field);

// A field of `count` stars at random places (fixed by the seed), widths between
// minFwhm and maxFwhm and peaks between 60 and 250, slightly coloured.
std::vector<Star> randomStars(int width, int height, int count, double minFwhm, double maxFwhm,
                              std::uint64_t seed);

// The buffer written as a JPEG of the given quality (4:2:0 chroma, as cameras do).
QByteArray encodeJpeg(const cDIBSection& dib, int quality);

}  // namespace zelmora::synth
