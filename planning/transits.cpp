#include "planning/transits.h"

#include "astro/angles.h"
#include "astro/earth.h"
#include "astro/time_scales.h"
#include "orbit/gravity.h"
#include "planning/golden_section.h"
#include "sky/observation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>
#include <thread>
#include <unordered_map>

namespace {

constexpr double kSampleStepDays = 10.0 / kSecondsPerDay;
constexpr double kTimeToleranceDays = 0.0001 / kSecondsPerDay;
// The body's altitude is checked this often while looking for a pass with the body up.
constexpr double kBodyCheckDays = 1200.0 / kSecondsPerDay;

Vec3 scaled(const Vec3& v, double k) {
    return {v.x * k, v.y * k, v.z * k};
}

// Satellite and body seen from the site at one instant.
struct Sighting {
    Vec3 satellite; // east, north, up; metres
    Vec3 body;
    double separation = 0.0; // radians; NaN without a position
};

class PassGeometry {
public:
    PassGeometry(CatalogueEntry& satellite, const TimeScales& scales, const Site& site,
                 BodyEphemeris& body)
        : satellite_(satellite), scales_(scales), site_(site), body_(body) {}

    Sighting at(double jd) {
        const ObservationInstant instant = observationInstant(scales_, jd, site_);
        Sighting s;
        s.satellite = topocentricEnu(satellite_, instant);
        s.body = horizonVector(body_.at(jd), instant.frame);
        s.separation = angleBetween(s.satellite, s.body);
        return s;
    }
    double separation(double jd) { return at(jd).separation; }

private:
    CatalogueEntry& satellite_;
    const TimeScales& scales_;
    const Site& site_;
    BodyEphemeris& body_;
};

// The minimum of the separation within [a, b] (golden section: it is unimodal there).
double closestApproach(PassGeometry& geometry, double a, double b) {
    return goldenSectionMinimum([&geometry](double jd) { return geometry.separation(jd); }, a, b,
                                kTimeToleranceDays);
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

// The fastest a satellite's separation from a body can change, radians per second; infinite for
// orbits too low to bound. The satellite's speed relative to the ground is at most the escape
// speed at perigee plus the Earth's rotation at apogee; seen from at least perigee less the
// Earth's largest radius. The body turns with the sky, plus the Moon's own motion.
double separationRateBound(const CatalogueEntry& satellite) {
    constexpr double kEarthRadiusKm = kWgs72Constants.radiusearthkm;
    constexpr double kMu = kWgs72Constants.mu; // km^3/s^2
    constexpr double kRotation = kEarthRotationRate;
    const double perigee = 0.98 * (satellite.elements.altp + 1) * kEarthRadiusKm;
    const double apogee = 1.02 * (satellite.elements.alta + 1) * kEarthRadiusKm;
    const double nearest = perigee - 6400.0;
    if (!(nearest > 50.0) || !std::isfinite(apogee))
        return std::numeric_limits<double>::infinity();
    const double speed = std::sqrt(2 * kMu / perigee) + kRotation * apogee;
    return speed / nearest + kRotation + 2e-5;
}

void searchPass(CatalogueEntry& satellite, std::size_t index, const TimeScales& scales,
                const Site& site, const SatellitePass& pass, TransitBody body,
                BodyEphemeris& ephemeris, double marginRadians, std::vector<Transit>& out) {
    const double from = pass.startJd;
    const double to = pass.endJd;
    if (!(to > from))
        return;
    // Skip a pass while the body is down: checked every 20 minutes, at most 10 minutes from any
    // instant, over which the body's altitude changes by less than 2.5 degrees.
    const int checks = int(std::ceil((to - from) / kBodyCheckDays));
    bool bodyUp = false;
    for (int i = 0; i <= checks && !bodyUp; ++i) {
        const double jd = from + (to - from) * i / checks;
        const Vec3 seen =
            horizonVector(ephemeris.at(jd), observationInstant(scales, jd, site).frame);
        bodyUp = horizonDirection(seen).altitudeDeg > -3.0;
    }
    if (!bodyUp)
        return;
    PassGeometry geometry(satellite, scales, site, ephemeris);
    // Sampled every 10 s near the body; farther away, the step is as long as the separation
    // cannot fall to the body's radius plus the margin within it, given the fastest the
    // separation can change.
    const double rate = separationRateBound(satellite);
    std::vector<double> times;
    std::vector<Sighting> samples;
    double sweep = 0.0; // the most either direction turns between samples 10 s apart
    double bound = 0.0;
    for (double jd = from;;) {
        samples.push_back(geometry.at(jd));
        times.push_back(jd);
        const Sighting& here = samples.back();
        if (!std::isfinite(here.separation))
            return;
        if (samples.size() == 1) // the Moon's radius varies by 2% with its altitude
            bound = 1.02 * std::asin(bodyRadius(body) / length(here.body)) + marginRadians;
        else if (jd - times[times.size() - 2] <= kSampleStepDays * 1.001) {
            const Sighting& previous = samples[samples.size() - 2];
            sweep = std::max(sweep, angleBetween(previous.satellite, here.satellite) +
                                        angleBetween(previous.body, here.body));
        }
        if (jd >= to)
            break;
        const double step = std::isfinite(rate) && here.separation > bound
                                ? (here.separation - bound) / rate / kSecondsPerDay
                                : 0.0;
        jd = std::min(to, jd + std::max(kSampleStepDays, step));
    }
    const std::size_t last = samples.size() - 1;
    for (std::size_t i = 0; i <= last; ++i) {
        const double here = samples[i].separation;
        const bool lowerThanBefore = i == 0 || here < samples[i - 1].separation;
        const bool notHigherAfter = i == last || here <= samples[i + 1].separation;
        if (!lowerThanBefore || !notHigherAfter || here > bound + sweep)
            continue;
        const double jd = closestApproach(
            geometry, std::max(times[i == 0 ? 0 : i - 1], times[i] - kSampleStepDays),
            std::min(times[i == last ? last : i + 1], times[i] + kSampleStepDays));
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

double transitReach(const TransitOptions& options) {
    // Seen from the Earth's surface neither disc spans more than 0.29 deg in radius.
    constexpr double kLargestDiscRadius = 0.3 * kRadiansPerDegree;
    return kLargestDiscRadius + std::max(0.0, options.marginDeg) * kRadiansPerDegree;
}

namespace {

// Whether a pass this far from a body throughout may still come within the options' reach.
bool mayCross(double clearance, const TransitOptions& options) {
    return !(clearance > transitReach(options));
}

} // namespace

bool mayTransit(const CataloguePass& pass, const TransitOptions& options) {
    return (options.sun && mayCross(pass.sunClearance, options)) ||
           (options.moon && mayCross(pass.moonClearance, options));
}

const char* transitBodyName(TransitBody body) {
    return body == TransitBody::Sun ? "sun" : "moon";
}

Vec3 bodyTopocentricEnu(TransitBody body, const TimeScales& scales, double jd, const Site& site) {
    return horizonVector(bodyGeocentric(body, jd), observationInstant(scales, jd, site).frame);
}

std::vector<Transit> findTransits(Catalogue& catalogue, const TimeScales& scales, const Site& site,
                                  const std::vector<CataloguePass>& passes,
                                  const TransitOptions& options) {
    const double margin = std::max(0.0, options.marginDeg) * kRadiansPerDegree;
    std::vector<std::size_t> candidates;
    for (std::size_t k = 0; k < passes.size(); ++k)
        if (passes[k].index < catalogue.size() && mayTransit(passes[k], options))
            candidates.push_back(k);
    // Blocks of passes shared out among the threads; their transits are put together in the
    // passes' order, so the result does not depend on the threads.
    constexpr std::size_t kBlock = 32;
    const std::size_t blocks = (candidates.size() + kBlock - 1) / kBlock;
    std::vector<std::vector<Transit>> found(blocks);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    const auto work = [&](bool caller) {
        BodyEphemeris sun(TransitBody::Sun);
        BodyEphemeris moon(TransitBody::Moon);
        while (!stop) {
            const std::size_t block = next++;
            if (block >= blocks)
                break;
            const std::size_t end = std::min(candidates.size(), (block + 1) * kBlock);
            for (std::size_t c = block * kBlock; c < end; ++c) {
                if (stop || (caller && options.carryOn && !options.carryOn())) {
                    stop = true;
                    break;
                }
                const CataloguePass& pass = passes[candidates[c]];
                CatalogueEntry& satellite = catalogue[pass.index];
                if (options.sun && mayCross(pass.sunClearance, options))
                    searchPass(satellite, pass.index, scales, site, pass.pass, TransitBody::Sun,
                               sun, margin, found[block]);
                if (options.moon && mayCross(pass.moonClearance, options))
                    searchPass(satellite, pass.index, scales, site, pass.pass, TransitBody::Moon,
                               moon, margin, found[block]);
            }
        }
    };
    const unsigned threads =
        unsigned(std::min<std::size_t>(options.threads == 0 ? passSearchThreads() : options.threads,
                                       std::max<std::size_t>(blocks, 1)));
    std::vector<std::thread> workers;
    try {
        for (unsigned k = 1; k < threads; ++k)
            workers.emplace_back(work, false);
    } catch (const std::exception&) {
        // Fewer threads: the others share the work.
    }
    work(true);
    for (std::thread& t : workers)
        t.join();
    std::vector<Transit> transits;
    for (std::size_t block = 0; block < blocks; ++block)
        transits.insert(transits.end(), found[block].begin(), found[block].end());
    std::stable_sort(transits.begin(), transits.end(),
                     [](const Transit& a, const Transit& b) { return a.jd < b.jd; });
    return transits;
}

std::vector<Transit> findCatalogueTransits(Catalogue& catalogue, const TimeScales& scales,
                                           const Site& site, const PassWindow& window,
                                           const TransitOptions& options) {
    CatalogueSearch search;
    search.carryOn = options.carryOn;
    search.threads = options.threads;
    search.clearances = true;
    search.clearanceSought[0] = options.sun ? transitReach(options) : 0.0;
    search.clearanceSought[1] = options.moon ? transitReach(options) : 0.0;
    search.onlyNear = true;
    return findTransits(catalogue, scales, site,
                        findCataloguePasses(catalogue, scales, site, window, search), options);
}
