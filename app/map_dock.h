#pragma once

#include <QDockWidget>
#include <QPointF>
#include <QVector>

#include <optional>

class MapView;
struct PlannedTransit;
class MountLink;
class QMainWindow;
class QMenu;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class SkySession;

// View > Map: the map in a dock of the window, fed from the session on each tick while it is
// shown. The satellites are those the table shows (after its filter), at the sub-points of the
// positions the tick computed; the selected one has its ground track, an orbit back and one
// ahead, and the circle of ground that sees it above the horizon. The sites are the one chosen
// in Mount > Observing site... (the session's until one is) and the mount's while connected.
class MapDock : public QDockWidget {
    Q_OBJECT

public:
    // shown: the table's rows after its filter; the toggle action (showMapAction) goes into
    // viewMenu.
    MapDock(const SkySession& session, const QSortFilterProxyModel& shown, const QTableView& table,
            const MountLink& link, QMainWindow& window, QMenu& viewMenu);

    MapView* view() const { return map; }
    // Draws the transit's centre line and path, from the session's site; none where the line
    // does not reach the ground within sight of the body.
    void showTransit(const PlannedTransit& transit);
    void clearTransit();

private:
    void refresh();
    void showSites();
    int selectedIndex() const;

    const SkySession& session;
    const QSortFilterProxyModel& shown;
    const QTableView& table;
    MapView* map = nullptr;
    QTimer* filterChanged = nullptr; // gathers a filter's many row signals into one refresh
    int shownRows = -1;              // at the last refresh
    std::optional<QPointF> mountSite;
    // The selected satellite's ground track, kept while the instant stays within one step of it.
    int trackFor = -1;
    double trackJd = 0.0;
    double trackStepDays = 0.0;
    QVector<QPointF> trackPoints;
};
