#include "catalogue/live_rows.h"

#include "catalogue/observation.h"
#include "catalogue/tle_satellite.h"

#include <cmath>

double currentJd = 0.0;
std::vector<LiveRow> liveRows;

namespace {
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kOneSecondInDays = 1.1574074074074073e-05;
constexpr double kTwoPi = 6.283185307179586;
} // namespace

LiveRow live_row(const Vec3& secondBefore, const Vec3& now) {
    const SphericalAngles angles = spherical_angles(now);
    double azimuth = kTwoPi / 4 - angles.lambda;
    if (azimuth < 0)
        azimuth += kTwoPi;
    LiveRow row;
    row.distanceKm = length(now) * 0.001;
    row.azimuthDeg = azimuth * kDegreesPerRadian;
    row.altitudeDeg = angles.beta * kDegreesPerRadian;
    row.speedDegPerSec = angle_between(secondBefore, now) * kDegreesPerRadian;
    return row;
}

void recomputeLiveRows(double jd, const Site& site) {
    liveRows.resize(satellite_list.size());
    if (satellite_list.empty())
        return;
    const ObservationInstant before = observation_instant(jd - kOneSecondInDays, site);
    const ObservationInstant now = observation_instant(jd, site);
    for (std::size_t i = 0; i < satellite_list.size(); ++i) {
        TLE_Satellite& satellite = satellite_list[i];
        const Vec3 a = topocentric_enu(satellite, before);
        const Vec3 b = topocentric_enu(satellite, now);
        liveRows[i] = live_row(a, b);
    }
}

void recomputeLiveRows() {
    recomputeLiveRows(currentJd, observingSite);
}
