#include "sky/day_night.h"

#include "astro/angles.h"
#include "astro/earth.h"
#include "astro/moon.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "astro/topocentric.h"

#include <algorithm>
#include <cmath>

namespace {

GroundPoint pointOfDirection(const Vec3& n) {
    GroundPoint point;
    point.latitudeDeg = std::asin(std::clamp(n.z, -1.0, 1.0)) * kDegreesPerRadian;
    point.longitudeDeg = std::atan2(n.y, n.x) * kDegreesPerRadian;
    if (point.longitudeDeg >= 180.0)
        point.longitudeDeg -= 360.0;
    return point;
}

Vec3 unit(const Vec3& v) {
    const double l = length(v);
    return {v.x / l, v.y / l, v.z / l};
}

// Where a great circle leads from a point on the sphere: bearing from north through east and
// distance, radians.
GroundPoint destination(const GroundPoint& from, double bearing, double distance) {
    const double lat = from.latitudeDeg * kRadiansPerDegree;
    const double lon = from.longitudeDeg * kRadiansPerDegree;
    const double sinLat =
        std::sin(lat) * std::cos(distance) + std::cos(lat) * std::sin(distance) * std::cos(bearing);
    const double toLat = std::asin(std::clamp(sinLat, -1.0, 1.0));
    const double toLon = lon + std::atan2(std::sin(bearing) * std::sin(distance) * std::cos(lat),
                                          std::cos(distance) - std::sin(lat) * sinLat);
    GroundPoint point;
    point.latitudeDeg = toLat * kDegreesPerRadian;
    point.longitudeDeg = wrapDegrees(toLon * kDegreesPerRadian + 180.0) - 180.0;
    return point;
}

} // namespace

GroundPoint quickGeodetic(const Vec3& r) {
    const double a = kEarthEquatorialRadius;
    const double b = a * kEarthAxisRatio;
    const double e2 = kEarthFlattening * (2.0 - kEarthFlattening);
    const double p = std::hypot(r.x, r.y);
    // The parametric latitude of the point's projection, as sine and cosine.
    const double k = std::hypot(r.z * a, p * b);
    const double s = k > 0.0 ? r.z * a / k : 0.0, c = k > 0.0 ? p * b / k : 1.0;
    GroundPoint point;
    point.latitudeDeg = std::atan2(r.z + e2 / (1.0 - e2) * b * s * s * s, p - e2 * a * c * c * c) *
                        kDegreesPerRadian;
    point.longitudeDeg = std::atan2(r.y, r.x) * kDegreesPerRadian;
    if (point.longitudeDeg >= 180.0)
        point.longitudeDeg -= 360.0;
    return point;
}

DayNight dayNightAt(const TimeScales& scales, double jd) {
    const double tt = jd + kWorkingToTtDays;
    DayNight sky;
    sky.sunDirection = unit(earthFixedFromModel(sunPosition(tt), scales, jd));
    sky.sun = pointOfDirection(sky.sunDirection);
    sky.sun.jd = jd;
    sky.moon = geodeticFromEarthFixed(earthFixedFromModel(moonPosition(tt), scales, jd));
    sky.moon.jd = jd;
    return sky;
}

double sunAltitudeDeg(const Vec3& sun, double latitudeDeg, double longitudeDeg) {
    const double lat = latitudeDeg * kRadiansPerDegree;
    const double lon = longitudeDeg * kRadiansPerDegree;
    const Vec3 normal{std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
    return std::asin(std::clamp(dot(normal, sun), -1.0, 1.0)) * kDegreesPerRadian;
}

// A small circle on the sphere of the ground's normals: those at 90 deg - altitude from the Sun.
std::vector<GroundPoint> sunAltitudeLine(const Vec3& sun, double altitudeDeg, int count) {
    std::vector<GroundPoint> line;
    if (count < 3)
        return line;
    const Vec3 s = unit(sun);
    // Two directions at right angles to the Sun's and to each other.
    const Vec3 u =
        unit(std::fabs(s.z) < 0.9 ? cross({0.0, 0.0, 1.0}, s) : cross({1.0, 0.0, 0.0}, s));
    const Vec3 v = cross(s, u);
    const double r = (90.0 - altitudeDeg) * kRadiansPerDegree;
    for (int k = 0; k <= count; ++k) {
        const double b = kTwoPi * (k % count) / count;
        const double c = std::cos(r), sr = std::sin(r);
        const Vec3 n{c * s.x + sr * (std::cos(b) * u.x + std::sin(b) * v.x),
                     c * s.y + sr * (std::cos(b) * u.y + std::sin(b) * v.y),
                     c * s.z + sr * (std::cos(b) * u.z + std::sin(b) * v.z)};
        line.push_back(pointOfDirection(n));
    }
    return line;
}

double elevationFromGround(const Vec3& position, double latitudeDeg, double longitudeDeg) {
    const Site site = Site::fromDegrees(latitudeDeg, longitudeDeg, 0.0);
    const HorizonFrame frame = horizonFrame(siteMeridianPosition(site), -site.westLongitude);
    return horizonDirection(horizonVector(position, frame)).altitudeDeg;
}

// Along each bearing from the sub-point the elevation falls as the ground moves away; the
// distance where it crosses the threshold is found by halving, within a few centimetres.
std::vector<GroundPoint> visibilityCircle(const Vec3& satellite, double elevationDeg, int count) {
    std::vector<GroundPoint> circle;
    const double r = length(satellite);
    const double polarRadius = kEarthEquatorialRadius * kEarthAxisRatio;
    if (count < 3 || !std::isfinite(r) || r <= kEarthEquatorialRadius ||
        !(elevationDeg >= 0.0 && elevationDeg < 90.0))
        return circle;
    const GroundPoint below = geodeticFromEarthFixed(satellite);
    // Beyond the tangent from the smallest radius the satellite has set everywhere.
    const double farthest = std::min(kPi / 2, std::acos(polarRadius / r) + 0.01);
    for (int k = 0; k <= count; ++k) {
        const double bearing = kTwoPi * (k % count) / count;
        double near = 0.0, far = farthest;
        for (int i = 0; i < 26; ++i) {
            const double mid = 0.5 * (near + far);
            const GroundPoint p = destination(below, bearing, mid);
            if (elevationFromGround(satellite, p.latitudeDeg, p.longitudeDeg) > elevationDeg)
                near = mid;
            else
                far = mid;
        }
        circle.push_back(destination(below, bearing, 0.5 * (near + far)));
    }
    return circle;
}
