#pragma once

#include "platform/core/Api.h"

#include <cstdint>

ZELMORA_API_BEGIN

// The whole-number conversions the image core and the shell share. Include
// shell/Conv.h above the image core: it is the one conversion module.
namespace zelmora::Conv {

// Rounds to the nearest whole number, ties to the even one (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double x);

// Whole-number conversions with the program's limits. Raise AppError 6
// ("Overflow") out of range.
std::int16_t toInt16(double x);
std::int32_t toInt32(double x);

}  // namespace zelmora::Conv

ZELMORA_API_END
