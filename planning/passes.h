#pragma once

// The pass planner's search: when a satellite is above a site's horizon threshold within a
// time window, computed exactly as the live table computes altitudes (same orbit model, time
// scales and reduction to the site).

#include "astro/horizon_mask.h"
#include "astro/site.h"
#include "catalogue/catalogue.h"

#include <cstddef>
#include <functional>
#include <vector>

class TimeScales;

// Sunlit and a Sun lower than this at the site make a pass visible (civil twilight).
constexpr double kVisibleSunAltitudeDeg = -6.0;

// Where the satellite stands at one instant of a pass.
struct PassPoint {
    double jd = 0.0; // working Julian date
    double azimuthDeg = 0.0;
    double altitudeDeg = 0.0;
};

// One interval during which the satellite stands above the threshold. Rise and set are found
// to 1 ms. So is the instant of the highest altitude the search meets; but the altitude is flat
// there and, computed, carries rounding of about 1e-6 deg, so the culmination of a low pass is
// only defined to some 0.1 s (of a geostationary one, to minutes). Its altitude is not affected.
struct SatellitePass {
    PassPoint rise;
    PassPoint culmination; // the highest point within the window
    PassPoint set;
    double startJd = 0.0;        // the rise, or the window's start
    double endJd = 0.0;          // the set, or the window's end
    double sunAltitudeDeg = 0.0; // at culmination
    // The flags together: a week of a whole catalogue holds some 600,000 passes.
    bool hasRise = false; // false: the pass was under way when the window opened
    bool hasSet = false;  // false: still under way when the window closes
    bool sunlit = false;  // at culmination
    bool visible = false;

    // Risen and set within the window: what a calendar can hold.
    bool whole() const { return hasRise && hasSet; }
};

struct PassWindow {
    double fromJd = 0.0; // working Julian dates
    double toJd = 0.0;
    double minAltitudeDeg = 0.0; // the horizon threshold
    // When given and not flat, passes rise and set where the satellite clears the mask (or
    // minAltitudeDeg, should that be higher). Must outlive the search.
    const HorizonMask* horizon = nullptr;
};

// Every pass of the satellite within the window, in time order. Propagates the satellite, and
// adds the propagations made to *propagations when given. A set without a position stands
// below every threshold.
//
// The altitude is sampled at a step sized from the orbit (a fixed share of the orbit's true
// anomaly, so that eccentric orbits are sampled densely near perigee); every local maximum of
// the samples that stays below the threshold and could reach it is refined, so that a pass
// shorter than a step is found as well. About 600 propagations per satellite-day, at most 800
// over the whole catalogue of March 2026 from any latitude.
std::vector<SatellitePass> findPasses(CatalogueEntry& satellite, const TimeScales& scales,
                                      const Site& site, const PassWindow& window,
                                      std::size_t* propagations = nullptr);

// Points along a pass from its first to its last instant, culmination included, for drawing:
// `count` instants evenly spaced (at least two). Propagates the satellite.
std::vector<PassPoint> passTrack(CatalogueEntry& satellite, const TimeScales& scales,
                                 const Site& site, const SatellitePass& pass, int count);

struct CataloguePass {
    std::size_t index = 0; // of the satellite in its catalogue
    SatellitePass pass;
    std::vector<PassPoint> track; // empty unless asked for
    // Where asked for (CatalogueSearch::clearances), the satellite stands at least this far from
    // the Sun's and the Moon's centres throughout the pass (radians; 0: no bound known).
    double sunClearance = 0.0;
    double moonClearance = 0.0;
};

// The search walks the window in stretches of this length, carrying each set's state from one
// to the next: its memory goes with the sets and the passes found, not with the window.
constexpr double kSearchStretchSeconds = 6 * 3600.0;

struct CatalogueSearch {
    int trackPoints = 0; // > 0: a track of that many points for each pass
    // When given, asked on the calling thread before each share of the catalogue in each
    // stretch; the search stops early, finding nothing, once it says no.
    std::function<bool()> carryOn;
    unsigned threads = 0;                          // 0: passSearchThreads()
    double stretchSeconds = kSearchStretchSeconds; // <= 0: the whole window at once
    bool clearances = false;                       // bound the passes' distance to the bodies
    // With clearances, the bounds (radians; Sun, Moon) worth some propagations to establish:
    // below them a pass cannot be told from one that reaches the body.
    double clearanceSought[2] = {0.0, 0.0};
    // With clearances: passes bound to stay clear of every body sought are dropped as they are
    // found, before they are refined.
    bool onlyNear = false;
    // When given, told on the calling thread after each stretch the share of the window searched.
    std::function<void(double)> progress;
    // When given, the passes are handed here one by one in their order, each dropped after, and
    // the search returns none: a caller that streams them holds them once.
    std::function<void(CataloguePass&)> sink;
};

// The passes of every satellite of a catalogue, ordered by their first instant in the window,
// then by catalogue number. trackPoints > 0 adds a track of that many points to each pass.
//
// Samples the sets together on one grid of instants (at least as densely as findPasses) and
// refines as findPasses does, so the passes agree with its to the tolerances above. The
// catalogue is split over `threads` threads (0: passSearchThreads()); the result does not
// depend on their number, nor on the stretches' length.
std::vector<CataloguePass> findCataloguePasses(Catalogue& catalogue, const TimeScales& scales,
                                               const Site& site, const PassWindow& window,
                                               const CatalogueSearch& search);
std::vector<CataloguePass> findCataloguePasses(Catalogue& catalogue, const TimeScales& scales,
                                               const Site& site, const PassWindow& window,
                                               int trackPoints = 0,
                                               const std::function<bool()>& carryOn = {},
                                               unsigned threads = 0);

// The threads the catalogue search takes by default: one per processor.
unsigned passSearchThreads();
