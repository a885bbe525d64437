#include "image/synth/StarRenderer.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace zelmora::synth {

namespace {
// 4 ln 2 as a literal, so that a reference script can use the very same number.
constexpr double kFourLn2 = 2.772588722239781;
}  // namespace

std::uint64_t NoiseSource::next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double NoiseSource::uniform() {
    return static_cast<double>((next() >> 11) + 1) * (1.0 / 9007199254740992.0);
}

double NoiseSource::gaussian() {
    const double u1 = uniform();
    const double u2 = uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

void renderStars(cDIBSection& dib, const std::vector<Star>& stars, const Field& field) {
    const int w = dib.Width();
    const int h = dib.Height();
    std::uint8_t* bits = dib.DIBSectionBitsPtr();
    if (!bits || w <= 0 || h <= 0) throw std::invalid_argument("renderStars: buffer not created");
    const std::int64_t bpl = dib.BytesPerScanLine();

    // Light of the stars, one row at a time, added only where a star reaches
    // (out to 4 FWHM, where the Gaussian is below 1e-19 of its peak). Stars add
    // in their list order, so every pixel sums the same terms in the same order.
    struct Reach {
        int x0, x1, y0, y1;
        double scale;
    };
    std::vector<Reach> reach;
    reach.reserve(stars.size());
    for (const Star& s : stars) {
        const double r = 4.0 * s.fwhm;
        reach.push_back({std::max(0, static_cast<int>(std::floor(s.x - r))),
                         std::min(w - 1, static_cast<int>(std::ceil(s.x + r))),
                         std::max(0, static_cast<int>(std::floor(s.y - r))),
                         std::min(h - 1, static_cast<int>(std::ceil(s.y + r))),
                         kFourLn2 / (s.fwhm * s.fwhm)});
    }
    std::vector<double> light(static_cast<std::size_t>(w) * 3);
    NoiseSource noise(field.seed);
    for (int y = 0; y < h; ++y) {
        std::fill(light.begin(), light.end(), 0.0);
        for (std::size_t k = 0; k < stars.size(); ++k) {
            const Star& s = stars[k];
            const Reach& a = reach[k];
            if (y < a.y0 || y > a.y1) continue;
            for (int x = a.x0; x <= a.x1; ++x) {
                const double dx = x - s.x;
                const double dy = y - s.y;
                const double g = s.peak * std::exp(-a.scale * (dx * dx + dy * dy));
                double* px = &light[static_cast<std::size_t>(x) * 3];
                px[0] += g * s.blue;
                px[1] += g * s.green;
                px[2] += g * s.red;
            }
        }
        std::uint8_t* row = bits + (h - 1 - y) * bpl;
        for (int x = 0; x < w; ++x) {
            const double* px = &light[static_cast<std::size_t>(x) * 3];
            double n[3];
            if (field.noiseSigma == 0.0) {
                n[0] = n[1] = n[2] = 0.0;
            } else if (field.colourNoise) {
                for (double& v : n) v = field.noiseSigma * noise.gaussian();
            } else {
                n[0] = n[1] = n[2] = field.noiseSigma * noise.gaussian();
            }
            for (int c = 0; c < 3; ++c) {
                const double v = std::nearbyint(field.background + px[c] + n[c]);
                row[3 * x + c] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
            }
        }
    }
}

std::vector<Star> randomStars(int width, int height, int count, double minFwhm, double maxFwhm,
                              std::uint64_t seed) {
    NoiseSource r(seed);
    std::vector<Star> stars;
    stars.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        Star s;
        s.x = r.uniform() * (width - 1);
        s.y = r.uniform() * (height - 1);
        s.fwhm = minFwhm + r.uniform() * (maxFwhm - minFwhm);
        s.peak = 60.0 + r.uniform() * 190.0;
        s.red = 0.8 + 0.2 * r.uniform();
        s.green = 0.8 + 0.2 * r.uniform();
        s.blue = 0.8 + 0.2 * r.uniform();
        stars.push_back(s);
    }
    return stars;
}

QByteArray encodeJpeg(const cDIBSection& dib, int quality) {
    const std::uint8_t* bits = dib.DIBSectionBitsPtr();
    if (!bits) throw std::invalid_argument("encodeJpeg: buffer not created");
    tjhandle handle = tjInitCompress();
    if (!handle) throw std::runtime_error("encodeJpeg: no JPEG encoder");
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(handle, bits, dib.Width(), dib.BytesPerScanLine(), dib.Height(),
                               TJPF_BGR, &jpeg, &size, TJSAMP_420, quality, TJFLAG_BOTTOMUP);
    QByteArray result;
    if (rc == 0) result = QByteArray(reinterpret_cast<const char*>(jpeg), static_cast<int>(size));
    const std::string why = rc == 0 ? std::string() : tjGetErrorStr2(handle);
    tjFree(jpeg);
    tjDestroy(handle);
    if (rc != 0) throw std::runtime_error("encodeJpeg: " + why);
    return result;
}

}  // namespace zelmora::synth
