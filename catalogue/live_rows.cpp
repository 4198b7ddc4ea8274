#include "catalogue/live_rows.h"

#include "catalogue/observation.h"
#include "catalogue/tle_satellite.h"

#include "orbit/sgp4.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <system_error>
#include <thread>

double currentJd = 0.0;
std::vector<LiveRow> liveRows;

namespace {
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kOneSecondInDays = 1.1574074074074073e-05;
constexpr double kTwoPi = 6.283185307179586;
constexpr int kWgs72 = 1;
// Below this many resonance steps in all (a few milliseconds) threads would cost more than
// they save; ordinary ticks need none.
constexpr double kStepsWorthThreads = 20000.0;

// A deep-space resonant set whose epoch lies years away integrates from its epoch in 720-minute
// steps: at a load, decades of steps per set, nearly all of the cost. The integrator's state at
// an instant depends on nothing but the instant, so such sets are brought to the instant on
// every core first; the serial pass then continues from there and computes bit for bit what it
// would have computed alone. Each thread takes whole sets, and no set is touched twice at once.
void advanceResonanceIntegrators(double utcJd) {
    std::vector<std::size_t> heavy;
    double steps = 0.0;
    for (std::size_t i = 0; i < satellite_list.size(); ++i) {
        const ElementSet& set = satellite_list[i].elements;
        const double n = sgp4_resonance_steps(set, (utcJd - set.jdsatepoch) * 1440.0);
        if (n >= 1.0) {
            heavy.push_back(i);
            steps += n;
        }
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    if (steps < kStepsWorthThreads || heavy.size() < 2 || cores < 2)
        return;

    std::atomic<std::size_t> next{0};
    auto work = [&heavy, &next, utcJd] {
        for (std::size_t k = next++; k < heavy.size(); k = next++) {
            ElementSet& set = satellite_list[heavy[k]].elements;
            double r[3], v[3];
            sgp4_propagate(kWgs72, set, (utcJd - set.jdsatepoch) * 1440.0, r, v);
        }
    };
    std::size_t helpers = std::min<std::size_t>({cores - 1, heavy.size() - 1, 15});
    std::vector<std::thread> threads;
    try {
        threads.reserve(helpers); // no reallocation once a thread runs
    } catch (const std::exception&) {
        helpers = 0;
    }
    for (std::size_t i = 0; i < helpers; ++i) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break; // fewer helpers; whatever is left, this thread and the serial pass do
        }
    }
    work();
    for (std::thread& t : threads)
        t.join();
}

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
    advanceResonanceIntegrators(before.utcJd);
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
