#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sim/SimExport.h"

namespace zelmora::sim {

// One star of the simulated field. Positions are sensor pixels from the centre of
// the frame (x to the right, y down); flux is the star's total signal in ADU per
// second at gain 1 (ISO 100), on the 16-bit scale of a frame.
struct Star {
    double x = 0;
    double y = 0;
    double flux = 0;
};

// Everything a frame depends on, copied at the moment of the exposure so that the
// render is a pure function and can run on any thread.
struct SkySnapshot {
    std::shared_ptr<const std::vector<Star>> stars;
    double sigmaPx = 1.0;  // Gaussian sigma of every star, sensor pixels
    double offsetX = 0;    // drift of the whole field, sensor pixels
    double offsetY = 0;
    std::uint64_t noiseSeed = 1;
};

struct RenderRequest {
    int width = 320;  // output frame size in pixels
    int height = 240;
    double scale = 1.0;  // output pixels per sensor pixel (Medium/Small sizes, thumbnails)
    double exposureSec = 1.0;
    double gain = 1.0;  // ISO / 100
    bool noise = true;  // off only in physics tests that count every ADU
};

// A linear frame: 16-bit samples, rows top-down, one sample per pixel. Full
// scale is 65535; the 8-bit value a JPEG shows is the sample divided by 256.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> pixels;

    std::uint16_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

// Signal levels of the simulated sensor, on the 16-bit scale.
struct SensorModel {
    static constexpr double kBias = 1024;            // added to every pixel
    static constexpr double kSkyRatePerSec = 600;    // sky background at gain 1
    static constexpr double kReadNoise = 180;        // standard deviation
    static constexpr double kShotNoiseFactor = 8;    // variance per ADU of signal
    static constexpr double kGuideStarFlux = 82000;  // the bright star at the centre
    // Stamps are cut here so that a badly defocused star stays affordable; the
    // stamp is normalised, so the star's total light is kept even when cut.
    static constexpr int kMaxStampRadius = 120;
};

// The seeded field: a bright guide star exactly at the centre (so that every frame,
// however small, has a star to measure) and fainter stars scattered around it,
// none within kGuideStarClearance pixels of it.
ZELMORA_SIM_API std::shared_ptr<const std::vector<Star>> makeStarField(std::uint32_t seed);
inline constexpr double kGuideStarClearance = 48;

// Background level of a frame (bias plus sky), before noise.
ZELMORA_SIM_API double backgroundLevel(const RenderRequest& request);

// Renders the field as the sensor sees it: background, noise, and each star as a
// pixel-integrated Gaussian whose total light is its flux times exposure and gain,
// clipped at full scale.
ZELMORA_SIM_API Frame renderFrame(const SkySnapshot& sky, const RenderRequest& request);

}  // namespace zelmora::sim
