#include "planning/passes.h"

#include "planning/pass_scan.h"

using namespace pass_scan;

std::vector<SatellitePass> findPasses(CatalogueEntry& satellite, const TimeScales& scales,
                                      const Site& site, const PassWindow& window,
                                      std::size_t* propagations) {
    const double span = (window.toJd - window.fromJd) * kSecondsPerDay;
    if (!(span >= 0) || !std::isfinite(span))
        return {};
    const WindowClock clock(scales, site, window.fromJd, window.toJd);
    AltitudeCurve curve(satellite, clock, window.fromJd);
    PassScan scan(window);
    std::vector<ScannedPass> scanned;
    for (double t = 0;;) {
        const Sample s = curve.at(t);
        scan.add(curve, clock, s, nullptr, scanned);
        if (t >= span)
            break;
        t = std::min(span, t + curve.stepAfter(s));
    }
    scan.finish(curve, clock, scanned);
    std::vector<SatellitePass> passes;
    passes.reserve(scanned.size());
    for (const ScannedPass& p : scanned)
        passes.push_back(p.pass);
    if (propagations)
        *propagations += curve.propagations;
    return passes;
}

std::vector<PassPoint> passTrack(CatalogueEntry& satellite, const TimeScales& scales,
                                 const Site& site, const SatellitePass& pass, int count) {
    const WindowClock clock(scales, site, pass.startJd, pass.endJd);
    AltitudeCurve curve(satellite, clock, pass.startJd);
    const double span = (pass.endJd - pass.startJd) * kSecondsPerDay;
    const double culmination = (pass.culmination.jd - pass.startJd) * kSecondsPerDay;
    count = std::max(count, 2);
    std::vector<PassPoint> track;
    track.reserve(std::size_t(count) + 1);
    bool culminationDone = false;
    for (int k = 0; k < count; ++k) {
        const double t = span * k / (count - 1);
        if (!culminationDone && t >= culmination) {
            culminationDone = true;
            if (t > culmination)
                track.push_back(pass.culmination);
        }
        track.push_back(curve.point(curve.at(t)));
    }
    return track;
}
