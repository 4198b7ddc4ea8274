#pragma once

// Small hand-made time tables for the astro tests.

#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "astro/utc_table.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <vector>

inline LeapRecord leap(int year, int month, int day, double offset, float ref_mjd = 41317.0f,
                       float rate = 0.0f) {
    LeapRecord r;
    r.year = year;
    r.month = static_cast<std::uint16_t>(month);
    r.day = static_cast<std::uint16_t>(day);
    r.offset = offset;
    r.ref_mjd = ref_mjd;
    r.rate = rate;
    return r;
}

// Decimal year of a calendar date at 00:00 (proleptic Gregorian).
inline double year_of(const CalendarTime& c) {
    return decimal_year(calendar_to_jd(nullptr, c));
}

// Four steps (one drifting, three whole-second ones), realistic Delta T points every five
// years from 1950 to 2020, constant after the last one, issued on the day of the last point.
// UT1 - UTC stays within 0.9 s after 2017, so no extrapolation is predicted.
inline UtcTable fixture_table() {
    static const double delta_t[15] = {29.15, 31.07, 33.15, 35.73, 40.18, 45.48, 50.54, 54.34,
                                       56.86, 60.78, 63.83, 64.69, 66.07, 67.64, 69.36};
    UtcTable t;
    t.leaps = {leap(1968, 2, 1, 4.2131700, 39126.0f, 0.002592f), leap(1972, 1, 1, 10.0),
               leap(2015, 7, 1, 36.0), leap(2017, 1, 1, 37.0)};
    for (int i = 0; i < 15; ++i) {
        DeltaTPoint p;
        p.year = static_cast<float>(year_of(make_calendar(1950 + 5 * i, 1, 1)));
        p.delta_t = static_cast<float>(delta_t[i]);
        t.points.push_back(p);
    }
    t.table_date = make_calendar(2020, 1, 1);
    t.c = t.points.back().delta_t;
    return t;
}

inline bool write_bytes(const QString& path, const std::vector<unsigned char>& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 n = static_cast<qint64>(bytes.size());
    return f.write(reinterpret_cast<const char*>(bytes.data()), n) == n;
}

inline QByteArray describe(const CalendarTime& c) {
    return QByteArray::fromStdString(format_calendar(c));
}
