#pragma once

// The Moon after Meeus' abridged ELP-2000/82 theory (Astronomical Algorithms, chapter 47, the
// full tables of periodic terms): about 10 arc-seconds in longitude, 4 in latitude.

#include "astro/vec3.h"

// The Moon's mean radius (IAU, metres).
constexpr double kMoonRadius = 1737400.0;

// Geocentric ecliptic coordinates of the mean equinox of date (radians, metres).
struct EclipticPosition {
    double longitude = 0.0;
    double latitude = 0.0;
    double distance = 0.0;
};

// The Moon's geometric position at a TT Julian date, on the mean ecliptic and equinox of date.
EclipticPosition moonEcliptic(double ttJd);

// The Moon's centre from the Earth's centre, metres, on the orbit model's axes (true equator,
// mean equinox of date), apparent: nutation applied as described at apparentOnModelAxes.
Vec3 moonPosition(double ttJd);
