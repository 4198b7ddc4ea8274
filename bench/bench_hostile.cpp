// The worst catalogues a user may load: 500 deep-space resonant sets whose epochs lie decades
// away. Their resonance integrator steps 720 minutes at a time from the epoch, so a load, and
// any tick at which an integrator has to start again from the epoch, costs decades of steps per
// set. That work goes to the sky computation's worker pool; the GUI thread only hands it over
// and shows those rows empty until a later tick finds them ready. So each benchmark reports
// both: what the GUI thread spends, and how long until every row has its position.
#include "bench/bench_data.h"
#include "bench/bench_window_support.h"

#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "sky/sky_computation.h"
#include "tests/hostile/hostile_catalogue.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void reportTimes(benchmark::State& state, std::vector<double> times) {
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["max_ms"] = times.back();
}

double median(std::vector<double> values) {
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool allPlaced(const std::vector<LiveRow>& rows) {
    return std::none_of(rows.begin(), rows.end(),
                        [](const LiveRow& row) { return std::isnan(row.distanceKm); });
}

// Ticks of the real window offscreen, at its own pace of 333 ms (the slot, the change
// notification through the proxy sorted on Altitude, the repaint), with 500 half-day resonant
// sets whose common epoch lies 30 years ahead. The load hands every set to the pool. As time
// runs towards an epoch ahead, every 12 hours the instant crosses one of the integrator's
// 720-minute steps and each integrator starts again from the epoch: 30 years of steps per set,
// handed to the pool again. The epoch is chosen so that such a crossing comes some seconds after
// the load; one iteration ticks until the rows are complete again after it (its time includes
// the waits between ticks; the counters are the figures: per tick on the GUI thread, the load
// on the GUI thread, and from the load, and from the crossing, until every row has its
// position, to the tick).
void BM_TickHostile500(benchmark::State& state) {
    constexpr double kSecond = 1.0 / 86400.0;
    constexpr double kCrossingAfter = 10.0; // seconds after the catalogue is written
    const TimeScales scales;                // no table: as the window without a table file
    std::vector<double> ticks;
    double loadMs = 0.0, untilComplete = std::nan(""), afterCrossing = std::nan("");
    for (auto _ : state) {
        state.PauseTiming();
        // The instant the window propagates to, as it computes it, and a step boundary ahead.
        const double crossing = scales.utcFromJd(scales.currentJd()) + kCrossingAfter * kSecond;
        const double epoch = crossing + std::round(30 * 365.25 * 2.0) / 2.0;
        const QByteArray text =
            QByteArray::fromStdString(hostile::text(hostile::resonantSets(500, epoch)));
        state.ResumeTiming();

        const Clock::time_point loaded = Clock::now();
        auto bench = std::make_unique<BenchWindow>(text, scales);
        loadMs = milliseconds(Clock::now() - loaded);
        Clock::time_point due = Clock::now(), crossed{};
        bool past = false, emptied = false; // the crossing passed; rows empty since
        while (Clock::now() - loaded < std::chrono::minutes(3)) {
            std::this_thread::sleep_until(due);
            const Clock::time_point start = Clock::now();
            if (!past && scales.utcFromJd(scales.currentJd()) >= crossing) {
                past = true;
                crossed = start;
            }
            bench->tick();
            const Clock::time_point end = Clock::now();
            ticks.push_back(milliseconds(end - start));
            const bool complete = bench->complete();
            if (complete && std::isnan(untilComplete))
                untilComplete = milliseconds(end - loaded);
            emptied = emptied || (past && !complete);
            if (complete && emptied && std::isnan(afterCrossing))
                afterCrossing = milliseconds(end - crossed);
            if (complete && past && end - crossed > std::chrono::seconds(3))
                break;
            due = std::max(due + std::chrono::milliseconds(333), end);
        }
        state.counters["rows"] = bench->table->model()->rowCount();
        state.PauseTiming();
        bench.reset();
        state.ResumeTiming();
    }
    state.counters["ticks"] = double(ticks.size());
    state.counters["slow_ticks"] =
        double(std::count_if(ticks.begin(), ticks.end(), [](double ms) { return ms > 100.0; }));
    reportTimes(state, ticks);
    state.counters["load_ms"] = loadMs;
    state.counters["ms_until_complete"] = untilComplete;
    state.counters["ms_until_complete_after_crossing"] = afterCrossing;
}

// The catalogue reload as the window does it (read, initialise, first recomputation, which
// hands every set to the pool) of 500 half-day resonant sets of epoch 1957: each integrator
// steps 69 years from its epoch to now. median_ms and max_ms are the GUI thread's time;
// ms_until_complete is the time until a recomputation finds every row placed (polled every 10
// ms, the window shows it at its next tick).
void BM_LoadHostile500(benchmark::State& state) {
    const TimeScales scales;
    CatalogueFolder folder(QByteArray::fromStdString(hostile::text(
        hostile::resonantSets(500, calendarToJd(nullptr, makeCalendar(1957, 1, 1))))));
    SkyComputation sky(scales); // one for every load, as in the window
    std::vector<double> loads, completes;
    std::size_t sets = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        Catalogue catalogue;
        readCatalogueFile(kCatalogueFileName, kWindowSetLimit, catalogue);
        std::vector<LiveRow> rows = sky.compute(catalogue, scales.currentJd(), Site{});
        loads.push_back(milliseconds(Clock::now() - start));
        while (!allPlaced(rows) && Clock::now() - start < std::chrono::minutes(3)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            rows = sky.compute(catalogue, scales.currentJd(), Site{});
        }
        completes.push_back(milliseconds(Clock::now() - start));
        sets = catalogue.size();
    }
    state.counters["sets"] = double(sets);
    reportTimes(state, loads);
    state.counters["ms_until_complete"] = median(completes);
}

} // namespace

BENCHMARK(BM_TickHostile500)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LoadHostile500)->Unit(benchmark::kMillisecond)->Iterations(3);
