#include "app/map_dock.h"

#include "app/map_view.h"
#include "astro/time_scales.h"
#include "astro/time_units.h"
#include "mount/mount_link.h"
#include "planning/transit_export.h"
#include "sky/day_night.h"
#include "sky/ground_track.h"
#include "sky/observing_sites.h"
#include "sky/sky_session.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>

#include <cmath>

namespace {

constexpr double kTrackPointsPerOrbit = 120.0;
constexpr double kLongestTrackDays = 1.0; // each way
constexpr int kCirclePoints = 90;

QVector<QPointF> lonLats(const std::vector<GroundPoint>& points) {
    QVector<QPointF> out;
    out.reserve(int(points.size()));
    for (const GroundPoint& p : points)
        out << QPointF(p.longitudeDeg, p.latitudeDeg);
    return out;
}

} // namespace

MapDock::MapDock(const SkySession& session, const QSortFilterProxyModel& shown,
                 const QTableView& table, const MountLink& link, QMainWindow& window,
                 QMenu& viewMenu)
    : QDockWidget(tr("Map"), &window), session(session), shown(shown), table(table) {
    setObjectName(QStringLiteral("mapDock"));
    map = new MapView(this);
    map->setNames([&session](int index) {
        const Catalogue& sets = session.catalogue();
        return index >= 0 && std::size_t(index) < sets.size()
                   ? QString::fromUtf8(sets[std::size_t(index)].displayName).trimmed()
                   : QString();
    });
    setWidget(map);
    window.addDockWidget(Qt::RightDockWidgetArea, this);
    hide();
    QAction* showMap = toggleViewAction();
    showMap->setObjectName(QStringLiteral("showMapAction"));
    viewMenu.addAction(showMap);

    filterChanged = new QTimer(this);
    filterChanged->setSingleShot(true);
    filterChanged->setInterval(0);
    // A filter changes the number of rows shown; the tick's re-sorting does not, and the tick
    // brings the map up to date anyway.
    connect(filterChanged, &QTimer::timeout, this, [this] {
        if (this->shown.rowCount() != shownRows)
            refresh();
    });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&shown, signal, filterChanged, qOverload<>(&QTimer::start));
    connect(&shown, &QAbstractItemModel::modelReset, filterChanged, qOverload<>(&QTimer::start));
    connect(&shown, &QAbstractItemModel::layoutChanged, filterChanged, qOverload<>(&QTimer::start));
    connect(&session, &SkySession::rowsChanged, this, &MapDock::refresh);
    connect(&session, &SkySession::catalogueChanged, this, [this] {
        trackFor = -1; // its index may name another satellite now
        refresh();
    });
    connect(table.selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MapDock::refresh);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            refresh();
    });
    connect(&session, &SkySession::siteChanged, this, &MapDock::showSites);
    connect(&link, &MountLink::siteChanged, this, [this](const Site& site) {
        mountSite = QPointF(site.eastLongitudeDeg(), site.latitudeDeg());
        showSites();
    });
    connect(&link, &MountLink::stateChanged, this, [this](LinkState state) {
        if (state != LinkState::Connected && mountSite) {
            mountSite.reset();
            showSites();
        }
    });
    showSites();
}

int MapDock::selectedIndex() const {
    const QModelIndex current = table.selectionModel()->currentIndex();
    return current.isValid() ? shown.mapToSource(current).row() : -1;
}

void MapDock::showSites() {
    const std::optional<ObservingSite> chosen = readCurrentObservingSite();
    const Site site = chosen ? chosen->site() : session.site();
    map->setSites(QPointF(site.eastLongitudeDeg(), site.latitudeDeg()), mountSite);
}

// The tick's positions turned to the Earth once for all: the turn is the same for every set.
// The selected satellite's track propagates a copy of its set.
void MapDock::refresh() {
    const double jd = session.instant();
    if (!isVisible() || jd == 0.0)
        return;
    const TimeScales& scales = session.timeScales();
    map->setDayNight(dayNightAt(scales, jd));
    const Catalogue& sets = session.catalogue();
    const std::vector<LiveRow>& rows = session.rows();
    const Vec3 xAxis = earthFixedFromModel({1.0, 0.0, 0.0}, scales, jd);
    const Vec3 yAxis = earthFixedFromModel({0.0, 1.0, 0.0}, scales, jd);
    const auto earthFixed = [&](const CatalogueEntry& satellite) {
        const double* r = satellite.position;
        return Vec3{r[0] * xAxis.x + r[1] * yAxis.x, r[0] * xAxis.y + r[1] * yAxis.y, r[2]};
    };
    const auto placed = [&](std::size_t i) {
        return i < sets.size() && i < rows.size() && std::isfinite(rows[i].altitudeDeg);
    };
    shownRows = shown.rowCount();
    std::vector<MapDot> dots;
    dots.reserve(std::size_t(shownRows));
    // Without a filter every row is shown, and in which order does not matter here.
    const bool all = shownRows == int(sets.size());
    for (int row = 0; row < shownRows; ++row) {
        const std::size_t i =
            all ? std::size_t(row) : std::size_t(shown.mapToSource(shown.index(row, 0)).row());
        if (!placed(i))
            continue;
        const GroundPoint p = quickGeodetic(earthFixed(sets[i]));
        dots.push_back({int(i), float(p.longitudeDeg), float(p.latitudeDeg)});
    }
    map->setSatellites(std::move(dots));

    const int selected = selectedIndex();
    if (selected < 0 || !placed(std::size_t(selected))) {
        map->setSelection(-1, {}, {});
        return;
    }
    const CatalogueEntry& chosen = sets[std::size_t(selected)];
    const Vec3 now = earthFixed(chosen);
    // The track is propagated again only once the instant has moved by one of its steps, not on
    // every tick.
    if (selected != trackFor || !(std::fabs(jd - trackJd) < trackStepDays)) {
        const double orbitDays =
            std::min(kLongestTrackDays, kTwoPi / chosen.elements.no / kMinutesPerDay);
        trackFor = selected;
        trackJd = jd;
        trackStepDays = orbitDays / kTrackPointsPerOrbit;
        trackPoints.clear();
        if (std::isfinite(orbitDays) && orbitDays > 0.0) {
            // A copy: the track's propagations must leave the session's set where the tick left
            // it.
            CatalogueEntry satellite = chosen;
            trackPoints = lonLats(groundTrack(satellite, scales, jd - orbitDays, jd + orbitDays,
                                              trackStepDays * kSecondsPerDay));
        }
    }
    map->setSelection(selected, trackPoints, lonLats(visibilityCircle(now, 0.0, kCirclePoints)));
}

void MapDock::showTransit(const PlannedTransit& transit) {
    const std::vector<ExportedTransit> ground =
        exportedTransits({transit}, session.catalogue(), session.timeScales(), session.site());
    if (ground.empty()) {
        map->clearTransit();
        return;
    }
    map->setTransit(lonLats(ground.front().ground.centreLine),
                    lonLats(transitPathRing(ground.front().ground)));
}

void MapDock::clearTransit() {
    map->clearTransit();
}
