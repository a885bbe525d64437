#include "platform/drivers/TelescopeSimulator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/astro/Astro.h"
#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/drivers/SimulatorSettings.h"
#include "platform/time/Clock.h"

namespace zelmora::drivers {

namespace {
constexpr double kRad = std::numbers::pi / 180.0;

qint64 nowMs() {
    return platform::clock().monotonicMs();
}

double wrapHours(double h) {
    double r = std::fmod(h, 24.0);
    if (r < 0) r += 24.0;
    return r >= 24.0 ? 0.0 : r;
}

// The shorter way round from one right ascension to another, in hours.
double raStep(double from, double to) {
    double d = std::fmod(to - from, 24.0);
    if (d > 12.0) d -= 24.0;
    if (d < -12.0) d += 24.0;
    return d;
}

const QString& section() {
    return kSimTelescopeId;
}
}  // namespace

TelescopeSimulator::TelescopeSimulator() : TelescopeSimulator(loadConfig()) {}

TelescopeSimulator::TelescopeSimulator(const Config& config) : config_(config) {
    // Starts on the meridian at the celestial equator, well above the horizon
    // of any site between the poles.
    rest_.ra = wrapHours(astro::now_lst(config_.longitude * kRad));
    rest_.dec = 0;
}

TelescopeSimulator::~TelescopeSimulator() {
    if (slewWait_) slewWait_->stop();
}

TelescopeSimulator::Config TelescopeSimulator::loadConfig() {
    namespace S = SimulatorSettings;
    Config c;
    c.alignmentMode =
        std::clamp(S::getInt(section(), QStringLiteral("AlignmentMode"), c.alignmentMode), 0, 2);
    c.latitude =
        std::clamp(S::getDouble(section(), QStringLiteral("Latitude"), c.latitude), -90.0, 90.0);
    c.longitude = std::clamp(S::getDouble(section(), QStringLiteral("Longitude"), c.longitude),
                             -180.0, 180.0);
    c.slewRate = std::max(0.0, S::getDouble(section(), QStringLiteral("SlewRate"), c.slewRate));
    c.can.readRaDec = S::getBool(section(), QStringLiteral("CanReadRaDec"), true);
    c.can.readAltAz = S::getBool(section(), QStringLiteral("CanReadAltAz"), true);
    c.can.readSite = S::getBool(section(), QStringLiteral("CanReadSite"), true);
    c.can.readAlignmentMode = S::getBool(section(), QStringLiteral("CanReadAlignmentMode"), true);
    c.can.slew = S::getBool(section(), QStringLiteral("CanSlew"), true);
    c.can.slewAsync = S::getBool(section(), QStringLiteral("CanSlewAsync"), true);
    c.can.sync = S::getBool(section(), QStringLiteral("CanSync"), true);
    return c;
}

void TelescopeSimulator::saveConfig(const Config& c) {
    namespace S = SimulatorSettings;
    S::saveInt(section(), QStringLiteral("AlignmentMode"), c.alignmentMode);
    S::saveDouble(section(), QStringLiteral("Latitude"), c.latitude);
    S::saveDouble(section(), QStringLiteral("Longitude"), c.longitude);
    S::saveDouble(section(), QStringLiteral("SlewRate"), c.slewRate);
    S::saveBool(section(), QStringLiteral("CanReadRaDec"), c.can.readRaDec);
    S::saveBool(section(), QStringLiteral("CanReadAltAz"), c.can.readAltAz);
    S::saveBool(section(), QStringLiteral("CanReadSite"), c.can.readSite);
    S::saveBool(section(), QStringLiteral("CanReadAlignmentMode"), c.can.readAlignmentMode);
    S::saveBool(section(), QStringLiteral("CanSlew"), c.can.slew);
    S::saveBool(section(), QStringLiteral("CanSlewAsync"), c.can.slewAsync);
    S::saveBool(section(), QStringLiteral("CanSync"), c.can.sync);
}

QString TelescopeSimulator::source() const {
    return kSimTelescopeId;
}

void TelescopeSimulator::setPointing(double rightAscension, double declination) {
    slewing_ = false;
    rest_ = {wrapHours(rightAscension), std::clamp(declination, -90.0, 90.0)};
}

void TelescopeSimulator::setConnected(bool value) {
    if (value && config_.connectFails)
        throwDriverError(DriverErrors::kDeviceFault, source(),
                         QStringLiteral("The mount does not answer"));
    connected_ = value && !config_.refuseConnect;
}

void TelescopeSimulator::requireConnected(const QString& member) const {
    if (!connected_)
        throwDriverError(DriverErrors::kNotConnected, source(),
                         member + QStringLiteral(": the telescope is not connected"));
}

void TelescopeSimulator::require(bool capability, const QString& member) const {
    if (!capability) throwNotImplemented(source(), member);
}

TelescopeSimulator::Pointing TelescopeSimulator::current() const {
    if (!slewing_) return rest_;
    const qint64 now = nowMs();
    if (now >= endMs_ || endMs_ <= startMs_) return to_;
    const double f = double(now - startMs_) / double(endMs_ - startMs_);
    return {wrapHours(from_.ra + raStep(from_.ra, to_.ra) * f),
            from_.dec + (to_.dec - from_.dec) * f};
}

void TelescopeSimulator::horizontal(double& altitude, double& azimuth) const {
    const Pointing p = current();
    const double lst = astro::now_lst(config_.longitude * kRad);
    double alt = 0, az = 0;
    astro::hadec_aa(config_.latitude * kRad, (lst - p.ra) * 15.0 * kRad, p.dec * kRad, alt, az);
    altitude = alt / kRad;
    azimuth = az / kRad;
}

double TelescopeSimulator::RightAscension() const {
    require(config_.can.readRaDec, QStringLiteral("RightAscension"));
    requireConnected(QStringLiteral("RightAscension"));
    return current().ra;
}

double TelescopeSimulator::Declination() const {
    require(config_.can.readRaDec, QStringLiteral("Declination"));
    requireConnected(QStringLiteral("Declination"));
    return current().dec;
}

double TelescopeSimulator::Azimuth() const {
    require(config_.can.readAltAz, QStringLiteral("Azimuth"));
    requireConnected(QStringLiteral("Azimuth"));
    double alt = 0, az = 0;
    horizontal(alt, az);
    return az;
}

double TelescopeSimulator::Altitude() const {
    require(config_.can.readAltAz, QStringLiteral("Altitude"));
    requireConnected(QStringLiteral("Altitude"));
    double alt = 0, az = 0;
    horizontal(alt, az);
    return alt;
}

double TelescopeSimulator::SiteLatitude() const {
    require(config_.can.readSite, QStringLiteral("SiteLatitude"));
    return config_.latitude;
}

double TelescopeSimulator::SiteLongitude() const {
    require(config_.can.readSite, QStringLiteral("SiteLongitude"));
    return config_.longitude;
}

int TelescopeSimulator::AlignmentMode() const {
    require(config_.can.readAlignmentMode, QStringLiteral("AlignmentMode"));
    return config_.alignmentMode;
}

double TelescopeSimulator::TargetRightAscension() const {
    if (!targetRa_)
        throwDriverError(DriverErrors::kValueNotSet, source(),
                         QStringLiteral("TargetRightAscension has not been set"));
    return *targetRa_;
}

void TelescopeSimulator::setTargetRightAscension(double hours) {
    if (!(hours >= 0 && hours <= 24))
        throwDriverError(
            DriverErrors::kInvalidValue, source(),
            QStringLiteral("TargetRightAscension %1 is outside 0 to 24 hours").arg(hours));
    targetRa_ = wrapHours(hours);
}

double TelescopeSimulator::TargetDeclination() const {
    if (!targetDec_)
        throwDriverError(DriverErrors::kValueNotSet, source(),
                         QStringLiteral("TargetDeclination has not been set"));
    return *targetDec_;
}

void TelescopeSimulator::setTargetDeclination(double degrees) {
    if (!(degrees >= -90 && degrees <= 90))
        throwDriverError(
            DriverErrors::kInvalidValue, source(),
            QStringLiteral("TargetDeclination %1 is outside -90 to 90 degrees").arg(degrees));
    targetDec_ = degrees;
}

void TelescopeSimulator::checkCoordinates(double ra, double dec, const QString& member) const {
    if (!(ra >= 0 && ra <= 24) || !(dec >= -90 && dec <= 90))
        throwDriverError(
            DriverErrors::kInvalidValue, source(),
            member +
                QStringLiteral(": %1 h, %2 deg is not a position in the sky").arg(ra).arg(dec));
}

void TelescopeSimulator::startSlew(double ra, double dec) {
    if (config_.slewFails)
        throwDriverError(DriverErrors::kDeviceFault, source(),
                         QStringLiteral("The mount stopped: motor fault"));
    from_ = current();
    to_ = {wrapHours(ra), dec};
    targetRa_ = to_.ra;
    targetDec_ = to_.dec;
    startMs_ = nowMs();
    const double degrees =
        std::max(std::abs(raStep(from_.ra, to_.ra)) * 15.0, std::abs(to_.dec - from_.dec));
    endMs_ = config_.slewRate > 0
                 ? startMs_ + qint64(std::ceil(degrees * 1000.0 / config_.slewRate))
                 : startMs_;
    slewing_ = endMs_ > startMs_;
    if (!slewing_) rest_ = to_;
}

void TelescopeSimulator::SlewToCoordinatesAsync(double rightAscension, double declination) {
    require(config_.can.slewAsync, QStringLiteral("SlewToCoordinatesAsync"));
    requireConnected(QStringLiteral("SlewToCoordinatesAsync"));
    checkCoordinates(rightAscension, declination, QStringLiteral("SlewToCoordinatesAsync"));
    startSlew(rightAscension, declination);
}

void TelescopeSimulator::SlewToCoordinates(double rightAscension, double declination) {
    require(config_.can.slew, QStringLiteral("SlewToCoordinates"));
    requireConnected(QStringLiteral("SlewToCoordinates"));
    checkCoordinates(rightAscension, declination, QStringLiteral("SlewToCoordinates"));
    startSlew(rightAscension, declination);
    if (!slewing_) return;
    // Events keep flowing while the mount moves; a handler may abort the slew
    // or drop this driver, so hold on to it until the wait is over.
    const auto self = weak_from_this().lock();
    auto wait = std::make_shared<platform::WaitControl>();
    slewWait_ = wait;
    platform::clock().pumpFor(endMs_ - nowMs(), wait);
    if (slewWait_ == wait) slewWait_.reset();
    Slewing();  // settles the position when the slew has ended
}

void TelescopeSimulator::SyncToTarget() {
    require(config_.can.sync, QStringLiteral("SyncToTarget"));
    requireConnected(QStringLiteral("SyncToTarget"));
    if (Slewing())
        throwDriverError(DriverErrors::kInvalidOperation, source(),
                         QStringLiteral("SyncToTarget is not possible while slewing"));
    rest_ = {TargetRightAscension(), TargetDeclination()};
}

bool TelescopeSimulator::Slewing() const {
    if (slewing_ && nowMs() >= endMs_) {
        // The slew has ended: the mount rests at its target from now on.
        rest_ = to_;
        slewing_ = false;
    }
    return slewing_;
}

void TelescopeSimulator::AbortSlew() {
    if (!Slewing()) return;
    rest_ = current();
    slewing_ = false;
    if (slewWait_) slewWait_->stop();
}

void TelescopeSimulator::SetupDialog() {
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("TelescopeSimulatorSetup"));
    dialog.setWindowTitle(QStringLiteral("Telescope Simulator"));
    auto* form = new QFormLayout(&dialog);
    auto* mount = new QComboBox(&dialog);
    mount->setObjectName(QStringLiteral("alignmentMode"));
    mount->addItems({QStringLiteral("Altitude-azimuth"), QStringLiteral("Equatorial (fork)"),
                     QStringLiteral("German equatorial")});
    mount->setCurrentIndex(config_.alignmentMode);
    form->addRow(QStringLiteral("Mount"), mount);
    auto number = [&](const char* name, const QString& label, double lo, double hi, double value) {
        auto* box = new QDoubleSpinBox(&dialog);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(lo, hi);
        box->setDecimals(4);
        box->setValue(value);
        form->addRow(label, box);
        return box;
    };
    auto* latitude = number("latitude", QStringLiteral("Site latitude (deg, north +)"), -90, 90,
                            config_.latitude);
    auto* longitude = number("longitude", QStringLiteral("Site longitude (deg, east +)"), -180, 180,
                             config_.longitude);
    auto* rate = number("slewRate", QStringLiteral("Slew rate (deg/s, 0 = at once)"), 0, 100,
                        config_.slewRate);
    auto check = [&](const char* name, const QString& label, bool value) {
        auto* box = new QCheckBox(label, &dialog);
        box->setObjectName(QString::fromLatin1(name));
        box->setChecked(value);
        form->addRow(box);
        return box;
    };
    auto* raDec =
        check("canReadRaDec", QStringLiteral("Reports RA and Dec"), config_.can.readRaDec);
    auto* altAz =
        check("canReadAltAz", QStringLiteral("Reports Alt and Az"), config_.can.readAltAz);
    auto* site = check("canReadSite", QStringLiteral("Reports its site"), config_.can.readSite);
    auto* mode = check("canReadAlignmentMode", QStringLiteral("Reports its mount type"),
                       config_.can.readAlignmentMode);
    auto* slew = check("canSlew", QStringLiteral("Can slew"), config_.can.slew);
    auto* slewAsync =
        check("canSlewAsync", QStringLiteral("Can slew asynchronously"), config_.can.slewAsync);
    auto* sync = check("canSync", QStringLiteral("Can sync"), config_.can.sync);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (!DriverUi::runSetupDialog(dialog)) return;
    config_.alignmentMode = mount->currentIndex();
    config_.latitude = latitude->value();
    config_.longitude = longitude->value();
    config_.slewRate = rate->value();
    config_.can = {raDec->isChecked(), altAz->isChecked(),     site->isChecked(), mode->isChecked(),
                   slew->isChecked(),  slewAsync->isChecked(), sync->isChecked()};
    saveConfig(config_);
}

}  // namespace zelmora::drivers
