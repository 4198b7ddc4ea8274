#include "app/log_model.h"

#include <QBrush>

LogModel::LogModel(QObject* parent, Clock clock)
    : QAbstractTableModel(parent),
      clock(clock ? std::move(clock) : [] { return QDateTime::currentDateTime(); }) {}

QColor LogModel::colourFor(LogLevel level) {
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

void LogModel::addEntry(const QString& text, LogLevel level) {
    const QDateTime now = clock();
    const bool coalesced = level == LogLevel::Warning || level == LogLevel::Error;
    const QString key = QString::number(int(level)) + QLatin1Char(' ') + text;
    if (coalesced && repeatLatest(key, now))
        return;

    const int row = int(entries.size());
    beginInsertRows(QModelIndex(), row, row);
    entries.push_back(Entry{now.toString(QStringLiteral("hh:mm:ss.zzz")), text, colourFor(level),
                            text, now.toMSecsSinceEpoch(), 1});
    endInsertRows();
    if (coalesced)
        lastSerialByText.insert(key, firstSerial + quint64(row));

    if (entries.size() > std::size_t(maxEntries)) {
        beginRemoveRows(QModelIndex(), 0, 0);
        entries.pop_front();
        ++firstSerial;
        endRemoveRows();
        // Forget the texts of dropped rows now and then, so that the index stays small.
        if (lastSerialByText.size() > maxEntries) {
            for (auto i = lastSerialByText.begin(); i != lastSerialByText.end();)
                i = *i < firstSerial ? lastSerialByText.erase(i) : std::next(i);
        }
    }
}

bool LogModel::repeatLatest(const QString& key, const QDateTime& now) {
    const auto found = lastSerialByText.constFind(key);
    if (found == lastSerialByText.cend())
        return false;
    if (*found < firstSerial) { // the row has been dropped
        lastSerialByText.erase(found);
        return false;
    }
    const int row = int(*found - firstSerial);
    Entry& entry = entries[std::size_t(row)];
    const qint64 at = now.toMSecsSinceEpoch();
    if (at - entry.atMs > repeatWindowMs)
        return false;
    ++entry.occurrences;
    entry.atMs = at;
    entry.time = now.toString(QStringLiteral("hh:mm:ss.zzz"));
    entry.event = tr("%1 (repeated %2 times)").arg(entry.text, QString::number(entry.occurrences));
    emit dataChanged(index(row, 0), index(row, 1));
    return true;
}

int LogModel::rowCount(const QModelIndex&) const {
    return int(entries.size());
}

int LogModel::columnCount(const QModelIndex&) const {
    return 2;
}

QVariant LogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return QVariant();
    const Entry& entry = entries[std::size_t(index.row())];
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

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1; // the row numbers beside the log, counted from 1
    if (section == 0)
        return tr("Time");
    if (section == 1)
        return tr("Event");
    return QVariant();
}
