#pragma once

#include "mount/mount_link.h"

#include <QMainWindow>
#include <QModelIndex>
#include <QString>

#include <memory>

class CatalogueUpdateUi;
class LogModel;
class MountSettingsDialog;
class NumericSortProxyModel;
class PassesPanel;
class QDockWidget;
class QTimer;
class SkySession;
class SatelliteTableModel;
class TimeScales;
class TrackingStatusPoll;
class TransitChain;

namespace Ui {
class MainWindow;
}

// The one window. It wires the form's widgets to the objects that do the work: the sky session
// (the catalogue, the site and the instant) with the satellite table and the pass planner's
// panel over it (View, Passes), the mount link with its transit chain and status poll, and the
// event log. Every 333 ms the session moves on, the clock shows UTC and the status poll asks
// the mount.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // mountPort exists so that tests can run beside a real or simulated mount on 3490.
    explicit MainWindow(const TimeScales& scales, quint16 mountPort = MountLink::defaultPort,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

private:
    void setUpSatelliteTable();
    void setUpLog();
    void wireMount();
    void setUpPasses();
    void loadMagnitudes();
    void exportPasses();
    void reloadCatalogue();
    void loadTles();
    void editMountAddress();
    void editPreferences();
    void followSatellite(const QModelIndex& index);
    void followRow(int row);
    void tick();
    void showUtcClock();
    void restoreWindowState();
    void fitPlanner(bool firstStart);
    void setUpReminders();
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
    SatelliteTableModel* satelliteModel = nullptr;
    NumericSortProxyModel* proxy = nullptr;
    LogModel* logModel = nullptr;
    CatalogueUpdateUi* updates = nullptr; // TLEs > Sources... and Update from sources
    PassesPanel* passesPanel = nullptr;
    QDockWidget* passesDock = nullptr;
    bool magnitudesLoaded = false; // a magnitude file was read: the CSV export has their column
    std::unique_ptr<MountSettingsDialog> setupDialog; // a top-level window of its own
};
