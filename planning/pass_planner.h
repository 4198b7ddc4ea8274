#pragma once

#include "astro/horizon_mask.h"
#include "astro/site.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "planning/magnitudes.h"
#include "planning/planned.h"

#include <QFutureWatcher>
#include <QObject>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

// Searches the coming passes of a whole catalogue (planCatalogue, with magnitudes, the night
// passes and the transits; tracks on demand) on a worker thread. Each search works on copies of
// the catalogue and the time scales (propagation changes a set's working values), so the
// window's tick never waits for it. A new request abandons a search still running for older
// inputs.
class PassPlanner : public QObject {
    Q_OBJECT

public:
    static constexpr double kWindowDays = 0.5;
    static constexpr int kTrackPoints = 33;
    // The satellite's path drawn across a body: this many points over kTransitPathSeconds either
    // side of the closest approach.
    static constexpr int kTransitPathPoints = 7;
    static constexpr double kTransitPathSeconds = 30.0;

    explicit PassPlanner(const TimeScales& scales, QObject* parent = nullptr);
    ~PassPlanner() override;

    // The passes over `days` from the working date jd, rising and setting at the horizon given.
    void plan(const Catalogue& catalogue, const Site& site, double jd,
              const HorizonMask& horizon = HorizonMask(), double days = kWindowDays);
    // Standard magnitudes for the next searches' estimates at culmination; none: no estimates.
    void setMagnitudes(std::shared_ptr<const StandardMagnitudes> magnitudes);
    // Drops the search under way and the one waiting: their results are never announced.
    void abandon();
    // abandon(), told: cancelled() follows when a search was under way or waiting.
    void cancel();
    bool isPlanning() const { return watcher.isRunning() || pending.has_value(); }
    // The plan the latest planned() told: a receiver keeps it by this, not by copying.
    std::shared_ptr<const CataloguePlan> latest() const { return latestPlan; }
    // A pass's path across the sky, kTrackPoints points from its rise to its set, drawn from the
    // sets, site and time scales of the latest plan; empty for a pass not of its catalogue. The
    // plan holds none: a week of the whole catalogue would hold half a gigabyte of them.
    std::vector<PassPoint> track(const PlannedPass& pass) const;

signals:
    // The passes of the latest request, in time order, and their crossings of the Sun and the
    // Moon, in time order.
    void planned(const std::vector<PlannedPass>& passes,
                 const std::vector<PlannedTransit>& transits);
    // The latest search has searched so many percent of its window.
    void progressed(int percent);
    void cancelled();

private:
    struct Job {
        Catalogue catalogue;
        TimeScales scales;
        Site site;
        PassWindow window;
        HorizonMask horizon;
        std::shared_ptr<std::atomic<bool>> abandoned;
        std::shared_ptr<const StandardMagnitudes> magnitudes;
    };

    // What a plan was drawn from, kept for its passes' tracks.
    struct Searched {
        Catalogue catalogue;
        TimeScales scales;
        Site site;
    };
    struct Outcome {
        std::shared_ptr<const CataloguePlan> plan;
        std::shared_ptr<const Searched> searched;
    };

    void start(Job job);
    void finished();
    Outcome run(Job job);

    const TimeScales& scales;
    // The plan is shared, not copied, on its way to the window: it may hold a million passes.
    QFutureWatcher<Outcome> watcher;
    std::shared_ptr<const CataloguePlan> latestPlan;
    std::shared_ptr<const Searched> latestSearched;
    std::shared_ptr<std::atomic<bool>> runningAbandoned;
    std::optional<Job> pending;
    std::shared_ptr<const StandardMagnitudes> magnitudes;
};
