#include "planning/pass_planner.h"

#include <QtConcurrent/QtConcurrentRun>

PassPlanner::PassPlanner(const TimeScales& scales, QObject* parent)
    : QObject(parent), scales(scales) {
    connect(&watcher, &QFutureWatcher<Outcome>::finished, this, &PassPlanner::finished);
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

void PassPlanner::cancel() {
    const bool searching = isPlanning();
    abandon();
    if (searching)
        emit cancelled();
}

void PassPlanner::start(Job job) {
    runningAbandoned = job.abandoned;
    watcher.setFuture(
        QtConcurrent::run([this, job = std::move(job)]() mutable { return run(std::move(job)); }));
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
        const Outcome outcome = watcher.result();
        latestPlan = outcome.plan;
        latestSearched = outcome.searched;
        emit planned(latestPlan->passes, latestPlan->transits);
    }
}

PassPlanner::Outcome PassPlanner::run(Job job) {
    PlanRequest request;
    request.window = job.window;
    request.window.horizon = &job.horizon; // the worker's own copy
    request.magnitudes = job.magnitudes.get();
    request.night = true;
    request.transits = TransitOptions();
    request.transitPathPoints = kTransitPathPoints;
    request.transitPathSeconds = kTransitPathSeconds;
    request.carryOn = [abandoned = job.abandoned] {
        return !*abandoned;
    };
    // Emitted on the worker's thread, queued to the window's; the destructor waits for the
    // worker, so this outlives it.
    request.progress = [this, abandoned = job.abandoned](double share) {
        if (!*abandoned)
            emit progressed(int(share * 100));
    };
    Outcome outcome;
    outcome.plan = std::make_shared<const CataloguePlan>(
        planCatalogue(job.catalogue, job.scales, job.site, request));
    outcome.searched = std::make_shared<const Searched>(
        Searched{std::move(job.catalogue), std::move(job.scales), job.site});
    return outcome;
}

std::vector<PassPoint> PassPlanner::track(const PlannedPass& pass) const {
    if (!latestSearched || pass.satellite >= latestSearched->catalogue.size())
        return {};
    // A copy: propagation changes a set's working values, and the plan's sets stay as they were.
    CatalogueEntry satellite = latestSearched->catalogue[pass.satellite];
    return passTrack(satellite, latestSearched->scales, latestSearched->site, pass.pass,
                     kTrackPoints);
}
