#pragma once

#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue_entry.h"
#include "orbit/element_lines.h"
#include "orbit/sgp4.h"
#include "tests/common/test_sets.h"

#include <QByteArray>
#include <QList>

#include <cmath>
#include <cstdio>
#include <string>

// The point on the ground straight below a satellite at a working Julian date, by the program's
// own orbit model: a site placed there has the satellite near its zenith (within the few tenths
// of a degree between geocentric and geodetic latitude).
// (sky/ground_track.h has the exact geodetic sub-point; these tests only need a zenith near.)
struct SpotBelow {
    double latitudeDeg = 0.0;
    double eastLongitudeDeg = 0.0; // (-180, 180]
};

inline SpotBelow groundPoint(CatalogueEntry& satellite, double jd,
                             const TimeScales& scales = TimeScales()) {
    constexpr double degreesPerRadian = 57.29577951308232;
    constexpr double pi = 3.141592653589793;
    const double ut1 = scales.ut1FromJd(jd);
    propagateSatellite(satellite, scales.utcFromJd(jd));
    const double x = satellite.position[0];
    const double y = satellite.position[1];
    const double z = satellite.position[2];
    double longitude = std::atan2(y, x) - gmstFromJd(ut1);
    longitude = std::remainder(longitude, 2.0 * pi);
    return {std::atan2(z, std::hypot(x, y)) * degreesPerRadian, longitude * degreesPerRadian};
}

// One three-line set of the real catalogue as it stands in the file, line feeds included, and as
// the reader initialised it.
struct ThreeLines {
    QByteArray name;
    QByteArray line1;
    QByteArray line2;
    CatalogueEntry satellite;
    QByteArray text() const { return name + line1 + line2; }
};

// The sets of the real catalogue whose name line starts with the given text.
inline QList<ThreeLines> setsNamed(const std::string& prefix) {
    QList<ThreeLines> sets;
    for (const CatalogueEntry& s : activeCatalogue().satellites)
        if (s.nameLine.compare(0, prefix.size(), prefix) == 0)
            sets.append({QByteArray::fromStdString(s.nameLine), QByteArray::fromStdString(s.line1),
                         QByteArray::fromStdString(s.line2), s});
    return sets;
}

// An element line (line feed included) with text put in from a column (from 1), its check digit
// made right again.
inline QByteArray withColumns(const QByteArray& line, int column, const QByteArray& text) {
    QByteArray result = line.left(68);
    result.replace(column - 1, text.size(), text);
    result = result.left(68);
    return result + QByteArray::number(elementLineCheckDigit(result.toStdString())) + '\n';
}

// A set moved to another epoch (a UTC Julian date, to 1e-8 day) and turned about the Earth's
// axis by `turnDeg` (added to its node's right ascension), initialised again as the reader does.
// The orbit keeps its shape, so a test that runs at the present instant can have a set of that
// instant rather than one that ages with the catalogue.
inline ThreeLines movedSet(const ThreeLines& set, double utcJd, double turnDeg = 0.0) {
    const int year = jdToCalendar(nullptr, utcJd).year;
    const double day = utcJd - calendarToJd(nullptr, makeCalendar(year, 1, 1)) + 1.0;
    char epoch[32];
    std::snprintf(epoch, sizeof epoch, "%02d%012.8f", year % 100, day);
    char node[32];
    const double turned = std::fmod(set.line2.mid(17, 8).trimmed().toDouble() + turnDeg, 360.0);
    std::snprintf(node, sizeof node, "%8.4f", turned < 0.0 ? turned + 360.0 : turned);
    ThreeLines moved{
        set.name, withColumns(set.line1, 19, epoch), withColumns(set.line2, 18, node), {}};
    moved.satellite.nameLine = moved.name.toStdString();
    moved.satellite.line1 = moved.line1.toStdString();
    moved.satellite.line2 = moved.line2.toStdString();
    fillCatalogueEntry(moved.satellite, moved.satellite.nameLine, moved.satellite.line1,
                       moved.satellite.line2);
    return moved;
}

// A set moved to the instant of a working Julian date and turned so that it then stands over a
// longitude (east positive), at whatever latitude its orbit gives.
inline ThreeLines setOverLongitude(const ThreeLines& set, double jd, double eastLongitudeDeg,
                                   const TimeScales& scales = TimeScales()) {
    ThreeLines moved = movedSet(set, scales.utcFromJd(jd));
    // A second turn takes up what the first left (the Moon's and the Sun's terms).
    for (int turn = 0; turn < 2; ++turn) {
        const SpotBelow below = groundPoint(moved.satellite, jd, scales);
        moved = movedSet(moved, scales.utcFromJd(jd),
                         std::remainder(eastLongitudeDeg - below.eastLongitudeDeg, 360.0));
    }
    return moved;
}
