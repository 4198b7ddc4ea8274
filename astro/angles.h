#pragma once

// Angles: radians inside the astronomy and orbit code, degrees only at the edges (display,
// files, the mount's replies, the command line).

#include <cmath>

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kArcsecondsPerRadian = 206264.80624709636;
constexpr double kRadiansPerArcsecond = 1.0 / kArcsecondsPerRadian;
constexpr double kArcsecondsPerDegree = 3600.0;

constexpr double radiansFromDegrees(double degrees) {
    return degrees * kRadiansPerDegree;
}

constexpr double degreesFromRadians(double radians) {
    return radians * kDegreesPerRadian;
}

// Into [0, 360); NaN stays NaN.
inline double wrapDegrees(double degrees) {
    double wrapped = std::fmod(degrees, 360.0);
    if (wrapped < 0.0)
        wrapped += 360.0;
    return wrapped >= 360.0 ? 0.0 : wrapped;
}
