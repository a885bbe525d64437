#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

// A plain second-moment estimate of a star, independent of the program's own star
// measurement: background from the median of a ring, then centroid and RMS width
// of the background-subtracted light in a window that follows the star's size.
namespace zelmora::testing_sim {

struct StarMoments {
    double x = 0, y = 0;  // centroid, pixels
    double sigma = 0;     // RMS width per axis, pixels
    double flux = 0;      // light above the background
};

inline StarMoments measureStar(const std::function<double(int, int)>& pixel, int width, int height,
                               double cx, double cy) {
    StarMoments m{cx, cy, 1.5, 0};
    for (int pass = 0; pass < 6; ++pass) {
        const int r = std::max(6, int(std::ceil(3.5 * m.sigma)));
        const int x0 = int(std::lround(m.x)), y0 = int(std::lround(m.y));
        std::vector<double> ring;
        for (int dy = -r - 4; dy <= r + 4; ++dy)
            for (int dx = -r - 4; dx <= r + 4; ++dx) {
                const int x = x0 + dx, y = y0 + dy;
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                if (std::max(std::abs(dx), std::abs(dy)) > r) ring.push_back(pixel(x, y));
            }
        if (ring.empty()) return m;
        std::nth_element(ring.begin(), ring.begin() + ring.size() / 2, ring.end());
        const double bg = ring[ring.size() / 2];
        double s = 0, sx = 0, sy = 0;
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) {
                const int x = x0 + dx, y = y0 + dy;
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                const double v = pixel(x, y) - bg;
                s += v;
                sx += v * x;
                sy += v * y;
            }
        if (s <= 0) return m;
        const double mx = sx / s, my = sy / s;
        double s2 = 0;
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) {
                const int x = x0 + dx, y = y0 + dy;
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                const double v = pixel(x, y) - bg;
                s2 += v * ((x - mx) * (x - mx) + (y - my) * (y - my));
            }
        m = StarMoments{mx, my, std::sqrt(std::max(0.0, s2 / (2 * s))), s};
    }
    return m;
}

}  // namespace zelmora::testing_sim
