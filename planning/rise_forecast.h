#pragma once

#include "astro/site.h"

#include <QObject>

struct CatalogueEntry;
class TimeScales;

// When the satellite the mount is sent to will rise, for the countdown while the mount waits.
// Searched once per request on a worker thread, with copies of the set and the time scales (a set
// far from its epoch can take seconds, and the search may outlast the window). A new request
// supersedes the one before: only the latest search's rise is announced.
class RiseForecast : public QObject {
    Q_OBJECT

public:
    explicit RiseForecast(QObject* parent = nullptr);

    // The first rise above the flat horizon within a day from fromJd (a working Julian date),
    // announced later by laterBySeconds: a time offset that makes the mount follow later.
    void forecast(const CatalogueEntry& satellite, const TimeScales& scales, const Site& site,
                  double fromJd, double laterBySeconds);
    // The search under way, if any, announces nothing.
    void cancel() { ++latest; }

signals:
    void riseFound(double riseJd);

private:
    unsigned latest = 0;
};
