#pragma once

// One element set as an Orbit Mean-Elements Message gives it: the values CelesTrak publishes
// for each object, in their units, at the precision they were read. Every reader of element
// sets (TLE lines, JSON, CSV, XML, KVN) makes these and the TLE writer takes them. Plain C++.

#include "astro/text_numbers.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

struct MeanElements {
    std::string objectName;  // OBJECT_NAME
    std::string objectId;    // OBJECT_ID, "1998-067A"; may be empty
    int epochYear = 2000;    // EPOCH, UTC: the year
    double epochDay = 1.0;   // and the day of that year with fraction, 1.0 = January 1 0h
    double meanMotion = 0.0; // MEAN_MOTION, rev/day
    double eccentricity = 0.0;
    double inclination = 0.0;     // degrees
    double raOfAscNode = 0.0;     // degrees
    double argOfPericenter = 0.0; // degrees
    double meanAnomaly = 0.0;     // degrees
    int ephemerisType = 0;
    char classificationType = 'U';
    long noradCatId = 0;
    long elementSetNo = 0;
    long revAtEpoch = 0;
    double bstar = 0.0;          // 1/Earth radii
    double meanMotionDot = 0.0;  // rev/day^2, the first derivative over 2 as a TLE holds it
    double meanMotionDdot = 0.0; // rev/day^3, the second derivative over 6
};

// Catalogue numbers an element set may carry.
constexpr long kMaxNoradCatId = 999999999;

// Whether every value lies in its range: a number from 1 to kMaxNoradCatId, eccentricity in
// [0, 1), inclination 0-180 and the other angles 0-360 degrees, a positive mean motion below
// 100 rev/day, the first derivative below 1 and the second and BSTAR below 1e5 in size, an epoch
// year from 1957 to 2056 (those a TLE can name) with a day inside it, the small counters within
// their columns.
bool meanElementsInRange(const MeanElements& elements);

// An ISO 8601 UTC instant, "2026-03-19T06:00:50.156064" (any fraction of a second, a final Z
// allowed), as year and day of the year with fraction. Empty when it is not one.
std::optional<std::pair<int, double>> readIsoEpoch(std::string_view text);

// The epoch as CelesTrak writes it: ISO 8601 with microseconds and no zone letter.
std::string isoEpochText(int year, double day);

// The shortest fixed-point text that reads back as the same double ("0.0006036", "15.5").
std::string shortestDecimal(double value);
