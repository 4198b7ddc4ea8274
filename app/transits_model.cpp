#include "app/transits_model.h"

#include "app/numeric_sort_proxy_model.h"

TransitsModel::TransitsModel(QObject* parent) : QAbstractTableModel(parent) {}

int TransitsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(transits.size());
}

int TransitsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TransitsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || std::size_t(index.row()) >= transits.size())
        return QVariant();
    const PlannedTransit& p = transits[std::size_t(index.row())];
    const Transit& t = p.transit;
    const bool sun = t.body == TransitBody::Sun;
    const auto number = [&](double value) -> QVariant {
        if (role == SortRole)
            return value;
        return cellNumber(value, index.column() <= Duration ? 1 : 3);
    };
    switch (role) {
    case Qt::DisplayRole:
    case SortRole:
        switch (index.column()) {
        case Name:
            return p.name;
        case Body:
            return sun ? tr("Sun") : tr("Moon");
        case Time:
            return role == SortRole ? QVariant(t.jd) : QVariant(p.time);
        case Separation:
            return number(t.separationArcsec);
        case BodyRadius:
            return number(t.bodyRadiusArcsec);
        case Duration:
            return role == SortRole ? QVariant(t.durationS) : QVariant(cellNumber(t.durationS, 3));
        case Altitude:
            return number(t.altitudeDeg);
        case Azimuth:
            return number(t.azimuthDeg);
        case Distance:
            return number(t.distanceKm);
        case CentreLine:
            return number(t.centreLineKm);
        case CentreLineAzimuth:
            return number(t.centreLineAzimuthDeg);
        case Magnitude: // the unknown last
            if (role == SortRole)
                return p.magnitude ? *p.magnitude : 1e9;
            return p.magnitude ? cellNumber(*p.magnitude, 1) : QString();
        }
        return QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == Name ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                      : int(Qt::AlignCenter);
    case SatelliteRole:
        return qulonglong(p.satellite);
    default:
        return QVariant();
    }
}

QVariant TransitsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const titles[ColumnCount] = {QT_TR_NOOP("Name"),
                                                    QT_TR_NOOP("Body"),
                                                    QT_TR_NOOP("Time (UTC)"),
                                                    QT_TR_NOOP("Separation (\")"),
                                                    QT_TR_NOOP("Body radius (\")"),
                                                    QT_TR_NOOP("Duration (s)"),
                                                    QT_TR_NOOP("Altitude (deg)"),
                                                    QT_TR_NOOP("Azimuth (deg)"),
                                                    QT_TR_NOOP("Distance (km)"),
                                                    QT_TR_NOOP("Centre line (km)"),
                                                    QT_TR_NOOP("Centre line azimuth (deg)"),
                                                    QT_TR_NOOP("Mag")};
    if (section < 0 || section >= ColumnCount)
        return QVariant();
    return tr(titles[section]);
}

void TransitsModel::setTransits(std::vector<PlannedTransit> newTransits) {
    beginResetModel();
    transits = std::move(newTransits);
    endResetModel();
}
