#include "catalogue/observation.h"

#include "astro/time_scales.h"
#include "orbit/sgp4.h"

ObservationInstant observation_instant(const TimeScales& scales, double jd, const Site& site) {
    const double ut1 = scales.ut1_from_jd(jd);
    const double utc = scales.utc_from_jd(jd);
    const double theta = gmst_from_jd(ut1) - site.longitude;
    return {utc, horizon_frame(site_meridian_position(site), theta)};
}

Vec3 topocentric_enu(TLE_Satellite& satellite, const ObservationInstant& instant) {
    propagate_satellite(satellite, instant.utcJd);
    const Vec3 position{satellite.position[0], satellite.position[1], satellite.position[2]};
    return horizon_vector(position, instant.frame);
}
