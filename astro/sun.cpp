#include "astro/sun.h"

#include "astro/angles.h"

#include <cmath>

namespace {

constexpr double kRadiansPerArcsecond = 1.0 / kArcsecondsPerRadian;

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

Nutation nutation(double ttJd) {
    const double t = (ttJd - 2451545.0) / 36525.0;
    const double node =
        degreesToRadians(125.04452 - 1934.136261 * t + 0.0020708 * t * t + t * t * t / 450000);
    const double sunLongitude = degreesToRadians(280.4665 + 36000.7698 * t);
    const double moonLongitude = degreesToRadians(218.3165 + 481267.8813 * t);
    Nutation n;
    n.longitude = (-17.20 * std::sin(node) - 1.32 * std::sin(2 * sunLongitude) -
                   0.23 * std::sin(2 * moonLongitude) + 0.21 * std::sin(2 * node)) *
                  kRadiansPerArcsecond;
    n.obliquity = (9.20 * std::cos(node) + 0.57 * std::cos(2 * sunLongitude) +
                   0.10 * std::cos(2 * moonLongitude) - 0.09 * std::cos(2 * node)) *
                  kRadiansPerArcsecond;
    n.meanObliquity =
        (84381.448 - 46.8150 * t - 0.00059 * t * t + 0.001813 * t * t * t) * kRadiansPerArcsecond;
    return n;
}

SunEcliptic sunEcliptic(double ttJd) {
    const double t = (ttJd - 2451545.0) / 36525.0;
    const double meanLongitude = 280.46646 + 36000.76983 * t + 0.0003032 * t * t;
    const double meanAnomaly = degreesToRadians(357.52911 + 35999.05029 * t - 0.0001537 * t * t);
    const double e = 0.016708634 - 0.000042037 * t - 0.0000001267 * t * t;
    const double centre = (1.914602 - 0.004817 * t - 0.000014 * t * t) * std::sin(meanAnomaly) +
                          (0.019993 - 0.000101 * t) * std::sin(2 * meanAnomaly) +
                          0.000289 * std::sin(3 * meanAnomaly);
    const double trueAnomaly = meanAnomaly + centre * kRadiansPerDegree;
    SunEcliptic sun;
    sun.longitude = degreesToRadians(meanLongitude + centre);
    sun.distance = kAstronomicalUnit * 1.000001018 * (1 - e * e) / (1 + e * std::cos(trueAnomaly));
    return sun;
}

Vec3 apparentOnModelAxes(double longitude, double latitude, double distance, const Nutation& n) {
    const double lambda = longitude + n.longitude;
    const double epsilon = n.meanObliquity + n.obliquity;
    const double cb = std::cos(latitude);
    const double x = cb * std::cos(lambda);
    const double yEcl = cb * std::sin(lambda);
    const double zEcl = std::sin(latitude);
    const double y = yEcl * std::cos(epsilon) - zEcl * std::sin(epsilon);
    const double z = yEcl * std::sin(epsilon) + zEcl * std::cos(epsilon);
    // Right ascension less the equation of the equinoxes.
    const double q = n.longitude * std::cos(epsilon);
    const double cq = std::cos(q);
    const double sq = std::sin(q);
    return {distance * (x * cq + y * sq), distance * (y * cq - x * sq), distance * z};
}

Vec3 apparentSunPosition(double ttJd) {
    const SunEcliptic sun = sunEcliptic(ttJd);
    const double aberration = -20.4898 * kRadiansPerArcsecond * kAstronomicalUnit / sun.distance;
    return apparentOnModelAxes(sun.longitude + aberration, 0.0, sun.distance, nutation(ttJd));
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
