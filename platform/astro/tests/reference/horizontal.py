#!/usr/bin/env python3
"""Second-algorithm reference for the horizontal <-> equatorial table.

The program converts with the spherical-trigonometry formulas. This script
instead turns the star's unit vector with a rotation matrix (hour-angle frame
to horizon frame), so a sign or quadrant slip in either would show as a
disagreement. Output: horizontal.txt beside this script.

Rows: (ra hours, dec deg, latitude deg) at a local sidereal time of 5 h.
"""
import math
import os

LST = 5.0
ROWS = [
    (5.0, 0.0, 0.0),
    (11.0, 0.0, 0.0),
    (23.0, 0.0, 0.0),
    (5.0, 20.0, 50.0),
    (5.0, 80.0, 50.0),
    (5.0, -10.0, -37.0),
    (3.0, 45.0, 45.0),
    (7.5, -60.0, -33.9),
]


def horizontal(ra, dec, lat):
    h = math.radians((LST - ra) * 15.0)
    d = math.radians(dec)
    phi = math.radians(lat)
    # Hour-angle frame: x to the meridian on the equator, y to the west, z to the pole.
    v = (math.cos(d) * math.cos(h), math.cos(d) * math.sin(h), math.sin(d))
    # Tilt about the east-west axis by the colatitude: x' south, y' west, z' zenith.
    m = (
        (math.sin(phi), 0.0, -math.cos(phi)),
        (0.0, 1.0, 0.0),
        (math.cos(phi), 0.0, math.sin(phi)),
    )
    x, y, z = (sum(m[r][c] * v[c] for c in range(3)) for r in range(3))
    alt = math.degrees(math.asin(max(-1.0, min(1.0, z))))
    if abs(x) < 1e-12 and abs(y) < 1e-12:
        az = 0.0  # zenith: any azimuth; report north
    else:
        az = (math.degrees(math.atan2(y, x)) + 180.0) % 360.0  # from south -> from north
    return az, alt


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "horizontal.txt"), "w") as out:
        out.write("# ra_h dec_deg lat_deg -> az_deg(from north, through east) alt_deg, LST 5 h\n")
        for ra, dec, lat in ROWS:
            az, alt = horizontal(ra, dec, lat)
            out.write(f"{ra} {dec} {lat} {az:.9f} {alt:.9f}\n")


if __name__ == "__main__":
    main()
