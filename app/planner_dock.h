#pragma once

#include "astro/log_level.h"
#include "mount/metatypes.h"

#include <QDockWidget>

class PassesPanel;
class QMainWindow;
class QMenu;
class QTableView;
class SkySession;

// View > Passes: the pass planner's panel in a dock of the window, below the satellite table
// unless the screen is too short for both (then beside it). Shown or hidden as it was last left,
// and with the magnitudes of the settings' magnitude file.
class PlannerDock : public QDockWidget {
    Q_OBJECT

public:
    // table: the window's satellite table, kept eight rows high at least; the toggle action
    // (showPassesAction) goes into viewMenu.
    PlannerDock(const SkySession& session, QMainWindow& window, QTableView& table, QMenu& viewMenu);

    PassesPanel* panel() const { return passes; }

    // Reads the settings' magnitude file for the planner's estimates; a file that cannot be read
    // leaves the planner without magnitudes, and says why.
    void loadMagnitudes();
    // A magnitude file was read: the CSV export has their column.
    bool hasMagnitudes() const { return magnitudesLoaded; }

    // The planner never leaves the satellite table fewer than eight rows: the window grows within
    // the screen's available area or, where that is too short, the dock goes beside the table. At
    // first start the window also widens, within the screen, to show the table's whole row.
    void fit(bool firstStart);
    // The window is closing: its hiding the dock is not the user's choice, and is not kept.
    void keepShownState();

signals:
    void logEvent(const QString& text, LogLevel level);

private:
    QMainWindow& window;
    QTableView& table;
    PassesPanel* passes = nullptr;
    bool magnitudesLoaded = false;
};
