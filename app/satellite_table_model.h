#pragma once

#include "sky/sky_session.h"

#include <QAbstractTableModel>

#include <vector>

// The live satellite table: one row per set of the session's catalogue, with the set's live
// values, read-only. A new catalogue resets the model; new rows change every cell. Rows are
// coloured by altitude, except that an Age cell turns amber after 3 days and red after 10. A cell
// without a value is empty; a row whose elements give no position says so in its tooltip.
class SatelliteTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name = 0, Altitude, Azimuth, Distance, Speed, Age, Sunlit, ColumnCount };
    // The raw value a column sorts by.
    enum Role {
        SortRole = Qt::UserRole,
    };

    explicit SatelliteTableModel(const SkySession& session, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // New values for every row: one change notification for every cell and every role.
    void rowsChanged();

    const SkySession& session;
};
