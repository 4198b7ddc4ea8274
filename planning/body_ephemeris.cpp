#include "planning/body_ephemeris.h"

#include "astro/moon.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "astro/time_units.h"

#include <cmath>

namespace {

constexpr double kBodyGridDays = 600.0 / kSecondsPerDay;

Vec3 weighted(const Vec3& a, double ka, const Vec3& b, double kb, const Vec3& c, double kc) {
    return {a.x * ka + b.x * kb + c.x * kc, a.y * ka + b.y * kb + c.y * kc,
            a.z * ka + b.z * kb + c.z * kc};
}

} // namespace

Vec3 bodyGeocentric(TransitBody body, double jd) {
    const double tt = jd + kWorkingToTtDays;
    return body == TransitBody::Sun ? apparentSunPosition(tt) : moonPosition(tt);
}

double bodyRadius(TransitBody body) {
    return body == TransitBody::Sun ? kSunRadius : kMoonRadius;
}

Vec3 BodyEphemeris::at(double jd) {
    const double k = std::round(jd / kBodyGridDays);
    const double u = jd / kBodyGridDays - k; // -0.5 to 0.5
    const auto key = static_cast<long long>(k);
    const Vec3 before = point(key - 1);
    const Vec3 middle = point(key);
    const Vec3 after = point(key + 1);
    return weighted(before, u * (u - 1) / 2, middle, 1 - u * u, after, u * (u + 1) / 2);
}

const Vec3& BodyEphemeris::point(long long key) {
    auto found = points_.find(key);
    if (found == points_.end())
        found = points_.emplace(key, bodyGeocentric(body_, double(key) * kBodyGridDays)).first;
    return found->second;
}
