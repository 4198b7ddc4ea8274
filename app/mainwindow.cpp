#include "app/mainwindow.h"

#include "app/log_model.h"
#include "app/mainwindow_form.h"
#include "app/mountsettings.h"
#include "app/settings.h"
#include "astro/time_scales.h"
#include "catalogue/live_rows.h"
#include "catalogue/sort_filter_proxy.h"
#include "catalogue/tle_satellite_model.h"

#include <QHeaderView>
#include <QTableView>
#include <QTimer>

// The icon bundle sits in a static library; naming its initialiser keeps the linker from
// dropping it.
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

MainWindow::MainWindow(QWidget* parent, quint16 mountPort)
    : QMainWindow(parent), ui(new Ui::MainWindow), mountPort(mountPort) {
    registerResources();
    setup_time_scales();

    refreshTimer = new QTimer(this);
    connect(refreshTimer, SIGNAL(timeout()), this, SLOT(invalidateComputation()));
    refreshTimer->start(333);

    ui->setupUi(this);

    satelliteModel = std::make_unique<TLE_Satellite_Model>();
    proxy = std::make_unique<MySortFilterProxyModel>();
    reloadCatalogue();
    setupSatelliteTable();

    connect(ui->actionLoad_TLEs, &QAction::triggered, this, &MainWindow::do_loadTLE);
    connect(ui->actionSetup, &QAction::triggered, this, &MainWindow::do_setupMount);

    setupSatelliteTableHeaders();
    connect(ui->tableView->horizontalHeader(), SIGNAL(sortIndicatorChanged(int, Qt::SortOrder)),
            this, SLOT(sortByColumn(int, Qt::SortOrder)));

    logModel = std::make_unique<Log_Model>();
    ui->tableViewLog->setModel(logModel.get());
    logModel->addEntry(tr("Start"), LogLevel::Info);
    ui->tableViewLog->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    Ui::setFixedRowHeight(ui->tableViewLog, 18);
    ui->tableViewLog->setShowGrid(false);

    mountSettings = std::make_unique<MountSettings>();
    readSettings();
}

MainWindow::~MainWindow() {
    shutDownLinkForExit();
    writeSettings();
    delete ui;
}

void MainWindow::invalidateComputation() {
    currentJd = current_jd();
    recomputeLiveRows();
    satelliteModel->refreshSatelliteTable();
    showUtcClock();
    pollTrackingStatus();
}

void MainWindow::showUtcClock() {
    const CalendarTime c = utc_calendar_from_jd(currentJd);
    ui->lineTime->setText(QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%03d", int(c.year),
                                            int(c.month), int(c.day), int(c.hour), int(c.minute),
                                            int(c.second), int(c.millisecond)));
}
