#include "shell/AboutStars.h"

#include <algorithm>

namespace zelmora::AboutStars {

void seed(Field& stars, std::mt19937& rng) {
    std::uniform_real_distribution<double> rnd(0.0, 1.0);
    for (Star& s : stars) {
        s.X = double(int(rnd(rng) * 1024) - 512);
        s.Y = double(int(rnd(rng) * 1024) - 512);
        s.Z = std::int16_t(int(rnd(rng) * 512) - 256);
        s.D = std::int16_t(s.Z + kDepthOffset);
    }
}

void step(Star& star, int speed, double halfWidthTwips, double halfHeightTwips) {
    int z = star.Z + speed;
    if (z > 255)
        z = -255;
    else if (z < -255)
        z = 255;
    star.Z = std::int16_t(z);
    star.D = std::int16_t(z + kDepthOffset);
    star.screenX = star.X * kDistance / star.D + halfWidthTwips;
    star.screenY = star.Y * kDistance / star.D + halfHeightTwips;
}

int brightness(int z) {
    return std::clamp(256 - z, 0, 255);
}

}  // namespace zelmora::AboutStars
