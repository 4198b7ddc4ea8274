#pragma once

// Where on the ground a transit can be seen: the centre line, from which the satellite crosses
// the body's centre, and the path, the band from which it crosses any part of the disc. Both
// lie at the site's elevation above the WGS-84 ellipsoid and use the bodies and the reduction
// of the transit search, so the line agrees with what the search finds from any of its points.

#include "astro/site.h"
#include "catalogue/catalogue_entry.h"
#include "planning/transits.h"
#include "sky/ground_track.h"

#include <vector>

class TimeScales;

struct TransitGroundOptions {
    double reachKm = 50.0;  // along the line on each side of the point nearest the site
    double spacingKm = 1.0; // between neighbouring points of the line
};

struct TransitGround {
    // In time order; each point's jd is when the satellite stands on the body's centre seen
    // from there, its heightKm the site's elevation. Empty when no line could be found: no
    // position, the line misses the Earth, or the body is down where it passes nearest the site.
    std::vector<GroundPoint> centreLine;
    std::size_t nearest = 0; // the index of the point nearest the site
    // The path's edges, one point abreast of each point of the centre line, left and right of
    // its direction of travel: from each the satellite grazes the limb at the point's jd.
    std::vector<GroundPoint> leftEdge;
    std::vector<GroundPoint> rightEdge;
};

// The centre line and the path of one transit of the satellite (the one the transit was found
// for) seen from the site. It reaches at least options.reachKm either side of the point nearest
// the site, or ends where the body sets. Propagates the satellite.
TransitGround transitGround(CatalogueEntry& satellite, const TimeScales& scales, const Site& site,
                            const Transit& transit, const TransitGroundOptions& options = {});

// The path as one closed ring: the left edge in time order, then the right edge reversed, then
// the first point again. Empty without edges.
std::vector<GroundPoint> transitPathRing(const TransitGround& ground);

// The smallest angle between the satellite and the body's centre seen from a site within
// [fromJd, toJd] (where it is unimodal), radians, and when (jdOut, when given). Propagates the
// satellite.
double closestSeparation(CatalogueEntry& satellite, TransitBody body, const TimeScales& scales,
                         const Site& site, double fromJd, double toJd, double* jdOut = nullptr);
