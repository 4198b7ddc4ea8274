#pragma once

#include "app/planned_table_model.h"
#include "planning/planned.h"

#include <cstddef>
#include <vector>

// The coming crossings of the Sun and the Moon, one row per closest approach.
class TransitsModel : public PlannedTableModel {
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

    // Times in UTC as the scales give them.
    explicit TransitsModel(const TimeScales& scales, QObject* parent = nullptr);

    void setTransits(std::vector<PlannedTransit> transits);
    const PlannedTransit& transit(int row) const { return transits[std::size_t(row)]; }

protected:
    std::size_t rows() const override { return transits.size(); }
    std::size_t satelliteOf(std::size_t row) const override { return transits[row].satellite; }
    QVariant cell(std::size_t row, int column, int role) const override;

private:
    std::vector<PlannedTransit> transits;
};
