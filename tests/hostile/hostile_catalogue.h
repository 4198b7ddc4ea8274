#pragma once

// Catalogues a user may really load, written as satell.txt text: lines of noise, element sets
// that make the orbit model fail in each of its ways, and deep-space resonant sets whose epochs
// lie decades away, so that the resonance integrator has decades of half-day steps to take.
// Shared by the tests and the benchmarks; plain C++ apart from the calendar of astro/ and the
// check digit of orbit/.

#include "astro/calendar.h"
#include "orbit/element_lines.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace hostile {

// One three-line group and the model's error code it is built to reach at its instant (-1: no
// particular code).
struct Group {
    std::string name;
    std::string line1;
    std::string line2;
    int code = -1;
};

inline std::string text(const std::vector<Group>& groups) {
    std::string out;
    for (const Group& g : groups)
        out += g.name + '\n' + g.line1 + '\n' + g.line2 + '\n';
    return out;
}

// The TLE epoch field "YYDDD.DDDDDDDD" of a UTC Julian date between 1957 and 2056.
inline std::string epochField(double jd) {
    const CalendarTime c = jdToCalendar(nullptr, jd);
    CalendarTime newYear;
    newYear.year = c.year;
    const double days = jd - calendarToJd(nullptr, newYear) + 1.0;
    char field[32];
    std::snprintf(field, sizeof field, "%02d%012.8f", int(c.year % 100), days);
    return field;
}

// Appends the check digit.
inline std::string withChecksum(std::string line) {
    line.resize(68, ' ');
    return line + char('0' + elementLineCheckDigit(line));
}

// Line 1 with the given epoch field, first derivative of mean motion (10 columns) and drag
// term (8 columns, assumed-decimal form).
inline std::string line1(int catalogue, const std::string& epoch, const char* ndot = " .00000000",
                         const char* bstar = " 00000-0") {
    char line[96];
    std::snprintf(line, sizeof line, "1 %05dU 26001A   %s %s  00000-0 %s 0  999", catalogue,
                  epoch.c_str(), ndot, bstar);
    return withChecksum(line);
}

// Line 2; eccentricity in units of 1e-7 (the field's assumed decimal point).
inline std::string line2(int catalogue, double inclination, double node, long eccentricity,
                         double perigee, double anomaly, double revsPerDay) {
    char line[96];
    std::snprintf(line, sizeof line, "2 %05d %8.4f %8.4f %07ld %8.4f %8.4f %11.8f    1", catalogue,
                  inclination, node, eccentricity, perigee, anomaly, revsPerDay);
    return withChecksum(line);
}

// Lines of printable ASCII of random length; about a third start like element lines, so that
// the parser gets past its first columns.
inline std::string printableNoise(unsigned seed, int lines) {
    std::mt19937 random(seed);
    auto below = [&random](unsigned n) {
        return unsigned(random() % n);
    };
    std::string out;
    for (int i = 0; i < lines; ++i) {
        std::string line = below(3) == 0 ? (below(2) == 0 ? "1 " : "2 ") : "";
        const unsigned length = below(4) == 0 ? below(300) : below(80);
        // Digits, blanks, signs and points most of the time, as element lines hold them.
        while (line.size() < length) {
            const unsigned pick = below(10);
            line += pick < 4   ? char('0' + below(10))
                    : pick < 6 ? " -+."[below(4)]
                               : char(0x20 + below(0x5f));
        }
        out += line + (below(8) == 0 ? "\r\n" : "\n");
    }
    return out;
}

// Element sets that make the model fail at the UTC Julian date jd, one per code: drag that
// drives the mean eccentricity to 1 (1), mean motion 0 (2), a deep-space orbit whose perturbed
// eccentricity leaves [0, 1] (3), eccentricity 0.99999 (4), an orbit inside the Earth (6).
inline std::vector<Group> failingSets(double jd) {
    const std::string epoch = epochField(jd);
    const std::string earlier = epochField(jd - 10.0 / 1440.0);
    return {
        {"HEAVY DRAG", line1(90001, earlier, " .99999999", " 50000-0"),
         line2(90001, 51.6, 10.0, 1000, 30.0, 40.0, 16.5), 1},
        {"MEAN MOTION ZERO", line1(90002, epoch), line2(90002, 51.6, 10.0, 1000, 30.0, 40.0, 0.0),
         2},
        {"PERTURBED ECCENTRICITY", line1(90003, epoch, " .00000620", " 10000-3"),
         line2(90003, 68.4714, 236.1303, 5602877, 123.7484, 302.5767, 0.0001), 3},
        {"ECCENTRICITY 0.99999", line1(90004, epoch),
         line2(90004, 51.6, 10.0, 9999900, 30.0, 40.0, 15.0), 4},
        {"DECAYED", line1(90005, epoch), line2(90005, 51.6, 10.0, 1000, 30.0, 40.0, 17.5), 6},
    };
}

// A half-day resonant orbit (twelve-hour period, eccentricity 0.6, no drag), the costliest
// kind for the resonance integrator: ten sines and cosines per 720-minute step from the epoch.
// At an inclination of 5 degrees the lunar-solar drift keeps it a valid orbit for a century,
// so positions stay numbers. index varies the node and the mean anomaly, so that no two sets
// are alike.
inline Group resonantSet(int index, double epochJd) {
    const int catalogue = 80000 + index % 10000;
    const double node = std::fmod(279.0717 + 0.7 * index, 360.0);
    const double anomaly = std::fmod(20.2257 + 7.3 * index, 360.0);
    return {"RESONANT " + std::to_string(index), line1(catalogue, epochField(epochJd)),
            line2(catalogue, 5.0, node, 6000000, 270.0, anomaly, 2.00491383)};
}

// The farthest past epoch that two-digit years allow: 1957 January 1.
inline double earliestEpoch() {
    return calendarToJd(nullptr, CalendarTime{1957, 1, 1});
}

// count resonant sets with the given epoch.
inline std::vector<Group> resonantSets(int count, double epochJd) {
    std::vector<Group> groups;
    for (int i = 0; i < count; ++i)
        groups.push_back(resonantSet(i, epochJd));
    return groups;
}

} // namespace hostile
