// The pass planner's search on the real catalogue.
#include "astro/time_scales.h"
#include "bench/bench_data.h"
#include "catalogue/catalogue.h"
#include "planning/passes.h"

namespace {

// Every pass of the first 500 sets over the 24 hours from each set's epoch, from one site (47.5
// N, 8.5 E, 450 m), with the time table of the working directory when there is one (as the
// window and orbitrak-cli read it). ms_per_search: the whole search; propagations_per_day: its
// propagations per satellite-day, every refinement included.
void BM_Passes500(benchmark::State& state) {
    Catalogue catalogue;
    if (!readBenchCatalogue(state, catalogue, 500))
        return;
    const TimeScales scales = TimeScales::fromFolders();
    const Site site = benchSite(450.0);
    std::size_t propagations = 0, passes = 0;
    for (auto _ : state) {
        propagations = passes = 0;
        for (CatalogueEntry& satellite : catalogue.satellites) {
            const double epoch = satellite.elements.jdsatepoch;
            const PassWindow window{epoch, epoch + 1.0, 0.0};
            passes += findPasses(satellite, scales, site, window, &propagations).size();
        }
        benchmark::DoNotOptimize(passes);
    }
    state.counters["ms_per_search"] = timePerItem(1.0);
    state.counters["propagations_per_day"] = double(propagations) / double(catalogue.size());
    state.counters["passes"] = double(passes);
    state.counters["time_table"] = scales.table() ? 1 : 0;
}
BENCHMARK(BM_Passes500)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);

} // namespace
