#include "app/passes_panel.h"

#include "app/compact_header_style.h"
#include "app/passes_model.h"
#include "app/settings.h"
#include "app/stretched_column.h"
#include "app/transits_model.h"
#include "astro/time_units.h"
#include "planning/pass_planner.h"
#include "planning/pass_reminders.h"
#include "sky/sky_session.h"
#include "ui_passes_panel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSortFilterProxyModel>

#include <cmath>
#include <limits>

namespace {

// How far the search window may fall behind before it is searched again.
constexpr double kReplanDays = 10.0 / kMinutesPerDay;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A transit found again by a later search: its instant moves by far less.
constexpr double kSameTransitDays = 1.0 / kSecondsPerDay;

// The shortest name column: beside the sky plot, the planner's many columns leave names little
// room, and it is the name that gives way (cut with "…", whole in a tooltip).
constexpr int kNameCharacters = 12;

void setUpTable(QTableView* table, int stretchedColumn) {
    QHeaderView* header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    new CompactHeaderStyle(header);
    new StretchedColumn(table, stretchedColumn, kNameCharacters);
    QHeaderView* rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(18);
    rows->setDefaultSectionSize(18);
}

// The row of the satellite's pass that holds the instant jd, or -1.
int passAt(const PassesModel& model, std::size_t satellite, double jd) {
    for (int row = 0; row < model.rowCount(); ++row) {
        const PlannedPass& p = model.pass(row);
        if (p.satellite == satellite && p.pass.startJd <= jd && jd <= p.pass.endJd)
            return row;
    }
    return -1;
}

} // namespace

PassesPanel::PassesPanel(const SkySession& session, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::PassesPanel>()), session(session) {
    ui->setupUi(this);
    planner = new PassPlanner(session.timeScales(), this);
    model = new PassesModel(session.timeScales(), this);
    proxy = new PassesProxyModel(this);
    proxy->setSourceModel(model);
    proxy->setDynamicSortFilter(true);
    ui->passesTableView->setModel(proxy);
    ui->passesTableView->sortByColumn(PassesModel::Rise, Qt::AscendingOrder);

    setUpTable(ui->passesTableView, PassesModel::Name);

    transitsModel = new TransitsModel(session.timeScales(), this);
    transitsProxy = new QSortFilterProxyModel(this);
    transitsProxy->setSourceModel(transitsModel);
    transitsProxy->setSortRole(TransitsModel::SortRole);
    transitsProxy->setSortLocaleAware(true);
    transitsProxy->setDynamicSortFilter(true);
    ui->transitsTableView->setModel(transitsProxy);
    ui->transitsTableView->sortByColumn(TransitsModel::Time, Qt::AscendingOrder);
    setUpTable(ui->transitsTableView, TransitsModel::Name);

    connect(&session, &SkySession::catalogueChanged, this, &PassesPanel::catalogueChanged);
    connect(&session, &SkySession::siteChanged, this, [this] {
        ui->skyPlot->setHorizon(this->session.horizon());
        replan();
    });
    ui->skyPlot->setHorizon(session.horizon());
    ui->passSearchHoursSpinBox->setValue(readPassSearchHours());
    connect(ui->passSearchHoursSpinBox, qOverload<int>(&QSpinBox::valueChanged), this,
            [this](int hours) {
                writePassSearchHours(hours);
                replan();
            });
    connect(ui->tonightOnlyCheckBox, &QCheckBox::toggled, this, &PassesPanel::showFound);
    connect(&session, &SkySession::rowsChanged, this, &PassesPanel::advance);
    connect(planner, &PassPlanner::planned, this, &PassesPanel::showPlanned);
    connect(planner, &PassPlanner::progressed, ui->searchProgressBar, &QProgressBar::setValue);
    connect(ui->stopSearchButton, &QPushButton::clicked, planner, &PassPlanner::cancel);
    connect(planner, &PassPlanner::cancelled, this, [this] { showSearching(false); });
    connect(ui->visibleOnlyCheckBox, &QCheckBox::toggled, this, [this](bool only) {
        changingModel = true;
        proxy->setVisibleOnly(only);
        changingModel = false;
        restoreSelection();
    });
    connect(ui->brighterThanCheckBox, &QCheckBox::toggled, this, &PassesPanel::filterByBrightness);
    connect(ui->brighterThanSpinBox, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &PassesPanel::filterByBrightness);
    connect(ui->passesTableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &PassesPanel::passChosen);
    connect(ui->passesTableView, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) {
                const QModelIndex source = proxy->mapToSource(index);
                if (source.isValid())
                    emit passActivated(int(model->pass(source.row()).satellite));
            });
    connect(ui->transitsTableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &PassesPanel::transitChosen);
    connect(ui->transitsTableView, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) {
                const QModelIndex source = transitsProxy->mapToSource(index);
                if (source.isValid())
                    emit passActivated(int(transitsModel->transit(source.row()).satellite));
            });
    ui->passesTableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->passesTableView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) {
                const QModelIndex source = proxy->mapToSource(ui->passesTableView->indexAt(at));
                if (source.isValid())
                    showPassMenu(&model->pass(source.row()),
                                 ui->passesTableView->viewport()->mapToGlobal(at));
            });
    ui->transitsTableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->transitsTableView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) {
                const QModelIndex source =
                    transitsProxy->mapToSource(ui->transitsTableView->indexAt(at));
                if (!source.isValid())
                    return;
                const PlannedTransit& t = transitsModel->transit(source.row());
                const int row = passAt(*model, t.satellite, t.transit.jd);
                showPassMenu(row >= 0 ? &model->pass(row) : nullptr,
                             ui->transitsTableView->viewport()->mapToGlobal(at), &t);
            });
}

PassesPanel::~PassesPanel() = default;

void PassesPanel::setSearchHours(int hours) {
    ui->passSearchHoursSpinBox->setValue(hours);
}

bool PassesPanel::isPlanning() const {
    return planner->isPlanning();
}

void PassesPanel::setMagnitudes(std::shared_ptr<const StandardMagnitudes> magnitudes) {
    planner->setMagnitudes(std::move(magnitudes));
    replan();
}

std::vector<PlannedPass> PassesPanel::shownPasses() const {
    std::vector<PlannedPass> shown;
    for (int row = 0; row < proxy->rowCount(); ++row)
        shown.push_back(model->pass(proxy->mapToSource(proxy->index(row, 0)).row()));
    return shown;
}

void PassesPanel::setReminders(PassReminders* passReminders) {
    reminders = passReminders;
}

// The display name without its catalogue number, which the reminder keeps apart.
PassReminder PassesPanel::reminderOf(const PlannedPass& p) const {
    QString name = QString::fromStdString(p.name);
    if (const int number = name.lastIndexOf(QLatin1String(" (")); number > 0)
        name.truncate(number);
    return {session.catalogue()[p.satellite].elements.satnum, p.pass.rise.jd, name.trimmed(),
            p.pass.culmination.altitudeDeg};
}

void PassesPanel::showPassMenu(const PlannedPass* pass, const QPoint& globalPosition,
                               const PlannedTransit* transit) {
    const bool remindable = reminders && pass && pass->satellite < session.catalogue().size();
    if (!remindable && !transit)
        return;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("passMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (transit) {
        QAction* line = menu->addAction(tr("Export centre line..."));
        line->setObjectName(QStringLiteral("exportCentreLineAction"));
        connect(line, &QAction::triggered, this,
                [this, chosen = *transit] { emit centreLineExportRequested(chosen); });
    }
    if (!remindable) {
        menu->popup(globalPosition);
        return;
    }
    const PlannedPass& p = *pass;
    const PassReminder reminder = reminderOf(p);
    QAction* remind = menu->addAction(tr("Remind me"));
    remind->setObjectName(QStringLiteral("remindMeAction"));
    remind->setCheckable(true);
    remind->setChecked(reminders->find(reminder.catalogueNumber, reminder.riseJd) != nullptr);
    // A pass under way has no rise left to remind of.
    remind->setEnabled(p.pass.hasRise && session.instant() < p.pass.rise.jd);
    connect(remind, &QAction::toggled, this, [this, reminder](bool on) {
        if (on)
            reminders->add(reminder);
        else
            reminders->cancel(reminder.catalogueNumber, reminder.riseJd);
    });
    menu->popup(globalPosition);
}

void PassesPanel::filterByBrightness() {
    changingModel = true;
    proxy->setBrighterThan(ui->brighterThanCheckBox->isChecked()
                               ? std::optional<double>(ui->brighterThanSpinBox->value())
                               : std::nullopt);
    changingModel = false;
    restoreSelection();
}

void PassesPanel::catalogueChanged() {
    hasChoice = false;
    changingModel = true;
    model->setPasses({});
    found.reset();
    foundTransits.clear();
    transitsModel->setTransits({});
    forgetTransit();
    changingModel = false;
    ui->skyPlot->clearPass();
    ui->skyPlot->clearPosition();
    replan();
}

void PassesPanel::advance() {
    const double now = session.instant();
    const int before = model->rowCount();
    changingModel = true;
    model->dropEndedBefore(now);
    changingModel = false;
    if (model->rowCount() != before) {
        restoreSelection();
        showTransits(); // those of the passes gone go too
    }
    showPosition();
    if (now - plannedFrom > kReplanDays)
        planDue = true;
    planIfDue();
}

void PassesPanel::selectSatellite(std::size_t satellite) {
    if (hasTransit && satellite != transitSatellite) {
        changingModel = true;
        forgetTransit();
        changingModel = false;
    }
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
    showSearching(false);
    planDue = true;
    planIfDue();
}

// Searches only while the panel is shown: a hidden planner costs nothing.
void PassesPanel::planIfDue() {
    if (!planDue || !isVisible() || session.instant() == 0.0)
        return;
    planDue = false;
    plannedFrom = session.instant();
    planner->plan(session.catalogue(), session.site(), plannedFrom, session.horizon(),
                  ui->passSearchHoursSpinBox->value() / 24.0);
    showSearching(true);
}

void PassesPanel::showSearching(bool searching) {
    ui->searchProgressBar->setValue(0);
    ui->searchProgressBar->setVisible(searching);
    ui->stopSearchButton->setVisible(searching);
}

void PassesPanel::showPlanned(const std::vector<PlannedPass>& passes,
                              const std::vector<PlannedTransit>& transits) {
    showSearching(false);
    // The planner's own passes are kept by sharing its plan; others (a caller's) are copied.
    const std::shared_ptr<const CataloguePlan> plan = planner->latest();
    if (plan && &plan->passes == &passes)
        found = std::shared_ptr<const std::vector<PlannedPass>>(plan, &plan->passes);
    else
        found = std::make_shared<const std::vector<PlannedPass>>(passes);
    foundTransits = transits;
    if (reminders) {
        std::vector<PassReminder> rising;
        for (const PlannedPass& p : *found)
            if (p.pass.hasRise && p.satellite < session.catalogue().size())
                rising.push_back(reminderOf(p));
        reminders->follow(rising);
    }
    showFound();
}

void PassesPanel::showFound() {
    const bool tonightOnly = ui->tonightOnlyCheckBox->isChecked();
    std::vector<std::size_t> current;
    if (found) {
        current.reserve(found->size());
        for (std::size_t k = 0; k < found->size(); ++k) {
            const PlannedPass& p = (*found)[k];
            if (p.satellite < session.catalogue().size() &&
                !(p.pass.hasSet && p.pass.endJd < session.instant()) && (!tonightOnly || p.night))
                current.push_back(k);
        }
    }
    changingModel = true;
    model->setPasses(found, std::move(current));
    changingModel = false;
    restoreSelection(true);
    showTransits();
}

void PassesPanel::showTransits() {
    std::vector<PlannedTransit> shown;
    for (const PlannedTransit& t : foundTransits)
        if (passAt(*model, t.satellite, t.transit.jd) >= 0)
            shown.push_back(t);
    changingModel = true;
    transitsModel->setTransits(std::move(shown));
    int row = -1;
    if (hasTransit)
        for (int r = 0; r < transitsModel->rowCount() && row < 0; ++r) {
            const PlannedTransit& t = transitsModel->transit(r);
            if (t.satellite == transitSatellite &&
                std::abs(t.transit.jd - transitJd) < kSameTransitDays)
                row = r;
        }
    if (row >= 0) {
        const PlannedTransit& t = transitsModel->transit(row);
        transitJd = t.transit.jd;
        ui->transitsTableView->selectionModel()->setCurrentIndex(
            transitsProxy->mapFromSource(transitsModel->index(row, 0)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ui->skyPlot->setTransit(t.transit, t.path);
        emit transitShown(t);
    } else {
        forgetTransit();
    }
    changingModel = false;
}

void PassesPanel::forgetTransit() {
    hasTransit = false;
    ui->transitsTableView->selectionModel()->clear();
    ui->skyPlot->clearTransit();
    emit transitForgotten();
}

void PassesPanel::transitChosen(const QModelIndex& current) {
    if (changingModel || !current.isValid())
        return;
    const PlannedTransit& t = transitsModel->transit(transitsProxy->mapToSource(current).row());
    const int row = passAt(*model, t.satellite, t.transit.jd);
    if (row < 0)
        return;
    hasTransit = true;
    transitSatellite = t.satellite;
    transitJd = t.transit.jd;
    hasChoice = true;
    chosenSatellite = t.satellite;
    showPass(row, true);
    showPosition();
    ui->skyPlot->setTransit(t.transit, t.path);
    emit transitShown(t);
}

void PassesPanel::passChosen(const QModelIndex& current) {
    if (changingModel || !current.isValid())
        return;
    const PlannedPass& p = model->pass(proxy->mapToSource(current).row());
    if (hasTransit && (p.satellite != transitSatellite || transitJd < p.pass.startJd ||
                       transitJd > p.pass.endJd)) {
        changingModel = true;
        forgetTransit();
        changingModel = false;
    }
    hasChoice = true;
    chosenSatellite = p.satellite;
    chosenCulmination = p.pass.culmination.jd;
    ui->skyPlot->setPass(p.pass, p.track.empty() ? planner->track(p) : p.track);
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
    ui->skyPlot->setPass(p.pass, p.track.empty() ? planner->track(p) : p.track);
}

void PassesPanel::showPosition() {
    const std::vector<LiveRow>& rows = session.rows();
    if (!hasChoice || chosenSatellite >= rows.size()) {
        ui->skyPlot->clearPosition();
        return;
    }
    ui->skyPlot->setPosition(rows[chosenSatellite].azimuthDeg, rows[chosenSatellite].altitudeDeg);
}
