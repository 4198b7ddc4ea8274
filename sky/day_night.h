#pragma once

// Day and night over the Earth for the map: where the Sun and the Moon stand at the zenith, the
// Sun's altitude at any point of the ground, the lines of equal altitude (the terminator and
// the ends of twilight), and the ground from which a satellite stands at a given elevation.
// Points are geodetic on WGS-84; directions fixed to the Earth as in sky/ground_track.h.

#include "astro/vec3.h"
#include "sky/ground_track.h"

#include <vector>

class TimeScales;

// The Sun's altitude, degrees, at which each twilight ends.
constexpr double kCivilTwilightDeg = -6.0;
constexpr double kNauticalTwilightDeg = -12.0;
constexpr double kAstronomicalTwilightDeg = -18.0;

struct DayNight {
    Vec3 sunDirection{0.0, 0.0, 1.0}; // unit, fixed to the Earth
    GroundPoint sun;                  // where the Sun stands at the zenith
    GroundPoint moon;                 // where the Moon does, seen from the ground below it
};

// geodeticFromEarthFixed without its iteration, for the map's thousands of dots each tick:
// Bowring's closed form, within a millionth of a degree of it from the ground to beyond the
// geostationary orbit. The height is left at 0.
GroundPoint quickGeodetic(const Vec3& position);

// At a working Julian date: the planner's Sun and the Moon, turned to the Earth's axes.
DayNight dayNightAt(const TimeScales& scales, double jd);

// The Sun's geometric altitude at a point of the ground, degrees. Its parallax (under 9
// arc-seconds) is left out, so the altitude depends only on the ground's normal.
double sunAltitudeDeg(const Vec3& sunDirection, double latitudeDeg, double longitudeDeg);

// The points where the Sun stands at altitudeDeg (0: the terminator), `count` of them in order
// around the Sun's sub-point, the first repeated at the end.
std::vector<GroundPoint> sunAltitudeLine(const Vec3& sunDirection, double altitudeDeg, int count);

// How high a position fixed to the Earth (metres) stands above the horizontal plane of a point
// of the ellipsoid, degrees: the table's reduction, at the sidereal angle 0.
double elevationFromGround(const Vec3& position, double latitudeDeg, double longitudeDeg);

// The ground from which the satellite (fixed to the Earth, metres) stands at elevationDeg:
// `count` points around its sub-point, the first repeated at the end. Empty for a position that
// is not finite or not above the ground, or an elevation outside [0, 90).
std::vector<GroundPoint> visibilityCircle(const Vec3& satellite, double elevationDeg, int count);
