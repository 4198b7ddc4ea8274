#include "app/main_window.h"

#include "app/catalogue_loader.h"
#include "app/catalogue_update_ui.h"
#include "app/data_paths.h"
#include "app/log_model.h"
#include "app/log_view_follower.h"
#include "app/map_dock.h"
#include "app/map_view.h"
#include "app/mount_settings_dialog.h"
#include "app/numeric_sort_proxy_model.h"
#include "app/observing_site_dialog.h"
#include "app/pass_exporter.h"
#include "app/passes_panel.h"
#include "app/planner_dock.h"
#include "app/preferences_dialog.h"
#include "app/reminder_notices.h"
#include "app/satellite_table_model.h"
#include "app/settings.h"
#include "app/site_choice.h"
#include "app/stretched_column.h"
#include "app/text_box.h"
#include "app/tracking_chart.h"
#include "app/transit_exporter.h"
#include "astro/time_scales.h"
#include "catalogue/time_table_updater.h"
#include "catalogue/update_settings.h"
#include "clocks/mount_clock_check.h"
#include "clocks/sntp_clock_check.h"
#include "orbitrak_version.h"
#include "planning/pass_reminders.h"
#include "planning/planned.h"
#include "planning/rise_forecast.h"
#include "sky/sky_session.h"
#include "tracking/pass_recorder.h"
#include "tracking/tracking_status_poll.h"
#include "tracking/transit_chain.h"
#include "ui_main_window.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace {

// Each of the objects that work for the window says what it did in the window's log.
template <typename Source> void logTo(LogModel* log, Source* source) {
    QObject::connect(source, &Source::logEvent, log, &LogModel::addEntry);
}

// Fixed rows of the given height. The header's font-based minimum would otherwise round compact
// rows up.
void setFixedRowHeight(QTableView* view, int height) {
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setMinimumSectionSize(height);
    view->verticalHeader()->setDefaultSectionSize(height);
}

} // namespace

// The icon bundle sits in a static library; naming its initialiser keeps the linker from
// dropping it.
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

MainWindow::MainWindow(const TimeScales& scales, quint16 mountPort, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>()), scales(scales) {
    registerResources();
    ui->setupUi(this);
    setUpLog();

    session = new SkySession(scales, this);
    satelliteModel = new SatelliteTableModel(*session, this);
    proxy = new NumericSortProxyModel(this);
    link = new MountLink(mountPort, this);
    siteChoice = new SiteChoice(*session, *link, this);
    logTo(logModel, siteChoice);
    transit = new TransitChain(
        *link, [this] { return session->instant(); }, this);
    statusPoll = new TrackingStatusPoll(*link, this);
    updates = new CatalogueUpdateUi(this, ui->tleSourcesAction, ui->updateFromSourcesAction,
                                    ui->forcedUpdateAction, &data_paths::catalogueFile);
    logTo(logModel, updates);
    connect(updates, &CatalogueUpdateUi::catalogueReplaced, this, &MainWindow::reloadCatalogue);
    catalogueLoader = new CatalogueLoader(*session, &data_paths::catalogueFile, this);
    logTo(logModel, catalogueLoader);
    connect(ui->loadTlesAction, &QAction::triggered, this, &MainWindow::loadTles);
    connect(ui->mountSetupAction, &QAction::triggered, this, &MainWindow::editMountAddress);
    connect(ui->preferencesAction, &QAction::triggered, this, &MainWindow::editPreferences);
    connect(ui->observingSiteAction, &QAction::triggered, this, &MainWindow::chooseObservingSite);
    setUpSatelliteTable();
    wireMount();
    wireClocks();
    wireTrackingChart();
    setUpPasses();
    setUpMap();
    siteChoice->apply();
    setUpTimeOffset();
    reloadCatalogue();
    reminders = new ReminderNotices(*session, *this);
    logTo(logModel, reminders);
    planner->panel()->setReminders(reminders->reminders());
    reminders->restore();

    setupDialog = std::make_unique<MountSettingsDialog>();
    mountIp = readMountIp();
    connect(ui->aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
    connect(ui->aboutQtAction, &QAction::triggered, qApp, &QApplication::aboutQt);
    restoreWindowState();
    updates->updateIfDue();

    refreshTimer = new QTimer(this);
    connect(refreshTimer, &QTimer::timeout, this, &MainWindow::tick);
    refreshTimer->start(333);
}

MainWindow::~MainWindow() {
    planner->keepShownState(); // closing the window hides the dock too
    passRecorder->endPass();   // a pass under way keeps its record
    writeMountIp(mountIp);
    saveWindowState();
}

// The first start opens as the form says; later ones as the window was left.
void MainWindow::restoreWindowState() {
    const WindowState state = readWindowState();
    if (!state.geometry.isEmpty())
        restoreGeometry(state.geometry);
    QHeaderView* header = ui->satelliteTableView->horizontalHeader();
    for (int i = 0; i < state.columnWidths.size() && i + 1 < header->count(); ++i)
        header->resizeSection(i + 1, state.columnWidths[i]);
    if (state.sortColumn >= 0 && state.sortColumn < header->count())
        header->setSortIndicator(state.sortColumn, state.sortOrder); // sorts, as a click does
    if (!state.filter.isEmpty()) {
        ui->filterLineEdit->setText(state.filter);
        proxy->setFilterFixedString(state.filter);
    }
    planner->fit(state.geometry.isEmpty());
}

void MainWindow::saveWindowState() const {
    WindowState state;
    state.geometry = saveGeometry();
    const QHeaderView* header = ui->satelliteTableView->horizontalHeader();
    for (int section = 1; section < header->count(); ++section)
        state.columnWidths.append(header->sectionSize(section));
    state.sortColumn = proxy->sortColumn();
    state.sortOrder = proxy->sortOrder();
    state.filter = ui->filterLineEdit->text();
    writeWindowState(state);
}

void MainWindow::showAbout() {
    showTextBox(
        this, tr("About Orbitrak"),
        tr("<h3>Orbitrak %1</h3>"
           "<p>Follows artificial satellites with a Halvstar telescope mount: where every "
           "satellite of the catalogue stands in the sky, the coming passes, and the mount's "
           "tracking.</p>"
           "<p>Licence: MIT. Copyright 2026 Halvstar.</p>"
           "<p>Data: element sets from the sources you choose (TLEs, Sources...; by default "
           "CelesTrak's bright satellites); leap seconds from the IERS and the USNO; Delta T "
           "from Stephenson, Morrison and others, and from IERS Earth orientation data. "
           "Orbits with SGP4/SDP4 as published in <i>Revisiting Spacetrack Report #3</i> "
           "(2006).</p>"
           "<p>Built with Qt %2.</p>")
            .arg(QStringLiteral(ORBITRAK_VERSION), QString::fromLatin1(qVersion())));
}

void MainWindow::setUpSatelliteTable() {
    proxy->setSourceModel(satelliteModel);
    proxy->setDynamicSortFilter(true);
    proxy->setFilterKeyColumn(0);
    proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    ui->satelliteTableView->setModel(proxy);

    QHeaderView* header = ui->satelliteTableView->horizontalHeader();
    new StretchedColumn(ui->satelliteTableView, SatelliteTableModel::Name); // names whole
    header->setSortIndicatorShown(true);
    // No arrow until the user sorts: the rows come in file order.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    // Wide enough for every title, sort indicator included.
    for (int column = 1; column < SatelliteTableModel::ColumnCount; ++column)
        header->resizeSection(
            column, std::max(header->sectionSize(column), header->sectionSizeHint(column)));
    ui->satelliteTableView->verticalHeader()->setVisible(false);
    setFixedRowHeight(ui->satelliteTableView, 18);
    connect(header, &QHeaderView::sortIndicatorChanged, ui->satelliteTableView,
            qOverload<int, Qt::SortOrder>(&QTableView::sortByColumn));

    const auto filter = [this] {
        proxy->setFilterTextAtOnce(ui->filterLineEdit->text());
    };
    connect(ui->filterLineEdit, &QLineEdit::textEdited, this, filter);
    connect(ui->filterLineEdit, &QLineEdit::editingFinished, this, filter);
    connect(ui->satelliteTableView, &QTableView::doubleClicked, this, &MainWindow::followSatellite);
}

void MainWindow::setUpLog() {
    logModel = new LogModel(this);
    ui->logTableView->setModel(logModel);
    logModel->addEntry(tr("Start"), LogLevel::Info);
    ui->logTableView->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    ui->logTableView->resizeColumnToContents(0); // the whole time, milliseconds included
    setFixedRowHeight(ui->logTableView, 18);
    ui->logTableView->setShowGrid(false);
    new LogViewFollower(ui->logTableView);
}

void MainWindow::wireMount() {
    connect(ui->connectMountCheckBox, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked)
            link->open(mountIp);
        else
            link->close();
    });
    connect(link, &MountLink::stateChanged, this, [this](LinkState state) {
        if (state == LinkState::Disconnected || state == LinkState::Failed)
            ui->connectMountCheckBox->setChecked(false);
    });
    connect(ui->stopButton, &QPushButton::clicked, link, &MountLink::stop);
    connect(ui->parkButton, &QPushButton::clicked, link, &MountLink::park);
    connect(ui->unparkButton, &QPushButton::clicked, link, &MountLink::unpark);
    connect(statusPoll, &TrackingStatusPoll::statusLine, ui->statusLineEdit, &QLineEdit::setText);
    logTo(logModel, link);
    logTo(logModel, transit);
    logTo(logModel, statusPoll);
}

// Both clocks in the status bar, each once measured.
void MainWindow::wireClocks() {
    computerClock = new SntpClockCheck(systemUtcSeconds, this);
    mountClock = new MountClockCheck(
        *link, [this] { return computerClock->trueUtc(); }, this);
    auto* computerLabel = new QLabel(this);
    computerLabel->setObjectName(QStringLiteral("computerClockLabel"));
    auto* mountLabel = new QLabel(this);
    mountLabel->setObjectName(QStringLiteral("mountClockLabel"));
    ui->statusBar->addPermanentWidget(computerLabel);
    ui->statusBar->addPermanentWidget(mountLabel);
    connect(computerClock, &SntpClockCheck::offsetMeasured, computerLabel,
            [computerLabel](double s) {
                computerLabel->setText(tr("Clock %1 s").arg(QString::asprintf("%+.3f", s)));
            });
    connect(mountClock, &MountClockCheck::mountClockMeasured, mountLabel, [mountLabel](double s) {
        mountLabel->setText(tr("Mount clock %1 s").arg(QString::asprintf("%+.2f", s)));
    });
    logTo(logModel, computerClock);
    logTo(logModel, mountClock);
    // The upload corrects for the mount's clock as last read; a new connection (perhaps another
    // mount) knows nothing until it is read again.
    connect(mountClock, &MountClockCheck::mountClockMeasured, transit,
            &TransitChain::setMountClockError);
    connect(link, &MountLink::stateChanged, transit, [this](LinkState state) {
        if (state == LinkState::Connecting)
            transit->setMountClockError(0.0);
    });
}

void MainWindow::startClockChecks() {
    computerClock->start(readNtpServer());
    mountClock->start();
}

void MainWindow::refreshTimeTable() {
    if (!timeTable) {
        timeTable = new TimeTableUpdater(this);
        connect(timeTable, &TimeTableUpdater::finished, this, [this] {
            for (const UpdateMessage& message : timeTable->messages())
                logModel->addEntry(message.text, message.level);
        });
    }
    timeTable->refreshIfDue(readTimeTableSource(), scales.table(),
                            data_paths::userFolder() + QStringLiteral("/user_utc.bin"));
}

void MainWindow::setUpPasses() {
    planner = new PlannerDock(*session, *this, *ui->satelliteTableView, *ui->viewMenu);
    logTo(logModel, planner);
    // A row that only moved as the table re-sorted is no new choice.
    connect(ui->satelliteTableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                const int row = proxy->mapToSource(current).row();
                if (current.isValid() && row != proxy->mapToSource(previous).row())
                    planner->panel()->selectSatellite(std::size_t(row));
            });
    connect(planner->panel(), &PassesPanel::passActivated, this, &MainWindow::followRow);
    exporter = new PassExporter(*session, scales, this);
    logTo(logModel, exporter);
    connect(ui->exportPassesAction, &QAction::triggered, this, &MainWindow::exportPasses);
    transitExporter = new TransitExporter(*session, scales, this);
    logTo(logModel, transitExporter);
    connect(planner->panel(), &PassesPanel::centreLineExportRequested, this,
            [this](const PlannedTransit& transit) {
                transitExporter->exportWithDialog(transit, this);
            });
    planner->loadMagnitudes();
}

// A satellite clicked on the map becomes the table's current row, as a click there would; the
// planner's chosen transit is drawn there too.
void MainWindow::setUpMap() {
    map = new MapDock(*session, *proxy, *ui->satelliteTableView, *link, *this, *ui->viewMenu);
    connect(map->view(), &MapView::satelliteClicked, this, [this](int index) {
        const QModelIndex row = proxy->mapFromSource(satelliteModel->index(index, 0));
        if (row.isValid()) {
            ui->satelliteTableView->setCurrentIndex(row);
            ui->satelliteTableView->scrollTo(row);
        }
    });
    connect(planner->panel(), &PassesPanel::transitShown, map, &MapDock::showTransit);
    connect(planner->panel(), &PassesPanel::transitForgotten, map, &MapDock::clearTransit);
}

// The passes as the planner shows them, filtered and in its order; the chosen filter, or the
// file name's suffix, picks iCalendar or CSV.
void MainWindow::exportPasses() {
    const QString icsFilter = tr("iCalendar files (*.ics)");
    const QString csvFilter = tr("CSV files (*.csv)");
    QString filter = icsFilter;
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export passes"), QString(),
                                     icsFilter + QStringLiteral(";;") + csvFilter, &filter);
    if (!path.isEmpty())
        exporter->write(path, filter == csvFilter, planner->panel()->shownPasses(),
                        planner->hasMagnitudes());
}

// Each value takes effect at once, but the time server, the automatic update and the time
// table's source, which are for the next start.
void MainWindow::editPreferences() {
    const Preferences before = readPreferences();
    PreferencesDialog dialog(this);
    dialog.setPreferences(before);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Preferences after = dialog.preferences();
    if (!writePreferences(after))
        logModel->addEntry(tr("Could not save the preferences."), LogLevel::Error);
    reminders->reminders()->setLeadMinutes(after.reminderMinutes);
    planner->panel()->setSearchHours(after.passSearchHours);
    if (after.magnitudeFile != before.magnitudeFile)
        planner->loadMagnitudes();
    if (after.maxElementSets != before.maxElementSets)
        reloadCatalogue();
}

void MainWindow::reloadCatalogue() {
    catalogueLoader->reload();
    updates->warnIfStale(session->catalogue(), scales.utcFromJd(session->instant()));
}

// The chosen file replaces the catalogue that was read, or makes the first one in the per-user
// folder.
void MainWindow::loadTles() {
    const QString chosen = QFileDialog::getOpenFileName(
        this, tr("Open TLE elements file"), QString(),
        tr("Element set files (*.txt *.tle *.json *.csv *.xml *.kvn);;All files (*)"));
    if (catalogueLoader->replaceWith(chosen))
        updates->warnIfStale(session->catalogue(), scales.utcFromJd(session->instant()));
}

// The address takes effect at the next connection. It is stored at once, so that a crash
// loses nothing, and again when the window is destroyed.
void MainWindow::editMountAddress() {
    setupDialog->setIp(mountIp);
    if (setupDialog->exec() != QDialog::Accepted)
        return;
    mountIp = setupDialog->ip();
    writeMountIp(mountIp);
}

void MainWindow::chooseObservingSite() {
    ObservingSiteDialog dialog(this);
    dialog.setSites(siteChoice->storedSites(), readCurrentSiteName());
    if (dialog.exec() == QDialog::Accepted)
        siteChoice->choose(dialog.sites(), dialog.currentSite());
}

// The spin box shows, and changes, the time offset of the satellite selected in the table; the
// upload reads the offset of the satellite it sends.
void MainWindow::setUpTimeOffset() {
    connect(ui->satelliteTableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MainWindow::showTimeOffset);
    connect(session, &SkySession::catalogueChanged, this, &MainWindow::showTimeOffset);
    connect(ui->timeOffsetSpinBox, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            [this](double seconds) {
                if (offsetSatellite >= 0)
                    writeTimeOffset(offsetSatellite, seconds);
            });
    showTimeOffset();
    ui->mountClockCheckBox->setChecked(readCorrectMountClock());
    transit->setMountClockCorrection(ui->mountClockCheckBox->isChecked());
    connect(ui->mountClockCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        transit->setMountClockCorrection(on);
        writeCorrectMountClock(on);
    });
}

void MainWindow::showTimeOffset() {
    const QModelIndex current = ui->satelliteTableView->selectionModel()->currentIndex();
    const int row = current.isValid() ? proxy->mapToSource(current).row() : -1;
    offsetSatellite = row >= 0 && std::size_t(row) < session->catalogue().size()
                          ? long(session->catalogue()[std::size_t(row)].elements.satnum)
                          : -1;
    const QSignalBlocker blocker(ui->timeOffsetSpinBox);
    ui->timeOffsetSpinBox->setValue(offsetSatellite >= 0 ? readTimeOffset(offsetSatellite) : 0.0);
    ui->timeOffsetSpinBox->setEnabled(offsetSatellite >= 0);
}

// index: the view's, through the proxy.
void MainWindow::followSatellite(const QModelIndex& index) {
    if (index.isValid())
        followRow(proxy->mapToSource(index).row());
}

// row: of the catalogue; the upload takes its set as the session holds it.
void MainWindow::followRow(int row) {
    if (row < 0 || std::size_t(row) >= session->catalogue().size())
        return;
    const CatalogueEntry& satellite = session->catalogue()[std::size_t(row)];
    const double offset = readTimeOffset(long(satellite.elements.satnum));
    transit->start(satellite, offset);
    expectTransit(row, offset);
}

// Every poll of a pass goes to the record, with where the window computes the satellite to be;
// the chart shows the pass from its beginning.
void MainWindow::wireTrackingChart() {
    const auto fix = [this](long number) {
        SatelliteFix result;
        result.jd = session->instant();
        const Catalogue& sets = session->catalogue();
        for (std::size_t i = 0; i < sets.size() && i < session->rows().size(); ++i)
            if (sets[i].elements.satnum == number) {
                result.altitudeDeg = session->rows()[i].altitudeDeg;
                result.azimuthDeg = session->rows()[i].azimuthDeg;
                break;
            }
        return result;
    };
    passRecorder =
        new PassRecorder(scales, data_paths::userFolder() + QStringLiteral("/passes"), fix, this);
    connect(transit, &TransitChain::slewAccepted, passRecorder, &PassRecorder::beginPass);
    connect(statusPoll, &TrackingStatusPoll::readingReceived, passRecorder,
            &PassRecorder::addReading);
    connect(link, &MountLink::stateChanged, passRecorder, [this](LinkState state) {
        if (state == LinkState::Disconnected || state == LinkState::Failed)
            passRecorder->endPass();
    });
    logTo(logModel, passRecorder);
    connect(passRecorder, &PassRecorder::passBegan, ui->trackingChart, &QWidget::show);
    riseForecast = new RiseForecast(this);
    connect(riseForecast, &RiseForecast::riseFound, statusPoll, [this](double riseJd) {
        statusPoll->countDownTo(riseJd, [this] { return session->instant(); });
    });
    ui->trackingChart->setRecorder(passRecorder);
}

// The rise comes from the program's own pass search, once, on a worker with copies (a set far
// from its epoch can take seconds, and may outlast the window).
// timeOffsetSeconds: the user's; the mount's clock correction cancels the mount's own error,
// so only the user's moves the rise the mount will see. The record holds the whole offset sent.
void MainWindow::expectTransit(int row, double timeOffsetSeconds) {
    if (row < 0 || std::size_t(row) >= session->catalogue().size())
        return;
    const CatalogueEntry& satellite = session->catalogue()[std::size_t(row)];
    passRecorder->follow(satellite.elements.satnum, transit->totalOffset(timeOffsetSeconds));
    statusPoll->stopCountdown();
    riseForecast->forecast(satellite, scales, session->site(), session->instant(),
                           timeOffsetSeconds);
}

void MainWindow::tick() {
    session->tick();
    showUtcClock();
    statusPoll->poll();
}

void MainWindow::showUtcClock() {
    const CalendarTime c = scales.utcCalendarFromJd(session->instant());
    ui->utcClockLineEdit->setText(QString::fromStdString(formatCalendar(c)));
}
