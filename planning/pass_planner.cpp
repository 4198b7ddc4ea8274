#include "planning/pass_planner.h"

#include <QtConcurrent/QtConcurrentRun>

PassPlanner::PassPlanner(const TimeScales& scales, QObject* parent)
    : QObject(parent), scales(scales) {
    connect(&watcher, &QFutureWatcher<std::shared_ptr<const CataloguePlan>>::finished, this,
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

void PassPlanner::cancel() {
    const bool searching = isPlanning();
    abandon();
    if (searching)
        emit cancelled();
}

void PassPlanner::start(Job job) {
    runningAbandoned = job.abandoned;
    watcher.setFuture(QtConcurrent::run([this, job] { return run(job); }));
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
        latestPlan = watcher.result();
        emit planned(latestPlan->passes, latestPlan->transits);
    }
}

std::shared_ptr<const CataloguePlan> PassPlanner::run(Job job) {
    PlanRequest request;
    request.window = job.window;
    request.window.horizon = &job.horizon; // the worker's own copy
    request.trackPoints = kTrackPoints;
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
    return std::make_shared<const CataloguePlan>(
        planCatalogue(job.catalogue, job.scales, job.site, request));
}
