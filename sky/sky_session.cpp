#include "sky/sky_session.h"

#include "astro/time_scales.h"

SkySession::SkySession(const TimeScales& scales, QObject* parent)
    : QObject(parent), scales(scales), sky(scales) {}

SkySession::~SkySession() = default;

void SkySession::setCatalogue(Catalogue catalogue) {
    sets = std::move(catalogue);
    jd = scales.currentJd();
    computeRows();
    emit catalogueChanged();
}

void SkySession::setSite(const Site& site) {
    if (site.latitude == observingSite.latitude &&
        site.westLongitude == observingSite.westLongitude &&
        site.elevation == observingSite.elevation)
        return;
    observingSite = site;
    emit siteChanged();
    if (jd != 0.0) {
        computeRows();
        emit rowsChanged();
    }
}

void SkySession::setHorizon(HorizonMask horizon) {
    mask = std::move(horizon);
    emit siteChanged();
    if (jd != 0.0)
        emit rowsChanged(); // the table's colours follow the mask
}

void SkySession::tick() {
    moveTo(scales.currentJd());
}

void SkySession::moveTo(double instant) {
    jd = instant;
    computeRows();
    emit rowsChanged();
}

void SkySession::showRows(std::vector<LiveRow> rows) {
    live = std::move(rows);
    live.resize(sets.size());
    emit rowsChanged();
}

void SkySession::computeRows() {
    live = sky.compute(sets, jd, observingSite);
}
