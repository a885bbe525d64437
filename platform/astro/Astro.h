#pragma once

#include <QDateTime>
#include <functional>

// The ephemeris functions the telescope control needs: mean sidereal time and
// the hour angle/declination <-> altitude/azimuth conversions.
//
// Conventions (all angles in radians):
//  - longitude east positive;
//  - hour angle positive west of the meridian;
//  - azimuth measured from north through east, 0 <= az < 2 pi.
namespace zelmora::astro {

// Where "now" comes from. Empty means the program clock (platform::clock()),
// so tests on virtual time are already deterministic; a test may freeze it.
using UtcClock = std::function<QDateTime()>;
void setClock(UtcClock clock);
QDateTime nowUtc();

// Days (with fraction) since J2000.0, 2000-01-01 12:00 UT.
double daysSinceJ2000(const QDateTime& instant);

// Greenwich mean sidereal time in hours, 0 <= gmst < 24.
double gmstHours(const QDateTime& instant);

// Local mean sidereal time of the present moment, in hours (0 to under 24),
// for a longitude in radians, east positive.
double now_lst(double longitude);

// Hour angle and declination to altitude and azimuth.
void hadec_aa(double latitude, double hourAngle, double declination, double& altitude,
              double& azimuth);

// Altitude and azimuth to hour angle (0 <= ha < 2 pi) and declination.
void aa_hadec(double latitude, double altitude, double azimuth, double& hourAngle,
              double& declination);

}  // namespace zelmora::astro
