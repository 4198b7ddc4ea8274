#pragma once

// Satellites crossing the disc of the Sun or the Moon as seen from a site: the closest approach
// of each pass to the body's centre, and how far the observer must move to see it cross the
// centre.

#include "astro/site.h"
#include "astro/vec3.h"
#include "catalogue/catalogue.h"
#include "planning/body_ephemeris.h"
#include "planning/passes.h"

#include <cstddef>
#include <functional>
#include <vector>

class TimeScales;

// "sun" or "moon".
const char* transitBodyName(TransitBody body);

struct TransitOptions {
    bool sun = true;
    bool moon = true;
    double marginDeg = 0.5; // beyond the body's apparent radius
    // When given, asked on the calling thread before each pass it searches; the search stops
    // (with what it found) once it says no.
    std::function<bool()> carryOn;
    unsigned threads = 0; // 0: passSearchThreads()
};

// How near a body's centre a satellite must come to be reported: the largest disc's radius
// plus the margin (radians).
double transitReach(const TransitOptions& options);

// One closest approach of a satellite to a body's centre within the body's radius plus the
// margin, the body above the horizon.
struct Transit {
    std::size_t index = 0; // of the satellite in its catalogue
    TransitBody body = TransitBody::Sun;
    double jd = 0.0;               // the closest approach, working Julian date, to 1 ms
    double separationArcsec = 0.0; // centre to satellite then
    double bodyRadiusArcsec = 0.0; // the body's apparent (topocentric) radius
    double durationS = 0.0;        // inside the disc; 0 for a near miss
    double altitudeDeg = 0.0;      // the satellite's, as the pass search computes it
    double azimuthDeg = 0.0;
    double distanceKm = 0.0;           // site to satellite
    double centreLineKm = 0.0;         // how far the observer must move to see a central crossing
    double centreLineAzimuthDeg = 0.0; // and toward where
    double bodyAltitudeDeg = 0.0;
    double bodyAzimuthDeg = 0.0;
};

// The body's centre as seen from the site (east, north, up; metres) at a working Julian date:
// the refined Sun or Meeus' Moon, reduced to the site exactly as satellites are.
Vec3 bodyTopocentricEnu(TransitBody body, const TimeScales& scales, double jd, const Site& site);

// Whether the pass may come within the options' reach of a body they ask for, as far as its
// clearances tell (CatalogueSearch::clearances); a pass without them always may.
bool mayTransit(const CataloguePass& pass, const TransitOptions& options);

// The transits within the given passes of the catalogue's satellites, ordered by time.
// Propagates the satellites; passes that cannot cross a body (mayTransit) take no time.
std::vector<Transit> findTransits(Catalogue& catalogue, const TimeScales& scales, const Site& site,
                                  const std::vector<CataloguePass>& passes,
                                  const TransitOptions& options = {});

// The passes of the window (findCataloguePasses), then their transits.
std::vector<Transit> findCatalogueTransits(Catalogue& catalogue, const TimeScales& scales,
                                           const Site& site, const PassWindow& window,
                                           const TransitOptions& options = {});
