// The window with the worst catalogues a user may load: 500 deep-space resonant sets whose
// epochs lie decades away. Their resonance integrator steps 720 minutes at a time from the
// epoch, so a load, and any tick at which an integrator has to start again from the epoch,
// costs decades of steps per set.
#include "bench/bench_data.h"
#include "bench/bench_window_support.h"

#include "app/mainwindow.h"
#include "astro/time_scales.h"
#include "catalogue/live_rows.h"
#include "catalogue/tle_reader.h"
#include "catalogue/tle_satellite.h"
#include "tests/hostile/hostile_catalogue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

double milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void reportTicks(benchmark::State& state, std::vector<double> ticks) {
    if (ticks.empty())
        return;
    std::sort(ticks.begin(), ticks.end());
    state.counters["median_ms"] = ticks[ticks.size() / 2];
    state.counters["max_ms"] = ticks.back();
}

// Ticks of the real window offscreen, at its own pace of 333 ms (the slot, the change
// notification through the proxy sorted on Altitude, the repaint), with 500 half-day resonant
// sets whose common epoch lies 30 years ahead. As time runs towards an epoch ahead, every 12
// hours the instant crosses one of the integrator's 720-minute steps and each integrator
// starts again from the epoch: 30 years of steps per set in one tick. The epoch is chosen so
// that such a crossing comes a few seconds after the load; one iteration ticks across it (its
// time includes the waits between ticks; the counters are the figures).
void BM_TickHostile500(benchmark::State& state) {
    constexpr double kSecond = 1.0 / 86400.0;
    constexpr double kCrossingAfter = 8.0; // seconds after the catalogue is written
    std::FILE* quiet = std::fopen("/dev/null", "w");
    std::vector<double> ticks;
    int slow = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The instant the window propagates to, as it computes it, and a step boundary ahead.
        setup_time_scales(quiet ? quiet : stdout);
        const double crossing = utc_from_jd(current_jd()) + kCrossingAfter * kSecond;
        const double epoch = crossing + std::round(30 * 365.25 * 2.0) / 2.0;
        auto bench = std::make_unique<BenchWindow>(
            QByteArray::fromStdString(hostile::text(hostile::resonantSets(500, epoch))));
        state.ResumeTiming();

        auto due = std::chrono::steady_clock::now();
        while (utc_from_jd(current_jd()) < crossing + 3.0 * kSecond) {
            std::this_thread::sleep_until(due);
            const auto start = std::chrono::steady_clock::now();
            bench->tick();
            const auto end = std::chrono::steady_clock::now();
            ticks.push_back(milliseconds(end - start));
            if (ticks.back() > 100.0)
                ++slow;
            due = std::max(due + std::chrono::milliseconds(333), end);
        }
        state.counters["rows"] = bench->table->model()->rowCount();
        state.PauseTiming();
        bench.reset();
        state.ResumeTiming();
    }
    state.counters["ticks"] = double(ticks.size());
    state.counters["slow_ticks"] = slow;
    reportTicks(state, ticks);
    if (quiet)
        std::fclose(quiet);
}

// The catalogue reload (read, initialise, first recomputation) of 500 half-day resonant sets of
// epoch 1957: each integrator steps 69 years from its epoch to now.
void BM_LoadHostile500(benchmark::State& state) {
    ensure_application();
    std::FILE* quiet = std::fopen("/dev/null", "w");
    setup_time_scales(quiet ? quiet : stdout);
    CatalogueFolder folder(QByteArray::fromStdString(
        hostile::text(hostile::resonantSets(500, hostile::earliestEpoch()))));
    std::vector<double> loads;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        load_TLEs();
        currentJd = current_jd();
        recomputeLiveRows();
        loads.push_back(milliseconds(std::chrono::steady_clock::now() - start));
    }
    state.counters["sets"] = double(satellite_list.size());
    reportTicks(state, loads);
    satellite_list.clear();
    liveRows.clear();
    if (quiet)
        std::fclose(quiet);
}

} // namespace

BENCHMARK(BM_TickHostile500)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LoadHostile500)->Unit(benchmark::kMillisecond)->Iterations(3);
