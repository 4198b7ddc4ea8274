// The search of a whole catalogue: its sets sampled together on one grid, in stretches of the
// window, on several threads.
#include "planning/passes.h"

#include "astro/moon.h"
#include "astro/sun.h"
#include "orbit/sgp4.h"
#include "orbit/sgp4_batch.h"
#include "planning/pass_scan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

using namespace pass_scan;

namespace {

// The catalogue search samples every set on one grid of instants, many sets per propagation
// call (orbit/sgp4_batch.h), and refines as findPasses does. A set's stride on the grid is the
// step findPasses takes at perigee, the shortest along the orbit, rounded down to a whole number
// of grid steps; sets of one stride are propagated together.
constexpr double kGridStep = kShortestStep;
// Sets per unit of work: the search's results do not depend on how the units are shared out.
constexpr std::size_t kShareSize = 256;
// The bodies' positions are interpolated between exact ones this far apart (days): a bound
// needs no more.
constexpr double kBodyStep = 600.0 / kSecondsPerDay;

std::uint64_t gridStride(const ElementSet& e) {
    double step = kTwoPi / e.no * 60.0 / kSamplesPerOrbit;
    if (e.ecco >= 0 && e.ecco < 1)
        step *= (1 - e.ecco) * (1 - e.ecco) / std::sqrt(1 - e.ecco * e.ecco);
    step = std::min(step, kLongestStep);
    if (!(step >= 2 * kGridStep)) // also NaN
        return 1;
    return std::uint64_t(step / kGridStep);
}

// The instants of one stretch of the grid, reduced, with the Sun's and the Moon's directions
// when asked for.
struct Stretch {
    std::vector<double> t; // seconds into the window
    std::vector<ObservationInstant> instants;
    std::vector<Vec3> bodies; // two per instant
    std::uint64_t firstStep = 0;
    bool last = false; // ends with the window's end, which every set samples
};

Vec3 bodyAt(bool sun, double jd) {
    const double k = std::floor(jd / kBodyStep);
    const double u = jd / kBodyStep - k;
    const auto exact = [sun](double at) {
        const double tt = at * kBodyStep + kWorkingToTtDays;
        return sun ? apparentSunPosition(tt) : moonPosition(tt);
    };
    const Vec3 a = exact(k), b = exact(k + 1);
    return {a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.z + (b.z - a.z) * u};
}

// A share of the catalogue, carried from stretch to stretch: its sets, grouped by stride and
// propagated together, and each set's scan and passes.
class Share {
public:
    Share(Catalogue& catalogue, std::size_t first, std::size_t last, const PassWindow& window,
          const CatalogueSearch& search)
        : first(first), n(last - first) {
        std::vector<std::uint64_t> strides(n);
        order.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            order[k] = first + k;
            strides[k] = gridStride(catalogue[first + k].elements);
        }
        std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
            return strides[x - first] < strides[y - first];
        });
        // The batch takes its copies; the rest of the search reads the catalogue's sets.
        std::vector<ElementSet> sets(n);
        for (std::size_t k = 0; k < n; ++k) {
            sets[k] = catalogue[order[k]].elements;
            const std::uint64_t stride = strides[order[k] - first];
            if (groups.empty() || groups.back().stride != stride)
                groups.push_back({stride, k, k});
            groups.back().end = k + 1;
        }
        batch.assign(sets.data(), n);
        scans.reserve(n);
        for (std::size_t k = 0; k < n; ++k)
            scans.emplace_back(window, search.clearanceSought, search.onlyNear);
        passes.resize(n);
        if (search.clearances)
            clearances.resize(n);
    }

    // Per thread: what one propagation call fills.
    struct Buffers {
        std::vector<double> rv;
        std::vector<int> errors;
        std::vector<double> east, north, up, elevation;
        std::vector<Vec3> positions;
        std::vector<ScannedPass> found; // by one scan, until kept
    };

    void search(Catalogue& catalogue, const WindowClock& clock, const PassWindow& window,
                const Stretch& stretch, Buffers& b) {
        b.rv.resize(6 * n);
        b.errors.resize(n);
        b.east.resize(n);
        b.north.resize(n);
        b.up.resize(n);
        b.elevation.resize(n);
        b.positions.resize(n);
        const bool withBodies = !stretch.bodies.empty();
        const auto sampleAt = [&](std::size_t j, std::size_t from, std::size_t to) {
            const ObservationInstant& instant = stretch.instants[j];
            double* rv = b.rv.data();
            const Sgp4States at{
                rv + from,         rv + n + from,     rv + 2 * n + from,     rv + 3 * n + from,
                rv + 4 * n + from, rv + 5 * n + from, b.errors.data() + from};
            batch.propagateAt(instant.utcJd, from, to, at);
            for (std::size_t k = from; k < to; ++k) {
                const ElementSet& set = catalogue[order[k]].elements;
                b.positions[k] = satellitePosition(set, minutesSinceEpoch(set, instant.utcJd),
                                                   {rv[k], rv[n + k], rv[2 * n + k]}, b.errors[k]);
                const Vec3 enu = horizonVector(b.positions[k], instant.frame);
                b.east[k] = enu.x;
                b.north[k] = enu.y;
                b.up[k] = enu.z;
            }
            // altitudeOf to a few ulps, many at once.
            batchElevations(b.east.data() + from, b.north.data() + from, b.up.data() + from,
                            to - from, b.elevation.data() + from);
            for (std::size_t k = from; k < to; ++k) {
                Sample s;
                s.t = stretch.t[j];
                s.position = b.positions[k];
                s.enu = {b.east[k], b.north[k], b.up[k]};
                if (std::isfinite(b.elevation[k]))
                    s.altitudeDeg = b.elevation[k] * kDegreesPerRadian;
                AltitudeCurve curve(catalogue[order[k]], clock, window.fromJd);
                scans[k].add(curve, clock, s, withBodies ? &stretch.bodies[2 * j] : nullptr,
                             b.found);
                keep(k, b.found);
            }
        };
        const std::size_t count = stretch.instants.size() - (stretch.last ? 1 : 0);
        for (std::size_t j = 0; j < count; ++j)
            for (const Group& g : groups)
                if ((stretch.firstStep + j) % g.stride == 0)
                    sampleAt(j, g.begin, g.end);
        if (!stretch.last)
            return;
        sampleAt(count, 0, n); // the window's end, as findPasses samples it
        for (std::size_t k = 0; k < n; ++k) {
            AltitudeCurve curve(catalogue[order[k]], clock, window.fromJd);
            scans[k].finish(curve, clock, b.found);
            keep(k, b.found);
        }
    }

    // The search over: the tracks drawn where asked for (on the worker's thread), all but the
    // passes found freed. The passes stay where the scan left them, so that they are held once.
    void finish(Catalogue& catalogue, const TimeScales& scales, const Site& site,
                const CatalogueSearch& search) {
        slotOf.resize(n);
        for (std::size_t k = 0; k < n; ++k)
            slotOf[order[k] - first] = k;
        if (search.trackPoints > 0) {
            tracks.resize(n);
            for (std::size_t k = 0; k < n; ++k)
                for (const SatellitePass& p : passes[k])
                    tracks[k].push_back(
                        passTrack(catalogue[order[k]], scales, site, p, search.trackPoints));
        }
        // Each row's passes were gathered one by one: their spare room would hold a fifth more.
        for (std::vector<SatellitePass>& row : passes)
            row.shrink_to_fit();
        for (std::vector<Clearance>& row : clearances)
            row.shrink_to_fit();
        std::vector<std::size_t>().swap(order);
        std::vector<Group>().swap(groups);
        batch = Sgp4Batch();
        std::vector<PassScan>().swap(scans);
    }

    std::size_t rows() const { return n; }
    const std::vector<SatellitePass>& passesOf(std::size_t row) const {
        return passes[slotOf[row]];
    }

    // A pass found, handed out once; with clearances where the search bounds them.
    CataloguePass take(std::size_t row, std::size_t at, bool withClearances) {
        const std::size_t k = slotOf[row];
        CataloguePass entry{first + row, passes[k][at], {}};
        if (!tracks.empty())
            entry.track = std::move(tracks[k][at]);
        if (withClearances) {
            entry.sunClearance = clearances[k][at][0];
            entry.moonClearance = clearances[k][at][1];
        }
        return entry;
    }

private:
    Share() = default;

    struct Group {
        std::uint64_t stride;
        std::size_t begin, end; // slots
    };
    std::size_t first = 0, n = 0;
    std::vector<std::size_t> order; // catalogue rows by slot
    std::vector<Group> groups;
    Sgp4Batch batch;
    std::vector<PassScan> scans;
    // The passes by slot, and their clearances when sought: a week of a whole catalogue holds
    // some 600,000 passes.
    using Clearance = std::array<double, 2>;
    std::vector<std::vector<SatellitePass>> passes;
    std::vector<std::vector<Clearance>> clearances;

    void keep(std::size_t k, std::vector<ScannedPass>& found) {
        for (const ScannedPass& f : found) {
            passes[k].push_back(f.pass);
            if (!clearances.empty())
                clearances[k].push_back({f.clearance[0], f.clearance[1]});
        }
        found.clear();
    }
    std::vector<std::size_t> slotOf;                         // slots by row, once finished
    std::vector<std::vector<std::vector<PassPoint>>> tracks; // by slot, then pass
};

void prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

} // namespace

unsigned passSearchThreads() {
    return std::max(1u, std::thread::hardware_concurrency());
}

std::vector<CataloguePass> findCataloguePasses(Catalogue& catalogue, const TimeScales& scales,
                                               const Site& site, const PassWindow& window,
                                               int trackPoints,
                                               const std::function<bool()>& carryOn,
                                               unsigned threads) {
    CatalogueSearch search;
    search.trackPoints = trackPoints;
    search.carryOn = carryOn;
    search.threads = threads;
    return findCataloguePasses(catalogue, scales, site, window, search);
}

std::vector<CataloguePass> findCataloguePasses(Catalogue& catalogue, const TimeScales& scales,
                                               const Site& site, const PassWindow& window,
                                               const CatalogueSearch& search) {
    std::vector<CataloguePass> all;
    const double span = (window.toJd - window.fromJd) * kSecondsPerDay;
    if (!(span >= 0) || !std::isfinite(span) || catalogue.empty())
        return all;
    const WindowClock clock(scales, site, window.fromJd, window.toJd);
    const auto jdAt = [&window](double t) {
        return window.fromJd + t / kSecondsPerDay;
    };
    const std::size_t count = (catalogue.size() + kShareSize - 1) / kShareSize;
    // The costliest shares first (the cost goes with the samples taken), so that the threads
    // end together rather than one finishing a long share alone.
    std::vector<double> cost(count, 0.0);
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        cost[i / kShareSize] += 1.0 / double(gridStride(catalogue[i].elements));
    std::vector<std::size_t> schedule(count);
    for (std::size_t c = 0; c < count; ++c)
        schedule[c] = c;
    std::stable_sort(schedule.begin(), schedule.end(),
                     [&cost](std::size_t x, std::size_t y) { return cost[x] > cost[y]; });
    std::vector<Share> shares;
    shares.reserve(count);
    for (std::size_t c = 0; c < count; ++c)
        shares.emplace_back(catalogue, c * kShareSize,
                            std::min(catalogue.size(), (c + 1) * kShareSize), window, search);

    unsigned threads = search.threads == 0 ? passSearchThreads() : search.threads;
    threads = unsigned(std::min<std::size_t>(threads, count));
    std::vector<Share::Buffers> buffers(threads);
    // The stretches' lengths in grid steps; the window's end closes the last.
    std::uint64_t steps = 0;
    while (double(steps) * kGridStep < span)
        ++steps;
    const double stretchSeconds = search.stretchSeconds > 0 ? search.stretchSeconds : span;
    bool stopped = false;
    Stretch stretch;
    for (std::uint64_t begin = 0; !stopped;) {
        // Every step whose instant lies before the stretch's end.
        std::uint64_t end = begin;
        const double until = double(begin) * kGridStep + stretchSeconds;
        while (end < steps && (end == begin || double(end) * kGridStep < until))
            ++end;
        stretch.firstStep = begin;
        stretch.last = end == steps;
        stretch.t.clear();
        stretch.instants.clear();
        stretch.bodies.clear();
        for (std::uint64_t j = begin; j < end; ++j)
            stretch.t.push_back(double(j) * kGridStep);
        if (stretch.last)
            stretch.t.push_back(span);
        for (const double t : stretch.t) {
            stretch.instants.push_back(clock.at(jdAt(t)));
            if (search.clearances)
                for (const bool sun : {true, false}) {
                    const Vec3 seen =
                        horizonVector(bodyAt(sun, jdAt(t)), stretch.instants.back().frame);
                    stretch.bodies.push_back(seen);
                }
        }

        std::atomic<std::size_t> next{0};
        std::atomic<bool> stop{false};
        // The calling thread works too, and alone asks carryOn.
        const auto work = [&](unsigned thread) {
            while (!stop) {
                if (thread == 0 && search.carryOn && !search.carryOn()) {
                    stop = true;
                    break;
                }
                const std::size_t slot = next++;
                if (slot >= count)
                    break;
                const std::size_t c = schedule[slot];
                shares[c].search(catalogue, clock, window, stretch, buffers[thread]);
                if (stretch.last)
                    shares[c].finish(catalogue, scales, site, search);
            }
        };
        std::vector<std::thread> workers;
        try {
            for (unsigned k = 1; k < threads; ++k)
                workers.emplace_back(work, k);
        } catch (const std::exception&) {
            // Fewer threads: the others share the work.
        }
        work(0);
        for (std::thread& t : workers)
            t.join();
        stopped = stop;
        if (!stopped && search.progress)
            search.progress(double(end) / double(std::max<std::uint64_t>(steps, 1)));
        if (stretch.last)
            break;
        begin = end;
    }
    if (stopped)
        return all;

    // Put in order (start, then catalogue number, then the catalogue's order, then time) by
    // merging the rows, each pass taken once from where the scan left it: no copy of the
    // passes, nor a key for each. A row whose passes did not come in order of their start is
    // merged through an order of its own.
    struct Head {
        double startJd;
        std::int32_t satnum;
        std::uint32_t row, next;
    };
    const auto later = [](const Head& x, const Head& y) {
        if (x.startJd != y.startJd)
            return x.startJd > y.startJd;
        return x.satnum != y.satnum ? x.satnum > y.satnum : x.row > y.row;
    };
    std::vector<std::vector<std::uint32_t>> orders(catalogue.size());
    std::vector<Head> heads;
    std::size_t total = 0;
    const auto passAt = [&](std::uint32_t row, std::uint32_t next) -> const SatellitePass& {
        const std::uint32_t at = orders[row].empty() ? next : orders[row][next];
        return shares[row / kShareSize].passesOf(row % kShareSize)[at];
    };
    for (std::size_t row = 0; row < catalogue.size(); ++row) {
        const std::vector<SatellitePass>& passes =
            shares[row / kShareSize].passesOf(row % kShareSize);
        total += passes.size();
        if (passes.empty())
            continue;
        const auto startsFirst = [](const SatellitePass& a, const SatellitePass& b) {
            return a.startJd < b.startJd;
        };
        if (!std::is_sorted(passes.begin(), passes.end(), startsFirst)) {
            std::vector<std::uint32_t> order(passes.size());
            for (std::size_t k = 0; k < passes.size(); ++k)
                order[k] = std::uint32_t(k);
            std::stable_sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
                return startsFirst(passes[x], passes[y]);
            });
            orders[row] = std::move(order);
        }
        heads.push_back({passAt(std::uint32_t(row), 0).startJd, catalogue[row].elements.satnum,
                         std::uint32_t(row), 0});
    }
    std::make_heap(heads.begin(), heads.end(), later);
    if (!search.sink)
        all.reserve(total);
    while (!heads.empty()) {
        std::pop_heap(heads.begin(), heads.end(), later);
        // The pass after this one lies anywhere in memory: asked for now, it is there by the
        // time this one has been handed on (without, the merge waited on memory half its time).
        if (heads.size() > 1)
            prefetch(&passAt(heads.front().row, heads.front().next));
        Head& head = heads.back();
        const std::uint32_t at = orders[head.row].empty() ? head.next : orders[head.row][head.next];
        CataloguePass pass =
            shares[head.row / kShareSize].take(head.row % kShareSize, at, search.clearances);
        if (search.sink)
            search.sink(pass);
        else
            all.push_back(std::move(pass));
        if (++head.next < shares[head.row / kShareSize].passesOf(head.row % kShareSize).size()) {
            head.startJd = passAt(head.row, head.next).startJd;
            std::push_heap(heads.begin(), heads.end(), later);
        } else {
            heads.pop_back();
        }
    }
    return all;
}
