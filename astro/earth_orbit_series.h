#pragma once

#include <cstddef>

// The abridged VSOP87 series of the Earth's orbit, for the refined Sun.

struct OrbitSeriesTerm {
    double amplitude; // 1e-8 radian or astronomical unit
    double phase;     // radians
    double frequency; // radians per Julian millennium
};

struct OrbitSeries {
    const OrbitSeriesTerm* terms;
    std::size_t count;
};

// Series k is multiplied by tau^k (tau in Julian millennia of TT from J2000.0).
struct OrbitCoordinateSeries {
    const OrbitSeries* series;
    std::size_t count;
};

extern const OrbitCoordinateSeries kEarthLongitudeSeries; // radians
extern const OrbitCoordinateSeries kEarthLatitudeSeries;  // radians
extern const OrbitCoordinateSeries kEarthRadiusSeries;    // astronomical units
