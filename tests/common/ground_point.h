#pragma once

#include "astro/time_scales.h"
#include "catalogue/tle_satellite.h"
#include "orbit/sgp4.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cmath>
#include <vector>

// The point on the ground straight below a satellite at a working Julian date, by the program's
// own orbit model: a site placed there has the satellite near its zenith (within the few tenths
// of a degree between geocentric and geodetic latitude).
struct GroundPoint {
    double latitudeDeg = 0.0;
    double eastLongitudeDeg = 0.0; // (-180, 180]
};

inline GroundPoint groundPoint(TLE_Satellite& satellite, double jd,
                               const TimeScales& scales = TimeScales()) {
    constexpr double degreesPerRadian = 57.29577951308232;
    constexpr double pi = 3.141592653589793;
    const double ut1 = scales.ut1_from_jd(jd);
    propagate_satellite(satellite, scales.utc_from_jd(jd));
    const double x = satellite.position[0];
    const double y = satellite.position[1];
    const double z = satellite.position[2];
    double longitude = std::atan2(y, x) - gmst_from_jd(ut1);
    longitude = std::remainder(longitude, 2.0 * pi);
    return {std::atan2(z, std::hypot(x, y)) * degreesPerRadian, longitude * degreesPerRadian};
}

// One three-line set as it stands in a file, line feeds included.
struct ThreeLines {
    QByteArray name;
    QByteArray line1;
    QByteArray line2;
    QByteArray text() const { return name + line1 + line2; }
};

// The sets of a catalogue file whose name line starts with the given text.
inline QList<ThreeLines> setsNamed(const QString& path, const QByteArray& prefix) {
    QFile file(path);
    QList<ThreeLines> sets;
    if (!file.open(QIODevice::ReadOnly))
        return sets;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 0; i + 2 < lines.size(); i += 3) {
        if (lines[i].startsWith(prefix))
            sets.append({lines[i] + '\n', lines[i + 1] + '\n', lines[i + 2] + '\n'});
    }
    return sets;
}

// The catalogue entry of a set, initialised as the window would.
inline TLE_Satellite satelliteOf(const ThreeLines& set) {
    TLE_Satellite entry;
    std::vector<char> line1(set.line1.begin(), set.line1.end());
    std::vector<char> line2(set.line2.begin(), set.line2.end());
    line1.push_back('\0');
    line2.push_back('\0');
    entry.name_line = set.name.toStdString();
    entry.line1 = set.line1.toStdString();
    entry.line2 = set.line2.toStdString();
    fill_TLE_Satellite(entry, set.name.constData(), line1.data(), line2.data());
    return entry;
}
