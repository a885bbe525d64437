#include "platform/sim/StarField.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace zelmora::sim {

namespace {

// A portable unit interval from mt19937 (the standard distributions differ
// between library implementations; the field must be the same everywhere).
double unit(std::mt19937& rng) {
    return (rng() >> 8) * (1.0 / 16777216.0);
}

// Field extent: wider than the largest sensor plus a long drift.
constexpr double kHalfWidth = 4000;
constexpr double kHalfHeight = 3000;
constexpr double kStarsPerPixel = 250.0 / (3504.0 * 2336.0);

struct XorShift {
    std::uint64_t s;
    std::uint64_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
};

// Standard normal samples, filled once; noise picks from them at random, which
// is far cheaper than a transform per pixel and indistinguishable in a frame.
const std::array<float, 4096>& normalTable() {
    static const std::array<float, 4096> table = [] {
        std::array<float, 4096> t{};
        std::mt19937 rng(12345);
        for (std::size_t i = 0; i < t.size(); i += 2) {
            double u1 = std::max(unit(rng), 1e-12);
            double u2 = unit(rng);
            double r = std::sqrt(-2.0 * std::log(u1));
            t[i] = float(r * std::cos(2 * M_PI * u2));
            t[i + 1] = float(r * std::sin(2 * M_PI * u2));
        }
        return t;
    }();
    return table;
}

// Light of a unit star falling into each pixel of a 1-D stamp centred on the
// pixel nearest the star; the weights are normalised so that nothing is lost.
void stampWeights(double frac, double sigma, int radius, std::vector<double>& w) {
    w.resize(std::size_t(2 * radius + 1));
    const double k = 1.0 / (sigma * std::sqrt(2.0));
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) {
        double v = 0.5 * (std::erf((i + 0.5 - frac) * k) - std::erf((i - 0.5 - frac) * k));
        w[std::size_t(i + radius)] = v;
        sum += v;
    }
    if (sum > 0)
        for (double& v : w) v /= sum;
}

}  // namespace

std::shared_ptr<const std::vector<Star>> makeStarField(std::uint32_t seed) {
    auto stars = std::make_shared<std::vector<Star>>();
    stars->push_back(Star{0, 0, SensorModel::kGuideStarFlux});
    std::mt19937 rng(seed);
    const int count = int(std::lround(kStarsPerPixel * 4 * kHalfWidth * kHalfHeight));
    stars->reserve(std::size_t(count) + 1);
    while (int(stars->size()) < count + 1) {
        double x = (unit(rng) * 2 - 1) * kHalfWidth;
        double y = (unit(rng) * 2 - 1) * kHalfHeight;
        // Brightness spread over a factor of sixty, log-uniform like a real field.
        double flux = SensorModel::kGuideStarFlux * 0.01 * std::pow(60.0, unit(rng));
        if (std::hypot(x, y) < kGuideStarClearance) continue;
        stars->push_back(Star{x, y, flux});
    }
    return stars;
}

double backgroundLevel(const RenderRequest& r) {
    return std::min(65535.0,
                    SensorModel::kBias + SensorModel::kSkyRatePerSec * r.exposureSec * r.gain);
}

Frame renderFrame(const SkySnapshot& sky, const RenderRequest& r) {
    Frame f;
    f.width = std::max(0, r.width);
    f.height = std::max(0, r.height);
    const std::size_t n = std::size_t(f.width) * std::size_t(f.height);
    f.pixels.resize(n);
    if (n == 0) return f;

    const double bg = backgroundLevel(r);
    if (!r.noise) {
        std::fill(f.pixels.begin(), f.pixels.end(), std::uint16_t(std::lround(bg)));
    } else {
        const double signal = bg - SensorModel::kBias;
        const double sigma = std::sqrt(SensorModel::kReadNoise * SensorModel::kReadNoise +
                                       SensorModel::kShotNoiseFactor * std::max(0.0, signal));
        const auto& table = normalTable();
        std::array<std::int32_t, 4096> scaled;
        const std::int32_t base = std::int32_t(std::lround(bg));
        for (std::size_t i = 0; i < table.size(); ++i)
            scaled[i] = base + std::int32_t(std::lround(table[i] * sigma));
        XorShift rng{sky.noiseSeed * 0x9E3779B97F4A7C15ull | 1};
        std::uint16_t* p = f.pixels.data();
        std::size_t i = 0;
        while (i < n) {
            std::uint64_t bits = rng.next();
            for (int k = 0; k < 5 && i < n; ++k, ++i, bits >>= 12) {
                std::int32_t v = scaled[bits & 4095];
                p[i] = std::uint16_t(std::clamp(v, 0, 65535));
            }
        }
    }

    if (!sky.stars) return f;
    const double sigma = std::max(0.25, sky.sigmaPx * r.scale);
    const int radius = std::min(SensorModel::kMaxStampRadius, int(std::ceil(4 * sigma)) + 1);
    // Sensor (0, 0) is the centre of pixel (width / 2, height / 2); in these
    // coordinates pixel centres are whole numbers.
    const double cx = f.width / 2;
    const double cy = f.height / 2;
    std::vector<double> wx, wy;
    for (const Star& s : *sky.stars) {
        const double px = cx + (s.x + sky.offsetX) * r.scale;
        const double py = cy + (s.y + sky.offsetY) * r.scale;
        const int ix = int(std::lround(px));
        const int iy = int(std::lround(py));
        if (ix + radius < 0 || iy + radius < 0 || ix - radius >= f.width || iy - radius >= f.height)
            continue;
        const double amplitude = s.flux * r.exposureSec * r.gain;
        stampWeights(px - ix, sigma, radius, wx);
        stampWeights(py - iy, sigma, radius, wy);
        for (int dy = -radius; dy <= radius; ++dy) {
            const int y = iy + dy;
            if (y < 0 || y >= f.height) continue;
            const double rowLight = amplitude * wy[std::size_t(dy + radius)];
            if (rowLight < 0.05) continue;
            std::uint16_t* row = f.pixels.data() + std::size_t(y) * std::size_t(f.width);
            for (int dx = -radius; dx <= radius; ++dx) {
                const int x = ix + dx;
                if (x < 0 || x >= f.width) continue;
                const double v = row[x] + rowLight * wx[std::size_t(dx + radius)];
                row[x] = std::uint16_t(std::min(65535.0, v + 0.5));
            }
        }
    }
    return f;
}

}  // namespace zelmora::sim
