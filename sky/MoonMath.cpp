#include "sky/MoonMath.h"

#include <cmath>

namespace zelmora::sky::MoonMath {

namespace {

// The scan's sign and range tests were made on single-precision values; a
// crossing that lies within rounding of a window edge depends on it.
float f32(double x) {
    return static_cast<float>(x);
}

// Right ascension and declination from ecliptic-rotated direction cosines.
Equatorial fromCosines(double x, double y, double z) {
    const double rho = std::sqrt(1.0 - z * z);
    Equatorial e;
    e.dec = (360.0 / kTwoPi) * std::atan(z / rho);
    e.ra = (48.0 / kTwoPi) * std::atan(y / (x + rho));
    if (e.ra < 0) e.ra += 24.0;
    return e;
}

}  // namespace

double SinDeg(double degrees) {
    return std::sin(degrees * kDegToRad);
}
double CosDeg(double degrees) {
    return std::cos(degrees * kDegToRad);
}

double FracPart(double x) {
    return x - std::floor(x);
}

double IntPart(double x) {
    return std::trunc(x);
}

double FloatMod(double a, double b) {
    if (a == 0.0) return 1.0;
    return a - std::floor(a / b) * b;
}

double CalendarToMjd(std::int32_t year, std::int32_t month, std::int32_t day, double hour) {
    const double a = 10000.0 * year + 100.0 * month + day;
    if (year < 0) year += 1;  // there is no year 0
    if (month <= 2) {
        month += 12;
        year -= 1;
    }
    std::int32_t b;
    if (a <= 15821004.1)
        b = (year + 4716) / 4 - 1181;  // Julian calendar
    else
        b = year / 400 - year / 100 + year / 4;
    return 365.0 * year - 679004.0 + b + IntPart(30.6001 * (month + 1)) + day + hour / 24.0;
}

QString MjdToCalendar(double mjd) {
    const double a = IntPart(mjd + 2400000.5 + 0.5);
    double c;
    if (a < 2299161) {
        c = a + 1524;
    } else {
        const double b = IntPart((a - 1867216.25) / 36524.25);
        c = a + b - IntPart(b / 4) + 1525;
    }
    const double dd = IntPart((c - 122.1) / 365.25);
    const double e = 365 * dd + IntPart(dd / 4);
    const double f = IntPart((c - e) / 30.6001);
    const double day = IntPart(c - e + 0.5) - IntPart(30.6001 * f);
    const double month = f - 1 - 12 * IntPart(f / 14);
    const double year = dd - 4715 - IntPart((7 + month) / 10);
    auto part = [](double v) {
        const QString s = QString::number(static_cast<qint64>(v));
        return v >= 0 ? u' ' + s : s;
    };
    return part(day) + part(month) + part(year);
}

double LocalSiderealTime(double mjd, double lonWest) {
    const double mjd0 = IntPart(mjd);
    const double ut = (mjd - mjd0) * 24.0;
    const double t = (mjd0 - 51544.5) / 36525.0;
    const double gmst = 6.697374558 + 1.0027379093 * ut +
                        (8640184.812866 + (0.093104 - 0.0000062 * t) * t) * t / 3600.0;
    return 24.0 * FracPart((gmst - lonWest / 15.0) / 24.0);
}

Equatorial SunPosition(double t) {
    const double m = kTwoPi * FracPart(0.993133 + 99.997361 * t);
    const double dl = 6893.0 * std::sin(m) + 72.0 * std::sin(2.0 * m);
    const double l = kTwoPi * FracPart(0.7859453 + m / kTwoPi + (6191.2 * t + dl) / kArcsecPerTurn);
    const double sl = std::sin(l);
    return fromCosines(std::cos(l), 0.91748 * sl, 0.39778 * sl);
}

Equatorial MoonPosition(double t) {
    const double l0 = FracPart(0.606433 + 1336.855225 * t);  // revolutions
    const double l = kTwoPi * FracPart(0.374897 + 1325.55241 * t);
    const double ls = kTwoPi * FracPart(0.993133 + 99.997361 * t);
    const double d = kTwoPi * FracPart(0.827361 + 1236.853086 * t);
    const double f = kTwoPi * FracPart(0.259086 + 1342.227825 * t);

    const double dl = 22640 * std::sin(l) - 4586 * std::sin(l - 2 * d) + 2370 * std::sin(2 * d) +
                      769 * std::sin(2 * l) - 668 * std::sin(ls) - 412 * std::sin(2 * f) -
                      212 * std::sin(2 * l - 2 * d) - 206 * std::sin(l + ls - 2 * d) +
                      192 * std::sin(l + 2 * d) - 165 * std::sin(ls - 2 * d) - 125 * std::sin(d) -
                      110 * std::sin(l + ls) + 148 * std::sin(l - ls) -
                      55 * std::sin(2 * f - 2 * d);
    const double s = f + (dl + 412 * std::sin(2 * f) + 541 * std::sin(ls)) / kArcsecPerRadian;
    const double h = f - 2 * d;
    const double n = -526 * std::sin(h) + 44 * std::sin(l + h) - 31 * std::sin(h - l) -
                     23 * std::sin(ls + h) + 11 * std::sin(h - ls) - 25 * std::sin(f - 2 * l) +
                     21 * std::sin(f - l);
    const double lambda = kTwoPi * FracPart(l0 + dl / kArcsecPerTurn);
    const double beta = (18520 * std::sin(s) + n) / kArcsecPerRadian;

    const double cb = std::cos(beta);
    const double x = std::cos(lambda) * cb;
    const double v = std::sin(lambda) * cb;
    const double w = std::sin(beta);
    return fromCosines(x, 0.91748 * v - 0.39778 * w, 0.39778 * v + 0.91748 * w);
}

double SinAltitude(int body, double mjd0, double hour, double lonWest, double cglat, double sglat) {
    const double instant = mjd0 + hour / 24.0;
    const double t = (instant - 51544.5) / 36525.0;
    const Equatorial pos = body == kMoon ? MoonPosition(t) : SunPosition(t);
    const double tau = 15.0 * (LocalSiderealTime(instant, lonWest) - pos.ra);
    return sglat * SinDeg(pos.dec) + cglat * CosDeg(pos.dec) * CosDeg(tau);
}

Parabola QuadInterpolate(double ym, double y0, double yp) {
    Parabola p;
    const double a = 0.5 * (ym + yp) - y0;
    const double b = 0.5 * (yp - ym);
    const double c = y0;
    if (std::fabs(a) < 1e-12) {
        // Three samples on a straight line: its one root, if it lies in the window.
        p.ye = c;
        if (b != 0.0) {
            const double z = -c / b;
            if (std::fabs(f32(z)) <= 1.0f) {
                p.z1 = p.z2 = z;
                p.nz = 1;
            }
        }
        return p;
    }
    p.xe = -b / (2.0 * a);
    p.ye = (a * p.xe + b) * p.xe + c;
    const double dis = b * b - 4.0 * a * c;
    if (dis > 0) {
        const double dx = 0.5 * std::sqrt(dis) / std::fabs(a);
        p.z1 = p.xe - dx;
        p.z2 = p.xe + dx;
        if (std::fabs(f32(p.z1)) <= 1.0f) ++p.nz;
        if (std::fabs(f32(p.z2)) <= 1.0f) ++p.nz;
        if (f32(p.z1) < -1.0f) p.z1 = p.z2;
    }
    return p;
}

std::int32_t HoursToHhmm(double hours) {
    const double ut = std::floor(hours * 60.0 + 0.5) / 60.0;
    const double h = std::floor(ut);
    const double minutes = std::floor((ut - h) * 60.0 + 0.5);
    return static_cast<std::int32_t>(std::floor(h * 100.0 + minutes));
}

}  // namespace zelmora::sky::MoonMath
