#include "bench/bench_window_support.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QTimer>

void ensure_application() {
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

BenchWindow::BenchWindow(const QByteArray& catalogue) : folder((ensure_application(), catalogue)) {
    window = std::make_unique<MainWindow>();
    for (QTimer* timer : window->findChildren<QTimer*>())
        timer->stop();
    window->show();
    table = window->findChild<QTableView*>("tableView");
    table->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
    QApplication::processEvents();
    table->viewport()->installEventFilter(&painted);
}

BenchWindow::~BenchWindow() {
    window.reset();
}

void BenchWindow::tick() {
    QMetaObject::invokeMethod(window.get(), "invalidateComputation");
    QApplication::processEvents();
}

bool BenchWindow::PaintCounter::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Paint)
        ++paints;
    return false;
}
