// The catalogue pass search: every pass of the whole real catalogue over 24 hours from one site
// (47.5 N, 8.5 E, 450 m), on every processor (ms_per_search), with the time table of the working
// directory when there is one.
#include "astro/time_scales.h"
#include "bench/bench_data.h"
#include "catalogue/catalogue.h"
#include "orbit/sgp4_batch.h"
#include "planning/passes.h"

namespace {

void BM_PassesCatalogue(benchmark::State& state) {
    Catalogue catalogue;
    if (!readBenchCatalogue(state, catalogue))
        return;
    const TimeScales scales = TimeScales::fromFolders();
    const Site site = benchSite(450.0);
    const double from = scales.workingJdFromUtcCalendar({2026, 3, 20, 12, 0, 0, 0});
    const PassWindow window{from, from + 1.0, 0.0};
    const unsigned threads = state.range(0) > 0 ? unsigned(state.range(0)) : passSearchThreads();
    std::size_t passes = 0;
    for (auto _ : state) {
        passes = findCataloguePasses(catalogue, scales, site, window, 0, {}, threads).size();
        benchmark::DoNotOptimize(passes);
    }
    state.counters["ms_per_search"] = timePerItem(1.0);
    state.counters["passes"] = double(passes);
    state.counters["sets"] = double(catalogue.size());
    state.counters["threads"] = threads;
    state.SetLabel(sgp4BatchPath());
}
// The same search set by set with findPasses on one thread, as the catalogue search ran before
// it sampled on a common grid: the figure to compare with.
void BM_PassesCatalogueSetBySet(benchmark::State& state) {
    Catalogue catalogue;
    if (!readBenchCatalogue(state, catalogue))
        return;
    const TimeScales scales = TimeScales::fromFolders();
    const Site site = benchSite(450.0);
    const double from = scales.workingJdFromUtcCalendar({2026, 3, 20, 12, 0, 0, 0});
    const PassWindow window{from, from + 1.0, 0.0};
    std::size_t passes = 0;
    for (auto _ : state) {
        passes = 0;
        for (CatalogueEntry& satellite : catalogue.satellites)
            passes += findPasses(satellite, scales, site, window).size();
        benchmark::DoNotOptimize(passes);
    }
    state.counters["ms_per_search"] = timePerItem(1.0);
    state.counters["passes"] = double(passes);
}
BENCHMARK(BM_PassesCatalogueSetBySet)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);

// The week ahead, as orbitrak-cli passes --hours 168 searches it, streamed in stretches: the
// search's memory does not grow with the window.
void BM_PassesCatalogueWeek(benchmark::State& state) {
    Catalogue catalogue;
    if (!readBenchCatalogue(state, catalogue))
        return;
    const TimeScales scales = TimeScales::fromFolders();
    const Site site = benchSite(0.0);
    const double from = scales.workingJdFromUtcCalendar({2026, 3, 19, 0, 0, 0, 0});
    const PassWindow window{from, from + 7.0, 0.0};
    CatalogueSearch search;
    search.threads = state.range(0) > 0 ? unsigned(state.range(0)) : passSearchThreads();
    std::size_t passes = 0;
    for (auto _ : state) {
        passes = findCataloguePasses(catalogue, scales, site, window, search).size();
        benchmark::DoNotOptimize(passes);
    }
    state.counters["ms_per_search"] = timePerItem(1.0);
    state.counters["passes"] = double(passes);
    state.counters["sets"] = double(catalogue.size());
    state.counters["threads"] = search.threads;
    state.SetLabel(sgp4BatchPath());
}
BENCHMARK(BM_PassesCatalogueWeek)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Apply(addMinStatistic);

// 0: all processors; 1: one thread, for comparison.
BENCHMARK(BM_PassesCatalogue)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(addMinStatistic);

} // namespace
