#pragma once

#include <QString>

namespace zelmora::drivers {

// A telescope driver as the program drives it. Right ascension is in hours,
// declination, altitude, azimuth and the site in degrees (longitude east
// positive, azimuth from north through east). Every member may fail by
// throwing AppError (number and description); a member a driver does not offer
// fails with DriverErrors::kNotImplemented.
class Telescope {
public:
    virtual ~Telescope() = default;

    // The link to the mount; reads True once it is up.
    virtual bool connected() const = 0;
    virtual void setConnected(bool value) = 0;

    virtual double RightAscension() const;
    virtual double Declination() const;
    virtual double Azimuth() const;
    virtual double Altitude() const;
    virtual double SiteLatitude() const;
    virtual double SiteLongitude() const;
    // 0 altitude-azimuth, 1 equatorial (fork), 2 German equatorial.
    virtual int AlignmentMode() const;

    virtual bool CanSlew() const { return false; }
    virtual bool CanSlewAsync() const { return false; }
    virtual bool CanSync() const { return false; }

    virtual double TargetRightAscension() const;
    virtual void setTargetRightAscension(double hours);
    virtual double TargetDeclination() const;
    virtual void setTargetDeclination(double degrees);

    // Starts a slew and returns at once; Slewing reads True until it ends.
    virtual void SlewToCoordinatesAsync(double rightAscension, double declination);
    // Slews and returns when the mount has arrived (events keep being handled).
    virtual void SlewToCoordinates(double rightAscension, double declination);
    // Declares the mount to point at the target.
    virtual void SyncToTarget();
    virtual bool Slewing() const;
    // Stops any slew where the mount stands.
    virtual void AbortSlew();
    // The driver's own settings dialog.
    virtual void SetupDialog();

    // Name used in failures.
    virtual QString source() const { return QStringLiteral("Telescope"); }
};

}  // namespace zelmora::drivers
