#pragma once

#include "astro/log_level.h"
#include "mount/metatypes.h"

#include <QDockWidget>
#include <QRect>

class PassesPanel;
class QMainWindow;
class QMenu;
class QTableView;
class SkySession;

// View > Passes: the pass planner's panel in a dock of the window, below the satellite table
// where the screen has room for both, else beside it, else floating over the window (placeDock).
// Shown or hidden as it was last left, and with the magnitudes of the settings' magnitude file.
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
    // the screen's available area or, where that is too small, the dock goes beside the table or
    // floats. At first start the window also widens, within the screen, to show the table's whole
    // row. The window and a floating dock never leave the screen: on a small one the window's
    // contents and the planner scroll. A dock the user put elsewhere stays there.
    void fit(bool firstStart);
    // The area fit() keeps to instead of the screen's available one (another screen's, or none
    // for the screen's again).
    void setAvailableArea(const QRect& area) { fixedArea = area; }
    // The window is closing: its hiding the dock is not the user's choice, and is not kept.
    void keepShownState();

signals:
    void logEvent(const QString& text, LogLevel level);

private:
    QMainWindow& window;
    QTableView& table;
    PassesPanel* passes = nullptr;
    bool magnitudesLoaded = false;
    bool floatedByFit = false; // not by the user: fit() may dock it again
    QRect fixedArea;
};
