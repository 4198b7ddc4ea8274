#pragma once

#include "astro/site.h"
#include "planning/magnitudes.h"
#include "planning/planned.h"

#include <QModelIndex>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <vector>

class PassPlanner;
class PassReminders;
class PassesModel;
class PassesProxyModel;
class QSortFilterProxyModel;
class TransitsModel;
class SkySession;
struct PlannedPass;
struct PassReminder;

namespace Ui {
class PassesPanel;
}

// The pass planner's panel: the coming passes of the session's catalogue over the hours of
// passSearchHoursSpinBox (passesTableView, filtered by visibleOnlyCheckBox, tonightOnlyCheckBox
// and brighterThanCheckBox with brighterThanSpinBox) and the sky plot of the chosen pass and the
// site's horizon (skyPlot); beside the passes in plannerTabs, their crossings of the Sun and the
// Moon (transitsTableView): choosing one chooses its pass and draws the body. Passes are searched
// on a worker thread while the panel is shown: after a catalogue load, a site change, and every ten
// minutes as the session moves on. Meanwhile passes that have ended drop out. A pass's context
// menu (passMenu, on either table) holds "Remind me" (remindMeAction), ticked while the pass has a
// reminder; unticking it cancels the reminder. On a transit it also holds "Export centre line..."
// (exportCentreLineAction).
class PassesPanel : public QWidget {
    Q_OBJECT

public:
    explicit PassesPanel(const SkySession& session, QWidget* parent = nullptr);
    ~PassesPanel() override;

    // Shows the next pass of a satellite of the session's catalogue.
    void selectSatellite(std::size_t satellite);
    // Estimates magnitudes from these from the next search on (none: no estimates).
    void setMagnitudes(std::shared_ptr<const StandardMagnitudes> magnitudes);
    // The passes the table shows after its filters, in its order.
    std::vector<PlannedPass> shownPasses() const;
    // Searches this many hours ahead from now on (and keeps it in the settings).
    void setSearchHours(int hours);
    // A search is under way or waiting.
    bool isPlanning() const;
    // The reminders the pass menu sets and cancels (none: no menu).
    void setReminders(PassReminders* reminders);
    // Shows a search's results: the passes and their transits, as the planner delivers them.
    void showPlanned(const std::vector<PlannedPass>& passes,
                     const std::vector<PlannedTransit>& transits);

signals:
    // A pass or a transit was double-clicked: follow its satellite (a row of the session's
    // catalogue).
    void passActivated(int satellite);
    // "Export centre line..." in a transit's menu.
    void centreLineExportRequested(const PlannedTransit& transit);
    // The transit the panel draws now, or none (the map draws its centre line and path too).
    void transitShown(const PlannedTransit& transit);
    void transitForgotten();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The old passes go, new ones are searched.
    void catalogueChanged();
    // Every tick.
    void advance();
    void replan();
    void planIfDue();
    // The search's progress and its stop button, shown while it runs.
    void showSearching(bool searching);
    // The passes of the latest search that have not ended and pass the tonight-only filter.
    void showFound();
    void passChosen(const QModelIndex& current);
    void transitChosen(const QModelIndex& current);
    // The transits of the passes shown; the chosen one stays chosen.
    void showTransits();
    void forgetTransit();
    // reveal: scroll the pass table to the pass shown.
    void restoreSelection(bool reveal = false);
    void showPass(int sourceRow, bool reveal);
    void showPosition();
    void filterByBrightness();
    // The pass's menu (none: no "Remind me"), with "Export centre line..." when opened on a
    // transit.
    void showPassMenu(const PlannedPass* pass, const QPoint& globalPosition,
                      const PlannedTransit* transit = nullptr);
    PassReminder reminderOf(const PlannedPass& pass) const;

    std::unique_ptr<Ui::PassesPanel> ui;
    const SkySession& session;
    PassPlanner* planner = nullptr;
    PassesModel* model = nullptr;
    PassesProxyModel* proxy = nullptr;
    double plannedFrom = 0.0;
    bool planDue = true;
    bool hasChoice = false; // a satellite or pass has been chosen
    std::size_t chosenSatellite = 0;
    double chosenCulmination = 0.0; // NaN: the satellite's next pass
    bool changingModel = false;     // selection changes now come from the model, not the user
    // By the latest search, shared with the planner and the table.
    std::shared_ptr<const std::vector<PlannedPass>> found;
    TransitsModel* transitsModel = nullptr;
    QSortFilterProxyModel* transitsProxy = nullptr;
    std::vector<PlannedTransit> foundTransits; // by the latest search
    bool hasTransit = false;                   // a transit has been chosen
    std::size_t transitSatellite = 0;
    double transitJd = 0.0;
    PassReminders* reminders = nullptr;
};
