#include "astro/sun.h"

#include "astro/angles.h"
#include "astro/earth_orbit_series.h"

#include <cmath>

namespace {

double degreesToRadians(double degrees) {
    return std::fmod(degrees, 360.0) * kRadiansPerDegree;
}

double sumSeries(const OrbitCoordinateSeries& coordinate, double tau) {
    double sum = 0.0;
    double power = 1.0;
    for (std::size_t k = 0; k < coordinate.count; ++k) {
        double part = 0.0;
        const OrbitSeries& series = coordinate.series[k];
        for (std::size_t i = 0; i < series.count; ++i)
            part += series.terms[i].amplitude *
                    std::cos(series.terms[i].phase + series.terms[i].frequency * tau);
        sum += part * power;
        power *= tau;
    }
    return sum * 1e-8;
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
    const double tau = (ttJd - 2451545.0) / 365250.0;
    const double t = 10.0 * tau;
    // Geocentric: the Sun stands opposite the Earth.
    const double longitude = sumSeries(kEarthLongitudeSeries, tau) + kPi;
    const double latitude = -sumSeries(kEarthLatitudeSeries, tau);
    // VSOP87's dynamical equinox to FK5's: a fixed -0.09033" and a small term in latitude.
    const double turned = longitude - (1.397 * t + 0.00031 * t * t) * kRadiansPerDegree;
    SunEcliptic sun;
    sun.longitude = longitude - 0.09033 * kRadiansPerArcsecond;
    sun.latitude =
        latitude + 0.03916 * (std::cos(turned) - std::sin(turned)) * kRadiansPerArcsecond;
    sun.distance = kAstronomicalUnit * sumSeries(kEarthRadiusSeries, tau);
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
    return apparentOnModelAxes(sun.longitude + aberration, sun.latitude, sun.distance,
                               nutation(ttJd));
}

double altitudeDegrees(const Vec3& position, const HorizonFrame& frame) {
    return sphericalAngles(horizonVector(position, frame)).beta * kDegreesPerRadian;
}

double sunClearanceDeg(const Vec3& satellite, const Vec3& sun) {
    const double r = length(satellite);
    const Vec3 toSun = difference(sun, satellite);
    const Vec3 toEarth{-satellite.x, -satellite.y, -satellite.z};
    const double earthRadius = std::asin(std::fmin(1.0, kEarthEquatorialRadius / r));
    const double sunRadius = std::asin(std::fmin(1.0, kSunRadius / length(toSun)));
    // The disc shows once its far edge passes the limb: centre distance > earth - sun radius.
    return (angleBetween(toEarth, toSun) - (earthRadius - sunRadius)) * kDegreesPerRadian;
}

bool isSunlit(const Vec3& satellite, const Vec3& sun) {
    const double r = length(satellite);
    if (!std::isfinite(r) || r <= kEarthEquatorialRadius)
        return false;
    return sunClearanceDeg(satellite, sun) > 0.0;
}
