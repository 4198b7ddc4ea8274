#include "planning/rise_forecast.h"

#include "astro/time_scales.h"
#include "catalogue/catalogue_entry.h"
#include "planning/passes.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

RiseForecast::RiseForecast(QObject* parent) : QObject(parent) {}

void RiseForecast::forecast(const CatalogueEntry& satellite, const TimeScales& scales,
                            const Site& site, double fromJd, double laterBySeconds) {
    const unsigned request = ++latest;
    const PassWindow window{fromJd, fromJd + 1.0, 0.0, nullptr};
    auto* search = new QFutureWatcher<double>(this);
    connect(search, &QFutureWatcherBase::finished, this, [this, search, request, laterBySeconds] {
        if (request == latest && search->result() > 0.0)
            emit riseFound(search->result() + laterBySeconds / kSecondsPerDay);
        search->deleteLater();
    });
    search->setFuture(
        QtConcurrent::run([copy = satellite, scales = scales, site, window]() mutable {
            for (const SatellitePass& pass : findPasses(copy, scales, site, window))
                if (pass.hasRise)
                    return pass.rise.jd;
            return 0.0;
        }));
}
