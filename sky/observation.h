#pragma once

#include "astro/site.h"
#include "astro/topocentric.h"
#include "astro/vec3.h"
#include "catalogue/catalogue_entry.h"

class TimeScales;

// One instant seen from one site: the UTC date the satellites are propagated to and the
// rotated site. The same for every satellite, so a refresh computes it once per instant.
struct ObservationInstant {
    double utcJd = 0.0;
    HorizonFrame frame;
};

// The site's meridian on the orbit model's axes at a working Julian date, radians: the mean
// sidereal angle of UT1 less the site's west longitude.
double localSiderealAngle(const TimeScales& scales, double jd, const Site& site);

// From a working Julian date: UTC, and the site turned by localSiderealAngle.
ObservationInstant observationInstant(const TimeScales& scales, double jd, const Site& site);

// The satellite as seen from the site (east, north, up; metres). Propagates the satellite,
// which overwrites its stored position.
Vec3 topocentricEnu(CatalogueEntry& satellite, const ObservationInstant& instant);
