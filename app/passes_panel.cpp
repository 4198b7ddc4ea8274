#include "app/passes_panel.h"

#include "app/pass_planner.h"
#include "catalogue/passes_model.h"
#include "catalogue/satellite_table_model.h"
#include "ui_passes_panel.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <cmath>
#include <limits>

namespace {

// How far the 12-hour window may fall behind before it is searched again.
constexpr double kReplanDays = 10.0 / 1440.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

PassesPanel::PassesPanel(const TimeScales& scales, const SatelliteTableModel& satellites,
                         QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::PassesPanel>()), satellites(satellites) {
    ui->setupUi(this);
    planner = new PassPlanner(scales, this);
    model = new PassesModel(this);
    proxy = new PassesProxyModel(this);
    proxy->setSourceModel(model);
    proxy->setDynamicSortFilter(true);
    ui->passesTableView->setModel(proxy);
    ui->passesTableView->sortByColumn(PassesModel::Rise, Qt::AscendingOrder);

    QHeaderView* header = ui->passesTableView->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(PassesModel::Name, QHeaderView::Stretch);
    QHeaderView* rows = ui->passesTableView->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(18);
    rows->setDefaultSectionSize(18);

    connect(planner, &PassPlanner::planned, this, &PassesPanel::showPlanned);
    connect(ui->visibleOnlyCheckBox, &QCheckBox::toggled, this, [this](bool only) {
        changingModel = true;
        proxy->setVisibleOnly(only);
        changingModel = false;
        restoreSelection();
    });
    connect(ui->passesTableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &PassesPanel::passChosen);
    connect(ui->passesTableView, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) {
                const QModelIndex source = proxy->mapToSource(index);
                if (source.isValid())
                    emit passActivated(int(model->pass(source.row()).satellite));
            });
}

PassesPanel::~PassesPanel() = default;

bool PassesPanel::isPlanning() const {
    return planner->isPlanning();
}

void PassesPanel::catalogueChanged(const Site& newSite, double jd) {
    site = newSite;
    now = jd;
    hasChoice = false;
    changingModel = true;
    model->setPasses({});
    changingModel = false;
    ui->skyPlot->clearPass();
    ui->skyPlot->clearPosition();
    replan();
}

void PassesPanel::siteChanged(const Site& newSite) {
    site = newSite;
    replan();
}

void PassesPanel::advance(double jd) {
    now = jd;
    const int before = model->rowCount();
    changingModel = true;
    model->dropEndedBefore(jd);
    changingModel = false;
    if (model->rowCount() != before)
        restoreSelection();
    showPosition();
    if (now - plannedFrom > kReplanDays)
        planDue = true;
    planIfDue();
}

void PassesPanel::selectSatellite(std::size_t satellite) {
    hasChoice = true;
    chosenSatellite = satellite;
    chosenCulmination = kNaN;
    restoreSelection(true);
}

void PassesPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    planIfDue();
}

// Results for older inputs must never arrive once the inputs have changed.
void PassesPanel::replan() {
    planner->abandon();
    planDue = true;
    planIfDue();
}

// Searches only while the panel is shown: a hidden planner costs nothing.
void PassesPanel::planIfDue() {
    if (!planDue || !isVisible() || now == 0.0)
        return;
    planDue = false;
    plannedFrom = now;
    planner->plan(satellites.catalogue(), site, now);
}

void PassesPanel::showPlanned(const std::vector<PlannedPass>& passes) {
    std::vector<PlannedPass> current;
    current.reserve(passes.size());
    for (const PlannedPass& p : passes)
        if (p.satellite < satellites.catalogue().size() && (!p.pass.hasSet || p.pass.endJd >= now))
            current.push_back(p);
    changingModel = true;
    model->setPasses(std::move(current));
    changingModel = false;
    restoreSelection(true);
}

void PassesPanel::passChosen(const QModelIndex& current) {
    if (changingModel || !current.isValid())
        return;
    const PlannedPass& p = model->pass(proxy->mapToSource(current).row());
    hasChoice = true;
    chosenSatellite = p.satellite;
    chosenCulmination = p.pass.culmination.jd;
    ui->skyPlot->setPass(p.pass, p.track);
    showPosition();
}

// Shows the chosen pass again after the rows changed, or the satellite's next one when it has
// gone (or none was chosen).
void PassesPanel::restoreSelection(bool reveal) {
    if (!hasChoice) {
        showPass(-1, reveal);
        return;
    }
    int row =
        std::isnan(chosenCulmination) ? -1 : model->passOf(chosenSatellite, chosenCulmination);
    if (row < 0)
        row = model->nextPassOf(chosenSatellite);
    showPass(row, reveal);
    showPosition();
}

void PassesPanel::showPass(int sourceRow, bool reveal) {
    changingModel = true;
    const QModelIndex shown =
        sourceRow < 0 ? QModelIndex() : proxy->mapFromSource(model->index(sourceRow, 0));
    if (shown.isValid()) {
        ui->passesTableView->selectionModel()->setCurrentIndex(
            shown, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (reveal)
            ui->passesTableView->scrollTo(shown);
    } else {
        ui->passesTableView->selectionModel()->clear();
    }
    changingModel = false;
    if (sourceRow < 0) {
        ui->skyPlot->clearPass();
        return;
    }
    const PlannedPass& p = model->pass(sourceRow);
    chosenCulmination = p.pass.culmination.jd;
    ui->skyPlot->setPass(p.pass, p.track);
}

void PassesPanel::showPosition() {
    const std::vector<LiveRow>& rows = satellites.rows();
    if (!hasChoice || chosenSatellite >= rows.size()) {
        ui->skyPlot->clearPosition();
        return;
    }
    ui->skyPlot->setPosition(rows[chosenSatellite].azimuthDeg, rows[chosenSatellite].altitudeDeg);
}
