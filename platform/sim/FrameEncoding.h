#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/SimExport.h"
#include "platform/sim/StarField.h"

namespace zelmora::sim {

// A colour JPEG of the frame as a camera writes one (the star field is grey:
// luminance = sample / 256, neutral chroma, 4:2:0), at quality 1..100.
// Throws std::runtime_error when the encoder fails.
ZELMORA_SIM_API std::vector<std::uint8_t> encodeJpeg(const Frame& frame, int quality);

// The frame placed in the middle of a width x height black frame (a thumbnail
// whose aspect differs from the sensor's), cropped where it does not fit.
ZELMORA_SIM_API Frame letterbox(const Frame& frame, int width, int height);

struct DngInfo {
    std::string make = "Zelmora";
    std::string model = "Simulated camera";
};

// A minimal DNG of the frame: 16-bit samples under an RGGB colour filter pattern
// (every site sees the same grey sky), identity colour matrix, neutral white
// balance, white level 65535. LibRaw opens, unpacks and develops it, so the RAW
// road is the same for simulated frames and real camera files.
// Throws std::runtime_error when libtiff fails.
ZELMORA_SIM_API std::vector<std::uint8_t> encodeDng(const Frame& frame, const DngInfo& info = {});

}  // namespace zelmora::sim
