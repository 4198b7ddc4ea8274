#pragma once

#include <cmath>

// A plain 3-vector of doubles and the few operations the sky geometry needs.
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

inline double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double length(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

inline Vec3 difference(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

inline Vec3& subtract(Vec3& a, const Vec3& b) {
    a.x -= b.x;
    a.y -= b.y;
    a.z -= b.z;
    return a;
}

// Longitude-like and latitude-like angles of a direction (radians).
struct SphericalAngles {
    double lambda = 0.0; // atan2(y, x), 0 on the z axis
    double beta = 0.0;   // atan2(z, sqrt(x^2 + y^2))
};

inline SphericalAngles sphericalAngles(const Vec3& v) {
    SphericalAngles angles;
    angles.lambda = (v.x == 0.0 && v.y == 0.0) ? 0.0 : std::atan2(v.y, v.x);
    angles.beta = std::atan2(v.z, std::sqrt(v.x * v.x + v.y * v.y));
    return angles;
}

// In [0, pi]; atan2 keeps its precision for nearly parallel vectors, where acos would not.
inline double angleBetween(const Vec3& a, const Vec3& b) {
    return std::atan2(length(cross(a, b)), dot(a, b));
}

// Rotates an Earth-centred vector about the polar axis into the frame of the site's meridian
// (theta = local sidereal angle); the second component then points west.
inline Vec3 toMeridianFrame(const Vec3& v, double sinTheta, double cosTheta) {
    return {v.x * cosTheta + v.y * sinTheta, v.x * sinTheta - v.y * cosTheta, v.z};
}

// Turns a meridian-frame vector to the horizon: (east, north, up) at geodetic latitude phi.
inline Vec3 meridianToHorizon(const Vec3& m, double sinPhi, double cosPhi) {
    return {-m.y, m.z * cosPhi - m.x * sinPhi, m.x * cosPhi + m.z * sinPhi};
}
