#include "sky/ground_track.h"

#include "astro/angles.h"
#include "astro/earth.h"
#include "astro/time_scales.h"
#include "astro/time_units.h"
#include "orbit/sgp4.h"

#include <cmath>

GroundPoint geodeticFromEarthFixed(const Vec3& r) {
    const double a = kEarthEquatorialRadius;
    const double e2 = kEarthFlattening * (2.0 - kEarthFlattening);
    const double p = std::hypot(r.x, r.y);
    // Fixed-point iteration on the latitude; the height is taken along the normal in a form that
    // stays exact at the poles, where p / cos(latitude) would not.
    double latitude = std::atan2(r.z, p * (1.0 - e2));
    double height = 0.0;
    for (int i = 0; i < 8; ++i) {
        const double s = std::sin(latitude);
        const double n = a / std::sqrt(1.0 - e2 * s * s);
        height = p * std::cos(latitude) + (r.z + e2 * n * s) * s - n;
        const double next = std::atan2(r.z, p * (1.0 - e2 * n / (n + height)));
        const bool settled = std::fabs(next - latitude) < 1e-14;
        latitude = next;
        if (settled)
            break;
    }
    GroundPoint point;
    point.latitudeDeg = latitude * kDegreesPerRadian;
    double longitude = std::atan2(r.y, r.x) * kDegreesPerRadian;
    if (longitude >= 180.0)
        longitude -= 360.0;
    point.longitudeDeg = longitude;
    point.heightKm = height / 1000.0;
    return point;
}

Vec3 earthFixedFromModel(const Vec3& r, const TimeScales& scales, double jd) {
    const double theta = gmstFromJd(scales.ut1FromJd(jd));
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    return {c * r.x + s * r.y, -s * r.x + c * r.y, r.z};
}

bool subSatellitePoint(CatalogueEntry& satellite, const TimeScales& scales, double jd,
                       GroundPoint& point) {
    propagateSatellite(satellite, scales.utcFromJd(jd));
    const Vec3 position{satellite.position[0], satellite.position[1], satellite.position[2]};
    if (!std::isfinite(position.x) || !std::isfinite(position.y) || !std::isfinite(position.z))
        return false;
    point = geodeticFromEarthFixed(earthFixedFromModel(position, scales, jd));
    point.jd = jd;
    return true;
}

std::vector<GroundPoint> groundTrack(CatalogueEntry& satellite, const TimeScales& scales,
                                     double fromJd, double toJd, double stepSeconds) {
    std::vector<GroundPoint> track;
    if (!(stepSeconds > 0.0) || !(toJd >= fromJd))
        return track;
    const double span = (toJd - fromJd) * kSecondsPerDay;
    // The end's Julian date holds tens of microseconds: an end a whole number of steps away
    // must not lose its point to rounding.
    const long steps = static_cast<long>(std::floor(span / stepSeconds + 1e-3));
    track.reserve(static_cast<std::size_t>(steps) + 1);
    GroundPoint point;
    for (long i = 0; i <= steps; ++i) {
        const double jd = fromJd + i * stepSeconds / kSecondsPerDay;
        if (subSatellitePoint(satellite, scales, jd, point))
            track.push_back(point);
    }
    return track;
}
