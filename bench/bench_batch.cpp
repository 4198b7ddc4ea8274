// Batch propagation speed on the real catalogue; each benchmark's label names the dispatch path
// taken (AVX3 = AVX-512, AVX2, SSE4, SCALAR = plain code; "scalar" in a build without SIMD).
#include "bench/bench_data.h"
#include "orbit/element_lines.h"
#include "orbit/sgp4.h"
#include "orbit/sgp4_batch.h"
#include "orbit/tle.h"

#include <vector>

namespace {

constexpr int kMinutes = 1440;

// The catalogue's near-Earth sets, or all of them.
std::vector<ElementSet> catalogueSets(bool all = false) {
    std::vector<ElementSet> sets;
    for (const TleText& text : benchCatalogue()) {
        ElementSet set;
        initElementSet(
            *readElementLines(text.line1, text.line2, "", ElementLineStrictness::Historical), 'a',
            1, set);
        if (all || set.method == 'n')
            sets.push_back(set);
    }
    return sets;
}

struct Outputs {
    explicit Outputs(std::size_t n) : rv(6, std::vector<double>(n)), error(n) {}
    std::vector<std::vector<double>> rv;
    std::vector<int> error;
    Sgp4States states() {
        return {rv[0].data(), rv[1].data(), rv[2].data(), rv[3].data(),
                rv[4].data(), rv[5].data(), error.data()};
    }
};

// The near-Earth sets x 1,440 minutes, every set at each minute, one thread (ns_per_prop).
// BM_PropagateGridAll: every set, the deep-space ones (resonant or not) in lanes of their own.
void propagateGrid(benchmark::State& state, bool all) {
    const std::vector<ElementSet> sets = catalogueSets(all);
    if (sets.empty()) {
        state.SkipWithError("catalogue not found");
        return;
    }
    Sgp4Batch batch;
    batch.assign(sets.data(), sets.size());
    Outputs out(sets.size());
    const Sgp4States states = out.states();
    const double jd0 = sets.front().jdsatepoch;
    for (auto _ : state) {
        for (int m = 0; m < kMinutes; ++m) {
            batch.propagateAt(jd0 + m / 1440.0, states);
            benchmark::ClobberMemory();
        }
    }
    const double props = double(sets.size()) * kMinutes;
    state.counters["ns_per_prop"] = timePerItem(props);
    state.counters["sets"] = double(sets.size());
    state.SetItemsProcessed(std::int64_t(state.iterations() * props));
    state.SetLabel(sgp4BatchPath());
}
void BM_PropagateGrid(benchmark::State& state) {
    propagateGrid(state, false);
}
void BM_PropagateGridAll(benchmark::State& state) {
    propagateGrid(state, true);
}
BENCHMARK(BM_PropagateGridAll)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);
BENCHMARK(BM_PropagateGrid)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);

// Each near-Earth set at 1,440 minutes from its epoch, one set at a time (ns_per_prop).
void BM_PropagateTimes(benchmark::State& state) {
    std::vector<ElementSet> sets = catalogueSets();
    if (sets.empty()) {
        state.SkipWithError("catalogue not found");
        return;
    }
    Outputs out(kMinutes);
    const Sgp4States states = out.states();
    std::vector<double> minutes(kMinutes);
    for (int m = 0; m < kMinutes; ++m)
        minutes[m] = m;
    for (auto _ : state) {
        for (ElementSet& set : sets) {
            sgp4PropagateTimes(set, minutes.data(), minutes.size(), states);
            benchmark::ClobberMemory();
        }
    }
    const double props = double(sets.size()) * kMinutes;
    state.counters["ns_per_prop"] = timePerItem(props);
    state.SetItemsProcessed(std::int64_t(state.iterations() * props));
    state.SetLabel(sgp4BatchPath());
}
BENCHMARK(BM_PropagateTimes)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);

} // namespace
