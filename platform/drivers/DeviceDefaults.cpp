// What a driver that does not offer a member answers: the failure that says so.
#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/Focuser.h"
#include "platform/drivers/Telescope.h"

namespace zelmora::drivers {

std::int32_t Focuser::Position() const {
    throwNotImplemented(source(), QStringLiteral("Position"));
}
std::int32_t Focuser::MaxStep() const {
    throwNotImplemented(source(), QStringLiteral("MaxStep"));
}
double Focuser::stepsize() const {
    throwNotImplemented(source(), QStringLiteral("StepSize"));
}
bool Focuser::IsMoving() const {
    throwNotImplemented(source(), QStringLiteral("IsMoving"));
}
void Focuser::Move(std::int32_t) {
    throwNotImplemented(source(), QStringLiteral("Move"));
}
void Focuser::SetupDialog() {
    throwNotImplemented(source(), QStringLiteral("SetupDialog"));
}
void Focuser::ResetPositionTo(std::int32_t) {
    throwNotImplemented(source(), QStringLiteral("ResetPositionTo"));
}

double Telescope::RightAscension() const {
    throwNotImplemented(source(), QStringLiteral("RightAscension"));
}
double Telescope::Declination() const {
    throwNotImplemented(source(), QStringLiteral("Declination"));
}
double Telescope::Azimuth() const {
    throwNotImplemented(source(), QStringLiteral("Azimuth"));
}
double Telescope::Altitude() const {
    throwNotImplemented(source(), QStringLiteral("Altitude"));
}
double Telescope::SiteLatitude() const {
    throwNotImplemented(source(), QStringLiteral("SiteLatitude"));
}
double Telescope::SiteLongitude() const {
    throwNotImplemented(source(), QStringLiteral("SiteLongitude"));
}
int Telescope::AlignmentMode() const {
    throwNotImplemented(source(), QStringLiteral("AlignmentMode"));
}
double Telescope::TargetRightAscension() const {
    throwNotImplemented(source(), QStringLiteral("TargetRightAscension"));
}
void Telescope::setTargetRightAscension(double) {
    throwNotImplemented(source(), QStringLiteral("TargetRightAscension"));
}
double Telescope::TargetDeclination() const {
    throwNotImplemented(source(), QStringLiteral("TargetDeclination"));
}
void Telescope::setTargetDeclination(double) {
    throwNotImplemented(source(), QStringLiteral("TargetDeclination"));
}
void Telescope::SlewToCoordinatesAsync(double, double) {
    throwNotImplemented(source(), QStringLiteral("SlewToCoordinatesAsync"));
}
void Telescope::SlewToCoordinates(double, double) {
    throwNotImplemented(source(), QStringLiteral("SlewToCoordinates"));
}
void Telescope::SyncToTarget() {
    throwNotImplemented(source(), QStringLiteral("SyncToTarget"));
}
bool Telescope::Slewing() const {
    throwNotImplemented(source(), QStringLiteral("Slewing"));
}
void Telescope::AbortSlew() {
    throwNotImplemented(source(), QStringLiteral("AbortSlew"));
}
void Telescope::SetupDialog() {
    throwNotImplemented(source(), QStringLiteral("SetupDialog"));
}

}  // namespace zelmora::drivers
