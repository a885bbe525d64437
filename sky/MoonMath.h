#pragma once

#include <QString>
#include <cstdint>

// The published low-precision solar and lunar series and the rise/set scan
// arithmetic behind clsMoonCalc. Kept apart from the class so that each piece
// can be checked against textbook values on its own.
namespace zelmora::sky::MoonMath {

// The constants exactly as the series were published; the rise/set texts
// depend on them to the minute.
inline constexpr double kTwoPi = 6.283185307;
inline constexpr double kDegToRad = 0.0174532925199433;
inline constexpr double kArcsecPerRadian = 206264.8062;
inline constexpr double kArcsecPerTurn = 1296000.0;
inline constexpr double kSynodicMonth = 29.53058867;

// Bodies of the rise/set scan.
enum Body : int { kMoon = 1, kSun = 2, kNauticalTwilight = 3 };

double SinDeg(double degrees);
double CosDeg(double degrees);
// x - floor(x), in [0, 1).
double FracPart(double x);
// Truncation toward zero.
double IntPart(double x);
// Floor modulo; gives 1 when a is exactly 0 (the published rule, kept).
double FloatMod(double a, double b);

// Modified Julian date; dates up to 4 October 1582 are taken in the Julian
// calendar, later ones in the Gregorian.
double CalendarToMjd(std::int32_t year, std::int32_t month, std::int32_t day, double hour);
// " 18 11 1998": day, month and year, each non-negative number with a leading blank.
QString MjdToCalendar(double mjd);

// Local mean sidereal time in hours; longitude in degrees, WEST positive.
double LocalSiderealTime(double mjd, double lonWest);

struct Equatorial {
    double ra = 0;   // hours, 0..24
    double dec = 0;  // degrees
};
// T in Julian centuries since MJD 51544.5.
Equatorial SunPosition(double t);
Equatorial MoonPosition(double t);

// Sine of the body's altitude at `hour` of the local day that starts at mjd0.
double SinAltitude(int body, double mjd0, double hour, double lonWest, double cglat, double sglat);

// The parabola through (-1, ym), (0, y0), (+1, yp): its extremum (xe, ye), its
// roots z1 <= z2 and how many of them lie in [-1, +1]. When exactly one root
// lies inside, it is z1.
struct Parabola {
    double xe = 0, ye = 0, z1 = 0, z2 = 0;
    int nz = 0;
};
Parabola QuadInterpolate(double ym, double y0, double yp);

// Decimal hours to the number hours*100 + minutes, rounded to the minute
// (23:59:40 gives 2400).
std::int32_t HoursToHhmm(double hours);

}  // namespace zelmora::sky::MoonMath
