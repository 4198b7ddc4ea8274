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
class SkyComputation;
class SatelliteTableModel;
class TimeScales;
class TrackingStatusPoll;
class TransitChain;

namespace Ui {
class MainWindow;
}

// The one window. It wires the form's widgets to the objects that do the work: the mount link
// with its transit chain and status poll, the satellite table over the catalogue and its sky
// computation, the pass planner's panel in a dock (View, Passes) and the event log. Every
// 333 ms it recomputes the table, shows the UTC clock and lets the status poll ask the mount.
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
    void reloadCatalogue();
    void loadTles();
    void editMountAddress();
    void followSatellite(const QModelIndex& index);
    void followRow(int row);
    void tick();
    void showUtcClock();
    void restoreWindowState();
    void saveWindowState() const;
    void showAbout();

    std::unique_ptr<Ui::MainWindow> ui;
    const TimeScales& scales;
    double currentJd = 0.0; // the latest tick's instant, as a working Julian date
    QString mountIp;
    QTimer* refreshTimer = nullptr;
    MountLink* link = nullptr;
    TransitChain* transit = nullptr;
    TrackingStatusPoll* statusPoll = nullptr;
    std::unique_ptr<SkyComputation> sky;
    SatelliteTableModel* satelliteModel = nullptr;
    NumericSortProxyModel* proxy = nullptr;
    LogModel* logModel = nullptr;
    CatalogueUpdateUi* updates = nullptr;       // TLEs > Sources... and Update from sources
    PassesPanel* passesPanel = nullptr;
    QDockWidget* passesDock = nullptr;
    std::unique_ptr<MountSettingsDialog> setupDialog; // a top-level window of its own
};
