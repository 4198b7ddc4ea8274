#pragma once

#include <QAbstractTableModel>

// The live satellite table: one row per entry of satellite_list, its values from liveRows.
// Holds no data of its own; the main window recomputes the rows and calls
// refreshSatelliteTable once per tick.
class TLE_Satellite_Model : public QAbstractTableModel {
public:
    enum Column { Name = 0, Altitude, Azimuth, Distance, Speed, ColumnCount };
    // The raw value a column sorts by, and the three stored lines of the entry.
    enum Role {
        SortRole = Qt::UserRole,
        NameLineRole = Qt::UserRole + 1,
        Line1Role = Qt::UserRole + 2,
        Line2Role = Qt::UserRole + 3,
    };

    explicit TLE_Satellite_Model(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // One change notification for every cell and every role.
    void refreshSatelliteTable();

    // The catalogue reload brackets the whole file read with these.
    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::endResetModel;
};
