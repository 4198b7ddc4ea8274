#pragma once

// Where a satellite stands over the Earth: the point of the WGS-84 ellipsoid below it along the
// ellipsoid's normal, and its height above that point. The map and orbitrak-cli track share it.

#include "astro/vec3.h"
#include "catalogue/catalogue_entry.h"

#include <vector>

class TimeScales;

struct GroundPoint {
    double jd = 0.0;           // working Julian date
    double latitudeDeg = 0.0;  // geodetic, north positive
    double longitudeDeg = 0.0; // east positive, [-180, 180)
    double heightKm = 0.0;     // above the ellipsoid
};

// A position fixed to the Earth (metres; x towards the Greenwich meridian, z the axis) as
// geodetic latitude, longitude and height; jd is left at 0.
GroundPoint geodeticFromEarthFixed(const Vec3& position);

// The orbit model's axes turned to the Earth's at a working Julian date, by the mean sidereal
// angle of UT1: the same turn the sky's sites are given, so a satellite straight above a site
// stands at its zenith.
Vec3 earthFixedFromModel(const Vec3& position, const TimeScales& scales, double jd);

// The satellite's sub-point at a working Julian date. Propagates the satellite (which
// overwrites its stored position); false where the model gives no position.
bool subSatellitePoint(CatalogueEntry& satellite, const TimeScales& scales, double jd,
                       GroundPoint& point);

// The sub-points from fromJd every stepSeconds up to toJd, both included; instants without a
// position are left out.
std::vector<GroundPoint> groundTrack(CatalogueEntry& satellite, const TimeScales& scales,
                                     double fromJd, double toJd, double stepSeconds);
