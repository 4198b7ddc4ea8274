#pragma once

// The Sun: a fast low-precision one for the pass planner's sunlit test and a refined one for
// transits; where it stands at the site and whether a satellite sees it.

#include "astro/earth.h"
#include "astro/topocentric.h"
#include "astro/vec3.h"

// The Sun's radius (IAU nominal, metres).
constexpr double kSunRadius = 695700000.0;
constexpr double kAstronomicalUnit = 149597870700.0; // metres

// The Sun's centre from the Earth's centre, metres, on the orbit model's axes, at a TT Julian
// date. The Astronomical Almanac's low-precision formulae: within 0.01 deg from 1950 to 2050.
// They give the Sun on the mean equator and equinox of date; the model's axes (true equator,
// mean equinox) differ from those by the nutation of the pole, under 0.004 deg, far below
// that accuracy. The planner keeps it: the shadow test needs no better, and it is cheap.
Vec3 sunPosition(double ttJd);

// Nutation after Meeus (chapter 22), its four largest terms: within 0.5 arc-seconds in
// longitude and 0.1 in obliquity. Radians.
struct Nutation {
    double longitude = 0.0;     // delta psi
    double obliquity = 0.0;     // delta epsilon
    double meanObliquity = 0.0; // epsilon 0 (IAU 1980 polynomial)
};
Nutation nutation(double ttJd);

// The Sun's geometric ecliptic longitude and latitude (mean equinox of date, FK5, radians) and
// distance (metres) from the Earth's orbit after VSOP87 (Meeus' abridged series, chapter 32
// and appendix III): within about an arc-second from 1900 to 2100.
struct SunEcliptic {
    double longitude = 0.0;
    double latitude = 0.0;
    double distance = 0.0;
};
SunEcliptic sunEcliptic(double ttJd);

// From ecliptic coordinates of the mean equinox of date (radians, metres) to the orbit model's
// axes (true equator, mean equinox of date), apparent. Nutation in longitude is added to the
// longitude and the ecliptic turned by the true obliquity (mean + nutation): that gives the
// true equator and true equinox. The model's x axis is the mean equinox, which lies the
// equation of the equinoxes (delta psi cos epsilon) west of the true one along the true
// equator, so right ascensions are counted from there: the same relation that ties the
// apparent to the mean sidereal time the site is turned by.
Vec3 apparentOnModelAxes(double longitude, double latitude, double distance,
                         const Nutation& nutation);

// The refined Sun: the VSOP87 one with nutation and annual aberration (-20.4898" / R), on the
// model's axes, metres. About an arc-second; the annual aberration that a satellite shares
// with the observer is not in its position, so satellite and Sun compare directly.
Vec3 apparentSunPosition(double ttJd);

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
