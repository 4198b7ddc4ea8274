#!/usr/bin/python3
"""Writes tests/data/sky/ground-track-reference.csv: sub-satellite points computed by Skyfield
(Debian's python3-skyfield) for a few sets of tests/data/catalogue/active-2026-03.txt, against
which tests/tools compares orbitrak-cli track.

Skyfield's EarthSatellite turns the model's TEME to ITRS by the 1982 mean sidereal time of UT1
with no polar motion unless given a table: the turn Orbitrak makes. UT1 is taken equal to UTC
(Delta T = TT - UTC = 69.184 s in 2026), as orbitrak-cli does in a folder without a time table.

Run from the repository's top: python3 tools/scripts/make_track_reference.py
"""
import csv
import sys

from skyfield.api import EarthSatellite, load, wgs84

CATALOGUE = "tests/data/catalogue/active-2026-03.txt"
OUTPUT = "tests/data/sky/ground-track-reference.csv"
# Near-Earth at three heights, a navigation satellite and a geostationary one (deep space).
NUMBERS = [25544, 22825, 49205, 28474, 41866]
START = (2026, 3, 19, 9, 0, 0)
MINUTES = 90
STEP_S = 600


def element_sets(path):
    lines = [line.rstrip("\n") for line in open(path, encoding="utf-8")]
    for i in range(len(lines) - 2):
        if lines[i + 1].startswith("1 ") and lines[i + 2].startswith("2 "):
            yield int(lines[i + 1][2:7]), lines[i].strip(), lines[i + 1], lines[i + 2]


def main():
    ts = load.timescale(delta_t=69.184)
    wanted = {n: s for n, *s in element_sets(CATALOGUE) if n in NUMBERS}
    rows = []
    for number in NUMBERS:
        name, line1, line2 = wanted[number]
        satellite = EarthSatellite(line1, line2, name, ts)
        for k in range(MINUTES * 60 // STEP_S + 1):
            y, mo, d, h, mi, s = START
            t = ts.utc(y, mo, d, h, mi, s + k * STEP_S)
            where = wgs84.geographic_position_of(satellite.at(t))
            rows.append([number, t.utc_strftime("%Y-%m-%dT%H:%M:%S") + ".000Z",
                         "%.9f" % where.latitude.degrees, "%.9f" % where.longitude.degrees,
                         "%.9f" % where.elevation.km])
    with open(OUTPUT, "w", newline="") as out:
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(["catalog", "time_utc", "latitude_deg", "longitude_deg", "height_km"])
        writer.writerows(rows)
    print("wrote %d rows to %s" % (len(rows), OUTPUT), file=sys.stderr)


if __name__ == "__main__":
    main()
