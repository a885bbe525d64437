#!/usr/bin/env python3
"""Independent reference values for the sun and moon calculations.

Run:  python3 make_reference.py   (writes reference.txt beside this script;
      needs PyEphem: apt-get install python3-ephem)

Nothing here shares code with the program. The sources are:
  * calendar: Python's own proleptic Gregorian day count, and a plain
    day-by-day Julian calendar count for dates up to 4 October 1582;
  * Sun: the textbook's "low accuracy" apparent solar position (geometric
    longitude with the equation of centre, nutation and aberration terms,
    true obliquity) and the IAU 1982 mean sidereal time - a more accurate
    algorithm than the program's short series;
  * Moon: PyEphem's lunar theory (python3-ephem, a full ephemeris, not the
    program's short series): apparent geocentric position of date, and rise and
    set found from it by brute force (one-minute sampling and bisection) instead
    of the program's two-hour parabola scan;
  * moon age: plain day arithmetic from the reference new moon.

Rise/set rows: minutes after local midnight for each event, "-" when that
event does not happen in the day while the other one does, "x" when the body
has neither event (the program then leaves both texts empty).
"""
import datetime as dt
import math
import os

import ephem

MJD_EPOCH = dt.date(1858, 11, 17)


# ---------------------------------------------------------------- calendar
def mjd_gregorian(y, m, d):
    return (dt.date(y, m, d) - MJD_EPOCH).days


def julian_days_before(y, m, d):
    """Days from 1 January 1 AD (Julian) to the given Julian-calendar date."""
    days = 0
    for year in range(1, y):
        days += 366 if year % 4 == 0 else 365
    month_len = [31, 29 if y % 4 == 0 else 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]
    days += sum(month_len[: m - 1]) + d - 1
    return days


def mjd_julian(y, m, d):
    # 4 October 1582 (Julian) was followed by 15 October 1582 (Gregorian).
    anchor = mjd_gregorian(1582, 10, 15) - 1
    return anchor + julian_days_before(y, m, d) - julian_days_before(1582, 10, 4)


# ---------------------------------------------------------------- time
def jd_of(date, hours):
    return date.toordinal() + 1721424.5 + hours / 24.0


def gmst_deg(jd):
    d = jd - 2451545.0
    t = d / 36525.0
    return (280.46061837 + 360.98564736629 * d + 0.000387933 * t * t - t ** 3 / 38710000.0) % 360.0


# ---------------------------------------------------------------- Sun (textbook, low accuracy)
def sun_radec(jd):
    t = (jd - 2451545.0) / 36525.0
    l0 = 280.46646 + 36000.76983 * t + 0.0003032 * t * t
    m = math.radians(357.52911 + 35999.05029 * t - 0.0001537 * t * t)
    c = ((1.914602 - 0.004817 * t - 0.000014 * t * t) * math.sin(m)
         + (0.019993 - 0.000101 * t) * math.sin(2 * m) + 0.000289 * math.sin(3 * m))
    omega = math.radians(125.04 - 1934.136 * t)
    lam = math.radians(l0 + c - 0.00569 - 0.00478 * math.sin(omega))
    eps0 = 23.0 + 26.0 / 60 + (21.448 - 46.8150 * t - 0.00059 * t * t + 0.001813 * t ** 3) / 3600
    eps = math.radians(eps0 + 0.00256 * math.cos(omega))
    ra = math.degrees(math.atan2(math.cos(eps) * math.sin(lam), math.cos(lam))) % 360.0
    dec = math.degrees(math.asin(math.sin(eps) * math.sin(lam)))
    return ra, dec


# ---------------------------------------------------------------- Moon (PyEphem)
def moon_radec(jd):
    """Apparent geocentric right ascension and declination of date, in degrees."""
    moon = ephem.Moon(ephem.Date(jd - 2415020.0))  # PyEphem counts days from 1899 Dec 31 12h
    return math.degrees(moon.g_ra) % 360.0, math.degrees(moon.g_dec)


# ---------------------------------------------------------------- rise and set by brute force
def altitude_fn(body, date, zone, lon_east, lat):
    phi = math.radians(lat)
    h0 = {"moon": 8.0 / 60.0, "sun": -50.0 / 60.0, "twilight": -12.0}[body]
    pos = moon_radec if body == "moon" else sun_radec

    def f(hours):  # hours after local midnight
        jd = jd_of(date, hours - zone)
        ra, dec = pos(jd)
        ha = math.radians(gmst_deg(jd) + lon_east - ra)
        d = math.radians(dec)
        return (math.sin(phi) * math.sin(d) + math.cos(phi) * math.cos(d) * math.cos(ha)
                - math.sin(math.radians(h0)))
    return f


def crossings(f):
    """Every sign change of f in [0, 24] hours, refined by bisection."""
    found = []
    step = 1.0 / 60.0
    t0, y0 = 0.0, f(0.0)
    for i in range(1, 24 * 60 + 1):
        t1 = i * step
        y1 = f(t1)
        if (y0 < 0) != (y1 < 0):
            a, b, ya = t0, t1, y0
            for _ in range(50):
                mid = 0.5 * (a + b)
                ym = f(mid)
                if (ym < 0) == (ya < 0):
                    a, ya = mid, ym
                else:
                    b = mid
            found.append((0.5 * (a + b), "rise" if y0 < 0 else "set"))
        t0, y0 = t1, y1
    return found


def events(body, date, zone, lon, lat):
    found = crossings(altitude_fn(body, date, zone, lon, lat))
    if not found:
        return "x", "x"
    rise = [t for t, kind in found if kind == "rise"]
    sett = [t for t, kind in found if kind == "set"]
    fmt = lambda ts: f"{ts[-1] * 60:.2f}" if ts else "-"
    return fmt(rise), fmt(sett)


# name, lon (E+), lat (N+), date, zone
RISE_SET_CASES = [
    ("greenwich-june", 0.0, 51.4769, (2000, 6, 21), 0),
    ("greenwich-december", 0.0, 51.4769, (2000, 12, 21), 0),
    ("equator-equinox", 0.0, 0.0, (2000, 3, 20), 0),
    ("melbourne-zone11", 144.9631, -37.8136, (2024, 1, 1), 11),
    ("melbourne-zone10", 144.9631, -37.8136, (2024, 1, 1), 10),
    ("melbourne-june", 144.9631, -37.8136, (2024, 6, 21), 10),
    ("default-place", 144.0, -37.0, (2024, 1, 1), 11),
    ("new-york-eclipse", -74.006, 40.7128, (2024, 4, 8), -4),
    ("sydney-christmas", 151.2093, -33.8688, (2023, 12, 25), 11),
    ("home", 151.25, -33.5, (2024, 3, 1), 10),
    ("tromso-polar-day", 18.9553, 69.6492, (2024, 6, 21), 2),
    ("tromso-polar-night", 18.9553, 69.6492, (2024, 12, 21), 1),
    ("oslo-white-night", 10.7522, 59.9139, (2024, 6, 21), 2),
    ("reykjavik-midsummer", -21.9426, 64.1466, (2024, 6, 21), 0),
]

# Moon age at local midnight: days since the reference new moon, floor modulo.
AGE_DATES = [(2024, 1, 1), (2024, 1, 11), (2024, 1, 25), (2024, 4, 8), (2024, 4, 9)]
SYNODIC = 29.53058867
REFERENCE = dt.datetime(1998, 11, 18, 21, 36)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    lines = ["# Independent reference values; made by make_reference.py, do not edit."]

    for y, m, d in [(2000, 1, 1), (1858, 11, 17), (1987, 4, 10), (1992, 10, 13), (2024, 2, 29),
                    (1900, 3, 1), (1582, 10, 15)]:
        lines.append(f"mjd {y} {m} {d} {mjd_gregorian(y, m, d)}")
    for y, m, d in [(1582, 10, 4), (1000, 2, 29), (1, 1, 1)]:
        lines.append(f"mjd {y} {m} {d} {mjd_julian(y, m, d)}")

    # Apparent solar position, to compare with the short series within 1'.
    for y, m, d, h in [(1992, 10, 13, 0.0), (2000, 1, 1, 12.0), (2000, 6, 21, 1.8),
                       (2024, 3, 20, 3.1), (2024, 9, 22, 12.7)]:
        ra, dec = sun_radec(jd_of(dt.date(y, m, d), h))
        lines.append(f"sun {y} {m} {d} {h} {ra:.6f} {dec:.6f}")

    # Lunar position, to compare with the short series.
    for y, m, d, h in [(1992, 4, 12, 0.0), (2000, 1, 1, 12.0), (2003, 8, 9, 6.5),
                       (2024, 1, 1, 0.0), (2024, 4, 8, 18.3), (2024, 6, 21, 22.0),
                       (2025, 11, 5, 3.0)]:
        ra, dec = moon_radec(jd_of(dt.date(y, m, d), h))
        lines.append(f"moon {y} {m} {d} {h} {ra:.6f} {dec:.6f}")

    for name, lon, lat, (y, m, d), zone in RISE_SET_CASES:
        date = dt.date(y, m, d)
        row = []
        for body in ("moon", "sun", "twilight"):
            row.extend(events(body, date, zone, lon, lat))
        lines.append(f"riseset {name} {lon} {lat} {y} {m} {d} {zone} " + " ".join(row))

    for y, m, d in AGE_DATES:
        days = (dt.datetime(y, m, d) - REFERENCE).total_seconds() / 86400.0
        lines.append(f"age {y} {m} {d} {days % SYNODIC:.6f}")

    with open(os.path.join(here, "reference.txt"), "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
