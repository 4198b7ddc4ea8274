// One refresh tick of the real window over 20,000 satellites, the most a user is likely to keep:
// the work on the window's thread (recomputation, the change notification through the sorting
// proxy, the repaint) must stay well inside the 333 ms between ticks, with the map open too.
#include "bench/bench_data.h"
#include "bench/bench_window_support.h"

#include "app/passes_model.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/update_settings.h"
#include "orbit/element_lines.h"
#include "planning/pass_planner.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <string>

namespace {

// The element line with its catalogue number and check digit replaced.
std::string renumbered(std::string line, const std::string& number) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    line.replace(2, 5, number);
    line[68] = char('0' + elementLineCheckDigit(line));
    return line + '\n';
}

// The real catalogue, then as many of its sets again under Alpha-5 numbers as make `sets`.
QByteArray catalogueOf(int sets) {
    const std::vector<TleText>& real = benchCatalogue();
    QByteArray text;
    for (int i = 0; i < sets && !real.empty(); ++i) {
        const TleText& set = real[std::size_t(i) % real.size()];
        text += set.name;
        if (std::size_t(i) < real.size()) {
            text += set.line1;
            text += set.line2;
            continue;
        }
        const std::string number = encodeCatalogueNumber(100000 + i).value_or("00000");
        text += QByteArray::fromStdString(renumbered(set.line1, number));
        text += QByteArray::fromStdString(renumbered(set.line2, number));
    }
    return text;
}

// withMap: View > Map open, so that every tick also moves the 20,000 dots and repaints them.
void tick20000(benchmark::State& state, bool withMap) {
    ensureApplication();
    // A settings store of its own, so that the larger limit stays out of the user's.
    static QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    writeMaxElementSets(20000);
    const TimeScales scales;
    BenchWindow bench(catalogueOf(20000), scales);
    // Some positions come from the warm-up pool; time the ticks after it has settled (a few
    // sets of the real catalogue never get one: they have decayed).
    QElapsedTimer warmUp;
    warmUp.start();
    for (int same = 0, pending = -1; same < 5 && warmUp.elapsed() < 20000;) {
        bench.tick();
        const int now = bench.pending();
        same = now == pending ? same + 1 : 0;
        pending = now;
    }
    if (withMap) {
        bench.window->findChild<QAction*>(QStringLiteral("showMapAction"))->trigger();
        QApplication::processEvents();
    }
    bench.painted.paints = 0;
    double longestTickMs = 0;
    for (auto _ : state) {
        QElapsedTimer tick;
        tick.start();
        bench.tick();
        longestTickMs = std::max(longestTickMs, tick.nsecsElapsed() / 1e6);
    }
    state.counters["longest_tick_ms"] = longestTickMs;
    state.counters["rows"] = bench.table->model()->rowCount();
    // The longest stall of the window's thread on sorting by name and on filtering, typed key
    // by key and then cleared, each step followed by the relayout and the repaint.
    QElapsedTimer stall;
    double sortMs = 0, filterMs = 0;
    auto* filter = bench.window->findChild<QLineEdit*>(QStringLiteral("filterLineEdit"));
    const QString typed = QStringLiteral("STARLINK");
    for (int column : {0, 1}) {
        stall.start();
        bench.table->horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
        QApplication::processEvents();
        sortMs = std::max(sortMs, stall.nsecsElapsed() / 1e6);
        for (int length = 1; length <= typed.size() + 1; ++length) {
            stall.start();
            filter->setText(typed.left(length % (typed.size() + 1)));
            emit filter->textEdited(filter->text());
            QApplication::processEvents();
            filterMs = std::max(filterMs, stall.nsecsElapsed() / 1e6);
        }
    }
    state.counters["sort_ms"] = sortMs;
    state.counters["filter_ms"] = filterMs;
    state.counters["paints_per_tick"] = double(bench.painted.paints) / double(state.iterations());
    state.counters["ms_per_tick"] = timePerItem(1.0);
}

void BM_Tick20000(benchmark::State& state) {
    tick20000(state, false);
}

void BM_Tick20000Map(benchmark::State& state) {
    tick20000(state, true);
}

// The window's planner over the whole real catalogue for a week: the longest the window's
// thread goes without turning its event loop while the search runs on the worker and its passes
// reach a pass table sorted by rise (as the Passes panel's), from 47.5 N, 8.5 E.
void BM_PlannerWeekStall(benchmark::State& state) {
    ensureApplication();
    Catalogue catalogue;
    if (!readBenchCatalogue(state, catalogue))
        return;
    const TimeScales scales = TimeScales::fromFolders();
    const Site site = benchSite(450.0);
    const double from = scales.workingJdFromUtcCalendar({2026, 3, 19, 0, 0, 0, 0});
    double longestMs = 0, showMs = 0;
    std::size_t passes = 0;
    for (auto _ : state) {
        PassPlanner planner(scales);
        PassesModel model(scales);
        PassesProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.setDynamicSortFilter(true);
        proxy.sort(PassesModel::Rise);
        bool done = false;
        QObject::connect(&planner, &PassPlanner::planned, [&](const auto& found, const auto&) {
            const std::shared_ptr<const CataloguePlan> plan = planner.latest();
            std::vector<std::size_t> rows(found.size());
            for (std::size_t k = 0; k < rows.size(); ++k)
                rows[k] = k;
            QElapsedTimer shown;
            shown.start();
            model.setPasses({plan, &plan->passes}, std::move(rows));
            showMs = shown.nsecsElapsed() / 1e6;
            passes = found.size();
            done = true;
        });
        QElapsedTimer gap;
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] {
            longestMs = std::max(longestMs, gap.nsecsElapsed() / 1e6);
            gap.start();
        });
        beat.start(10);
        gap.start();
        planner.plan(catalogue, site, from, HorizonMask(), 7.0);
        while (!done)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QApplication::processEvents();
        longestMs = std::max(longestMs, gap.nsecsElapsed() / 1e6);
    }
    state.counters["longest_stall_ms"] = longestMs;
    state.counters["show_ms"] = showMs; // the table's reset and sort
    state.counters["passes"] = double(passes);
}

// A week's pass table (600,000 passes of 5 to 15 minutes, sorted by rise as the Passes panel
// sorts it) as the ticks drop the passes that have set: after a tick (about one pass), after a
// minute (about 60) and after an hour asleep (about 3,600).
void BM_PassTableDropEnded(benchmark::State& state) {
    ensureApplication();
    const double wait = double(state.range(0)) / 86400.0;
    const TimeScales scales;
    constexpr std::size_t kPasses = 600000;
    std::vector<PlannedPass> passes(kPasses);
    for (std::size_t k = 0; k < kPasses; ++k) {
        SatellitePass& p = passes[k].pass;
        p.hasRise = p.hasSet = true;
        p.startJd = 7.0 * double(k) / kPasses;
        p.endJd = p.startJd + (5.0 + double(k * 7919 % 601) / 60.0) / 1440.0;
        passes[k].satellite = k % 14710;
    }
    const auto store = std::make_shared<const std::vector<PlannedPass>>(std::move(passes));
    double dropped = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PassesModel model(scales);
        PassesProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.setDynamicSortFilter(true);
        proxy.sort(PassesModel::Rise);
        std::vector<std::size_t> rows(kPasses);
        for (std::size_t k = 0; k < kPasses; ++k)
            rows[k] = k;
        model.setPasses(store, std::move(rows));
        const double now = 0.5; // half a day in: the first passes have long set
        model.dropEndedBefore(now);
        const int before = model.rowCount();
        state.ResumeTiming();
        model.dropEndedBefore(now + wait);
        state.PauseTiming();
        dropped = double(before - model.rowCount());
        state.ResumeTiming();
    }
    state.counters["dropped"] = dropped;
}

} // namespace

BENCHMARK(BM_PassTableDropEnded)
    ->Arg(1)
    ->Arg(60)
    ->Arg(3600)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_PlannerWeekStall)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Tick20000)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);
BENCHMARK(BM_Tick20000Map)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);
