#include "sky/observation.h"

#include "astro/time_scales.h"
#include "orbit/sgp4.h"

double localSiderealAngle(const TimeScales& scales, double jd, const Site& site) {
    return gmstFromJd(scales.ut1FromJd(jd)) - site.westLongitude;
}

ObservationInstant observationInstant(const TimeScales& scales, double jd, const Site& site) {
    return {scales.utcFromJd(jd),
            horizonFrame(siteMeridianPosition(site), localSiderealAngle(scales, jd, site))};
}

Vec3 topocentricEnu(CatalogueEntry& satellite, const ObservationInstant& instant) {
    propagateSatellite(satellite, instant.utcJd);
    const Vec3 position{satellite.position[0], satellite.position[1], satellite.position[2]};
    return horizonVector(position, instant.frame);
}
