#pragma once

// The Sun for the pass planner: where it is, how high it stands at the site and whether a
// satellite sees it.

#include "astro/topocentric.h"
#include "astro/vec3.h"

// Radius of the Earth for the shadow test (WGS-84 equatorial, metres): the planner's Earth is
// a sphere of this radius.
constexpr double kShadowEarthRadius = 6378137.0;
// The Sun's radius (IAU nominal, metres).
constexpr double kSunRadius = 695700000.0;

// The Sun's centre from the Earth's centre, metres, on the orbit model's axes, at a TT Julian
// date. The Astronomical Almanac's low-precision formulae: within 0.01 deg from 1950 to 2050.
// They give the Sun on the mean equator and equinox of date; the model's axes (true equator,
// mean equinox) differ from those by the nutation of the pole, under 0.004 deg, far below
// that accuracy.
Vec3 sunPosition(double ttJd);

// Geometric altitude of a body above the site's horizontal plane, degrees: position in metres
// on the model's axes, the site's horizon frame at the same instant.
double altitudeDegrees(const Vec3& position, const HorizonFrame& frame);

// How far the edge of the Sun's disc stands clear of the Earth's limb as seen from the
// satellite, degrees: positive when some of the disc shows (penumbra included), negative when
// the Earth hides all of it. Both positions in metres from the Earth's centre.
double sunClearanceDeg(const Vec3& satellite, const Vec3& sun);

// Any part of the Sun's disc visible from the satellite past the spherical Earth. False for a
// position that is not finite or lies inside the Earth.
bool isSunlit(const Vec3& satellite, const Vec3& sun);
