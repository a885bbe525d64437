#pragma once

#include <array>
#include <cstdint>
#include <random>

// The about box's starfield, as a pure step machine. Positions are in twips.
namespace zelmora::AboutStars {

constexpr int kStars = 101;
constexpr int kSpeed = -1;          // added to Z every frame
constexpr double kDistance = 2038;  // projection distance
constexpr int kDepthOffset = 256;
constexpr int kRadiusTwips = 5;

struct Star {
    double X = 0;
    double Y = 0;
    std::int16_t Z = 0;
    std::int16_t D = 0;
    double screenX = 0;  // last drawn position, twips
    double screenY = 0;
};
using Field = std::array<Star, kStars>;

// A new field: X, Y whole numbers in -512..511, Z in -256..255.
void seed(Field& stars, std::mt19937& rng);

// One frame of one star: Z moves by `speed` and wraps past +-255, D = Z + 256
// (1 to 511, never 0), then the star is projected around the area's centre.
void step(Star& star, int speed, double halfWidthTwips, double halfHeightTwips);

// The grey level of a star at depth Z: near stars white, far ones dark.
int brightness(int z);

}  // namespace zelmora::AboutStars
