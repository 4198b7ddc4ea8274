#pragma once

#include "mount/log_level.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <QVector>

struct LogEntry {
    QString time; // local wall-clock time "hh:mm:ss.zzz"
    QString event;
    QColor colour;
};

// The running record of what happened, shown in the lower table of the window.
// Entries are only ever appended; the list lives in memory for the whole run.
class Log_Model : public QAbstractTableModel {
public:
    explicit Log_Model(QObject* parent = nullptr);

    void addEntry(const QString& text, LogLevel level);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    static QColor colourFor(LogLevel level);

private:
    QVector<LogEntry> entries;
};
