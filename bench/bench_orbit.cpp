// Orbit model speed on the real catalogue.
#include "bench/bench_data.h"
#include "orbit/sgp4.h"
#include "orbit/tle.h"

#include <cstring>
#include <vector>

namespace {

constexpr int kTimes = 20; // tsince = -1440 + 144 k minutes, k = 0..19

ElementSet parse(const TleText& text) {
    char line1[256], line2[256];
    std::memcpy(line1, text.line1, sizeof line1);
    std::memcpy(line2, text.line2, sizeof line2);
    ElementSet set;
    double start, stop, step;
    parseTle(line1, line2, 'c', 'm', 'a', 1, start, stop, step, set);
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
    char line1[256], line2[256];
    ElementSet set;
    double start, stop, step;
    for (auto _ : state) {
        for (const TleText& t : catalogue) {
            std::memcpy(line1, t.line1, sizeof line1);
            std::memcpy(line2, t.line2, sizeof line2);
            parseTle(line1, line2, 'c', 'm', 'a', 1, start, stop, step, set);
            benchmark::DoNotOptimize(set);
        }
    }
    state.counters["ns_per_set"] = timePerItem(double(catalogue.size()));
    state.SetItemsProcessed(std::int64_t(state.iterations() * catalogue.size()));
}
BENCHMARK(BM_Init)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);

} // namespace
