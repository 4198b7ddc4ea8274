#include "orbit/sgp4_batch.h"

#include <benchmark/benchmark.h>

// Benchmarks register themselves from their own files (BENCHMARK macros). The batch
// propagator's path heads every run, whichever benchmarks it holds.
int main(int argc, char** argv) {
    benchmark::AddCustomContext("batch_path", sgp4BatchPath());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
