// One refresh tick of the real window, offscreen: 500 satellites recomputed, the single change
// notification through the proxy with a sort on Altitude, and the view repainted.
#include "bench/bench_data.h"

#include "app/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "orbitrak-bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

// A window in a scratch folder whose satell.txt holds the given catalogue text.
struct BenchWindow {
    explicit BenchWindow(const QByteArray& catalogue) {
        application();
        previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        QFile file("satell.txt");
        file.open(QIODevice::WriteOnly);
        file.write(catalogue);
        file.close();
        window = std::make_unique<MainWindow>();
        // Ticks are driven by the benchmark, not by the clock.
        for (QTimer* timer : window->findChildren<QTimer*>())
            timer->stop();
        window->show();
        QApplication::processEvents();
        table = window->findChild<QTableView*>("tableView");
        table->viewport()->installEventFilter(&painted);
    }
    ~BenchWindow() {
        window.reset();
        QDir::setCurrent(previous);
    }

    // The slot, then what the event loop does after it: the delayed relayout of the sorted
    // rows and the repaint of what changed.
    void tick() {
        QMetaObject::invokeMethod(window.get(), "invalidateComputation");
        QApplication::processEvents();
    }

    // Counts the table's repaints, to show that every tick paints.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    };

    QTemporaryDir folder;
    QString previous;
    std::unique_ptr<MainWindow> window;
    QTableView* table = nullptr;
    PaintCounter painted;
};

QByteArray firstSets(int sets) {
    QFile source(QString::fromStdString(bench_data_path("active-2026-03.txt")));
    source.open(QIODevice::ReadOnly);
    QByteArray text;
    for (int i = 0; i < 3 * sets && !source.atEnd(); ++i)
        text += source.readLine();
    return text;
}

void BM_Tick500(benchmark::State& state) {
    BenchWindow bench(firstSets(500));
    bench.table->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
    QApplication::processEvents();
    bench.painted.paints = 0;
    for (auto _ : state)
        bench.tick();
    state.counters["rows"] = bench.table->model()->rowCount();
    state.counters["paints_per_tick"] = double(bench.painted.paints) / double(state.iterations());
    state.counters["ms_per_tick"] = time_per_item(1.0);
}

} // namespace

BENCHMARK(BM_Tick500)->Unit(benchmark::kMillisecond)->Apply(add_min_statistic);
