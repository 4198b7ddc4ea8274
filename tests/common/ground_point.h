#pragma once

#include "astro/time_scales.h"
#include "catalogue/catalogue_entry.h"
#include "orbit/sgp4.h"
#include "tests/common/test_sets.h"

#include <QByteArray>
#include <QList>

#include <cmath>
#include <string>

// The point on the ground straight below a satellite at a working Julian date, by the program's
// own orbit model: a site placed there has the satellite near its zenith (within the few tenths
// of a degree between geocentric and geodetic latitude).
struct GroundPoint {
    double latitudeDeg = 0.0;
    double eastLongitudeDeg = 0.0; // (-180, 180]
};

inline GroundPoint groundPoint(CatalogueEntry& satellite, double jd,
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
