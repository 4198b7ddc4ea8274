#pragma once

#include "astro/site.h"
#include "astro/topocentric.h"
#include "astro/vec3.h"
#include "catalogue/tle_satellite.h"

// One instant seen from one site: the UTC date the satellites are propagated to and the
// rotated site. The same for every satellite, so a refresh computes it once per instant.
struct ObservationInstant {
    double utcJd = 0.0;
    HorizonFrame frame;
};

// From a working Julian date: UT1 then UTC through the shared time instant, then the mean
// sidereal angle of UT1 less the site's west longitude.
ObservationInstant observation_instant(double jd, const Site& site);

// The satellite as seen from the site (east, north, up; metres). Propagates the satellite,
// which overwrites its stored position.
Vec3 topocentric_enu(TLE_Satellite& satellite, const ObservationInstant& instant);

// The same for a working Julian date, from the observing site.
Vec3& topocentric_enu(Vec3& out, TLE_Satellite& satellite, double jd);
