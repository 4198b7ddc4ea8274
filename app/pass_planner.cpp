#include "app/pass_planner.h"

#include "astro/sun.h"
#include "catalogue/observation.h"

#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr double kHalfSecond = 0.5 / kSecondsPerDay;
constexpr double kNightStep = 10.0 / 1440.0;

// UTC to the nearest second, "YYYY-MM-DD hh:mm:ss".
QString utcText(const TimeScales& scales, double jd) {
    const CalendarTime c = scales.utcCalendarFromJd(jd + kHalfSecond);
    return QString::fromStdString(formatCalendar(c, CalendarFormat::Seconds));
}

} // namespace

PassPlanner::PassPlanner(const TimeScales& scales, QObject* parent)
    : QObject(parent), scales(scales) {
    connect(&watcher, &QFutureWatcher<std::vector<PlannedPass>>::finished, this,
            &PassPlanner::finished);
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
    if (!abandoned)
        emit planned(watcher.result());
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

std::vector<PlannedPass> PassPlanner::run(Job job) {
    job.window.horizon = &job.horizon; // the worker's own copy
    const std::atomic<bool>& abandoned = *job.abandoned;
    const std::vector<CataloguePass> found =
        findCataloguePasses(job.catalogue, job.scales, job.site, job.window, kTrackPoints,
                            [&abandoned] { return !abandoned; });
    std::vector<PlannedPass> passes;
    if (abandoned)
        return passes;
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
    return passes;
}
