#pragma once

#include "astro/site.h"
#include "catalogue/catalogue.h"

#include <benchmark/benchmark.h>

#include <cstddef>

#include <string>
#include <vector>

// Absolute path of a file in bench/data.
std::string benchDataPath(const std::string& name);

// One three-line group as the catalogue file holds it, each line in a 256-byte buffer filled
// the way fgets fills it (line feed kept).
struct TleText {
    char name[256];
    char line1[256];
    char line2[256];
};

// All groups of a three-line file; empty if it cannot be read.
std::vector<TleText> readTleText(const std::string& path);

// The real catalogue bench/data/active-2026-03.txt, read once.
const std::vector<TleText>& benchCatalogue();

// Adds the statistic "min" to a benchmark run with --benchmark_repetitions, the figure to
// compare across programs ("best of N").
void addMinStatistic(benchmark::internal::Benchmark* b);

// A counter that reports the time per item (seconds; the console shows e.g. "250.1ns"), given the
// items done in one iteration.
benchmark::Counter timePerItem(double items_per_iteration);

// The real catalogue read as the program reads it (limit 0: every set); false, with the run
// marked as skipped, when it cannot be read.
bool readBenchCatalogue(benchmark::State& state, Catalogue& catalogue, std::size_t limit = 0);

// The site the searches are measured from: 47.5 N, 8.5 E.
inline Site benchSite(double elevationM) {
    return Site::fromDegrees(47.5, 8.5, elevationM);
}
