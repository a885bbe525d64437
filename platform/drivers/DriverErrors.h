#pragma once

#include <QString>

#include "platform/core/AppError.h"

// Failures of device drivers. Every driver member that fails throws an AppError
// whose number says what kind of failure it was and whose description is fit to
// show to the user.
namespace zelmora::drivers {

namespace DriverErrors {
// The member is not offered by this driver (a capability it lacks).
constexpr int kNotImplemented = 1024;
// An argument or a value set is out of range.
constexpr int kInvalidValue = 1025;
// A value is read that was never set (a slew target, for instance).
constexpr int kValueNotSet = 1026;
// The device is not linked.
constexpr int kNotConnected = 1031;
// The member cannot run in the device's present state.
constexpr int kInvalidOperation = 1035;
// The device itself reported a failure.
constexpr int kDeviceFault = 1279;
}  // namespace DriverErrors

[[noreturn]] inline void throwDriverError(int number, const QString& source,
                                          const QString& description) {
    throw AppError(number, source, description);
}

[[noreturn]] inline void throwNotImplemented(const QString& source, const QString& member) {
    throwDriverError(DriverErrors::kNotImplemented, source,
                     member + QStringLiteral(" is not implemented by this driver"));
}

}  // namespace zelmora::drivers
