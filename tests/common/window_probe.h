#pragma once

#include <QAbstractItemModel>
#include <QStringList>
#include <QTableView>
#include <QTest>
#include <QWidget>

// Runs a helper that may fail a check, and stops the test function if it did.
#define STEP(call)                                                                                 \
    do {                                                                                           \
        call;                                                                                      \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

// The event texts of a window's log, oldest first.
inline QStringList windowLogEvents(const QWidget* window) {
    QStringList lines;
    const QAbstractItemModel* log =
        window->findChild<QTableView*>(QStringLiteral("tableViewLog"))->model();
    for (int row = 0; row < log->rowCount(); ++row)
        lines << log->data(log->index(row, 1)).toString();
    return lines;
}
