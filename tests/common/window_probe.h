#pragma once

#include "app/log_model.h"
#include "tests/common/scripted_mount.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QStringList>
#include <QTableView>
#include <QTest>
#include <QWidget>

// The event texts of a window's log, oldest first.
inline QStringList windowLogEvents(const QWidget* window) {
    QStringList lines;
    const QAbstractItemModel* log =
        window->findChild<QTableView*>(QStringLiteral("tableViewLog"))->model();
    for (int row = 0; row < log->rowCount(); ++row)
        lines << log->data(log->index(row, 1)).toString();
    return lines;
}

// The same as "Level: text" (see logLine), the level told by the colour the view shows.
inline QStringList windowLog(const QWidget* window) {
    QStringList lines;
    const QAbstractItemModel* log =
        window->findChild<QTableView*>(QStringLiteral("tableViewLog"))->model();
    for (int row = 0; row < log->rowCount(); ++row) {
        const QModelIndex index = log->index(row, 1);
        const QColor colour = index.data(Qt::ForegroundRole).value<QBrush>().color();
        QString line = QStringLiteral("?: ") + index.data().toString();
        for (LogLevel level :
             {LogLevel::Info, LogLevel::Success, LogLevel::Warning, LogLevel::Error})
            if (Log_Model::colourFor(level) == colour)
                line = logLine(level, index.data().toString());
        lines << line;
    }
    return lines;
}
