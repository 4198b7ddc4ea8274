#include "sky/sky_computation.h"

#include "astro/angles.h"
#include "astro/sun.h"
#include "astro/time_units.h"
#include "orbit/gravity.h"
#include "orbit/sgp4.h"
#include "sky/observation.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr double kOneSecondInDays = 1.0 / kSecondsPerDay;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Resonance steps a call integrates itself: a few milliseconds. An ordinary tick needs at most
// one step per resonant set; a catalogue of sets with epochs decades away needs millions.
constexpr double kStepsPerCall = 20000.0;
constexpr unsigned kMostWorkers = 15;
// Batched sets from which a tick shares them with a second thread: starting one costs about
// what 200 of them do.
constexpr std::size_t kSetsForTwoThreads = 2000;

// A set on its way to an instant. The lines tell which set it was: the catalogue it came from
// may have been replaced by the time it is back.
struct WarmUp {
    std::size_t index = 0;
    std::string line1;
    std::string line2;
    ElementSet set;
    double minutes = 0.0;

    bool isFor(const CatalogueEntry& satellite) const {
        return satellite.line1 == line1 && satellite.line2 == line2;
    }
};

// The later of the two instants, leaving a resonant set's integrator at the earlier one. The next
// call's earlier instant then never lies before it; otherwise, whenever a 720-minute step fell
// inside the second between the two, the next call would restart the integration from the
// epoch, years of steps for a set of long ago. The integrator's state is all that is kept: every
// other working value a propagation writes, it writes before it reads.
Vec3 horizonVectorAfter(CatalogueEntry& satellite, const ObservationInstant& later) {
    ElementSet& set = satellite.elements;
    if (set.irez == 0)
        return topocentricEnu(satellite, later);
    const double atime = set.atime, xli = set.xli, xni = set.xni;
    const Vec3 v = topocentricEnu(satellite, later);
    set.atime = atime;
    set.xli = xli;
    set.xni = xni;
    return v;
}

} // namespace

void placeRow(LiveRow& row, const Vec3& secondBefore, const Vec3& now) {
    const HorizonDirection direction = horizonDirection(now);
    row.distanceKm = length(now) * 0.001;
    row.azimuthDeg = direction.azimuthDeg;
    row.altitudeDeg = direction.altitudeDeg;
    row.speedDegPerSec = angleBetween(secondBefore, now) * kDegreesPerRadian;
}

// Worker threads, started at the first set that needs them and joined when the computation
// ends. Each takes whole sets, on copies, so the catalogue is only ever touched by the caller.
class SkyComputation::WarmUpPool {
public:
    ~WarmUpPool() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread& t : threads)
            t.join();
    }

    void submit(WarmUp job) {
        startWorkers();
        if (threads.empty()) {
            // No thread could be started: the caller does the work.
            integrate(job);
            std::lock_guard<std::mutex> lock(mutex);
            finished.push_back(std::move(job));
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            queued.push_back(std::move(job));
        }
        wake.notify_one();
    }

    std::vector<WarmUp> takeFinished() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<WarmUp> done;
        done.swap(finished);
        return done;
    }

    // The caller works beside the threads until every submitted set is done.
    void finishAll() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!queued.empty())
            integrateNext(lock);
        idle.wait(lock, [this] { return running == 0; });
    }

private:
    static void integrate(WarmUp& job) {
        double r[3], v[3];
        sgp4Propagate(kWgs72, job.set, job.minutes, r, v);
    }

    // Takes the first queued set and integrates it with the lock released.
    void integrateNext(std::unique_lock<std::mutex>& lock) {
        WarmUp job = std::move(queued.front());
        queued.pop_front();
        ++running;
        lock.unlock();
        integrate(job);
        lock.lock();
        --running;
        finished.push_back(std::move(job));
    }

    void startWorkers() {
        if (started)
            return;
        started = true;
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const unsigned count = std::min(std::max(1u, cores - 1), kMostWorkers);
        try {
            threads.reserve(count); // no reallocation once a thread runs
            for (unsigned i = 0; i < count; ++i)
                threads.emplace_back([this] { run(); });
        } catch (const std::exception&) {
            // Fewer workers, or none: submit copes with either.
        }
    }

    void run() {
        std::unique_lock<std::mutex> lock(mutex);
        while (true) {
            wake.wait(lock, [this] { return stopping || !queued.empty(); });
            if (stopping)
                return;
            integrateNext(lock);
            idle.notify_all();
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<WarmUp> queued;
    std::vector<WarmUp> finished;
    std::size_t running = 0;
    bool stopping = false;
    bool started = false;
    std::vector<std::thread> threads;
};

Sgp4States SkyComputation::Batched::states(int instant) {
    const std::size_t n = indices.size();
    double* r = results.data() + std::size_t(instant) * 6 * n;
    return {r, r + n, r + 2 * n, r + 3 * n, r + 4 * n, r + 5 * n, errors.data() + instant * n};
}

// Rebuilt when any set differs from the one the batch holds; comparing is far cheaper than a
// propagation.
void SkyComputation::refreshBatch(const Catalogue& catalogue) {
    const std::size_t n = catalogue.size();
    bool same = batched.keys.size() == n;
    if (same) {
        for (std::size_t i = 0; i < n && same; ++i) {
            const ElementSet& e = catalogue[i].elements;
            const Batched::Key key{e.jdsatepoch, e.no, e.ecco,  e.inclo,
                                   e.bstar,      e.mo, e.argpo, e.nodeo};
            same = std::memcmp(&key, &batched.keys[i], sizeof key) == 0;
        }
    }
    if (same)
        return;
    batched.keys.resize(n);
    batched.isBatched.assign(n, 0);
    batched.indices.clear();
    std::vector<ElementSet> sets;
    for (std::size_t i = 0; i < n; ++i) {
        const ElementSet& e = catalogue[i].elements;
        batched.keys[i] = {e.jdsatepoch, e.no, e.ecco, e.inclo, e.bstar, e.mo, e.argpo, e.nodeo};
        if (batches(e)) {
            batched.isBatched[i] = 1;
            batched.indices.push_back(i);
            sets.push_back(e);
        }
    }
    batched.batch.assign(sets.data(), sets.size());
    batched.results.assign(2 * 6 * sets.size(), 0.0);
    batched.errors.assign(2 * sets.size(), 0);
}

bool SkyComputation::batches(const ElementSet& set) {
    return sgp4BatchVectorises(set) && set.irez == 0;
}

SkyComputation::SkyComputation(const TimeScales& scales)
    : scales(scales), pool(std::make_unique<WarmUpPool>()) {}

SkyComputation::~SkyComputation() = default;

std::size_t SkyComputation::setsInPreparation() const {
    return inPreparation.size();
}

bool SkyComputation::isInPreparation(std::size_t index, const CatalogueEntry& satellite) const {
    for (const Preparation& p : inPreparation)
        if (p.index == index && p.line1 == satellite.line1 && p.line2 == satellite.line2)
            return true;
    return false;
}

void SkyComputation::prepare(std::size_t index, const CatalogueEntry& satellite, double minutes) {
    if (isInPreparation(index, satellite))
        return;
    inPreparation.push_back({index, satellite.line1, satellite.line2});
    pool->submit(WarmUp{index, satellite.line1, satellite.line2, satellite.elements, minutes});
}

void SkyComputation::takePreparedSets(Catalogue& catalogue) {
    for (WarmUp& done : pool->takeFinished()) {
        inPreparation.erase(std::remove_if(inPreparation.begin(), inPreparation.end(),
                                           [&done](const Preparation& p) {
                                               return p.index == done.index &&
                                                      p.line1 == done.line1 &&
                                                      p.line2 == done.line2;
                                           }),
                            inPreparation.end());
        if (done.index < catalogue.size() && done.isFor(catalogue[done.index]))
            catalogue[done.index].elements = done.set;
    }
}

std::vector<LiveRow> SkyComputation::compute(Catalogue& catalogue, double jd, const Site& site,
                                             Wait wait) {
    std::vector<LiveRow> rows(catalogue.size(), LiveRow{kNaN, kNaN, kNaN, kNaN});
    if (catalogue.empty())
        return rows;
    const ObservationInstant before = observationInstant(scales, jd - kOneSecondInDays, site);
    const ObservationInstant now = observationInstant(scales, jd, site);
    takePreparedSets(catalogue);
    const Vec3 sun = sunPosition(jd + kWorkingToTtDays);
    // Every row shows its age, whether or not it has a position by the end of the call.
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        rows[i].ageDays = now.utcJd - catalogue[i].elements.jdsatepoch;
    // A propagated row: its place and sunlight, or none for the elements' fault. Every path
    // comes through here, so the batch and the set-by-set propagation fill the same fields.
    const auto place = [&sun](LiveRow& row, const Vec3& secondBefore, const Vec3& now,
                              const CatalogueEntry& satellite) {
        placeRow(row, secondBefore, now);
        const Vec3 position{satellite.position[0], satellite.position[1], satellite.position[2]};
        row.invalidElements = !std::isfinite(length(position));
        row.sunlight = row.invalidElements       ? Sunlight::Unknown
                       : isSunlit(position, sun) ? Sunlight::Sunlit
                                                 : Sunlight::Shadow;
    };

    // Batched sets: both instants in one go each, half of them on a second thread when
    // there is a second processor. The set and its stored position end as a propagation to
    // `now` leaves them.
    refreshBatch(catalogue);
    const auto inBatch = [&](std::size_t from, std::size_t to) {
        const Sgp4States s0 = batched.states(0), s1 = batched.states(1);
        const auto shift = [from](const Sgp4States& s) {
            return Sgp4States{s.rx + from, s.ry + from, s.rz + from,   s.vx + from,
                              s.vy + from, s.vz + from, s.error + from};
        };
        const Sgp4States first = shift(s0), second = shift(s1);
        batched.batch.propagateAt(before.utcJd, from, to, first);
        batched.batch.propagateAt(now.utcJd, from, to, second);
        for (std::size_t k = 0; k < to - from; ++k) {
            CatalogueEntry& satellite = catalogue[batched.indices[from + k]];
            const Vec3 a = satellitePosition(
                satellite.elements, minutesSinceEpoch(satellite.elements, before.utcJd),
                {first.rx[k], first.ry[k], first.rz[k]}, first.error[k]);
            satellite.elements.t = minutesSinceEpoch(satellite.elements, now.utcJd);
            const Vec3 b =
                satellitePosition(satellite.elements, satellite.elements.t,
                                  {second.rx[k], second.ry[k], second.rz[k]}, second.error[k]);
            satellite.position[0] = b.x;
            satellite.position[1] = b.y;
            satellite.position[2] = b.z;
            satellite.elements.error = second.error[k];
            place(rows[batched.indices[from + k]], horizonVector(a, before.frame),
                  horizonVector(b, now.frame), satellite);
        }
    };
    const std::size_t count = batched.indices.size();
    std::thread helper;
    if (count >= kSetsForTwoThreads && std::thread::hardware_concurrency() > 1) {
        try {
            helper = std::thread(inBatch, count / 2, count);
        } catch (const std::system_error&) {
            // One thread does it all.
        }
    }
    inBatch(0, helper.joinable() ? count / 2 : count);
    if (helper.joinable())
        helper.join();

    // Each of the two propagations may have to integrate; whatever would take the call past its
    // budget is handed to the pool instead.
    double budget = kStepsPerCall;
    auto affordable = [&budget](const CatalogueEntry& satellite, double minutes) {
        const double steps = sgp4ResonanceSteps(satellite.elements, minutes);
        if (steps > budget)
            return false;
        budget -= steps;
        return true;
    };
    std::vector<std::size_t> handedOver;
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        if (batched.isBatched[i])
            continue;
        CatalogueEntry& satellite = catalogue[i];
        if (!inPreparation.empty() && isInPreparation(i, satellite)) {
            if (wait == Wait::ForEverySet)
                handedOver.push_back(i); // handed over by an earlier call: waited for too
            continue;
        }
        const double minutesBefore = minutesSinceEpoch(satellite.elements, before.utcJd);
        if (!affordable(satellite, minutesBefore)) {
            prepare(i, satellite, minutesBefore);
            handedOver.push_back(i);
            continue;
        }
        const Vec3 a = topocentricEnu(satellite, before);
        if (!affordable(satellite, minutesSinceEpoch(satellite.elements, now.utcJd))) {
            prepare(i, satellite, minutesBefore);
            handedOver.push_back(i);
            continue;
        }
        place(rows[i], a, horizonVectorAfter(satellite, now), satellite);
    }

    if (wait == Wait::ForEverySet && !handedOver.empty()) {
        pool->finishAll();
        takePreparedSets(catalogue);
        for (std::size_t i : handedOver) {
            CatalogueEntry& satellite = catalogue[i];
            const Vec3 a = topocentricEnu(satellite, before);
            place(rows[i], a, horizonVectorAfter(satellite, now), satellite);
        }
    }
    return rows;
}
