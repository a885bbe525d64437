#pragma once

#include <QString>
#include <cstdint>

namespace zelmora::drivers {

// A focuser driver as the program drives it. Every member may fail by
// throwing AppError (number and description); a member a driver does not offer
// fails with DriverErrors::kNotImplemented, so a driver implements only what
// its device can do.
class Focuser {
public:
    virtual ~Focuser() = default;

    // The link to the device; reads True once the device is reachable.
    virtual bool link() const = 0;
    virtual void setLink(bool value) = 0;

    // True for a focuser that reports absolute positions.
    virtual bool absolute() const = 0;
    // Current position in steps (absolute focusers). Current once a move has ended.
    virtual std::int32_t Position() const;
    // Highest position (absolute) or largest single move (relative), in steps.
    virtual std::int32_t MaxStep() const;
    // Size of one step, in microns.
    virtual double stepsize() const;
    // True while a move is under way.
    virtual bool IsMoving() const;
    // Starts a move and returns once the device has accepted it: to a target
    // position (absolute) or by a signed number of steps (relative). Outward is
    // positive.
    virtual void Move(std::int32_t value);
    // The driver's own settings dialog.
    virtual void SetupDialog();
    // Declares the current position to be `position`.
    virtual void ResetPositionTo(std::int32_t position);

    // Name used in failures.
    virtual QString source() const { return QStringLiteral("Focuser"); }
};

}  // namespace zelmora::drivers
