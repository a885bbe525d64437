#pragma once

#include <cstdint>
#include <vector>

#include "platform/ports/HidTransport.h"

namespace zelmora::ports {

// The report lengths a device's report descriptor declares, counted as the
// HID class driver counts them: for each kind the largest report, in whole
// bytes, plus one byte for the report number; 0 when there is none of the kind.
HidCaps parseReportDescriptor(const std::vector<std::uint8_t>& descriptor);

}  // namespace zelmora::ports
