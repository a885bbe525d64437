#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "image/cDIBSection.h"

// The program-wide data of the star measurement and the pixel operations.
// One of each for the whole program; put back to their start values whenever
// the program state is reset (so every test starts clean).
namespace zelmora {

// The reference picture that ProcessStar subtracts. Empty until the focus
// analysis creates it; bytes outside it count as 0.
extern cDIBSection oReferenceDib;

// Written by every ProcessStar call; read by the focus graphs.
extern std::vector<std::uint8_t> RowProfile;     // 0 ... 2 Dx - 1, left to right
extern std::vector<std::uint8_t> ColumnProfile;  // 0 ... 2 Dy - 1, bottom to top
extern std::vector<float> RadialValues;          // running sum by increasing distance
extern std::vector<float> RadialDistances;       // ascending distances from (32, 32)
// The background found by the last ProcessStar, subtracted by the next one.
extern float StarBackground;

// Tables of the pixel operations.
extern std::array<std::int32_t, 256> LumHistogram;
extern std::uint8_t MaxLuminance;
extern std::vector<std::uint8_t> LutTable;  // 256 entries, filled by whoever calls ProcessLUT
extern std::int16_t KernelHalfWidth;        // K
extern std::vector<double> Kernel1D;        // weight of offset j at Kernel1D[j + K], j = -K ... K
extern std::vector<float> RadialResample;

// Back to the start values (the test environments call it before each test).
void resetStarData();

}  // namespace zelmora
