#pragma once

// The Sun and the Moon as the transit search and a transit's ground see them: the same series,
// evaluated exactly on a grid of instants and interpolated between, so thousands of passes and
// the tens of thousands of points of a centre line share a few hundred costly evaluations.

#include "astro/vec3.h"

#include <unordered_map>

enum class TransitBody { Sun, Moon };

// The body's centre from the Earth's, on the orbit model's axes, metres, at a working Julian
// date: the refined Sun or Meeus' Moon, exactly.
Vec3 bodyGeocentric(TransitBody body, double jd);

// The body's radius, metres.
double bodyRadius(TransitBody body);

// bodyGeocentric exact every ten minutes, a parabola through the three nearest in between:
// within a metre of the Moon.
class BodyEphemeris {
public:
    explicit BodyEphemeris(TransitBody body) : body_(body) {}
    TransitBody body() const { return body_; }
    Vec3 at(double jd);

private:
    const Vec3& point(long long key);

    TransitBody body_;
    std::unordered_map<long long, Vec3> points_;
};
