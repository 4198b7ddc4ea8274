#include "app/main_window.h"

#include "app/catalogue_update_ui.h"
#include "app/data_paths.h"
#include "app/dock_placement.h"
#include "app/log_model.h"
#include "app/log_view_follower.h"
#include "app/mount_settings_dialog.h"
#include "app/numeric_sort_proxy_model.h"
#include "app/observing_site_dialog.h"
#include "app/passes_model.h"
#include "app/passes_panel.h"
#include "app/preferences_dialog.h"
#include "app/satellite_table_model.h"
#include "app/settings.h"
#include "app/stretched_column.h"
#include "app/tracking_chart.h"
#include "astro/horizon_mask.h"
#include "astro/time_scales.h"
#include "astro/topocentric.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/file_access.h"
#include "catalogue/omm_reader.h"
#include "catalogue/time_table_updater.h"
#include "catalogue/update_settings.h"
#include "clocks/mount_clock_check.h"
#include "clocks/sntp_clock_check.h"
#include "orbitrak_version.h"
#include "planning/magnitudes.h"
#include "planning/pass_export.h"
#include "planning/pass_reminders.h"
#include "planning/rise_forecast.h"
#include "sky/sky_session.h"
#include "tracking/pass_recorder.h"
#include "tracking/tracking_status_poll.h"
#include "tracking/transit_chain.h"
#include "ui_main_window.h"

#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <memory>

// Which catalogue was read, for a user or a script asking with
// QT_LOGGING_RULES="orbitrak.catalogue.info=true"; silent otherwise.
Q_LOGGING_CATEGORY(catalogueLog, "orbitrak.catalogue", QtWarningMsg)

namespace {

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
    connect(link, &MountLink::siteChanged, this, &MainWindow::mountSiteReported);
    transit = new TransitChain(
        *link, [this] { return session->instant(); }, this);
    statusPoll = new TrackingStatusPoll(*link, this);
    updates = new CatalogueUpdateUi(this, ui->tleSourcesAction, ui->updateFromSourcesAction,
                                    ui->forcedUpdateAction, &data_paths::catalogueFile);
    connect(updates, &CatalogueUpdateUi::logEvent, logModel, &LogModel::addEntry);
    connect(updates, &CatalogueUpdateUi::catalogueReplaced, this, &MainWindow::reloadCatalogue);
    connect(ui->loadTlesAction, &QAction::triggered, this, &MainWindow::loadTles);
    connect(ui->mountSetupAction, &QAction::triggered, this, &MainWindow::editMountAddress);
    connect(ui->preferencesAction, &QAction::triggered, this, &MainWindow::editPreferences);
    connect(ui->observingSiteAction, &QAction::triggered, this, &MainWindow::chooseObservingSite);
    setUpSatelliteTable();
    wireMount();
    wireClocks();
    wireTrackingChart();
    setUpPasses();
    applyObservingSite();
    setUpTimeOffset();
    reloadCatalogue();
    setUpReminders();

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
    // Closing the window hides the dock too, which is not the user's choice.
    disconnect(passesDock->toggleViewAction(), nullptr, this, nullptr);
    passRecorder->endPass(); // a pass under way keeps its record
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
    fitPlanner(state.geometry.isEmpty());
}

// The planner never leaves the satellite table fewer than eight rows: the window grows within the
// screen's available area or, where that is too short, the dock goes beside the table. At first
// start the window also widens, within the screen, to show the table's whole row.
void MainWindow::fitPlanner(bool firstStart) {
    constexpr int kTableRows = 8;
    QTableView* table = ui->satelliteTableView;
    // Room for the sideways scroll bar too: it comes and goes with the columns' widths.
    table->setMinimumHeight(2 * table->frameWidth() +
                            table->horizontalHeader()->sizeHint().height() +
                            kTableRows * table->verticalHeader()->defaultSectionSize() +
                            table->horizontalScrollBar()->sizeHint().height());
    const bool below = !passesDock->isHidden() && !passesDock->isFloating() &&
                       dockWidgetArea(passesDock) == Qt::BottomDockWidgetArea;
    if (!firstStart && !below)
        return;
    // Before the window is first shown its frame is not known yet: a title bar and borders are
    // allowed for.
    QSize frame = frameGeometry().size() - size();
    if (frame.isNull()) {
        const int border = 2 * style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
        frame = QSize(border, border + style()->pixelMetric(QStyle::PM_TitleBarHeight));
    }
    const QRect available = screen()->availableGeometry();
    const QSize before = size(); // the layout may force the window larger as it is measured
    const auto place = [&] {
        layout()->invalidate();
        layout()->activate();
        centralWidget()->layout()->activate();
        const QSize least = minimumSizeHint();
        QSize wanted = least;
        if (!passesDock->isHidden())
            wanted += passesDock->sizeHint() - passesDock->minimumSizeHint();
        if (firstStart)
            wanted.setWidth(
                std::max(wanted.width(), width() + table->horizontalHeader()->length() +
                                             table->verticalScrollBar()->sizeHint().width() -
                                             table->maximumViewportSize().width()));
        return placeDock(before, least, wanted, available.size() - frame);
    };
    DockPlacement placement = place();
    if (below && !placement.below) {
        addDockWidget(Qt::RightDockWidgetArea, passesDock);
        placement = place();
    }
    if (!isMaximized() && !isFullScreen()) { // those have all the room there is already
        resize(placement.windowSize);
        if (isVisible()) { // all of it on the screen
            QRect outer(pos(), placement.windowSize + frame);
            outer.moveRight(std::min(outer.right(), available.right()));
            outer.moveBottom(std::min(outer.bottom(), available.bottom()));
            outer.moveLeft(std::max(outer.left(), available.left()));
            outer.moveTop(std::max(outer.top(), available.top()));
            move(outer.topLeft());
        }
    }
    if (!passesDock->isHidden())
        resizeDocks(
            {passesDock},
            {placement.below ? passesDock->sizeHint().height() : passesDock->sizeHint().width()},
            placement.below ? Qt::Vertical : Qt::Horizontal);
}

// Reminders of planned passes fire as the session's time moves on; each is logged and, where
// there is a system tray, shown on the desktop. They are kept until their pass has begun.
void MainWindow::setUpReminders() {
    auto* reminders = new PassReminders([this] { return session->instant(); }, this);
    passReminders = reminders;
    reminders->setLeadMinutes(readReminderMinutes());
    connect(reminders, &PassReminders::reminderDue, this, [this](const QString& message) {
        logModel->addEntry(message, LogLevel::Info);
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        auto* tray = findChild<QSystemTrayIcon*>();
        if (!tray) {
            tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
            connect(tray, &QSystemTrayIcon::messageClicked, this, [this] {
                showNormal();
                raise();
                activateWindow();
            });
        }
        tray->show();
        tray->showMessage(windowTitle(), message);
    });
    connect(reminders, &PassReminders::changed, this,
            [reminders] { writePassReminders(reminders->reminders()); });
    connect(session, &SkySession::rowsChanged, reminders, &PassReminders::check);
    passesPanel->setReminders(reminders);
    QString warning;
    reminders->restore(readPassReminders(&warning));
    if (!warning.isEmpty())
        logModel->addEntry(warning, LogLevel::Warning);
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
    QMessageBox::about(
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
    connect(link, &MountLink::logEvent, logModel, &LogModel::addEntry);
    connect(transit, &TransitChain::logEvent, logModel, &LogModel::addEntry);
    connect(statusPoll, &TrackingStatusPoll::logEvent, logModel, &LogModel::addEntry);
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
    connect(computerClock, &SntpClockCheck::logEvent, logModel, &LogModel::addEntry);
    connect(mountClock, &MountClockCheck::logEvent, logModel, &LogModel::addEntry);
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
    passesPanel = new PassesPanel(*session, this);
    passesDock = new QDockWidget(tr("Passes"), this);
    passesDock->setObjectName(QStringLiteral("passesDock"));
    passesDock->setWidget(passesPanel);
    addDockWidget(Qt::BottomDockWidgetArea, passesDock);
    passesDock->setVisible(readPassesVisible());

    QAction* showPasses = passesDock->toggleViewAction();
    showPasses->setObjectName(QStringLiteral("showPassesAction"));
    ui->viewMenu->addAction(showPasses);
    connect(showPasses, &QAction::toggled, this, [](bool shown) { writePassesVisible(shown); });
    // After the dock's own handler: the dock is shown by then.
    connect(showPasses, &QAction::triggered, this, [this](bool shown) {
        if (shown)
            fitPlanner(false);
    });

    // A row that only moved as the table re-sorted is no new choice.
    connect(ui->satelliteTableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                const int row = proxy->mapToSource(current).row();
                if (current.isValid() && row != proxy->mapToSource(previous).row())
                    passesPanel->selectSatellite(std::size_t(row));
            });
    connect(passesPanel, &PassesPanel::passActivated, this, &MainWindow::followRow);
    connect(ui->exportPassesAction, &QAction::triggered, this, &MainWindow::exportPasses);
    loadMagnitudes();
}

// A file that cannot be read leaves the planner without magnitudes.
void MainWindow::loadMagnitudes() {
    const QString file = readMagnitudeFile();
    const bool had = magnitudesLoaded;
    auto magnitudes = std::make_shared<StandardMagnitudes>();
    const QString problem =
        file.isEmpty() ? QString() : PreferencesDialog::readMagnitudes(file, *magnitudes);
    if (!problem.isEmpty())
        logModel->addEntry(problem, LogLevel::Error);
    magnitudesLoaded = !file.isEmpty() && problem.isEmpty();
    if (magnitudesLoaded) {
        const int count = int(magnitudes->size());
        logModel->addEntry((count == 1 ? tr("Read %n standard magnitude from %1.", nullptr, count)
                                       : tr("Read %n standard magnitudes from %1.", nullptr, count))
                               .arg(QDir::toNativeSeparators(file)),
                           LogLevel::Info);
    }
    if (magnitudesLoaded || had)
        passesPanel->setMagnitudes(magnitudesLoaded ? std::move(magnitudes) : nullptr);
}

// The passes as the planner shows them, filtered and in its order; the chosen filter, or the
// file name's suffix, picks iCalendar or CSV.
void MainWindow::exportPasses() {
    const QString icsFilter = tr("iCalendar files (*.ics)");
    const QString csvFilter = tr("CSV files (*.csv)");
    QString filter = icsFilter;
    QString path =
        QFileDialog::getSaveFileName(this, tr("Export passes"), QString(),
                                     icsFilter + QStringLiteral(";;") + csvFilter, &filter);
    if (path.isEmpty())
        return;
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool csv =
        suffix == QLatin1String("csv") || (suffix != QLatin1String("ics") && filter == csvFilter);
    if (suffix.isEmpty())
        path += csv ? QStringLiteral(".csv") : QStringLiteral(".ics");

    std::vector<ExportedPass> passes;
    for (const PlannedPass& p : passesPanel->shownPasses()) {
        if (p.satellite >= session->catalogue().size())
            continue;
        const CatalogueEntry& satellite = session->catalogue()[p.satellite];
        passes.push_back({int(satellite.elements.satnum), satellite.nameLine, p.pass, p.magnitude});
    }
    // The calendar holds whole passes only; a file of none would look like a quiet sky.
    const int shown = int(passes.size());
    const int written =
        csv ? shown : int(std::count_if(passes.begin(), passes.end(), [](const ExportedPass& e) {
            return e.pass.whole();
        }));
    if (written == 0) {
        logModel->addEntry(shown == 0 ? tr("No pass to export: the planner shows none.")
                                      : tr("No whole pass to export: a pass must rise and set "
                                           "within the search window."),
                           LogLevel::Warning);
        return;
    }
    const std::string text = csv ? passesCsv(passes, scales, magnitudesLoaded)
                                 : passesICalendar(passes, scales, session->site(),
                                                   scales.utcCalendarFromJd(session->instant()));
    if (const FileResult saved =
            writeFileWhole(QFile::encodeName(path).toStdString(), std::string_view(text));
        !saved)
        logModel->addEntry(fileFaultText(path, saved), LogLevel::Error);
    else if (written < shown)
        logModel->addEntry(tr("Exported %1 of %2 passes to %3; %4 left out as not whole (rising "
                              "or setting outside the search window).")
                               .arg(written)
                               .arg(shown)
                               .arg(QDir::toNativeSeparators(path))
                               .arg(shown - written),
                           LogLevel::Info);
    else
        logModel->addEntry((written == 1 ? tr("Exported %n pass to %1.", nullptr, written)
                                         : tr("Exported %n passes to %1.", nullptr, written))
                               .arg(QDir::toNativeSeparators(path)),
                           LogLevel::Info);
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
    passReminders->setLeadMinutes(after.reminderMinutes);
    passesPanel->setSearchHours(after.passSearchHours);
    if (after.magnitudeFile != before.magnitudeFile)
        loadMagnitudes();
    if (after.maxElementSets != before.maxElementSets)
        reloadCatalogue();
}

void MainWindow::reloadCatalogue() {
    const QString file = data_paths::catalogueFile();
    Catalogue catalogue;
    ElementSetForm form = ElementSetForm::None;
    const FileResult read =
        readElementSetFile(file, std::size_t(readMaxElementSets()), catalogue, &form);
    if (read.fault == FileResult::Missing) {
        logModel->addEntry(tr("No element sets yet: get them with TLEs > Load TLEs... or "
                              "TLEs > Update from sources."),
                           LogLevel::Info);
    } else if (!read) {
        logModel->addEntry(fileFaultText(QFileInfo(file).absoluteFilePath(), read,
                                         qint64(kMaxElementSetFileBytes)),
                           LogLevel::Warning);
    } else if (form == ElementSetForm::None) {
        logModel->addEntry(tr("%1 holds no element sets in a known form.")
                               .arg(QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath())),
                           LogLevel::Warning);
    }
    // The update's own words: a record left out here failed the same checks.
    if (const int skipped = int(catalogue.skippedSets); skipped > 0)
        logModel->addEntry(
            skipped == 1
                ? QCoreApplication::translate("CatalogueUpdater",
                                              "Skipped %n element set that failed their checks.",
                                              nullptr, skipped)
                : QCoreApplication::translate("CatalogueUpdater",
                                              "Skipped %n element sets that failed their checks.",
                                              nullptr, skipped),
            LogLevel::Warning);
    qCInfo(catalogueLog).noquote()
        << "read" << catalogue.size() << "element sets from" << QFileInfo(file).absoluteFilePath();
    if (catalogue.setsInFile > catalogue.size())
        logModel->addEntry(tr("Showing the first %1 of %2 element sets.")
                               .arg(catalogue.size())
                               .arg(catalogue.setsInFile),
                           LogLevel::Warning);
    session->setCatalogue(std::move(catalogue));
    updates->warnIfStale(session->catalogue(), scales.utcFromJd(session->instant()));
}

// The chosen file replaces the catalogue that was read, or makes the first one in the per-user
// folder.
void MainWindow::loadTles() {
    const QString chosen = QFileDialog::getOpenFileName(
        this, tr("Open TLE elements file"), QString(),
        tr("Element set files (*.txt *.tle *.json *.csv *.xml *.kvn);;All files (*)"));
    const QString target = data_paths::catalogueFile();
    if (chosen.isEmpty() || isSameFile(chosen, target))
        return;
    QDir().mkpath(QFileInfo(target).absolutePath());
    // On failure the old file stays whole, and the reload shows what it holds.
    if (const QString problem = replaceCatalogueFile(chosen, target); !problem.isEmpty())
        logModel->addEntry(tr("%1 The catalogue is unchanged.").arg(problem), LogLevel::Error);
    reloadCatalogue();
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

// Chosen while a mount is connected, a site only changes what the mount's site is compared
// with.
void MainWindow::chooseObservingSite() {
    ObservingSiteDialog dialog(this);
    QString warning;
    dialog.setSites(readObservingSites(&warning), readCurrentSiteName());
    if (!warning.isEmpty())
        logModel->addEntry(warning, LogLevel::Warning);
    if (dialog.exec() != QDialog::Accepted)
        return;
    writeObservingSites(dialog.sites());
    writeCurrentSiteName(dialog.currentSite());
    if (link->state() != LinkState::Connected)
        mountSiteInUse = false;
    if (const auto chosen = readCurrentObservingSite())
        logModel->addEntry(ObservingSiteDialog::chosenMessage(*chosen), LogLevel::Info);
    applyObservingSite();
}

// The chosen site with its horizon; the horizon file from before sites had their own while the
// site names none.
void MainWindow::applyObservingSite() {
    QString warning;
    chosenSite = readCurrentObservingSite(&warning);
    if (!warning.isEmpty())
        logModel->addEntry(warning, LogLevel::Warning);
    const QString horizonFile = chosenSite && !chosenSite->horizonFile.isEmpty()
                                    ? chosenSite->horizonFile
                                    : readHorizonFile();
    if (!horizonFile.isEmpty() || !session->horizon().isFlat())
        session->setHorizon(readHorizon(horizonFile));
    if (mountSiteInUse)
        warnIfMountSiteFar();
    else
        session->setSite(chosenSite ? chosenSite->site() : Site());
}

// A file that cannot be read leaves the horizon flat.
HorizonMask MainWindow::readHorizon(const QString& horizonFile) {
    HorizonMask horizon;
    if (horizonFile.isEmpty())
        return horizon;
    const HorizonFileRead read = readHorizonMaskFile(horizonFile, horizon);
    if (read.problem != HorizonFileProblem::None)
        logModel->addEntry(tr("%1 The horizon stays flat.")
                               .arg(ObservingSiteDialog::horizonProblem(horizonFile, read)),
                           LogLevel::Error);
    return horizon;
}

// The warning follows the line that reports the site.
void MainWindow::mountSiteReported(const Site& site) {
    mountSiteInUse = true;
    session->setSite(site);
    QMetaObject::invokeMethod(this, &MainWindow::warnIfMountSiteFar, Qt::QueuedConnection);
}

// Farther than this, the mount is not where the chosen site says: one of them is wrong.
static constexpr double kMountSiteToleranceKm = 1.0;

void MainWindow::warnIfMountSiteFar() {
    if (!chosenSite)
        return;
    const double km = siteDistance(link->site(), chosenSite->site()) / 1000.0;
    if (km > kMountSiteToleranceKm)
        logModel->addEntry(tr("The mount's site is %1 km from %2.")
                               .arg(QString::number(km, 'f', 1), chosenSite->name),
                           LogLevel::Warning);
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

// row: of the catalogue.
void MainWindow::followRow(int row) {
    const QModelIndex index = satelliteModel->index(row, SatelliteTableModel::Name);
    if (!index.isValid())
        return;
    const CatalogueEntry& satellite = session->catalogue()[std::size_t(row)];
    const long number = long(satellite.elements.satnum);
    transit->start(QString::fromUtf8(logName(satellite).c_str()),
                   index.data(SatelliteTableModel::NameLineRole).toString(),
                   index.data(SatelliteTableModel::Line1Role).toString(),
                   index.data(SatelliteTableModel::Line2Role).toString(), readTimeOffset(number));
    expectTransit(row, readTimeOffset(number));
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
    connect(passRecorder, &PassRecorder::logEvent, logModel, &LogModel::addEntry);
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
