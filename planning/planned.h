#pragma once

#include "planning/passes.h"
#include "planning/transits.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

// One row of the pass table: a pass with what the table shows of it, made ready off the GUI
// thread.
struct PlannedPass {
    std::size_t satellite = 0; // the satellite's row in the live table's catalogue
    QString name;              // its display name
    SatellitePass pass;
    // UTC, "YYYY-MM-DD hh:mm:ss"; empty without a rise or a set.
    QString rise;
    QString culmination;
    QString set;
    std::vector<PassPoint> track;    // for the sky plot
    std::optional<double> magnitude; // at culmination; none unknown or in the Earth's shadow
};

// One row of the transit table, made ready off the GUI thread.
struct PlannedTransit {
    std::size_t satellite = 0; // the satellite's row in the live table's catalogue
    QString name;              // its display name
    QString time;              // UTC, "YYYY-MM-DD hh:mm:ss.zzz"
    Transit transit;
    std::vector<PassPoint> path; // the satellite's, around the closest approach, for the sky plot
    // At the closest approach, before the Moon; none unknown, in the Earth's shadow or before
    // the Sun (a silhouette).
    std::optional<double> magnitude;
};
