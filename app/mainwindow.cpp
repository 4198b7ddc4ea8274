#include "app/mainwindow.h"

#include "app/log_model.h"
#include "app/mainwindow_form.h"
#include "astro/time_scales.h"
#include "catalogue/live_rows.h"

#include <QHeaderView>
#include <QTableView>
#include <QTimer>

// The icon bundle sits in a static library; naming its initialiser keeps the linker from
// dropping it.
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

// The header's font-based minimum would otherwise round the compact rows up.
static void setFixedRowHeight(QTableView* view, int height) {
    view->verticalHeader()->setMinimumSectionSize(height);
    view->verticalHeader()->setDefaultSectionSize(height);
}

MainWindow::MainWindow(QWidget* parent, quint16 mountPort)
    : QMainWindow(parent), ui(new Ui::MainWindow), mountPort(mountPort) {
    registerResources();
    setup_time_scales();

    refreshTimer = new QTimer(this);
    connect(refreshTimer, SIGNAL(timeout()), this, SLOT(invalidateComputation()));
    refreshTimer->start(333);

    ui->setupUi(this);

    currentJd = current_jd();

    connect(ui->actionLoad_TLEs, &QAction::triggered, this, &MainWindow::do_loadTLE);
    connect(ui->actionSetup, &QAction::triggered, this, &MainWindow::do_setupMount);

    ui->tableView->horizontalHeader()->setSortIndicatorShown(true);
    ui->tableView->verticalHeader()->setVisible(false);
    ui->tableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setFixedRowHeight(ui->tableView, 18);

    logModel = new Log_Model();
    ui->tableViewLog->setModel(logModel);
    logModel->addEntry(tr("Start"), LogLevel::Info);
    ui->tableViewLog->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    ui->tableViewLog->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setFixedRowHeight(ui->tableViewLog, 18);
    ui->tableViewLog->setShowGrid(false);
}

MainWindow::~MainWindow() {
    delete ui;
}

void MainWindow::invalidateComputation() {
    currentJd = current_jd();
    showUtcClock();
}

void MainWindow::showUtcClock() {
    const CalendarTime c = utc_calendar_from_jd(currentJd);
    ui->lineTime->setText(QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%03d", int(c.year),
                                            int(c.month), int(c.day), int(c.hour), int(c.minute),
                                            int(c.second), int(c.millisecond)));
}
