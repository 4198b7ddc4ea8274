#include "app/log_model.h"

#include <QBrush>
#include <QCoreApplication>
#include <QDateTime>

Log_Model::Log_Model(QObject* parent) : QAbstractTableModel(parent) {}

QColor Log_Model::colourFor(LogLevel level) {
    switch (level) {
    case LogLevel::Info:
        return QColor(0, 0, 0);
    case LogLevel::Success:
        return QColor(0, 204, 0);
    case LogLevel::Warning:
        return QColor(153, 102, 0);
    case LogLevel::Error:
        return QColor(204, 0, 0);
    }
    return QColor();
}

void Log_Model::addEntry(const QString& text, LogLevel level) {
    const int row = entries.size();
    beginInsertRows(QModelIndex(), row, row);
    entries.append(
        LogEntry{QDateTime::currentDateTime().toString("hh:mm:ss.zzz"), text, colourFor(level)});
    endInsertRows();
}

int Log_Model::rowCount(const QModelIndex&) const {
    return entries.size();
}

int Log_Model::columnCount(const QModelIndex&) const {
    return 2;
}

QVariant Log_Model::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= entries.size())
        return QVariant();
    const LogEntry& entry = entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0)
            return entry.time;
        if (index.column() == 1)
            return entry.event;
        return QVariant();
    case Qt::ForegroundRole:
        return QBrush(entry.colour);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant Log_Model::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1; // the row numbers beside the log, counted from 1
    if (section == 0)
        return QCoreApplication::translate("Log_Model", "Time");
    if (section == 1)
        return QCoreApplication::translate("Log_Model", "Event");
    return QVariant();
}
