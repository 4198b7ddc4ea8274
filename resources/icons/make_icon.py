#!/usr/bin/env python3
"""Draws the application icon with the standard library only: icon_halvstar.png (256 x 256 RGBA,
the window's) and the installed sizes, hicolor/<N>x<N>/apps/orbitrak.png.

A night-sky disc, a planet, a tilted orbit and a satellite on it, drawn on a 256-unit canvas.
Each pixel is the average of many samples (4 x 4 at 256 pixels, more at the small sizes), which
gives smooth edges. Run it from this folder: python3 make_icon.py
"""
import os
import math
import struct
import zlib

SIZE = 256
SUB = 4
C = 128.0

SKY_TOP = (38, 70, 120)
SKY_BOTTOM = (9, 18, 44)
PLANET = (78, 168, 222)
PLANET_SHADE = (24, 78, 140)
ORBIT = (255, 200, 87)
SAT = (255, 255, 255)
STARS = [(70, 62, 2.6), (188, 52, 3.0), (206, 170, 2.2), (58, 176, 2.2), (150, 214, 1.8)]

TILT = math.radians(-24)
A, B, RING = 96.0, 34.0, 5.5
SAT_ANGLE = math.radians(35)


def to_orbit_frame(x, y):
    dx, dy = x - C, y - C
    c, s = math.cos(-TILT), math.sin(-TILT)
    return dx * c - dy * s, dx * s + dy * c


def on_ring(x, y):
    u, v = to_orbit_frame(x, y)
    # Distance to the ellipse, approximated by the normalised radius scaled to pixels.
    r = math.hypot(u / A, v / B)
    if r == 0:
        return False, 0
    grad = math.hypot(u / (A * A), v / (B * B)) / r
    dist = abs(r - 1) / grad
    return dist < RING / 2, v


def satellite_position():
    u, v = A * math.cos(SAT_ANGLE), B * math.sin(SAT_ANGLE)
    c, s = math.cos(TILT), math.sin(TILT)
    return C + u * c - v * s, C + u * s + v * c


SX, SY = satellite_position()


def sample(x, y):
    d = math.hypot(x - C, y - C)
    if d > 122:
        return None
    t = y / SIZE
    col = tuple(SKY_TOP[i] * (1 - t) + SKY_BOTTOM[i] * t for i in range(3))
    for sx, sy, r in STARS:
        if math.hypot(x - sx, y - sy) < r:
            col = (255, 255, 240)
    ring, v = on_ring(x, y)
    if ring and v < 0:  # far half of the orbit, behind the planet
        col = ORBIT
    dp = math.hypot(x - C, y - C)
    if dp < 46:
        # Lit from the upper left.
        k = max(0.0, min(1.0, ((x - C) + (y - C)) / 92 + 0.5))
        col = tuple(PLANET[i] * (1 - k) + PLANET_SHADE[i] * k for i in range(3))
    if ring and v >= 0:  # near half, in front of the planet
        col = ORBIT
    ds = math.hypot(x - SX, y - SY)
    if ds < 11:
        col = SAT if ds < 8 else ORBIT
    return col


def render(size):
    scale = SIZE / size
    sub = max(SUB, SUB * SIZE // (size * 4))
    rows = []
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for sy in range(sub):
                for sx in range(sub):
                    s = sample((px + (sx + 0.5) / sub) * scale, (py + (sy + 0.5) / sub) * scale)
                    if s is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += s[i]
            if hits:
                row += bytes(int(round(acc[i] / hits)) for i in range(3))
                row.append(int(round(255 * hits / (sub * sub))))
            else:
                row += b"\0\0\0\0"
        rows.append(bytes(row))
    return b"".join(rows)


def png(data, size):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(data, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    with open("icon_halvstar.png", "wb") as f:
        f.write(png(render(SIZE), SIZE))
    for n in (16, 24, 32, 48, 64, 128, 256):
        folder = os.path.join("hicolor", "%dx%d" % (n, n), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "orbitrak.png"), "wb") as f:
            f.write(png(render(n), n))
