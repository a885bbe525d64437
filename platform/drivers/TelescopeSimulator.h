#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

#include "platform/drivers/Telescope.h"

namespace zelmora::platform {
class WaitControl;
}

namespace zelmora::drivers {

// A tracking mount on a site. It points at a right ascension and declination
// that stay fixed between slews; altitude and azimuth follow from the site and
// the sidereal time of the program clock. Slews move both axes at once at a
// set rate on the program clock (0 = at once), so Slewing and the position
// follow virtual time in tests. Each capability can be switched off, as real
// drivers lack some, and faults can be injected.
class TelescopeSimulator : public Telescope,
                           public std::enable_shared_from_this<TelescopeSimulator> {
public:
    struct Capabilities {
        bool readRaDec = true;
        bool readAltAz = true;
        bool readSite = true;
        bool readAlignmentMode = true;
        bool slew = true;
        bool slewAsync = true;
        bool sync = true;
    };
    struct Config {
        int alignmentMode = 2;   // 0 alt-az, 1 equatorial fork, 2 German equatorial
        double latitude = 50.0;  // degrees, north positive
        double longitude = 8.0;  // degrees, east positive
        double slewRate = 4.0;   // degrees per second on each axis; 0 = at once
        Capabilities can;
        // Faults, for trying out the program's error paths.
        bool refuseConnect = false;  // connected reads False after being set True
        bool connectFails = false;   // setting connected raises an error
        bool slewFails = false;      // slews raise an error
    };

    TelescopeSimulator();
    explicit TelescopeSimulator(const Config& config);
    ~TelescopeSimulator() override;

    static Config loadConfig();
    static void saveConfig(const Config& config);

    const Config& config() const { return config_; }
    void setConfig(const Config& config) { config_ = config; }
    // Puts the mount at a position at once (tests and the setup dialog's "home").
    void setPointing(double rightAscension, double declination);

    bool connected() const override { return connected_; }
    void setConnected(bool value) override;

    double RightAscension() const override;
    double Declination() const override;
    double Azimuth() const override;
    double Altitude() const override;
    double SiteLatitude() const override;
    double SiteLongitude() const override;
    int AlignmentMode() const override;

    bool CanSlew() const override { return config_.can.slew; }
    bool CanSlewAsync() const override { return config_.can.slewAsync; }
    bool CanSync() const override { return config_.can.sync; }

    double TargetRightAscension() const override;
    void setTargetRightAscension(double hours) override;
    double TargetDeclination() const override;
    void setTargetDeclination(double degrees) override;

    void SlewToCoordinatesAsync(double rightAscension, double declination) override;
    void SlewToCoordinates(double rightAscension, double declination) override;
    void SyncToTarget() override;
    bool Slewing() const override;
    void AbortSlew() override;
    void SetupDialog() override;
    QString source() const override;

private:
    struct Pointing {
        double ra = 0;   // hours, 0 to under 24
        double dec = 0;  // degrees
    };
    Pointing current() const;
    void horizontal(double& altitude, double& azimuth) const;
    void requireConnected(const QString& member) const;
    void require(bool capability, const QString& member) const;
    void checkCoordinates(double ra, double dec, const QString& member) const;
    void startSlew(double ra, double dec);

    Config config_;
    bool connected_ = false;
    // Where the mount rests between slews; a slew that has ended settles here
    // on the next read.
    mutable Pointing rest_;
    mutable bool slewing_ = false;
    Pointing from_, to_;
    qint64 startMs_ = 0;
    qint64 endMs_ = 0;
    std::optional<double> targetRa_, targetDec_;
    // The wait of a synchronous slew, so that AbortSlew can end it.
    std::shared_ptr<platform::WaitControl> slewWait_;
};

}  // namespace zelmora::drivers
