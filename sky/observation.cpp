#include "sky/observation.h"

#include "astro/time_scales.h"
#include "orbit/sgp4.h"

ObservationInstant observationInstant(const TimeScales& scales, double jd, const Site& site) {
    const double ut1 = scales.ut1FromJd(jd);
    const double utc = scales.utcFromJd(jd);
    const double theta = gmstFromJd(ut1) - site.westLongitude;
    return {utc, horizonFrame(siteMeridianPosition(site), theta)};
}

Vec3 topocentricEnu(CatalogueEntry& satellite, const ObservationInstant& instant) {
    propagateSatellite(satellite, instant.utcJd);
    const Vec3 position{satellite.position[0], satellite.position[1], satellite.position[2]};
    return horizonVector(position, instant.frame);
}
