#include "astro/angles.h"
#include "tools/mountsim/pass_search.h"

#include "astro/time_scales.h"
#include "astro/vec3.h"
#include "catalogue/observation.h"

#include <algorithm>
#include <cmath>

static constexpr double kHalfPi = 1.5707963267948966;
// Enough halvings to go from any sane step to well below the precision.
static constexpr int kMaxHalvings = 60;

// The stand-in reads no time table: UTC from the built-in leap count, UT1 = UTC.
SkyPoint skyPoint(CatalogueEntry& satellite, const Site& site, double jd) {
    const Vec3 enu = topocentricEnu(satellite, observationInstant(TimeScales(), jd, site));
    const SphericalAngles angles = sphericalAngles(enu);
    double azimuth = kHalfPi - angles.lambda;
    if (azimuth < 0.0)
        azimuth += kTwoPi;
    return {azimuth * kDegreesPerRadian, angles.beta * kDegreesPerRadian};
}

namespace {

class Sampler {
public:
    Sampler(CatalogueEntry& satellite, const Site& site) : satellite(satellite), site(site) {}

    // Above the horizon; a missing position (NaN) counts as below.
    bool up(double jd) {
        const double altitude = skyPoint(satellite, site, jd).altitudeDeg;
        if (altitude > 0.0)
            peak = std::max(peak, altitude);
        return altitude > 0.0;
    }

    // The moment between lo and hi where up() changes, given that it differs at the two ends.
    double crossing(double lo, double hi, double precision) {
        const bool upAtLo = up(lo);
        for (int i = 0; i < kMaxHalvings && hi - lo > precision; ++i) {
            const double mid = 0.5 * (lo + hi);
            if (up(mid) == upAtLo)
                lo = mid;
            else
                hi = mid;
        }
        return hi;
    }

    double peak = 0.0;

private:
    CatalogueEntry& satellite;
    const Site& site;
};

} // namespace

std::optional<Pass> findNextPass(CatalogueEntry& satellite, const Site& site, double fromJd,
                                 const PassSearch& search) {
    if (!std::isfinite(fromJd) || !(search.windowDays > 0.0) || !(search.stepDays > 0.0))
        return std::nullopt;
    const double windowEnd = fromJd + search.windowDays;
    const long steps = long(std::ceil(search.windowDays / search.stepDays));
    // Sample k of the window, the last one at its very end.
    auto sample = [&](long k) {
        return std::min(fromJd + double(k) * search.stepDays, windowEnd);
    };

    Sampler sampler(satellite, site);
    Pass pass;
    long k = 0;
    if (sampler.up(fromJd)) {
        pass.startJd = fromJd;
    } else {
        for (k = 1; k <= steps; ++k) {
            if (sampler.up(sample(k)))
                break;
        }
        if (k > steps)
            return std::nullopt;
        pass.startJd = sampler.crossing(sample(k - 1), sample(k), search.precisionDays);
    }

    pass.endJd = windowEnd;
    for (++k; k <= steps; ++k) {
        if (!sampler.up(sample(k))) {
            pass.endJd = sampler.crossing(sample(k - 1), sample(k), search.precisionDays);
            break;
        }
    }
    pass.peakAltitudeDeg = sampler.peak;
    return pass;
}
