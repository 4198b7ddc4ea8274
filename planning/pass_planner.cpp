#include "planning/pass_planner.h"

#include "astro/sun.h"
#include "planning/transits.h"
#include "sky/observation.h"

#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr double kHalfSecond = 0.5 / kSecondsPerDay;
constexpr double kNightStep = 10.0 / kMinutesPerDay;

// UTC to the nearest second, "YYYY-MM-DD hh:mm:ss".
QString utcText(const TimeScales& scales, double jd) {
    const CalendarTime c = scales.utcCalendarFromJd(jd + kHalfSecond);
    return QString::fromStdString(formatCalendar(c, CalendarFormat::Seconds));
}

// UTC to the nearest millisecond, "YYYY-MM-DD hh:mm:ss.zzz".
QString utcMillisecondText(const TimeScales& scales, double jd) {
    const CalendarTime c = scales.utcCalendarFromJd(jd + kHalfSecond / 1000.0);
    return QString::fromStdString(formatCalendar(c, CalendarFormat::Clock));
}

} // namespace

PassPlanner::PassPlanner(const TimeScales& scales, QObject* parent)
    : QObject(parent), scales(scales) {
    connect(&watcher, &QFutureWatcher<Result>::finished, this, &PassPlanner::finished);
}

PassPlanner::~PassPlanner() {
    abandon();
    watcher.waitForFinished();
}

void PassPlanner::plan(const Catalogue& catalogue, const Site& site, double jd,
                       const HorizonMask& horizon, double days) {
    Job job{catalogue, scales,
            site,      PassWindow{jd, jd + days, 0.0, nullptr},
            horizon,   std::make_shared<std::atomic<bool>>(false),
            magnitudes};
    if (watcher.isRunning()) {
        *runningAbandoned = true;
        pending = std::move(job);
        return;
    }
    start(std::move(job));
}

void PassPlanner::setMagnitudes(std::shared_ptr<const StandardMagnitudes> standard) {
    magnitudes = std::move(standard);
}

void PassPlanner::abandon() {
    if (runningAbandoned)
        *runningAbandoned = true;
    pending.reset();
}

void PassPlanner::start(Job job) {
    runningAbandoned = job.abandoned;
    watcher.setFuture(QtConcurrent::run([job] { return run(job); }));
}

void PassPlanner::finished() {
    const bool abandoned = runningAbandoned && *runningAbandoned;
    runningAbandoned.reset();
    if (pending) {
        Job next = std::move(*pending);
        pending.reset();
        start(std::move(next));
        return;
    }
    if (!abandoned) {
        const Result result = watcher.result();
        emit planned(result.passes, result.transits);
    }
}

bool PassPlanner::isNightPass(const SatellitePass& pass, const TimeScales& scales,
                              const Site& site) {
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

PassPlanner::Result PassPlanner::run(Job job) {
    job.window.horizon = &job.horizon; // the worker's own copy
    const std::atomic<bool>& abandoned = *job.abandoned;
    const std::vector<CataloguePass> found =
        findCataloguePasses(job.catalogue, job.scales, job.site, job.window, kTrackPoints,
                            [&abandoned] { return !abandoned; });
    Result result;
    std::vector<PlannedPass>& passes = result.passes;
    if (abandoned)
        return result;
    passes.reserve(found.size());
    for (const CataloguePass& f : found) {
        PlannedPass p;
        p.satellite = f.index;
        p.name = QString::fromUtf8(job.catalogue[f.index].displayName);
        p.pass = f.pass;
        if (f.pass.hasRise)
            p.rise = utcText(job.scales, f.pass.rise.jd);
        p.culmination = utcText(job.scales, f.pass.culmination.jd);
        if (f.pass.hasSet)
            p.set = utcText(job.scales, f.pass.set.jd);
        p.track = f.track;
        if (job.magnitudes) {
            CatalogueEntry& satellite = job.catalogue[f.index];
            const auto known = job.magnitudes->find(int(satellite.elements.satnum));
            if (known != job.magnitudes->end())
                p.magnitude = passMagnitude(satellite, job.scales, job.site, f.pass, known->second);
        }
        passes.push_back(std::move(p));
    }
    if (abandoned)
        return result;
    TransitOptions transitOptions;
    transitOptions.carryOn = [&abandoned] {
        return !abandoned;
    };
    const std::vector<Transit> transits =
        findTransits(job.catalogue, job.scales, job.site, found, transitOptions);
    if (abandoned)
        return result;
    for (const Transit& t : transits) {
        PlannedTransit p;
        p.satellite = t.index;
        p.name = QString::fromUtf8(job.catalogue[t.index].displayName);
        p.time = utcMillisecondText(job.scales, t.jd);
        p.transit = t;
        if (job.magnitudes && t.body == TransitBody::Moon) {
            CatalogueEntry& satellite = job.catalogue[t.index];
            const auto known = job.magnitudes->find(int(satellite.elements.satnum));
            if (known != job.magnitudes->end())
                p.magnitude = magnitudeAt(satellite, job.scales, job.site, t.jd, known->second);
        }
        // A pass of a minute around the closest approach, culminating there, so that the path
        // holds it.
        SatellitePass around;
        around.startJd = t.jd - kTransitPathSeconds / kSecondsPerDay;
        around.endJd = t.jd + kTransitPathSeconds / kSecondsPerDay;
        around.culmination.jd = t.jd;
        around.culmination.altitudeDeg = t.altitudeDeg;
        around.culmination.azimuthDeg = t.azimuthDeg;
        p.path =
            passTrack(job.catalogue[t.index], job.scales, job.site, around, kTransitPathPoints);
        result.transits.push_back(std::move(p));
    }
    return result;
}
