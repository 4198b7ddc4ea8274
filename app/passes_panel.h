#pragma once

#include "astro/site.h"

#include <QModelIndex>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <vector>

class PassPlanner;
class PassesModel;
class PassesProxyModel;
class SatelliteTableModel;
class TimeScales;
struct PlannedPass;

namespace Ui {
class PassesPanel;
}

// The pass planner's panel: the coming passes of the catalogue over 12 hours (tableViewPasses,
// with checkBoxVisibleOnly) and the sky plot of the chosen pass (skyPlot). Passes are searched
// on a worker thread while the panel is shown: after a catalogue load, a site change, and
// every ten minutes as the window moves on. Meanwhile passes that have ended drop out.
class PassesPanel : public QWidget {
    Q_OBJECT

public:
    // satellites: the live table's model, whose catalogue and rows the panel reads.
    PassesPanel(const TimeScales& scales, const SatelliteTableModel& satellites,
                QWidget* parent = nullptr);
    ~PassesPanel() override;

    // A new catalogue at the working date jd: the old passes go, new ones are searched.
    void catalogueChanged(const Site& site, double jd);
    void siteChanged(const Site& site);
    // Every tick.
    void advance(double jd);
    // Shows the next pass of a satellite of the live table's catalogue.
    void selectSatellite(std::size_t satellite);
    // A search is under way or waiting.
    bool isPlanning() const;

signals:
    // A pass was double-clicked: follow its satellite (a row of the live table's catalogue).
    void passActivated(int satellite);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void replan();
    void planIfDue();
    void showPlanned(const std::vector<PlannedPass>& passes);
    void passChosen(const QModelIndex& current);
    // reveal: scroll the pass table to the pass shown.
    void restoreSelection(bool reveal = false);
    void showPass(int sourceRow, bool reveal);
    void showPosition();

    std::unique_ptr<Ui::PassesPanel> ui;
    const SatelliteTableModel& satellites;
    PassPlanner* planner = nullptr;
    PassesModel* model = nullptr;
    PassesProxyModel* proxy = nullptr;
    Site site;
    double now = 0.0;
    double plannedFrom = 0.0;
    bool planDue = true;
    bool hasChoice = false; // a satellite or pass has been chosen
    std::size_t chosenSatellite = 0;
    double chosenCulmination = 0.0; // NaN: the satellite's next pass
    bool changingModel = false;     // selection changes now come from the model, not the user
};
