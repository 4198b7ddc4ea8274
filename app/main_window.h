#pragma once

#include "mount/mount_link.h"

#include <QMainWindow>
#include <QModelIndex>
#include <QString>

#include <memory>

class CatalogueLoader;
class CatalogueUpdateUi;
class LogModel;
class MapDock;
class MountClockCheck;
class MountSettingsDialog;
class NumericSortProxyModel;
class PassExporter;
class TransitExporter;
class PassRecorder;
class PlannerDock;
class QTimer;
class ReminderNotices;
class RiseForecast;
class SkySession;
class SatelliteTableModel;
class SiteChoice;
class SntpClockCheck;
class TimeScales;
class TimeTableUpdater;
class TrackingStatusPoll;
class TransitChain;

namespace Ui {
class MainWindow;
}

// The one window. It wires the form's widgets to the objects that do the work: the sky session
// (the catalogue, the site and the instant) with the satellite table, the pass planner's dock
// over it (View, Passes) and the map (View, Map), the catalogue's loading, the site's choice,
// the export and the reminders, the mount link with its transit chain and status poll, and the
// event log. Every 333 ms the session moves on, the clock shows UTC and the status poll asks the
// mount. It reads and writes no file itself.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // mountPort exists so that tests can run beside a real or simulated mount on 3490.
    explicit MainWindow(const TimeScales& scales, quint16 mountPort = MountLink::defaultPort,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // Checks this computer's clock against the time server of the settings, now and every
    // hour, and the mount's clock after every handshake. The program calls it once shown;
    // windows built by tests and for the pictures stay off the network unless they do.
    void startClockChecks();
    // Refreshes the time table from the settings' source when a week has passed, for the next
    // start; called by the program as startClockChecks() is.
    void refreshTimeTable();

private:
    void setUpSatelliteTable();
    void setUpLog();
    void wireMount();
    void wireClocks();
    void setUpPasses();
    void setUpMap();
    void exportPasses();
    void reloadCatalogue();
    void loadTles();
    void editMountAddress();
    void editPreferences();
    void chooseObservingSite();
    void setUpTimeOffset();
    void showTimeOffset();
    void followSatellite(const QModelIndex& index);
    void followRow(int row);
    void wireTrackingChart();
    // The pass of the catalogue's row that the mount is about to follow: the record's satellite
    // and time offset (seconds, as uploaded), and the countdown to its rise (as late as the
    // offset makes the mount).
    void expectTransit(int row, double timeOffsetSeconds = 0.0);
    void tick();
    void showUtcClock();
    void restoreWindowState();
    void saveWindowState() const;
    void showAbout();

    std::unique_ptr<Ui::MainWindow> ui;
    const TimeScales& scales;
    QString mountIp;
    QTimer* refreshTimer = nullptr;
    SkySession* session = nullptr;
    MountLink* link = nullptr;
    TransitChain* transit = nullptr;
    TrackingStatusPoll* statusPoll = nullptr;
    SntpClockCheck* computerClock = nullptr;
    MountClockCheck* mountClock = nullptr;
    PassRecorder* passRecorder = nullptr;
    RiseForecast* riseForecast = nullptr; // for the countdown
    SatelliteTableModel* satelliteModel = nullptr;
    NumericSortProxyModel* proxy = nullptr;
    LogModel* logModel = nullptr;
    CatalogueUpdateUi* updates = nullptr; // TLEs > Sources... and Update from sources
    TimeTableUpdater* timeTable = nullptr;
    CatalogueLoader* catalogueLoader = nullptr;
    SiteChoice* siteChoice = nullptr;
    PlannerDock* planner = nullptr;
    MapDock* map = nullptr;
    PassExporter* exporter = nullptr;
    TransitExporter* transitExporter = nullptr;
    ReminderNotices* reminders = nullptr;
    long offsetSatellite = -1; // the catalogue number whose time offset the spin box shows
    std::unique_ptr<MountSettingsDialog> setupDialog; // a top-level window of its own
};
