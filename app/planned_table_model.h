#pragma once

#include "astro/calendar.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

class TimeScales;

// What the pass and the transit tables share: fixed columns with titles, the name first (left,
// the rest centred), each row's satellite under SatelliteRole and each cell's raw value (text,
// Julian date or number) under SortRole. Read-only.
class PlannedTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Role {
        SortRole = Qt::UserRole,
        SatelliteRole = Qt::UserRole + 1, // the satellite's row in the session's catalogue
    };

    // The bounds checked here, not through rowCount and columnCount: sorting a week's passes
    // asks for millions of indexes.
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

protected:
    // The titles are translated in the context of the derived class (QT_TRANSLATE_NOOP).
    PlannedTableModel(const TimeScales& scales, std::vector<const char*> titles,
                      QObject* parent = nullptr);

    virtual std::size_t rows() const = 0;
    virtual std::size_t satelliteOf(std::size_t row) const = 0;
    // A cell's value for a role other than alignment and satellite; the row exists.
    virtual QVariant cell(std::size_t row, int column, int role) const = 0;

    // The working date in UTC to the nearest unit the format shows: a second or a millisecond.
    QString utcText(double jd, CalendarFormat format) const;
    // One decimal, empty where unknown; the unknown sort last.
    static QVariant magnitudeCell(const std::optional<double>& magnitude, int role);

private:
    const TimeScales& scales;
    const std::vector<const char*> titles;
};
