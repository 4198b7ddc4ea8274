#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/sky_computation.h"

#include <QAbstractTableModel>

#include <vector>

// The live satellite table: one row per set of its catalogue, with the set's live values. It
// owns both; the window hands it a new catalogue at a load and new rows at every tick. Rows are
// coloured by altitude, except that an Age cell turns amber after 3 days and red after 10.
class SatelliteTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name = 0, Altitude, Azimuth, Distance, Speed, Age, Sunlit, ColumnCount };
    // The raw value a column sorts by, and the three stored lines of the entry.
    enum Role {
        SortRole = Qt::UserRole,
        NameLineRole = Qt::UserRole + 1,
        Line1Role = Qt::UserRole + 2,
        Line2Role = Qt::UserRole + 3,
    };

    explicit SatelliteTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // A new catalogue and its first rows, as one model reset.
    void setCatalogue(Catalogue catalogue, std::vector<LiveRow> rows);
    // New values for every row: one change notification for every cell and every role.
    void setRows(std::vector<LiveRow> rows);

    // The sky computation propagates the sets in place.
    Catalogue& catalogue() { return sets; }
    const Catalogue& catalogue() const { return sets; }
    const std::vector<LiveRow>& rows() const { return live; }

private:
    Catalogue sets;
    std::vector<LiveRow> live;
};
