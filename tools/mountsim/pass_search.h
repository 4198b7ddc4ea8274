#pragma once

#include "astro/site.h"
#include "catalogue/catalogue_entry.h"

#include <optional>

// Where a satellite stands in the sky of a site; altitude NaN when the orbit model gives no
// position.
struct SkyPoint {
    double azimuthDeg = 0.0; // from north through east, [0, 360)
    double altitudeDeg = 0.0;
};

// The satellite seen from the site at a working Julian date (propagates it).
SkyPoint skyPoint(CatalogueEntry& satellite, const Site& site, double jd);

// One pass above the horizon, as working Julian dates.
struct Pass {
    double startJd = 0.0; // the rise, or the search's start when the satellite was up then
    double endJd = 0.0;   // the set, or the search window's end when it is still up then
    double peakAltitudeDeg = 0.0;
};

struct PassSearch {
    double windowDays = 1.0;             // how far ahead from the start to look
    double stepDays = 30.0 / 86400.0;    // sampling step; shorter passes can be missed
    double precisionDays = 0.05 / 86400; // rise and set are refined to this
};

// The first pass that is under way at fromJd or begins within the search window. Empty
// when the satellite stays below the horizon (or has no position) throughout. The work is
// bounded by the window and the step, whatever the satellite and the dates.
std::optional<Pass> findNextPass(CatalogueEntry& satellite, const Site& site, double fromJd,
                                 const PassSearch& search = PassSearch());
