#pragma once

#include <QString>
#include <cstdint>

// The telescope's position and capabilities as the control window last saw
// them, and the work of its 200 ms poll: jogging, halting, refreshing the
// position, deriving the pair the driver cannot give, and the sexagesimal
// texts.
namespace zelmora::sky {

// Program-wide telescope values; start at 0/False and are reset with the
// program state. The link probe of the control window fills the capability,
// site and mode values.
struct ScopeState {
    double dScopeRA = 0;        // hours
    double dScopeDec = 0;       // degrees
    double dScopeAz = 0;        // degrees, from north through east
    double dScopeAlt = 0;       // degrees
    double dSiteLatitude = 0;   // degrees, north positive
    double dSiteLongitude = 0;  // degrees, as the driver reports it (east positive)
    // The driver has reported its site; until then nothing is derived from it.
    bool bSiteKnown = false;
    std::int32_t lAlignmentMode = 0;  // 0 altitude-azimuth, -1 not readable
    bool bCanReadRaDec = false;
    bool bCanReadAltAz = false;
    bool bCanSlew = false;
    bool bCanSlewAsync = false;
    bool bReverseEW = false;
    bool bReverseNS = false;
};
ScopeState& scopeState();

// What the poll needs of the control window.
class ScopePollHost {
public:
    virtual ~ScopePollHost() = default;
    // The jog button pressed since the last poll (1-4 jog, 5 halt), 0 for
    // none; reading it consumes the press.
    virtual std::int16_t ButtonState() = 0;
    // The selected jog amount, in arc-minutes.
    virtual int jogArcMinutes() const = 0;
    virtual void setRightAscension(double hours) = 0;
    virtual void setDeclination(double degrees) = 0;
    virtual void setAzimuth(double degrees) = 0;
    virtual void setAltitude(double degrees) = 0;
    // A pair that can be neither read nor derived is shown blank.
    virtual void blankEquatorial() = 0;
    virtual void blankHorizontal() = 0;
};

namespace modScope {

constexpr double kDegToRad = 0.0174532925;
constexpr double kRadToDeg = 57.2957795;
constexpr double kHoursToRad = 0.2617993881;
constexpr double kRadToHours = 3.81971863;
constexpr double kMinFactor = 0.001;

// One poll step: the pending jog or halt, then the position refresh and the
// display. Each failing step is skipped (and traced once per new failure).
void ScopePoll(ScopePollHost& host);

// Where a jog would send the mount: false when the button asks for no slew.
// Uses the program-wide position, site, mode and reverse flags.
bool jogTarget(int button, double stepDegrees, double& ra, double& dec);

// Starts an asynchronous slew; does nothing unless linked and the driver can
// slew asynchronously. Raises AppError for a target outside the sky or when
// the driver fails.
void SlewToTargetAsync(double ra, double dec);
// Stops any slew; every failure is ignored.
void AbortScopeSlew();
// Refreshes the four position values. Raises the driver's failure.
void ReadScopePosition(bool update);

// "DD:MM:SS" with whole seconds (never rounded up to the next unit); "-" in
// front of negative values, "+" too when forceSign. A first part of 100 or
// more keeps all its digits. A value that is not a finite number gives "".
QString DegToDMS(double value, bool forceSign);

// Equatorial <-> horizontal at the program-wide site for the present moment.
// Inputs below their lower bounds give 0, 0. Azimuth in [0, 360).
void RaDecToAltAz(double ra, double dec, double& az, double& alt);
void AltAzToRaDec(double az, double alt, double& ra, double& dec);

}  // namespace modScope
}  // namespace zelmora::sky
