// One paint of the map with 20,000 satellites into an image, as a tick repaints it: the
// background (day and night, coastlines) drawn once for the view and kept, the dots, a ground
// track and its circle drawn anew. cold_ms: the first paint of a view, background included.
#include "bench/bench_data.h"
#include "bench/bench_window_support.h"

#include "app/map_view.h"
#include "astro/time_scales.h"
#include "sky/day_night.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <random>

namespace {

void BM_MapPaint(benchmark::State& state) {
    ensureApplication();
    const TimeScales scales;
    MapView map;
    map.resize(1200, 600);
    map.setDayNight(dayNightAt(scales, scales.currentJd()));
    map.setSites(QPointF(10.0, 45.0), QPointF(10.1, 45.1));
    std::mt19937 random(1);
    std::uniform_real_distribution<float> lon(-180.0f, 180.0f), sine(-1.0f, 1.0f);
    std::vector<MapDot> dots;
    for (int i = 0; i < 20000; ++i)
        dots.push_back({i, lon(random), float(std::asin(sine(random)) * 57.29577951308232)});
    QVector<QPointF> track, circle;
    for (int i = 0; i <= 240; ++i)
        track << QPointF(std::remainder(-100.0 + 3.0 * i, 360.0), 51.6 * std::sin(i / 19.1));
    for (int i = 0; i <= 90; ++i)
        circle << QPointF(20.0 + 20.0 * std::cos(i / 14.3), 30.0 + 20.0 * std::sin(i / 14.3));
    map.setSelection(5, track, circle);
    QImage image(map.size(), QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer cold;
    cold.start();
    map.render(&image);
    state.counters["cold_ms"] = cold.nsecsElapsed() / 1e6;
    for (auto _ : state) {
        map.setSatellites(dots);
        map.render(&image);
    }
    state.counters["dots"] = double(dots.size());
}

} // namespace

BENCHMARK(BM_MapPaint)->Unit(benchmark::kMillisecond)->Apply(addMinStatistic);
