// The live-row computation over the whole real catalogue, without the model or the view.
#include "bench/bench_data.h"

#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "sky/sky_computation.h"

#include <cstdio>

namespace {

void BM_RecomputeAll(benchmark::State& state) {
    // The table file of the working directory, as the program would read it.
    const TimeScales scales = TimeScales::fromFolders();
    Catalogue catalogue;
    if (readCatalogueFile(benchDataPath("active-2026-03.txt").c_str(), 0, catalogue) != 0) {
        state.SkipWithError("cannot read the catalogue");
        return;
    }
    SkyComputation sky(scales);
    const Site site{0.7853981633974483, -0.19, 300.0};
    const double jd = scales.workingJdFromUtcCalendar({2026, 3, 20, 12, 0, 0, 0});
    for (auto _ : state) {
        const std::vector<LiveRow> rows =
            sky.compute(catalogue, jd, site, SkyComputation::Wait::ForEverySet);
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["sets"] = double(catalogue.size());
    state.counters["ms_per_pass"] = timePerItem(1.0);
}

} // namespace

BENCHMARK(BM_RecomputeAll)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);
