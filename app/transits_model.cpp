#include "app/transits_model.h"

#include "app/numeric_sort_proxy_model.h"

TransitsModel::TransitsModel(const TimeScales& scales, QObject* parent)
    : PlannedTableModel(scales,
                        {QT_TRANSLATE_NOOP("TransitsModel", "Name"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Body"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Time (UTC)"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Separation (\")"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Body radius (\")"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Duration (s)"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Altitude (deg)"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Azimuth (deg)"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Distance (km)"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Centre line (km)"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Centre line azimuth (deg)"),
                         QT_TRANSLATE_NOOP("TransitsModel", "Mag")},
                        parent) {}

QVariant TransitsModel::cell(std::size_t row, int column, int role) const {
    if (role != Qt::DisplayRole && role != SortRole)
        return QVariant();
    const PlannedTransit& p = transits[row];
    const Transit& t = p.transit;
    const bool sort = role == SortRole;
    const auto number = [&](double value) -> QVariant {
        if (sort)
            return value;
        return cellNumber(value, column <= Duration ? 1 : 3);
    };
    switch (column) {
    case Name:
        return QString::fromStdString(p.name);
    case Body:
        return t.body == TransitBody::Sun ? tr("Sun") : tr("Moon");
    case Time:
        return sort ? QVariant(t.jd) : QVariant(utcText(t.jd, CalendarFormat::Clock));
    case Separation:
        return number(t.separationArcsec);
    case BodyRadius:
        return number(t.bodyRadiusArcsec);
    case Duration:
        return sort ? QVariant(t.durationS) : QVariant(cellNumber(t.durationS, 3));
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
    case Magnitude:
        return magnitudeCell(p.magnitude, role);
    }
    return QVariant();
}

void TransitsModel::setTransits(std::vector<PlannedTransit> newTransits) {
    beginResetModel();
    transits = std::move(newTransits);
    endResetModel();
}
