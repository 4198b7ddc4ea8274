#include "bench/bench_window_support.h"

#include "sky/sky_session.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTimer>

#include <cmath>

void ensureApplication() {
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "orbitrak-bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
}

CatalogueFolder::CatalogueFolder(const QByteArray& catalogue) {
    previous = QDir::currentPath();
    QDir::setCurrent(folder.path());
    QFile file("satell.txt");
    file.open(QIODevice::WriteOnly);
    file.write(catalogue);
}

CatalogueFolder::~CatalogueFolder() {
    QDir::setCurrent(previous);
}

BenchWindow::BenchWindow(const QByteArray& catalogue, const TimeScales& scales)
    : folder((ensureApplication(), catalogue)) {
    window = std::make_unique<MainWindow>(scales);
    // The window's one timer is its refresh tick.
    refresh = window->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    refresh->stop();
    window->show();
    table = window->findChild<QTableView*>("satelliteTableView");
    session = window->findChild<SkySession*>();
    table->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
    QApplication::processEvents();
    table->viewport()->installEventFilter(&painted);
}

BenchWindow::~BenchWindow() {
    window.reset();
}

void BenchWindow::tick() {
    QMetaObject::invokeMethod(refresh, "timeout");
    QApplication::processEvents();
}

bool BenchWindow::complete() const {
    for (const LiveRow& row : session->rows()) {
        if (std::isnan(row.distanceKm))
            return false;
    }
    return true;
}

int BenchWindow::pending() const {
    int count = 0;
    for (const LiveRow& row : session->rows())
        count += std::isnan(row.distanceKm) ? 1 : 0;
    return count;
}

bool BenchWindow::PaintCounter::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Paint)
        ++paints;
    return false;
}
