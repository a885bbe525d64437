#include "platform/core/WholeNumber.h"

#include <cmath>

#include "platform/core/AppError.h"

namespace zelmora::Conv {

namespace {
[[noreturn]] void overflow() {
    throw AppError(AppError::kOverflow, QStringLiteral("Conv"), QStringLiteral("Overflow"));
}
}  // namespace

double roundHalfEven(double x) {
    return std::nearbyint(x);  // default rounding mode: to even
}

std::int16_t toInt16(double x) {
    const double r = roundHalfEven(x);
    if (!(r >= -32768.0 && r <= 32767.0)) overflow();
    return static_cast<std::int16_t>(r);
}

std::int32_t toInt32(double x) {
    const double r = roundHalfEven(x);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) overflow();
    return static_cast<std::int32_t>(r);
}

}  // namespace zelmora::Conv
