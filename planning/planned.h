#pragma once

// What the planner finds for a whole catalogue: its passes, with the magnitude at culmination
// and whether they fall in the night, and their crossings of the Sun and the Moon. The window's
// planner and orbitrak-cli passes and transits all take them from planCatalogue, so each says
// the same of a pass.

#include "astro/site.h"
#include "catalogue/catalogue.h"
#include "planning/magnitudes.h"
#include "planning/pass_export.h"
#include "planning/passes.h"
#include "planning/transits.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TimeScales;

// One pass. Its instants are the working Julian dates of `pass` (no rise or set where hasRise
// or hasSet says so).
struct PlannedPass {
    std::size_t satellite = 0; // the satellite's row in the catalogue searched
    std::string name;          // its display name, UTF-8
    SatellitePass pass;
    std::vector<PassPoint> track;    // for the sky plot; empty unless asked for
    std::optional<double> magnitude; // at culmination; none unknown or in the Earth's shadow
    bool night = false;              // isNightPass, where asked for; else false
};

// One closest approach to the Sun or the Moon, at transit.jd.
struct PlannedTransit {
    std::size_t satellite = 0; // the satellite's row in the catalogue searched
    std::string name;          // its display name, UTF-8
    Transit transit;
    std::vector<PassPoint> path; // the satellite's, around the closest approach; empty unless asked
    // At the closest approach to the Moon; none unknown, in the Earth's shadow, or before the
    // Sun (a silhouette).
    std::optional<double> magnitude;
};

struct PlanRequest {
    PassWindow window;
    int trackPoints = 0;                            // > 0: a track of so many points per pass
    const StandardMagnitudes* magnitudes = nullptr; // none: no magnitudes
    bool night = false;                             // tell the night passes
    std::optional<TransitOptions> transits;         // none: no transit search
    // > 0: a path of so many points over pathSeconds either side of each closest approach.
    int transitPathPoints = 0;
    double transitPathSeconds = 0.0;
    // When given, asked between the steps (and within the searches); once it says no, the
    // search stops early and what it returns is incomplete.
    std::function<bool()> carryOn;
    unsigned threads = 0; // for the pass search; 0: passSearchThreads()
    // false: only the transits are wanted; passes that cannot cross a body are dropped as they
    // are found, and the plan lists no passes.
    bool listPasses = true;
    double stretchSeconds = kSearchStretchSeconds; // CatalogueSearch::stretchSeconds
    std::function<void(double)> progress;          // CatalogueSearch::progress
    // When given, each pass is handed here, in the plan's order, instead of being listed in the
    // plan: a writer that streams holds no second copy of them all.
    std::function<void(PlannedPass&)> passSink;
};

struct CataloguePlan {
    std::vector<PlannedPass> passes;      // by first instant, then catalogue number
    std::vector<PlannedTransit> transits; // by time
};

// The passes of the catalogue within the window, then, where asked, their transits.
// Propagates the satellites.
CataloguePlan planCatalogue(Catalogue& catalogue, const TimeScales& scales, const Site& site,
                            const PlanRequest& request);

// Sunrise and sunset as almanacs give them: the upper limb on the horizon, refraction included.
constexpr double kNightSunAltitudeDeg = -0.833;

// The pass starts after sunset and ends before sunrise: the Sun's centre stands below
// kNightSunAltitudeDeg at its first and last instants and every ten minutes in between.
bool isNightPass(const SatellitePass& pass, const TimeScales& scales, const Site& site);

// The passes as files carry them: named by the catalogue's name lines. Passes of rows the
// catalogue does not hold are left out.
std::vector<ExportedPass> exportedPasses(const std::vector<PlannedPass>& passes,
                                         const Catalogue& catalogue);
