#include "astro/sun.h"

#include "astro/angles.h"

#include <cmath>

namespace {

constexpr double kAstronomicalUnit = 149597870700.0; // metres

double degreesToRadians(double degrees) {
    return std::fmod(degrees, 360.0) * kRadiansPerDegree;
}

} // namespace

Vec3 sunPosition(double ttJd) {
    const double n = ttJd - 2451545.0;
    const double meanLongitude = degreesToRadians(280.460 + 0.9856474 * n);
    const double meanAnomaly = degreesToRadians(357.528 + 0.9856003 * n);
    const double longitude =
        meanLongitude +
        kRadiansPerDegree * (1.915 * std::sin(meanAnomaly) + 0.020 * std::sin(2 * meanAnomaly));
    const double obliquity = (23.439 - 0.0000004 * n) * kRadiansPerDegree;
    const double distance = kAstronomicalUnit * (1.00014 - 0.01671 * std::cos(meanAnomaly) -
                                                 0.00014 * std::cos(2 * meanAnomaly));
    const double sinLongitude = std::sin(longitude);
    return {distance * std::cos(longitude), distance * std::cos(obliquity) * sinLongitude,
            distance * std::sin(obliquity) * sinLongitude};
}

double altitudeDegrees(const Vec3& position, const HorizonFrame& frame) {
    return sphericalAngles(horizonVector(position, frame)).beta * kDegreesPerRadian;
}

double sunClearanceDeg(const Vec3& satellite, const Vec3& sun) {
    const double r = length(satellite);
    const Vec3 toSun = difference(sun, satellite);
    const Vec3 toEarth{-satellite.x, -satellite.y, -satellite.z};
    const double earthRadius = std::asin(std::fmin(1.0, kShadowEarthRadius / r));
    const double sunRadius = std::asin(std::fmin(1.0, kSunRadius / length(toSun)));
    // The disc shows once its far edge passes the limb: centre distance > earth - sun radius.
    return (angleBetween(toEarth, toSun) - (earthRadius - sunRadius)) * kDegreesPerRadian;
}

bool isSunlit(const Vec3& satellite, const Vec3& sun) {
    const double r = length(satellite);
    if (!std::isfinite(r) || r <= kShadowEarthRadius)
        return false;
    return sunClearanceDeg(satellite, sun) > 0.0;
}
