#include "catalogue/transits.h"

#include "astro/angles.h"
#include "astro/moon.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "catalogue/observation.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr double kSampleStepDays = 10.0 / kSecondsPerDay;
constexpr double kTimeToleranceDays = 0.0001 / kSecondsPerDay;
// The body's position is interpolated over pieces of a pass no longer than this: a parabola
// through three exact positions stays within a metre of the Moon over 20 minutes.
constexpr double kBodyPieceDays = 1200.0 / kSecondsPerDay;

Vec3 bodyGeocentric(TransitBody body, double jd) {
    const double tt = jd + kWorkingToTtDays;
    return body == TransitBody::Sun ? apparentSunPosition(tt) : moonPosition(tt);
}

double bodyRadius(TransitBody body) {
    return body == TransitBody::Sun ? kSunRadius : kMoonRadius;
}

Vec3 scaled(const Vec3& v, double k) {
    return {v.x * k, v.y * k, v.z * k};
}

Vec3 sum(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

// The body over one piece of a pass: exact at its ends and middle, a parabola in between.
class BodyPiece {
public:
    BodyPiece(TransitBody body, double from, double to) : from_(from), half_((to - from) / 2) {
        for (int i = 0; i < 3; ++i)
            points_[i] = bodyGeocentric(body, from + i * half_);
    }
    Vec3 at(double jd) const {
        if (half_ <= 0)
            return points_[0];
        const double u = (jd - from_) / half_ - 1; // -1, 0, 1 at the three points
        return sum(sum(scaled(points_[0], u * (u - 1) / 2), scaled(points_[1], 1 - u * u)),
                   scaled(points_[2], u * (u + 1) / 2));
    }

private:
    double from_;
    double half_;
    Vec3 points_[3];
};

// Satellite and body seen from the site at one instant.
struct Sighting {
    Vec3 satellite; // east, north, up; metres
    Vec3 body;
    double separation = 0.0; // radians; NaN without a position
};

class PassGeometry {
public:
    PassGeometry(CatalogueEntry& satellite, const TimeScales& scales, const Site& site,
                 TransitBody body, double from, double to)
        : satellite_(satellite), scales_(scales), site_(site), body_(body), from_(from), to_(to) {}

    Sighting at(double jd) {
        const ObservationInstant instant = observationInstant(scales_, jd, site_);
        Sighting s;
        s.satellite = topocentricEnu(satellite_, instant);
        s.body = horizonVector(piece(jd).at(jd), instant.frame);
        s.separation = angleBetween(s.satellite, s.body);
        return s;
    }
    double separation(double jd) { return at(jd).separation; }

private:
    const BodyPiece& piece(double jd) {
        const double start =
            from_ + std::floor(std::max(0.0, jd - from_) / kBodyPieceDays) * kBodyPieceDays;
        if (!piece_ || pieceStart_ != start) {
            piece_.emplace(body_, start, std::min(start + kBodyPieceDays, to_));
            pieceStart_ = start;
        }
        return *piece_;
    }

    CatalogueEntry& satellite_;
    const TimeScales& scales_;
    const Site& site_;
    TransitBody body_;
    double from_;
    double to_;
    std::optional<BodyPiece> piece_;
    double pieceStart_ = 0.0;
};

// The minimum of the separation within [a, b] (golden section: it is unimodal there).
double closestApproach(PassGeometry& geometry, double a, double b) {
    const double r = 0.6180339887498949;
    double x1 = b - r * (b - a);
    double x2 = a + r * (b - a);
    double f1 = geometry.separation(x1);
    double f2 = geometry.separation(x2);
    while (b - a > kTimeToleranceDays) {
        if (f1 <= f2) {
            b = x2;
            x2 = x1;
            f2 = f1;
            x1 = b - r * (b - a);
            f1 = geometry.separation(x1);
        } else {
            a = x1;
            x1 = x2;
            f1 = f2;
            x2 = a + r * (b - a);
            f2 = geometry.separation(x2);
        }
    }
    return (a + b) / 2;
}

// Where the separation passes `radius` between `inside` (below it) and a point found outward
// by doubling steps, bounded by `limit`. Returns the limit when the disc is not left before.
double discEdge(PassGeometry& geometry, double inside, double limit, double radius) {
    const double direction = limit > inside ? 1.0 : -1.0;
    double step = 1.0 / kSecondsPerDay;
    double outside = inside;
    for (;;) {
        outside = inside + direction * step;
        if (direction * (outside - limit) >= 0)
            return limit;
        if (!(geometry.separation(outside) < radius))
            break;
        step *= 2;
    }
    double lo = inside;
    double hi = outside;
    while (std::fabs(hi - lo) > kTimeToleranceDays) {
        const double mid = (lo + hi) / 2;
        if (geometry.separation(mid) < radius)
            lo = mid;
        else
            hi = mid;
    }
    return (lo + hi) / 2;
}

// The satellite's shadow cast by the body on the site's horizontal plane: the point of the
// ground (east, north; up = 0) on the line through the satellite parallel to the body's
// direction. The satellite stands on the body's centre exactly for an observer there.
Vec3 groundShadow(const Sighting& s) {
    const double norm = length(s.body);
    const Vec3 b = scaled(s.body, 1.0 / norm);
    return difference(s.satellite, scaled(b, s.satellite.z / b.z));
}

// The centre line. Moving the observer by m moves the satellite's direction, not the body's
// (a few km shift even the Moon by only a few arc-seconds), so the satellite is seen on the
// body's centre from every ground point on which it casts its shadow along the body's
// direction. Over the crossing those shadows run along a straight line on the ground, the
// centre line: projecting the satellite's offset from the line of sight onto the ground
// perpendicular to that line of sight, then taking the nearest point of the shadow track.
// That point is how far, and toward which azimuth, the observer must go. The oblique
// projection stretches the distance by 1 / sin(body altitude) across the track, as real centre
// lines are stretched for a low Sun or Moon.
void centreLine(PassGeometry& geometry, double jd, Transit& transit) {
    const double dt = 0.5 / kSecondsPerDay;
    const Vec3 g0 = groundShadow(geometry.at(jd));
    const Vec3 track =
        difference(groundShadow(geometry.at(jd + dt)), groundShadow(geometry.at(jd - dt)));
    Vec3 m = g0;
    const double trackLength2 = dot(track, track);
    if (trackLength2 > 0)
        subtract(m, scaled(track, dot(g0, track) / trackLength2));
    transit.centreLineKm = std::hypot(m.x, m.y) / 1000.0;
    transit.centreLineAzimuthDeg = wrapDegrees(std::atan2(m.x, m.y) * kDegreesPerRadian);
}

void searchPass(CatalogueEntry& satellite, std::size_t index, const TimeScales& scales,
                const Site& site, const SatellitePass& pass, TransitBody body, double marginRadians,
                std::vector<Transit>& out) {
    const double from = pass.startJd;
    const double to = pass.endJd;
    if (!(to > from))
        return;
    PassGeometry geometry(satellite, scales, site, body, from, to);
    const int steps = std::max(2, int(std::ceil((to - from) / kSampleStepDays)));
    const double step = (to - from) / steps;
    std::vector<Sighting> samples;
    samples.reserve(std::size_t(steps) + 1);
    double sweep = 0.0; // the most either direction turns between samples
    for (int i = 0; i <= steps; ++i) {
        samples.push_back(geometry.at(from + i * step));
        if (!std::isfinite(samples.back().separation))
            return;
        if (i > 0) {
            const Sighting& previous = samples[std::size_t(i) - 1];
            sweep = std::max(sweep, angleBetween(previous.satellite, samples.back().satellite) +
                                        angleBetween(previous.body, samples.back().body));
        }
    }
    const double radiusGuess = std::asin(bodyRadius(body) / length(samples.front().body));
    for (int i = 0; i <= steps; ++i) {
        const double here = samples[std::size_t(i)].separation;
        const bool lowerThanBefore = i == 0 || here < samples[std::size_t(i) - 1].separation;
        const bool notHigherAfter = i == steps || here <= samples[std::size_t(i) + 1].separation;
        if (!lowerThanBefore || !notHigherAfter || here > radiusGuess + marginRadians + sweep)
            continue;
        const double jd = closestApproach(geometry, from + std::max(0, i - 1) * step,
                                          from + std::min(steps, i + 1) * step);
        const Sighting s = geometry.at(jd);
        const double distance = length(s.body);
        const double radius = std::asin(bodyRadius(body) / distance);
        const HorizonDirection bodyDirection = horizonDirection(s.body);
        if (s.separation > radius + marginRadians || bodyDirection.altitudeDeg <= 0)
            continue;
        Transit t;
        t.index = index;
        t.body = body;
        t.jd = jd;
        t.separationArcsec = s.separation * kArcsecondsPerRadian;
        t.bodyRadiusArcsec = radius * kArcsecondsPerRadian;
        if (s.separation < radius)
            t.durationS =
                (discEdge(geometry, jd, to, radius) - discEdge(geometry, jd, from, radius)) *
                kSecondsPerDay;
        const HorizonDirection direction = horizonDirection(s.satellite);
        t.altitudeDeg = direction.altitudeDeg;
        t.azimuthDeg = direction.azimuthDeg;
        t.distanceKm = length(s.satellite) / 1000.0;
        t.bodyAltitudeDeg = bodyDirection.altitudeDeg;
        t.bodyAzimuthDeg = bodyDirection.azimuthDeg;
        centreLine(geometry, jd, t);
        out.push_back(t);
    }
}

} // namespace

const char* transitBodyName(TransitBody body) {
    return body == TransitBody::Sun ? "sun" : "moon";
}

Vec3 bodyTopocentricEnu(TransitBody body, const TimeScales& scales, double jd, const Site& site) {
    return horizonVector(bodyGeocentric(body, jd), observationInstant(scales, jd, site).frame);
}

std::vector<Transit> findTransits(Catalogue& catalogue, const TimeScales& scales, const Site& site,
                                  const std::vector<CataloguePass>& passes,
                                  const TransitOptions& options) {
    std::vector<Transit> transits;
    const double margin = std::max(0.0, options.marginDeg) * kRadiansPerDegree;
    for (const CataloguePass& pass : passes) {
        if (pass.index >= catalogue.size())
            continue;
        if (options.sun)
            searchPass(catalogue[pass.index], pass.index, scales, site, pass.pass, TransitBody::Sun,
                       margin, transits);
        if (options.moon)
            searchPass(catalogue[pass.index], pass.index, scales, site, pass.pass,
                       TransitBody::Moon, margin, transits);
    }
    std::stable_sort(transits.begin(), transits.end(),
                     [](const Transit& a, const Transit& b) { return a.jd < b.jd; });
    return transits;
}

std::vector<Transit> findCatalogueTransits(Catalogue& catalogue, const TimeScales& scales,
                                           const Site& site, const PassWindow& window,
                                           const TransitOptions& options) {
    return findTransits(catalogue, scales, site,
                        findCataloguePasses(catalogue, scales, site, window), options);
}
