// Orbit model speed on the real catalogue.
#include "bench/bench_data.h"
#include "orbit/element_lines.h"
#include "orbit/sgp4.h"
#include "orbit/tle.h"

#include <vector>

namespace {

constexpr int kTimes = 20; // tsince = -1440 + 144 k minutes, k = 0..19

ElementSet parse(const TleText& text) {
    ElementSet set;
    initElementSet(*readElementLines(text.line1, text.line2, "", ElementLineStrictness::Historical),
                   'a', 1, set);
    return set;
}

// Every set of the catalogue, each propagated to the 20 times around its epoch.
void BM_Propagate(benchmark::State& state) {
    const std::vector<TleText>& catalogue = benchCatalogue();
    if (catalogue.empty()) {
        state.SkipWithError("catalogue not found");
        return;
    }
    std::vector<ElementSet> sets;
    sets.reserve(catalogue.size());
    for (const TleText& t : catalogue)
        sets.push_back(parse(t));

    double r[3], v[3];
    for (auto _ : state) {
        for (ElementSet& set : sets) {
            for (int k = 0; k < kTimes; ++k) {
                sgp4Propagate(1, set, -1440.0 + 144.0 * k, r, v);
                benchmark::DoNotOptimize(r);
                benchmark::DoNotOptimize(v);
            }
        }
    }
    const double props = double(sets.size()) * kTimes;
    state.counters["ns_per_prop"] = timePerItem(props);
    state.SetItemsProcessed(std::int64_t(state.iterations() * props));
}
BENCHMARK(BM_Propagate)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);

// Parsing and initialising every set of the catalogue from its text lines.
void BM_Init(benchmark::State& state) {
    const std::vector<TleText>& catalogue = benchCatalogue();
    if (catalogue.empty()) {
        state.SkipWithError("catalogue not found");
        return;
    }
    for (auto _ : state) {
        for (const TleText& t : catalogue) {
            benchmark::DoNotOptimize(parse(t));
        }
    }
    state.counters["ns_per_set"] = timePerItem(double(catalogue.size()));
    state.SetItemsProcessed(std::int64_t(state.iterations() * catalogue.size()));
}
BENCHMARK(BM_Init)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);

} // namespace
