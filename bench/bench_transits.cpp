// The transit search: the first 500 sets of the real catalogue over 72 hours from one site
// (47.5 N, 8.5 E, 450 m), Sun and Moon. Arg 0: the passes and then their transits, as orbitrak-cli
// transits runs; arg 1: the transits alone over passes found beforehand.
#include "astro/time_scales.h"
#include "bench/bench_data.h"
#include "catalogue/catalogue.h"
#include "planning/passes.h"
#include "planning/transits.h"

namespace {

void BM_Transits500(benchmark::State& state) {
    Catalogue catalogue;
    if (!readBenchCatalogue(state, catalogue, 500))
        return;
    const TimeScales scales = TimeScales::fromFolders();
    const Site site = benchSite(450.0);
    const double from = scales.workingJdFromUtcCalendar({2026, 3, 20, 12, 0, 0, 0});
    const PassWindow window{from, from + 3.0, 0.0};
    const bool transitsOnly = state.range(0) == 1;
    const std::vector<CataloguePass> passes =
        transitsOnly ? findCataloguePasses(catalogue, scales, site, window)
                     : std::vector<CataloguePass>{};
    std::size_t transits = 0;
    for (auto _ : state) {
        transits = transitsOnly ? findTransits(catalogue, scales, site, passes).size()
                                : findCatalogueTransits(catalogue, scales, site, window).size();
        benchmark::DoNotOptimize(transits);
    }
    state.counters["ms_per_search"] = timePerItem(1.0);
    state.counters["transits"] = double(transits);
    state.counters["sets"] = double(catalogue.size());
}

// The whole test catalogue over the week ahead, Sun and Moon, on every processor, as
// orbitrak-cli transits --hours 168 searches it: the passes that cannot reach a body dropped
// unrefined as they are found.
void BM_TransitsCatalogue(benchmark::State& state) {
    Catalogue catalogue;
    if (!readBenchCatalogue(state, catalogue))
        return;
    const TimeScales scales = TimeScales::fromFolders();
    const Site site = benchSite(0.0);
    const double from = scales.workingJdFromUtcCalendar({2026, 3, 19, 0, 0, 0, 0});
    const PassWindow window{from, from + 7.0, 0.0};
    TransitOptions options;
    options.threads = passSearchThreads();
    std::size_t transits = 0;
    for (auto _ : state) {
        transits = findCatalogueTransits(catalogue, scales, site, window, options).size();
        benchmark::DoNotOptimize(transits);
    }
    state.counters["ms_per_search"] = timePerItem(1.0);
    state.counters["transits"] = double(transits);
    state.counters["sets"] = double(catalogue.size());
    state.counters["threads"] = options.threads;
}

} // namespace

BENCHMARK(BM_TransitsCatalogue)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Apply(addMinStatistic);
BENCHMARK(BM_Transits500)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);
