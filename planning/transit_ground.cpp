#include "planning/transit_ground.h"

#include "astro/angles.h"
#include "astro/earth.h"
#include "astro/time_scales.h"
#include "astro/time_units.h"
#include "astro/topocentric.h"
#include "planning/golden_section.h"
#include "sky/observation.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kSecond = 1.0 / kSecondsPerDay;
constexpr double kTimeToleranceDays = 0.0001 * kSecond;
// The grazing separation is sought to this, radians (0.001 arc-second).
constexpr double kGrazeTolerance = 0.001 / kArcsecondsPerRadian;
constexpr int kMaxPointsPerSide = 2000;

Vec3 plus(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vec3 times(const Vec3& v, double k) {
    return {v.x * k, v.y * k, v.z * k};
}

Vec3 unit(const Vec3& v) {
    const double n = length(v);
    return n > 0 ? times(v, 1.0 / n) : v;
}

// The outward normal of the ellipsoid at a geodetic latitude, longitude on the axes the
// position is given in (radians).
Vec3 normalAt(double latitude, double longitude) {
    return {std::cos(latitude) * std::cos(longitude), std::cos(latitude) * std::sin(longitude),
            std::sin(latitude)};
}

Site siteAt(const GroundPoint& p, double elevation) {
    return Site::fromDegrees(p.latitudeDeg, p.longitudeDeg, elevation);
}

// A site's position on the orbit model's axes at a working Julian date, metres.
Vec3 siteOnModelAxes(const Site& site, const TimeScales& scales, double jd) {
    const SiteMeridianPosition m = siteMeridianPosition(site);
    const double theta = localSiderealAngle(scales, jd, site);
    return {m.rho * std::cos(theta), m.rho * std::sin(theta), m.z};
}

// The separation seen from a site at jd (radians; NaN without a position) and the body's
// apparent radius then.
template <typename BodyAt>
double separationAt(CatalogueEntry& satellite, BodyAt&& bodyAt, TransitBody body,
                    const TimeScales& scales, const Site& site, double jd, double* radius) {
    const ObservationInstant instant = observationInstant(scales, jd, site);
    const Vec3 s = topocentricEnu(satellite, instant);
    const Vec3 b = horizonVector(bodyAt(jd), instant.frame);
    if (radius)
        *radius = std::asin(bodyRadius(body) / length(b));
    return angleBetween(s, b);
}

// Golden section for the smallest separation within [a, b].
template <typename BodyAt>
double smallestSeparation(CatalogueEntry& satellite, BodyAt&& bodyAt, TransitBody body,
                          const TimeScales& scales, const Site& site, double a, double b,
                          double* jdOut, double* radius) {
    const auto f = [&](double jd) {
        return separationAt(satellite, bodyAt, body, scales, site, jd, nullptr);
    };
    const double jd = goldenSectionMinimum(f, a, b, kTimeToleranceDays);
    if (jdOut)
        *jdOut = jd;
    return separationAt(satellite, bodyAt, body, scales, site, jd, radius);
}

enum class LineStatus { Found, BodyDown, None };

struct LinePoint {
    GroundPoint ground;
    Vec3 earthFixed;     // metres
    Vec3 satelliteModel; // the satellite then, model axes, metres
    Vec3 ray;            // from the body through the satellite, unit
};

class CentreLine {
public:
    CentreLine(CatalogueEntry& satellite, const TimeScales& scales, const Site& site,
               TransitBody body)
        : satellite_(satellite), scales_(scales), site_(site), body_(body) {}

    // The point of the line at jd: where the line from the body's centre through the satellite
    // meets the ground at the site's elevation, and whether the body stands above its horizon.
    LineStatus at(double jd, LinePoint& out) {
        propagateSatellite(satellite_, scales_.utcFromJd(jd));
        const Vec3 s{satellite_.position[0], satellite_.position[1], satellite_.position[2]};
        if (!std::isfinite(s.x) || !std::isfinite(s.y) || !std::isfinite(s.z))
            return LineStatus::None;
        const Vec3 u = unit(difference(s, body_.at(jd)));
        // The ellipsoid turns about its own axis, so the model's axes serve; raised by the
        // elevation, then the height made exact along the normal.
        const double h = site_.elevation;
        const double a = kEarthEquatorialRadius + h;
        const double c = kEarthEquatorialRadius * kEarthAxisRatio + h;
        const double qa = (u.x * u.x + u.y * u.y) / (a * a) + u.z * u.z / (c * c);
        const double qb = 2 * ((s.x * u.x + s.y * u.y) / (a * a) + s.z * u.z / (c * c));
        const double qc = (s.x * s.x + s.y * s.y) / (a * a) + s.z * s.z / (c * c) - 1;
        const double disc = qb * qb - 4 * qa * qc;
        if (!(disc >= 0))
            return LineStatus::None;
        double lambda = (-qb - std::sqrt(disc)) / (2 * qa);
        if (!(lambda > 0))
            return LineStatus::None;
        Vec3 x = plus(s, times(u, lambda));
        Vec3 normal;
        for (int i = 0; i < 4; ++i) {
            const GroundPoint g = geodeticFromEarthFixed(x);
            normal = normalAt(g.latitudeDeg * kRadiansPerDegree, std::atan2(x.y, x.x));
            const double slope = dot(u, normal);
            if (!(slope < 0))
                return LineStatus::None;
            lambda -= (g.heightKm * 1000.0 - h) / slope;
            x = plus(s, times(u, lambda));
        }
        out.earthFixed = earthFixedFromModel(x, scales_, jd);
        out.ground = geodeticFromEarthFixed(out.earthFixed);
        out.ground.jd = jd;
        out.ground.heightKm = h / 1000.0;
        out.satelliteModel = s;
        out.ray = u;
        return dot(difference(body_.at(jd), x), normal) > 0 ? LineStatus::Found
                                                            : LineStatus::BodyDown;
    }

    // The instant the line passes nearest the site, from a first guess; false without a line.
    bool nearestToSite(double& jd) {
        for (int i = 0; i < 20; ++i) { // slow shadows of high orbits take a few
            LinePoint here, before, after;
            if (at(jd, here) == LineStatus::None ||
                at(jd - 0.5 * kSecond, before) == LineStatus::None ||
                at(jd + 0.5 * kSecond, after) == LineStatus::None)
                return false;
            const Vec3 velocity = difference(after.earthFixed, before.earthFixed); // per second
            const double v2 = dot(velocity, velocity);
            if (!(v2 > 0))
                return false;
            const Vec3 offset = difference(here.earthFixed, siteEarthFixed(jd));
            const double shift = -dot(offset, velocity) / v2; // seconds
            jd += std::clamp(shift, -600.0, 600.0) * kSecond;
            if (std::fabs(shift) < 1e-5)
                break;
        }
        return true;
    }

    // From the point at jd, one way (direction +1 or -1) until reach metres along the line or
    // the body's setting; points after the first appended to out.
    void walk(const LinePoint& start, double direction, double reach, double spacing,
              std::vector<LinePoint>& out) {
        LinePoint last = start;
        double dt = spacing / std::max(1.0, speedAt(start.ground.jd)) * kSecond;
        double along = 0.0;
        for (int i = 0; i < kMaxPointsPerSide && along < reach; ++i) {
            LinePoint next;
            const double jd = last.ground.jd + direction * dt;
            const LineStatus status = at(jd, next);
            if (status != LineStatus::Found) {
                // The body's setting between the last point and this one: there the line from
                // the body grazes the ground, and beyond it meets the ground no more.
                double lo = last.ground.jd;
                double hi = jd;
                LinePoint edge = last;
                while (std::fabs(hi - lo) > kTimeToleranceDays) {
                    const double mid = (lo + hi) / 2;
                    LinePoint p;
                    const LineStatus s = at(mid, p);
                    if (s == LineStatus::Found) {
                        lo = mid;
                        edge = p;
                    } else {
                        hi = mid;
                    }
                }
                if (edge.ground.jd != last.ground.jd)
                    out.push_back(edge);
                return;
            }
            const double step = length(difference(next.earthFixed, last.earthFixed));
            along += step;
            out.push_back(next);
            last = next;
            if (step > 0)
                dt *= std::clamp(spacing / step, 0.5, 2.0);
        }
    }

    // The satellite grazing the limb beside one point of the line: the offset (metres, along
    // side, a unit vector on the Earth's axes) whose smallest separation is the body's radius.
    GroundPoint grazingPoint(const LinePoint& centre, const Vec3& side, double speed) {
        const Vec3 normal = normalAt(centre.ground.latitudeDeg * kRadiansPerDegree,
                                     centre.ground.longitudeDeg * kRadiansPerDegree);
        const Vec3 fromSatellite = difference(
            siteOnModelAxes(siteAt(centre.ground, site_.elevation), scales_, centre.ground.jd),
            centre.satelliteModel);
        const double incidence = std::max(0.05, std::fabs(dot(centre.ray, normal)));
        const double radius =
            std::asin(bodyRadius(body_.body()) /
                      length(difference(body_.at(centre.ground.jd), centre.satelliteModel)));
        double offset = radius * length(fromSatellite) / incidence;
        GroundPoint found = centre.ground;
        for (int i = 0; i < 12; ++i) {
            GroundPoint g = geodeticFromEarthFixed(plus(centre.earthFixed, times(side, offset)));
            const Site there = siteAt(g, site_.elevation);
            const double window = (3.0 + 3.0 * offset / std::max(1.0, speed)) * kSecond;
            double jd = centre.ground.jd;
            double r = radius;
            const double separation = smallestSeparation(
                satellite_, [this](double t) { return body_.at(t); }, body_.body(), scales_, there,
                centre.ground.jd - window, centre.ground.jd + window, &jd, &r);
            if (!std::isfinite(separation) || !(separation > 0))
                break;
            g.jd = jd;
            g.heightKm = site_.elevation / 1000.0;
            found = g;
            if (std::fabs(separation - r) < kGrazeTolerance)
                break;
            offset *= r / separation;
        }
        return found;
    }

    double speedAt(double jd) { // metres per second along the line
        LinePoint before, after;
        if (at(jd - 0.5 * kSecond, before) == LineStatus::None ||
            at(jd + 0.5 * kSecond, after) == LineStatus::None)
            return 0.0;
        return length(difference(after.earthFixed, before.earthFixed));
    }

private:
    Vec3 siteEarthFixed(double jd) {
        return earthFixedFromModel(siteOnModelAxes(site_, scales_, jd), scales_, jd);
    }

    CatalogueEntry& satellite_;
    const TimeScales& scales_;
    const Site& site_;
    BodyEphemeris body_;
};

} // namespace

TransitGround transitGround(CatalogueEntry& satellite, const TimeScales& scales, const Site& site,
                            const Transit& transit, const TransitGroundOptions& options) {
    TransitGround ground;
    CentreLine line(satellite, scales, site, transit.body);
    double jd = transit.jd;
    LinePoint start;
    if (!line.nearestToSite(jd) || line.at(jd, start) != LineStatus::Found)
        return ground;
    const double reach = std::max(0.0, options.reachKm) * 1000.0;
    const double spacing = std::max(0.01, options.spacingKm) * 1000.0;
    std::vector<LinePoint> before, after;
    line.walk(start, -1.0, reach, spacing, before);
    line.walk(start, 1.0, reach, spacing, after);
    std::vector<LinePoint> points(before.rbegin(), before.rend());
    points.push_back(start);
    points.insert(points.end(), after.begin(), after.end());
    ground.nearest = before.size();

    for (std::size_t i = 0; i < points.size(); ++i) {
        const LinePoint& p = points[i];
        ground.centreLine.push_back(p.ground);
        // The direction of travel from the neighbours; left is up crossed with it.
        const LinePoint& from = points[i == 0 ? 0 : i - 1];
        const LinePoint& to = points[std::min(i + 1, points.size() - 1)];
        Vec3 travel = difference(to.earthFixed, from.earthFixed);
        const double seconds = (to.ground.jd - from.ground.jd) / kSecond;
        if (points.size() < 2 || !(seconds > 0)) {
            LinePoint later;
            if (line.at(p.ground.jd + 0.5 * kSecond, later) == LineStatus::None)
                continue;
            travel = difference(later.earthFixed, p.earthFixed);
        }
        const double speed = seconds > 0 ? length(travel) / seconds : 2 * length(travel);
        const Vec3 up = normalAt(p.ground.latitudeDeg * kRadiansPerDegree,
                                 p.ground.longitudeDeg * kRadiansPerDegree);
        const Vec3 left = unit(cross(up, travel));
        ground.leftEdge.push_back(line.grazingPoint(p, left, speed));
        ground.rightEdge.push_back(line.grazingPoint(p, times(left, -1.0), speed));
    }
    return ground;
}

std::vector<GroundPoint> transitPathRing(const TransitGround& ground) {
    std::vector<GroundPoint> ring;
    if (ground.leftEdge.empty() || ground.rightEdge.empty())
        return ring;
    ring = ground.leftEdge;
    ring.insert(ring.end(), ground.rightEdge.rbegin(), ground.rightEdge.rend());
    ring.push_back(ring.front());
    return ring;
}

double closestSeparation(CatalogueEntry& satellite, TransitBody body, const TimeScales& scales,
                         const Site& site, double fromJd, double toJd, double* jdOut) {
    return smallestSeparation(
        satellite, [body](double jd) { return bodyGeocentric(body, jd); }, body, scales, site,
        fromJd, toJd, jdOut, nullptr);
}
