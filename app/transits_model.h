#pragma once

#include "planning/planned.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

// The coming crossings of the Sun and the Moon, one row per closest approach. Read-only.
class TransitsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        Name = 0,
        Body,
        Time,
        Separation,
        BodyRadius,
        Duration,
        Altitude,
        Azimuth,
        Distance,
        CentreLine,
        CentreLineAzimuth,
        Magnitude,
        ColumnCount
    };
    enum Role {
        SortRole = Qt::UserRole, // the raw value: text, Julian date or number
        SatelliteRole = Qt::UserRole + 1,
    };

    explicit TransitsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void setTransits(std::vector<PlannedTransit> transits);
    const PlannedTransit& transit(int row) const { return transits[std::size_t(row)]; }

private:
    std::vector<PlannedTransit> transits;
};
