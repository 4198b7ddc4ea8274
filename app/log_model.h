#pragma once

#include "mount/metatypes.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <deque>
#include <functional>

// The running record of what happened, shown in the lower table of the window. It keeps the
// newest rows only, and an Error or Warning that repeats its text within a minute updates the
// row it repeats (" (repeated N times)", N counting every occurrence, and the time of the
// latest) instead of adding one: a mount that answers badly three times a second must not bury
// everything else.
class LogModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int maxEntries = 10000;
    static constexpr qint64 repeatWindowMs = 60 * 1000;
    using Clock = std::function<QDateTime()>;

    // clock: the local time of each entry (tests pass their own).
    explicit LogModel(QObject* parent = nullptr, Clock clock = {});

    void addEntry(const QString& text, LogLevel level);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    static QColor colourFor(LogLevel level);

private:
    struct Entry {
        QString time; // local wall-clock time "hh:mm:ss.zzz"
        QString event;
        QColor colour;
        QString text;    // as added, without the repeat count
        qint64 atMs = 0; // of the latest occurrence
        int occurrences = 1;
    };

    bool repeatLatest(const QString& key, const QDateTime& now);

    Clock clock;
    std::deque<Entry> entries;
    quint64 firstSerial = 0;                  // serial of entries.front()
    QHash<QString, quint64> lastSerialByText; // Errors and Warnings, by level and text
};
