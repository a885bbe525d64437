#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/rcsdk/SimLibrary.h"

// The pictures a simulated capture produces, rendered from the sky as it was when
// the shutter opened.
namespace zelmora::simrc::detail {

struct RenderedImage {
    std::uint32_t kind = RC_IMAGE_PICTURE;
    std::uint8_t format = RC_FORMAT_JPEG;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
};

inline constexpr int kThumbWidth = 160;
inline constexpr int kThumbHeight = 120;

// Picture size for the image-format size code (Large, Medium, Small, Medium1,
// Medium2; an unknown code gives Large).
std::pair<int, int> pictureSize(int sensorWidth, int sensorHeight, std::uint16_t sizeCode);
// JPEG level for the quality code (Economy 50, Normal 75, Fine 90, SuperFine 97).
int jpegQuality(std::uint16_t qualityCode);
// Signal gain for an ISO code (72 = ISO 100 = gain 1; AUTO as ISO 400).
double isoGain(std::uint16_t isoCode);

// Thumbnail (kind 16) and/or picture (kind 32, JPEG or RAW by quality; with
// rawPlusJpeg a RAW picture also gives kind 80), in that order.
std::vector<RenderedImage> renderCapture(const CaptureJob& job, bool thumbnail, bool picture);

}  // namespace zelmora::simrc::detail
