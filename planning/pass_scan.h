#pragma once

// The pass search's workings, shared by the search of one satellite (passes.cpp) and of a whole
// catalogue (catalogue_passes.cpp): the altitude's samples, their refinement, and the scan that
// finds the passes among samples taken one after another.

#include "astro/angles.h"
#include "astro/earth.h"
#include "astro/time_scales.h"
#include "orbit/gravity.h"
#include "planning/passes.h"
#include "sky/observation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace pass_scan {

// The crossings end within kCrossingTolerance of the true instant, the maxima within twice
// kMaximumTolerance (seconds).
constexpr double kCrossingTolerance = 0.0005;
constexpr double kMaximumTolerance = 0.00025;
// A probe this far inside the window tells whether the altitude rises or falls at its edge.
constexpr double kEdgeProbe = 0.001;
// Sampling: 1/32 of the orbit in true anomaly. The altitude has one maximum and one minimum
// per orbit, half an orbit of anomaly apart, so every maximum shows among the samples.
constexpr double kSamplesPerOrbit = 32.0;
constexpr double kShortestStep = 10.0; // seconds
// The Earth turns 5 deg in this time: the longest step, for orbits of a day and more.
constexpr double kLongestStep = 1200.0;
constexpr double kModelEarthRadius = kWgs72Constants.radiusearthkm * 1e3; // metres
constexpr double kEarthMu = kWgs72Constants.mu * 1e9;                     // m^3/s^2
constexpr double kSiteSpeed = 466.0; // m/s, at most: the equator turning
// The altitude given to an instant without a position: below every threshold.
constexpr double kNoAltitude = -1000.0;
// Both refinements end far sooner (golden sections alone would need about 40 steps); this
// only bounds the work should arithmetic ever keep them from converging.
constexpr int kMostSteps = 200;

// sphericalAngles(enu).beta, without the azimuth's arc tangent.
inline double altitudeOf(const Vec3& enu) {
    return std::atan2(enu.z, std::sqrt(enu.x * enu.x + enu.y * enu.y));
}

struct Sample {
    double t = 0.0; // seconds from the window's start
    double altitudeDeg = kNoAltitude;
    Vec3 enu;      // from the site, metres
    Vec3 position; // from the Earth's centre, metres, the model's axes
};

// The instants of a window reduced as the live table reduces them (observationInstant), less
// two costs repeated at every instant. The site's place on the ellipsoid is the same
// throughout. TT - UTC only changes at a leap second, and finding it through the UTC calendar,
// as the live table does once a tick, takes several times as long as the propagation: it is
// taken at the window's start and carried over the window when its end has the same. Carried,
// UTC is not cut to the millisecond as the calendar cuts it, so the search's instants lie
// within 1 ms of the live table's.
class WindowClock {
public:
    WindowClock(const TimeScales& scales, const Site& site, double fromJd, double toJd)
        : scales(scales), site(site), sitePosition(siteMeridianPosition(site)) {
        const double atStart = utcMinusWorking(fromJd);
        steadyUtc = std::fabs(utcMinusWorking(toJd) - atStart) < kSteadyUtc;
        utcOffset = atStart;
    }

    ObservationInstant at(double jd) const {
        if (!steadyUtc)
            return observationInstant(scales, jd, site);
        return {jd + utcOffset, horizonFrame(sitePosition, localSiderealAngle(scales, jd, site))};
    }

private:
    // Taken at the instant that starts the UTC millisecond, where the calendar cuts nothing.
    double utcMinusWorking(double jd) const {
        const double start = scales.workingJdFromUtcCalendar(scales.utcCalendarFromJd(jd));
        return scales.utcFromJd(start) - start; // NaN when there is no such instant
    }

    static constexpr double kSteadyUtc = 1e-9; // days, 86 microseconds
    const TimeScales& scales;
    const Site& site;
    SiteMeridianPosition sitePosition;
    bool steadyUtc = false;
    double utcOffset = 0.0;
};

// The satellite's altitude from the site as a function of time.
class AltitudeCurve {
public:
    AltitudeCurve(CatalogueEntry& satellite, const WindowClock& clock, double fromJd)
        : satellite(satellite), clock(clock), fromJd(fromJd) {}

    double jd(double t) const { return fromJd + t / kSecondsPerDay; }

    Sample at(double t) {
        ++propagations;
        Sample s;
        s.t = t;
        s.enu = topocentricEnu(satellite, clock.at(jd(t)));
        s.position = {satellite.position[0], satellite.position[1], satellite.position[2]};
        const double altitude = altitudeOf(s.enu);
        if (std::isfinite(altitude))
            s.altitudeDeg = altitude * kDegreesPerRadian;
        return s;
    }

    // The time the orbit takes to sweep its share of true anomaly from where the sample is:
    // short near perigee, long near apogee.
    double stepAfter(const Sample& s) const {
        const ElementSet& e = satellite.elements;
        double step = kTwoPi / e.no * 60.0 / kSamplesPerOrbit;
        const double r = length(s.position);
        const double a = e.a * kModelEarthRadius;
        if (std::isfinite(r) && a > 0 && e.ecco >= 0 && e.ecco < 1)
            step *= (r / a) * (r / a) / std::sqrt(1 - e.ecco * e.ecco);
        if (!(step >= kShortestStep)) // also NaN
            return kShortestStep;
        return std::min(step, kLongestStep);
    }

    // Whether the altitude can climb from the sample to the threshold within `seconds`. The
    // line of sight turns at most at v / range plus the Earth's rotation, where v bounds the
    // satellite's speed (at perigee, with a margin for the perturbations) plus the site's, and
    // the range shrinks at most at v.
    bool mayReach(const Sample& s, double seconds, double threshold) const {
        const double v = speedBound();
        const double range = length(s.enu);
        const double closest = range - v * seconds;
        if (!(closest > 0)) // also NaN
            return true;
        const double climb = std::log(range / closest) + kEarthRotationRate * seconds;
        return s.altitudeDeg + climb * kDegreesPerRadian >= threshold;
    }

    // mayReach from both ends of the gap between neighbouring samples: the altitude can only
    // reach the threshold between them where both samples' bounds let it.
    bool mayReachBetween(const Sample& s, const Sample& other, double threshold) const {
        const double gap = std::fabs(other.t - s.t);
        if (!(other.altitudeDeg > kNoAltitude))
            return true;
        return leadTime(s, gap, threshold) + leadTime(other, gap, threshold) <= gap + kSlack;
    }

    PassPoint point(const Sample& s) const {
        return {jd(s.t), horizonDirection(s.enu).azimuthDeg, s.altitudeDeg};
    }

    // The satellite's speed (at perigee, with a margin for the perturbations) plus the site's.
    double speedBound() const {
        const ElementSet& e = satellite.elements;
        const double a = e.a * kModelEarthRadius;
        const double perigeeSpeed = std::sqrt(kEarthMu * (1 + e.ecco) / (a * (1 - e.ecco)));
        return 1.05 * perigeeSpeed + kSiteSpeed;
    }

    std::size_t propagations = 0;

private:
    static constexpr double kSlack = 1e-3; // seconds, for rounding

    // A lower bound on the time mayReach needs from the sample to the threshold, within a
    // gap: the Earth's turn over the whole gap, then the range shrinking at v.
    double leadTime(const Sample& s, double gap, double threshold) const {
        const double v = speedBound();
        const double range = length(s.enu);
        const double climb =
            (threshold - s.altitudeDeg) / kDegreesPerRadian - kEarthRotationRate * gap;
        const double lead = -range * std::expm1(-climb) / v;
        return lead > 0 ? lead : 0.0; // also NaN
    }

    CatalogueEntry& satellite;
    const WindowClock& clock;
    double fromJd;
};

// The altitude a sample must exceed: the window's threshold, or the horizon mask where the
// satellite stands, when that is higher.
struct Threshold {
    const PassWindow& window;
    bool masked() const { return window.horizon && !window.horizon->isFlat(); }
    double operator()(const Sample& s) const {
        if (!masked())
            return window.minAltitudeDeg;
        const double mask = window.horizon->altitudeAt(horizonDirection(s.enu).azimuthDeg);
        return std::max(window.minAltitudeDeg, mask);
    }
    // Anywhere in the sky.
    double lowest() const {
        return masked() ? std::max(window.minAltitudeDeg, window.horizon->lowest())
                        : window.minAltitudeDeg;
    }
};

// Brent's root finder (zeroin) for altitude = threshold between two samples on either side of
// it: the sample at the crossing.
Sample crossing(AltitudeCurve& curve, Sample a, Sample b, const Threshold& threshold);
// Brent's minimiser turned to the altitude's maximum between lo and hi, from x, the highest of
// the three samples.
Sample maximum(AltitudeCurve& curve, const Sample& lo, Sample x, const Sample& hi);
// The highest point near sample s, which stands at least as high as the samples before and
// after it; at an edge of the window (no sample before or after) it may be the edge itself.
Sample peakNear(AltitudeCurve& curve, const Sample* before, const Sample& s, const Sample* after);
// Whether the altitude may reach the threshold between two samples below it.
bool mayRiseBetween(AltitudeCurve& curve, const Sample& s, const Sample& neighbour,
                    double threshold, int splits = 2);

// What the scan carries while a pass is under way, for each set of a catalogue.
struct Rising {
    bool hasRise = false;
    bool hasBefore = false, hasAfter = false;
    // Until the pass is known to be wanted, the samples around its rise.
    Sample riseBefore, riseAfter;
    // The highest sample, when the pass holds any, and its neighbours (none at the window's
    // edges).
    Sample best;
    Sample beforeBest, afterBest;
    std::size_t bestIndex = 0;
};

// A pass ended (or the window), as it is refined.
struct Found : Rising {
    Found() = default;
    explicit Found(const Rising& r) : Rising(r) {}

    bool hasSet = false;
    bool crossingsKnown = false;
    bool peakKnown = false;
    Sample rise, set;
    Sample setBefore, setAfter;
    Sample peak;
    double bound[2] = {0.0, 0.0};
};

// Where the satellite turns fastest in the sky, relative to a body whose direction is all but
// fixed: the satellite's direction turns at most at v / range, the range shrinking at most at v;
// the Moon's own direction by far less than this.
constexpr double kBodyTurnRate = 1e-5; // radians per second
// The bound is taken from the samples' directions and the bodies' interpolated positions.
constexpr double kBoundSlack = 1e-3; // radians

// A pass with its bound on the separations from the Sun and the Moon (radians; 0: none known).
struct ScannedPass {
    SatellitePass pass;
    double clearance[2] = {0.0, 0.0};
};

// The passes of a satellite, found from its samples taken one after another, as they come: a
// search over the window in stretches keeps only this, not the samples. Each pass is refined from
// the samples around its crossings and peak.
class PassScan {
public:
    // Gaps whose bound on the separation from a body falls short of `sought` (radians, Sun and
    // Moon; 0: any bound) are split, with a propagation, until it does or the pieces are short.
    // onlyNear: passes clear of every body sought are dropped, unrefined.
    explicit PassScan(const PassWindow& window, const double* sought = nullptr,
                      bool onlyNear = false)
        : threshold{window}, onlyNear(onlyNear) {
        if (sought)
            std::copy(sought, sought + 2, this->sought);
    }

    // The next sample of the grid; `bodies`, when given, the directions (unit vectors, east,
    // north, up) of the Sun and the Moon then, to bound the passes' separations from them.
    void add(AltitudeCurve& curve, const WindowClock& clock, const Sample& raw, const Vec3* bodies,
             std::vector<ScannedPass>& out);

    // After the window's last sample.
    void finish(AltitudeCurve& curve, const WindowClock& clock, std::vector<ScannedPass>& out);

private:
    struct RawSample {
        Sample sample;
        Vec3 body[2];
        bool measured = false;
        double separation[2] = {0.0, 0.0};
        // Taken only where a pass may be: the satellite's direction is mostly far below.
        void measure() {
            if (measured)
                return;
            measured = true;
            for (int b = 0; b < 2; ++b)
                separation[b] = angleBetween(sample.enu, body[b]);
        }
    };
    static constexpr double kUnbounded = 1e300;
    static constexpr int kMostSplits = 4;

    // How far the separation can fall from its value at the sample within `seconds`.
    static double turn(AltitudeCurve& curve, const Sample& s, double seconds);

    // The separation from each body between two samples is at least the bound: before the
    // middle of the gap, the first sample's bound there, after it, the second's. Where that falls
    // short of what is sought, the gap is split at the middle, the body's direction there taken
    // on the chord between its ends (which strays from the body's path by at most the square of
    // the angle they span, over 8, for paths curved like the sky's circles).
    void boundGap(AltitudeCurve& curve, const RawSample& a, const RawSample& b, int splits);

    bool above(const Sample& s) const { return s.altitudeDeg > threshold(s); }

    bool clearOfAll() const;

    // Behind a mask a pass may show only through a gap, or end and begin again behind a wall,
    // all between two samples. Where the satellite is hidden at either sample but stands above
    // the mask's lowest point at one of them, samples are added every degree of its path across
    // the sky (at most every kShortestStep). Where it stands lower at both, the altitude's maxima
    // between are refined as without a mask.
    void throughGap(AltitudeCurve& curve, const WindowClock& clock, const Sample& a,
                    const Sample& b, std::vector<ScannedPass>& out);

    // Samples are looked at with the one after them known.
    void feed(AltitudeCurve& curve, const WindowClock& clock, const Sample& s,
              std::vector<ScannedPass>& out);

    // The sample `here`, the pending-th; `after` is none for the last.
    void process(AltitudeCurve& curve, const WindowClock& clock, const Sample* after,
                 std::vector<ScannedPass>& out);

    void markBest(std::size_t i, const Sample& s);

    void emit(AltitudeCurve& curve, const WindowClock& clock, Found& f,
              std::vector<ScannedPass>& out);

    Threshold threshold;
    bool haveRaw = false;
    RawSample lastRaw;
    double nearest[2] = {kUnbounded, kUnbounded};
    double sought[2] = {0.0, 0.0};
    bool onlyNear = false;
    std::size_t pending = 0; // the samples fed
    Sample before, here;
    bool open = false;
    Rising current;
};

} // namespace pass_scan
