// The live-row computation over the whole real catalogue, without the model or the view.
#include "bench/bench_data.h"

#include "astro/time_scales.h"
#include "catalogue/live_rows.h"
#include "catalogue/tle_reader.h"
#include "catalogue/tle_satellite.h"

#include <cstdio>

namespace {

void BM_RecomputeAll(benchmark::State& state) {
    std::FILE* quiet = std::fopen("/dev/null", "w");
    setup_time_scales(quiet ? quiet : stdout);
    if (read_TLE_file(bench_data_path("active-2026-03.txt").c_str(), 0) != 0) {
        state.SkipWithError("cannot read the catalogue");
        return;
    }
    const Site site{0.7853981633974483, -0.19, 300.0};
    const double jd = working_jd_from_utc_calendar({2026, 3, 20, 12, 0, 0, 0});
    for (auto _ : state) {
        recomputeLiveRows(jd, site);
        benchmark::DoNotOptimize(liveRows.data());
    }
    state.counters["sets"] = double(satellite_list.size());
    state.counters["ms_per_pass"] = time_per_item(1.0);
    satellite_list.clear();
    liveRows.clear();
    if (quiet)
        std::fclose(quiet);
}

} // namespace

BENCHMARK(BM_RecomputeAll)->Unit(benchmark::kMillisecond)->Apply(add_min_statistic);
