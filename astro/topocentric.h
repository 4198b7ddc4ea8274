#pragma once

#include "astro/site.h"
#include "astro/vec3.h"

// The site on the WGS-84 ellipsoid, in its own meridian plane.
struct SiteMeridianPosition {
    double rho = 0.0; // distance from the Earth's axis, metres
    double z = 0.0;   // height above the equator plane, metres
    double sinLatitude = 0.0;
    double cosLatitude = 1.0;
};

// The exact geodetic-to-geocentric conversion of the site.
SiteMeridianPosition siteMeridianPosition(const Site& site);

// The straight line between two sites on the ellipsoid, elevations included, in metres: the
// distance that matters to whether they see the same sky (within metres of the way along the
// ground at the few kilometres where it is asked).
double siteDistance(const Site& a, const Site& b);

// The site at one instant: everything the reduction needs that does not depend on the
// satellite, so a whole catalogue can share it.
struct HorizonFrame {
    SiteMeridianPosition site;
    double sinTheta = 0.0;
    double cosTheta = 1.0;
};

// theta: the local mean sidereal angle (Greenwich mean sidereal time - west longitude), radians.
HorizonFrame horizonFrame(const SiteMeridianPosition& site, double theta);

// The vector from the site to a satellite in the site's horizon frame (east, north, up;
// metres). satellite: Earth-centred position in metres on the propagator's axes.
Vec3 horizonVector(const Vec3& satellite, const HorizonFrame& frame);

// Where a horizon vector points: azimuth from north through east in [0, 360), altitude above
// the horizontal plane, both in degrees.
struct HorizonDirection {
    double azimuthDeg = 0.0;
    double altitudeDeg = 0.0;
};
HorizonDirection horizonDirection(const Vec3& eastNorthUp);
