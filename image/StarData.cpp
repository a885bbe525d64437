#include "image/StarData.h"

namespace zelmora {

cDIBSection oReferenceDib;
std::vector<std::uint8_t> RowProfile;
std::vector<std::uint8_t> ColumnProfile;
std::vector<float> RadialValues;
std::vector<float> RadialDistances;
float StarBackground = 0.0f;

std::array<std::int32_t, 256> LumHistogram{};
std::uint8_t MaxLuminance = 0;
std::vector<std::uint8_t> LutTable;
std::int16_t KernelHalfWidth = 0;
std::vector<double> Kernel1D;
std::vector<float> RadialResample;

void resetStarData() {
    oReferenceDib = cDIBSection{};
    RowProfile.clear();
    ColumnProfile.clear();
    RadialValues.clear();
    RadialDistances.clear();
    StarBackground = 0.0f;
    LumHistogram.fill(0);
    MaxLuminance = 0;
    LutTable.clear();
    KernelHalfWidth = 0;
    Kernel1D.clear();
    RadialResample.clear();
}

}  // namespace zelmora
