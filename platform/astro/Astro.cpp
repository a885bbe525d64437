#include "platform/astro/Astro.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/time/Clock.h"

namespace zelmora::astro {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// 2000-01-01 12:00:00 UTC in milliseconds since the Unix epoch.
constexpr qint64 kJ2000Ms = 946728000000LL;

UtcClock& clockSlot() {
    static UtcClock clock;
    return clock;
}

double wrap(double x, double period) {
    double r = std::fmod(x, period);
    if (r < 0) r += period;
    // fmod of a tiny negative value can round up to the period itself.
    return r >= period ? 0.0 : r;
}

// asin/atan2 arguments that rounding pushed just past +-1.
double clampUnit(double x) {
    return std::clamp(x, -1.0, 1.0);
}

// The horizontal and equatorial frames are mirror images of each other about
// the meridian, so one rotation serves both directions.
void rotate(double latitude, double lon, double lat, double& outLon, double& outLat) {
    const double sinPhi = std::sin(latitude), cosPhi = std::cos(latitude);
    const double sinLat = std::sin(lat), cosLat = std::cos(lat);
    const double cosLon = std::cos(lon), sinLon = std::sin(lon);
    outLat = std::asin(clampUnit(sinPhi * sinLat + cosPhi * cosLat * cosLon));
    const double y = -cosLat * sinLon;
    const double x = sinLat * cosPhi - cosLat * cosLon * sinPhi;
    outLon = wrap(std::atan2(y, x), kTwoPi);
}

}  // namespace

void setClock(UtcClock clock) {
    clockSlot() = std::move(clock);
}

QDateTime nowUtc() {
    if (clockSlot()) return clockSlot()().toUTC();
    return platform::clock().now().toUTC();
}

double daysSinceJ2000(const QDateTime& instant) {
    // Integer milliseconds first: a Julian date near 2.45e6 would cost precision.
    return static_cast<double>(instant.toMSecsSinceEpoch() - kJ2000Ms) / 86400000.0;
}

double gmstHours(const QDateTime& instant) {
    // Mean sidereal time of the IAU 1982 expression, written for any instant.
    const double d = daysSinceJ2000(instant);
    const double t = d / 36525.0;
    const double degrees =
        280.46061837 + 360.98564736629 * d + 0.000387933 * t * t - t * t * t / 38710000.0;
    return wrap(degrees, 360.0) / 15.0;
}

double now_lst(double longitude) {
    const double lonHours = longitude * 12.0 / std::numbers::pi;
    return wrap(gmstHours(nowUtc()) + lonHours, 24.0);
}

void hadec_aa(double latitude, double hourAngle, double declination, double& altitude,
              double& azimuth) {
    rotate(latitude, hourAngle, declination, azimuth, altitude);
}

void aa_hadec(double latitude, double altitude, double azimuth, double& hourAngle,
              double& declination) {
    rotate(latitude, azimuth, altitude, hourAngle, declination);
}

}  // namespace zelmora::astro
