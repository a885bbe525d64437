#pragma once

#include <QString>
#include <QStringList>

#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/Telescope.h"

namespace zelmora::sky::testing {

// A telescope driver that records the members called, in order, and fails
// the members a test names.
class FakeTelescope : public drivers::Telescope {
public:
    mutable QStringList calls;
    QStringList failing;  // member names that throw
    bool connected_ = true;
    bool canSlew = true, canSlewAsync = true;
    double ra = 6, dec = 20, az = 120, alt = 40, lat = 50, lon = 8;
    int mode = 2;
    bool slewing = false;

    void hit(const char* member) const {
        const QString name = QString::fromLatin1(member);
        calls << name;
        if (failing.contains(name))
            throw AppError(drivers::DriverErrors::kDeviceFault, QStringLiteral("Fake"),
                           name + QStringLiteral(" failed"));
    }
    void clear() { calls.clear(); }

    bool connected() const override {
        hit("connected");
        return connected_;
    }
    void setConnected(bool v) override {
        hit("setConnected");
        connected_ = v;
    }
    double RightAscension() const override { return hit("RightAscension"), ra; }
    double Declination() const override { return hit("Declination"), dec; }
    double Azimuth() const override { return hit("Azimuth"), az; }
    double Altitude() const override { return hit("Altitude"), alt; }
    double SiteLatitude() const override { return hit("SiteLatitude"), lat; }
    double SiteLongitude() const override { return hit("SiteLongitude"), lon; }
    int AlignmentMode() const override { return hit("AlignmentMode"), mode; }
    bool CanSlew() const override { return hit("CanSlew"), canSlew; }
    bool CanSlewAsync() const override { return hit("CanSlewAsync"), canSlewAsync; }
    void setTargetRightAscension(double h) override {
        hit("setTargetRightAscension");
        targetRa = h;
    }
    void setTargetDeclination(double d) override {
        hit("setTargetDeclination");
        targetDec = d;
    }
    void SlewToCoordinatesAsync(double r, double d) override {
        hit("SlewToCoordinatesAsync");
        slewRa = r;
        slewDec = d;
    }
    void SlewToCoordinates(double r, double d) override {
        hit("SlewToCoordinates");
        slewRa = r;
        slewDec = d;
    }
    void SyncToTarget() override { hit("SyncToTarget"); }
    bool Slewing() const override { return hit("Slewing"), slewing; }
    void AbortSlew() override { hit("AbortSlew"); }
    void SetupDialog() override { hit("SetupDialog"); }

    double targetRa = -1, targetDec = -1, slewRa = -1, slewDec = -1;
};

}  // namespace zelmora::sky::testing
