#include "app/satellite_table_model.h"

#include "app/numeric_sort_proxy_model.h"
#include "astro/time_scales.h"

#include <QBrush>

namespace {

// Built once: the view asks for a colour for every visible cell on every repaint.
// Behind the site's horizon mask counts as below the horizon.
const QBrush& altitudeBrush(double altitudeDeg, double horizonDeg) {
    static const QBrush above(QColor(0, 204, 0));
    static const QBrush low(QColor(0, 0, 0));
    static const QBrush below(QColor(153, 0, 0));
    if (!(altitudeDeg > horizonDeg))
        return below; // also NaN
    if (altitudeDeg > 20.0)
        return above;
    return low;
}

// Element sets drift: after a few days positions are off by kilometres, after ten by far more.
const QBrush* ageBrush(double ageDays) {
    static const QBrush stale(QColor(230, 140, 0));
    static const QBrush old(QColor(204, 0, 0));
    if (ageDays > 10.0)
        return &old;
    if (ageDays > kOldElementSetDays)
        return &stale;
    return nullptr;
}

double columnValue(const LiveRow& row, int column) {
    switch (column) {
    case SatelliteTableModel::Age:
        return row.ageDays;
    case SatelliteTableModel::Sunlit:
        return double(row.sunlight);
    case SatelliteTableModel::Altitude:
        return row.altitudeDeg;
    case SatelliteTableModel::Azimuth:
        return row.azimuthDeg;
    case SatelliteTableModel::Distance:
        return row.distanceKm;
    default:
        return row.speedDegPerSec;
    }
}

int columnDecimals(int column) {
    switch (column) {
    case SatelliteTableModel::Distance:
        return 0;
    case SatelliteTableModel::Speed:
        return 2;
    default:
        return 1;
    }
}

} // namespace

SatelliteTableModel::SatelliteTableModel(const SkySession& session, QObject* parent)
    : QAbstractTableModel(parent), session(session) {
    connect(&session, &SkySession::catalogueChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&session, &SkySession::rowsChanged, this, &SatelliteTableModel::rowsChanged);
}

int SatelliteTableModel::rowCount(const QModelIndex&) const {
    return int(session.catalogue().size());
}

int SatelliteTableModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

QVariant SatelliteTableModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    const int column = index.column();
    const Catalogue& sets = session.catalogue();
    const std::vector<LiveRow>& live = session.rows();
    if (!index.isValid() || row < 0 || std::size_t(row) >= sets.size() ||
        std::size_t(row) >= live.size())
        return QVariant();
    const CatalogueEntry& satellite = sets[std::size_t(row)];
    const LiveRow& values = live[std::size_t(row)];

    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case SortRole:
        if (column == Name)
            return QString::fromUtf8(satellite.displayName);
        if (column < 0 || column >= ColumnCount)
            return QVariant();
        if (role == SortRole)
            return columnValue(values, column);
        if (column == Sunlit) {
            if (values.sunlight == Sunlight::Unknown)
                return QString();
            return values.sunlight == Sunlight::Sunlit ? tr("yes") : tr("no");
        }
        return cellNumber(columnValue(values, column), columnDecimals(column));
    case Qt::TextAlignmentRole:
        return column == Name ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    case Qt::ForegroundRole:
        if (column == Age)
            if (const QBrush* brush = ageBrush(values.ageDays))
                return *brush;
        return altitudeBrush(
            values.altitudeDeg,
            session.horizon().isFlat() ? 0.0 : session.horizon().altitudeAt(values.azimuthDeg));
    case Qt::ToolTipRole:
        if (values.invalidElements)
            return tr("Decayed or invalid elements.");
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant SatelliteTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const titles[ColumnCount] = {
        QT_TR_NOOP("Name"),          QT_TR_NOOP("Altitude (deg)"), QT_TR_NOOP("Azimuth (deg)"),
        QT_TR_NOOP("Distance (km)"), QT_TR_NOOP("Speed (deg/s)"),  QT_TR_NOOP("Age (d)"),
        QT_TR_NOOP("Sunlit")};
    if (section < 0 || section >= ColumnCount)
        return QVariant();
    return tr(titles[section]);
}

void SatelliteTableModel::rowsChanged() {
    if (session.catalogue().empty())
        return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {});
}
