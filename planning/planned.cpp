#include "planning/planned.h"

#include "astro/sun.h"
#include "astro/time_scales.h"
#include "sky/observation.h"

namespace {

constexpr double kNightStep = 10.0 / kMinutesPerDay;

// The magnitude the standard magnitudes give the satellite by `estimate`, if they list it.
template <class Estimate>
std::optional<double> magnitudeOf(const StandardMagnitudes* magnitudes,
                                  const CatalogueEntry& satellite, const Estimate& estimate) {
    if (!magnitudes)
        return std::nullopt;
    const auto known = magnitudes->find(int(satellite.elements.satnum));
    if (known == magnitudes->end())
        return std::nullopt;
    return estimate(known->second);
}

} // namespace

CataloguePlan planCatalogue(Catalogue& catalogue, const TimeScales& scales, const Site& site,
                            const PlanRequest& request) {
    const auto carryOn = [&request] {
        return !request.carryOn || request.carryOn();
    };
    CataloguePlan plan;
    CatalogueSearch search;
    search.trackPoints = request.trackPoints;
    search.carryOn = request.carryOn;
    search.threads = request.threads;
    search.stretchSeconds = request.stretchSeconds;
    search.progress = request.progress;
    search.clearances = request.transits.has_value();
    if (request.transits) {
        search.clearanceSought[0] = request.transits->sun ? transitReach(*request.transits) : 0.0;
        search.clearanceSought[1] = request.transits->moon ? transitReach(*request.transits) : 0.0;
    }
    if (!request.listPasses) {
        if (!request.transits)
            return plan;
        search.onlyNear = true;
    }
    const auto planned = [&](CataloguePass& f) {
        CatalogueEntry& satellite = catalogue[f.index];
        PlannedPass p;
        p.satellite = f.index;
        p.name = satellite.displayName;
        p.pass = f.pass;
        // The transits search the passes, not their tracks.
        p.track = std::move(f.track);
        p.magnitude = magnitudeOf(request.magnitudes, satellite, [&](double standard) {
            return passMagnitude(satellite, scales, site, f.pass, standard);
        });
        p.night = request.night && isNightPass(f.pass, scales, site);
        return p;
    };
    // Without transits to seek in them, a sink takes the passes straight from the search.
    if (request.passSink && request.listPasses && !request.transits)
        search.sink = [&](CataloguePass& f) {
            PlannedPass p = planned(f);
            request.passSink(p);
        };
    std::vector<CataloguePass> found =
        findCataloguePasses(catalogue, scales, site, request.window, search);
    if (!carryOn() || search.sink)
        return plan;
    if (!request.passSink)
        plan.passes.reserve(request.listPasses ? found.size() : 0);
    for (CataloguePass& f : found) {
        if (!request.listPasses)
            break; // none wanted
        PlannedPass p = planned(f);
        if (request.passSink)
            request.passSink(p);
        else
            plan.passes.push_back(std::move(p));
    }
    if (!request.transits || !carryOn())
        return plan;
    TransitOptions options = *request.transits;
    options.carryOn = carryOn;
    options.threads = request.threads;
    for (const Transit& t : findTransits(catalogue, scales, site, found, options)) {
        CatalogueEntry& satellite = catalogue[t.index];
        PlannedTransit p;
        p.satellite = t.index;
        p.name = satellite.displayName;
        p.transit = t;
        if (t.body == TransitBody::Moon)
            p.magnitude = magnitudeOf(request.magnitudes, satellite, [&](double standard) {
                return magnitudeAt(satellite, scales, site, t.jd, standard);
            });
        if (request.transitPathPoints > 0) {
            // A pass around the closest approach, culminating there, so that the path holds it.
            SatellitePass around;
            around.startJd = t.jd - request.transitPathSeconds / kSecondsPerDay;
            around.endJd = t.jd + request.transitPathSeconds / kSecondsPerDay;
            around.culmination = {t.jd, t.azimuthDeg, t.altitudeDeg};
            p.path = passTrack(satellite, scales, site, around, request.transitPathPoints);
        }
        plan.transits.push_back(std::move(p));
    }
    return plan;
}

bool isNightPass(const SatellitePass& pass, const TimeScales& scales, const Site& site) {
    // A pass of a day or more sees a day, bar the polar night.
    if (!(pass.endJd >= pass.startJd) || pass.endJd - pass.startJd > 1.0)
        return false;
    const auto dark = [&](double jd) {
        const Vec3 sun = sunPosition(jd + kWorkingToTtDays);
        return altitudeDegrees(sun, observationInstant(scales, jd, site).frame) <
               kNightSunAltitudeDeg;
    };
    for (double jd = pass.startJd; jd < pass.endJd; jd += kNightStep)
        if (!dark(jd))
            return false;
    return dark(pass.endJd);
}

std::vector<ExportedPass> exportedPasses(const std::vector<PlannedPass>& passes,
                                         const Catalogue& catalogue) {
    std::vector<ExportedPass> exported;
    exported.reserve(passes.size());
    for (const PlannedPass& p : passes)
        if (p.satellite < catalogue.size()) {
            const CatalogueEntry& satellite = catalogue[p.satellite];
            exported.push_back(
                {int(satellite.elements.satnum), satellite.nameLine, p.pass, p.magnitude});
        }
    return exported;
}
