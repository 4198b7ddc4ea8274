#include "bench/bench_data.h"

#include <algorithm>
#include <cstdio>

std::string benchDataPath(const std::string& name) {
    return std::string(ORBITRAK_BENCH_DATA) + "/" + name;
}

std::vector<TleText> readTleText(const std::string& path) {
    std::vector<TleText> out;
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return out;
    TleText t;
    while (std::fgets(t.name, sizeof t.name, f) && std::fgets(t.line1, sizeof t.line1, f) &&
           std::fgets(t.line2, sizeof t.line2, f))
        out.push_back(t);
    std::fclose(f);
    return out;
}

const std::vector<TleText>& benchCatalogue() {
    static const std::vector<TleText> catalogue = readTleText(benchDataPath("active-2026-03.txt"));
    return catalogue;
}

void addMinStatistic(benchmark::internal::Benchmark* b) {
    b->ComputeStatistics("min", [](const std::vector<double>& v) {
        return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
    });
}

benchmark::Counter timePerItem(double items_per_iteration) {
    // Inverted rate: seconds per item, shown with an SI prefix (e.g. "250.1ns").
    return benchmark::Counter(items_per_iteration, benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

bool readBenchCatalogue(benchmark::State& state, Catalogue& catalogue, std::size_t limit) {
    if (readCatalogueFile(benchDataPath("active-2026-03.txt").c_str(), limit, catalogue) == 0)
        return true;
    state.SkipWithError("catalogue not found");
    return false;
}
