// One refresh tick of the real window, offscreen: 500 satellites recomputed, the single change
// notification through the proxy with a sort on Altitude, and the view repainted.
#include "bench/bench_data.h"
#include "bench/bench_window_support.h"

#include "astro/time_scales.h"

#include <QFile>

namespace {

QByteArray firstSets(int sets) {
    QFile source(QString::fromStdString(benchDataPath("active-2026-03.txt")));
    source.open(QIODevice::ReadOnly);
    QByteArray text;
    for (int i = 0; i < 3 * sets && !source.atEnd(); ++i)
        text += source.readLine();
    return text;
}

void BM_Tick500(benchmark::State& state) {
    const TimeScales scales; // no table: as the window without a table file
    BenchWindow bench(firstSets(500), scales);
    bench.painted.paints = 0;
    for (auto _ : state)
        bench.tick();
    state.counters["rows"] = bench.table->model()->rowCount();
    state.counters["paints_per_tick"] = double(bench.painted.paints) / double(state.iterations());
    state.counters["ms_per_tick"] = timePerItem(1.0);
}

} // namespace

BENCHMARK(BM_Tick500)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);
