#pragma once

#include "astro/angles.h"

// The observing site. Our API speaks east-positive longitude in degrees; inside, the longitude
// is kept in radians positive toward the WEST, so that local sidereal time = Greenwich sidereal
// time - westLongitude. The mount writes its longitude west-positive too: fromMountDegrees is
// the one place that reads that convention.
struct Site {
    double latitude = 0.7853981633974483;       // geodetic, radians, north positive (45 N)
    double westLongitude = -0.7853981633974483; // radians, positive toward the west (45 E)
    double elevation = 120.0;                   // metres above the WGS-84 ellipsoid

    // The range a site must lie in wherever one is read (the mount, the command line, the
    // stand-in, the settings).
    static constexpr double kMaxLatitudeDeg = 90.0;
    static constexpr double kMaxLongitudeDeg = 360.0;
    static constexpr double kMinElevationM = -500.0;
    static constexpr double kMaxElevationM = 10000.0;

    static Site fromDegrees(double latitudeDeg, double eastLongitudeDeg, double elevationM) {
        return Site{radiansFromDegrees(latitudeDeg), -radiansFromDegrees(eastLongitudeDeg),
                    elevationM};
    }
    // The mount's own convention: longitude positive toward the west.
    static Site fromMountDegrees(double latitudeDeg, double westLongitudeDeg, double elevationM) {
        return Site{radiansFromDegrees(latitudeDeg), radiansFromDegrees(westLongitudeDeg),
                    elevationM};
    }

    double latitudeDeg() const { return degreesFromRadians(latitude); }
    double eastLongitudeDeg() const { return -degreesFromRadians(westLongitude); }
    double westLongitudeDeg() const { return degreesFromRadians(westLongitude); }

    static bool latitudeInRange(double degrees) { return std::fabs(degrees) <= kMaxLatitudeDeg; }
    static bool longitudeInRange(double degrees) { return std::fabs(degrees) <= kMaxLongitudeDeg; }
    static bool elevationInRange(double metres) {
        return metres >= kMinElevationM && metres <= kMaxElevationM;
    }
};
