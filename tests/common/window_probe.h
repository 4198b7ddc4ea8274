#pragma once

#include "app/log_model.h"
#include "tests/common/scripted_mount.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QBrush>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// A window's log, oldest first: the event texts, or with `levels` as "Level: text" (see logLine),
// the level told by the colour the view shows.
inline QStringList windowLog(const QWidget* window, bool levels = true) {
    QStringList lines;
    const QAbstractItemModel* log =
        window->findChild<QTableView*>(QStringLiteral("logTableView"))->model();
    for (int row = 0; row < log->rowCount(); ++row) {
        const QModelIndex index = log->index(row, 1);
        const QColor colour = index.data(Qt::ForegroundRole).value<QBrush>().color();
        QString line = (levels ? QStringLiteral("?: ") : QString()) + index.data().toString();
        for (LogLevel level :
             {LogLevel::Info, LogLevel::Success, LogLevel::Warning, LogLevel::Error})
            if (levels && LogModel::colourFor(level) == colour)
                line = logLine(level, index.data().toString());
        lines << line;
    }
    return lines;
}

inline QStringList windowLogEvents(const QWidget* window) {
    return windowLog(window, false);
}

// Runs `act` on the next modal dialog of the given type as soon as it shows (a file dialog that
// is answered later may be busy reading its folder). It looks for ten seconds at most, and no
// longer than `scope` lives: a dialog that never shows leaves nothing waiting behind the test, and
// one of another kind is closed rather than left hanging.
template <typename Dialog>
void answerNextDialog(QObject* scope, const std::function<void(Dialog*)>& act,
                      QDeadlineTimer patience = QDeadlineTimer(10000)) {
    QTimer::singleShot(0, scope, [=] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()))
            act(dialog);
        else if (!patience.hasExpired())
            answerNextDialog(scope, act, patience);
        else if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
}
