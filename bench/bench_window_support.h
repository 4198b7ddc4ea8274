#pragma once

// What the window benchmarks share: one offscreen application, a scratch folder holding the
// catalogue, and the real window over it with its ticks driven by the benchmark.

#include "app/main_window.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>

class QTimer;
class SkySession;
class TimeScales;

void ensureApplication();

// A scratch folder holding satell.txt; the working directory while it lives.
struct CatalogueFolder {
    explicit CatalogueFolder(const QByteArray& catalogue);
    ~CatalogueFolder();

    QTemporaryDir folder;
    QString previous;
};

// The window over a catalogue, shown offscreen and sorted on Altitude (descending), its refresh
// timer stopped so that only tick() recomputes.
struct BenchWindow {
    BenchWindow(const QByteArray& catalogue, const TimeScales& scales);
    ~BenchWindow();

    // The refresh timer's slot, then what the event loop does after it: the delayed relayout
    // of the sorted rows and the repaint of what changed.
    void tick();
    // Every row has its position (none is waiting for the warm-up pool).
    bool complete() const;
    // The rows still without a position.
    int pending() const;

    // Counts the table's repaints, to show that ticks paint.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject* watched, QEvent* event) override;
    };

    CatalogueFolder folder;
    std::unique_ptr<MainWindow> window;
    QTableView* table = nullptr;
    QTimer* refresh = nullptr;
    const SkySession* session = nullptr;
    PaintCounter painted;
};
