#include "app/planned_table_model.h"

#include "app/numeric_sort_proxy_model.h"
#include "astro/time_scales.h"

#include <QCoreApplication>

PlannedTableModel::PlannedTableModel(const TimeScales& scales, std::vector<const char*> titles,
                                     QObject* parent)
    : QAbstractTableModel(parent), scales(scales), titles(std::move(titles)) {}

QModelIndex PlannedTableModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || std::size_t(row) >= rows() ||
        std::size_t(column) >= titles.size())
        return QModelIndex();
    return createIndex(row, column);
}

int PlannedTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows());
}

int PlannedTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(titles.size());
}

QVariant PlannedTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || std::size_t(index.row()) >= rows())
        return QVariant();
    switch (role) {
    case Qt::TextAlignmentRole:
        return index.column() == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    case SatelliteRole:
        return qulonglong(satelliteOf(std::size_t(index.row())));
    default:
        return cell(std::size_t(index.row()), index.column(), role);
    }
}

QVariant PlannedTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        std::size_t(section) >= titles.size())
        return QVariant();
    return QCoreApplication::translate(metaObject()->className(), titles[std::size_t(section)]);
}

QString PlannedTableModel::utcText(double jd, CalendarFormat format) const {
    const double halfSecond = 0.5 / kSecondsPerDay;
    const double half = format == CalendarFormat::Seconds ? halfSecond : halfSecond / 1000.0;
    return QString::fromStdString(formatCalendar(scales.utcCalendarFromJd(jd + half), format));
}

QVariant PlannedTableModel::magnitudeCell(const std::optional<double>& magnitude, int role) {
    if (role == SortRole)
        return magnitude ? *magnitude : 1e9;
    return magnitude ? cellNumber(*magnitude, 1) : QString();
}
