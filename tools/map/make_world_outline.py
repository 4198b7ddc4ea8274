#!/usr/bin/env python3
"""Writes the map's outlines from Natural Earth's countries as QGIS carries them.

    make_world_outline.py [GPKG] [OUTPUT]

GPKG defaults to QGIS's world_map.gpkg (Debian's qgis-common); OUTPUT to
resources/map/world_outline.bin. Python's standard library only.

Each country's rings are cut into runs of coastline (an edge no other ring has) and of border
(an edge two rings share, written once), quantised to 1/180 deg and simplified. The file,
little-endian throughout:

    "OTWO"  uint16 version (1)  uint16 units per degree (180)  uint32 polyline count
    per polyline: uint8 kind (0 coastline, 1 border)  uint32 point count (>= 2)
                  point count x (int16 longitude, int16 latitude), in units
"""

import sqlite3
import struct
import sys

SOURCE = "/usr/share/qgis/resources/data/world_map.gpkg"
OUTPUT = "resources/map/world_outline.bin"
UNITS = 180  # per degree: about 600 m, finer than the source's generalisation
TOLERANCE = 2  # units: what the simplification may move a line (about 1.2 km)


def wkb_rings(blob):
    """The rings of a GeoPackage geometry (Polygon or MultiPolygon) as lists of (lon, lat)."""
    if blob[:2] != b"GP":
        raise ValueError("not a GeoPackage geometry")
    flags = blob[3]
    envelope = {0: 0, 1: 32, 2: 48, 3: 48, 4: 64}[(flags >> 1) & 7]
    data, pos = blob[8 + envelope:], 0

    def read(fmt, order):
        nonlocal pos
        values = struct.unpack_from(order + fmt, data, pos)
        pos += struct.calcsize(fmt)
        return values

    def geometry():
        order = "<" if data[pos] == 1 else ">"
        read("B", order)
        (kind,) = read("I", order)
        kind %= 1000
        if kind == 3:
            (count,) = read("I", order)
            rings = []
            for _ in range(count):
                (points,) = read("I", order)
                flat = read("%dd" % (2 * points), order)
                rings.append(list(zip(flat[0::2], flat[1::2])))
            return rings
        if kind == 6:
            (count,) = read("I", order)
            return [ring for _ in range(count) for ring in geometry()]
        raise ValueError("geometry type %d" % kind)

    return geometry()


def quantised(ring):
    out = []
    for lon, lat in ring:
        p = (max(-180 * UNITS, min(180 * UNITS, round(lon * UNITS))),
             max(-90 * UNITS, min(90 * UNITS, round(lat * UNITS))))
        if not out or out[-1] != p:
            out.append(p)
    if len(out) > 1 and out[0] != out[-1]:
        out.append(out[0])
    return out


def simplified(line):
    """Douglas-Peucker, the ends kept."""
    if len(line) < 3:
        return line
    keep = [False] * len(line)
    keep[0] = keep[-1] = True
    stack = [(0, len(line) - 1)]
    while stack:
        first, last = stack.pop()
        (x0, y0), (x1, y1) = line[first], line[last]
        dx, dy = x1 - x0, y1 - y0
        norm = (dx * dx + dy * dy) ** 0.5
        worst, at = -1.0, -1
        for i in range(first + 1, last):
            x, y = line[i]
            d = (abs(dy * (x - x0) - dx * (y - y0)) / norm if norm
                 else ((x - x0) ** 2 + (y - y0) ** 2) ** 0.5)
            if d > worst:
                worst, at = d, i
        if at >= 0 and worst > TOLERANCE:
            keep[at] = True
            stack += [(first, at), (at, last)]
    return [p for p, k in zip(line, keep) if k]


def outlines(rings):
    edges = {}
    for ring in rings:
        for a, b in zip(ring, ring[1:]):
            key = (min(a, b), max(a, b))
            edges[key] = edges.get(key, 0) + 1
    written = set()
    runs = []
    for ring in rings:
        run, run_kind = [], None
        for a, b in zip(ring, ring[1:]):
            key = (min(a, b), max(a, b))
            kind = 1 if edges[key] > 1 else 0
            if kind == 1 and key in written:
                kind = None  # the neighbour's ring wrote it
            written.add(key)
            if kind != run_kind:
                if run_kind is not None and len(run) > 1:
                    runs.append((run_kind, run))
                run, run_kind = [a], kind
            run.append(b)
        if run_kind is not None and len(run) > 1:
            runs.append((run_kind, run))
    return [(kind, simplified(line)) for kind, line in runs]


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else SOURCE
    target = sys.argv[2] if len(sys.argv) > 2 else OUTPUT
    db = sqlite3.connect("file:%s?mode=ro" % source, uri=True)
    rings = []
    for (blob,) in db.execute("SELECT geom FROM countries WHERE geom IS NOT NULL ORDER BY fid"):
        rings += [q for q in map(quantised, wkb_rings(blob)) if len(q) >= 4]
    lines = [(kind, line) for kind, line in outlines(rings) if len(line) >= 2]
    body = [struct.pack("<4sHHI", b"OTWO", 1, UNITS, len(lines))]
    for kind, line in lines:
        body.append(struct.pack("<BI", kind, len(line)))
        body.append(struct.pack("<%dh" % (2 * len(line)), *[v for p in line for v in p]))
    data = b"".join(body)
    with open(target, "wb") as out:
        out.write(data)
    points = sum(len(line) for _, line in lines)
    print("%s: %d polylines, %d points, %d bytes" % (target, len(lines), points, len(data)))


if __name__ == "__main__":
    main()
