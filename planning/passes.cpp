#include "planning/passes.h"

#include "astro/angles.h"
#include "astro/earth.h"
#include "astro/moon.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "orbit/gravity.h"
#include "orbit/sgp4.h"
#include "orbit/sgp4_batch.h"
#include "sky/observation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <thread>

namespace {

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
double altitudeOf(const Vec3& enu) {
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
Sample crossing(AltitudeCurve& curve, Sample a, Sample b, const Threshold& threshold) {
    const auto g = [&threshold](const Sample& s) {
        return s.altitudeDeg - threshold(s);
    };
    double fa = g(a), fb = g(b);
    Sample c = a;
    double fc = fa;
    double d = b.t - a.t, e = d;
    for (int step = 0; step < kMostSteps; ++step) {
        if ((fb > 0) == (fc > 0)) {
            c = a;
            fc = fa;
            d = e = b.t - a.t;
        }
        if (std::fabs(fc) < std::fabs(fb)) {
            a = b;
            b = c;
            c = a;
            fa = fb;
            fb = fc;
            fc = fa;
        }
        const double tol = 0.5 * kCrossingTolerance;
        const double xm = 0.5 * (c.t - b.t);
        if (std::fabs(xm) <= tol || fb == 0)
            return b;
        if (std::fabs(e) >= tol && std::fabs(fa) > std::fabs(fb)) {
            // Inverse quadratic interpolation, or the secant when only two points differ.
            const double s = fb / fa;
            double p, q;
            if (a.t == c.t) {
                p = 2 * xm * s;
                q = 1 - s;
            } else {
                const double qa = fa / fc, r = fb / fc;
                p = s * (2 * xm * qa * (qa - r) - (b.t - a.t) * (r - 1));
                q = (qa - 1) * (r - 1) * (s - 1);
            }
            if (p > 0)
                q = -q;
            else
                p = -p;
            if (2 * p < std::min(3 * xm * q - std::fabs(tol * q), std::fabs(e * q))) {
                e = d;
                d = p / q;
            } else {
                d = e = xm;
            }
        } else {
            d = e = xm;
        }
        a = b;
        fa = fb;
        const double next = b.t + (std::fabs(d) > tol ? d : (xm > 0 ? tol : -tol));
        b = curve.at(next);
        fb = g(b);
    }
    return b;
}

// Brent's minimiser (localmin) turned to the altitude's maximum between lo and hi, starting
// from x, the highest of the three samples.
Sample maximum(AltitudeCurve& curve, const Sample& lo, Sample x, const Sample& hi) {
    constexpr double golden = 0.3819660112501051; // (3 - sqrt 5) / 2
    double a = lo.t, b = hi.t;
    Sample w = lo, v = hi;
    if (w.altitudeDeg < v.altitudeDeg)
        std::swap(w, v);
    double d = b - a, e = d;
    for (int step = 0; step < kMostSteps; ++step) {
        const double m = 0.5 * (a + b);
        const double tol = kMaximumTolerance;
        if (std::fabs(x.t - m) <= 2 * tol - 0.5 * (b - a))
            return x;
        double p = 0, q = 0, r = 0;
        if (std::fabs(e) > tol) {
            // A parabola through x, w and v.
            r = (x.t - w.t) * (v.altitudeDeg - x.altitudeDeg);
            q = (x.t - v.t) * (w.altitudeDeg - x.altitudeDeg);
            p = (x.t - v.t) * q - (x.t - w.t) * r;
            q = 2 * (q - r);
            if (q > 0)
                p = -p;
            else
                q = -q;
            r = e;
            e = d;
        }
        if (std::fabs(p) < std::fabs(0.5 * q * r) && p > q * (a - x.t) && p < q * (b - x.t)) {
            d = p / q;
            const double u = x.t + d;
            if (u - a < 2 * tol || b - u < 2 * tol)
                d = x.t < m ? tol : -tol;
        } else {
            e = (x.t < m ? b : a) - x.t;
            d = golden * e;
        }
        const Sample u = curve.at(x.t + (std::fabs(d) >= tol ? d : (d > 0 ? tol : -tol)));
        if (u.altitudeDeg >= x.altitudeDeg) {
            if (u.t < x.t)
                b = x.t;
            else
                a = x.t;
            v = w;
            w = x;
            x = u;
        } else {
            if (u.t < x.t)
                a = u.t;
            else
                b = u.t;
            if (u.altitudeDeg >= w.altitudeDeg || w.t == x.t) {
                v = w;
                w = u;
            } else if (u.altitudeDeg >= v.altitudeDeg || v.t == x.t || v.t == w.t) {
                v = u;
            }
        }
    }
    return x;
}

// The highest point near sample s, which stands at least as high as the samples before and
// after it. At an edge of the window (no sample before or after) the highest point may be the
// edge itself.
Sample peakNear(AltitudeCurve& curve, const Sample* before, const Sample& s, const Sample* after) {
    if (!before && !after)
        return s;
    if (!before || !after) {
        const Sample& inner = before ? *before : *after;
        const Sample probe = curve.at(s.t + (before ? -kEdgeProbe : kEdgeProbe));
        if (probe.altitudeDeg <= s.altitudeDeg)
            return s; // falling away from the edge
        return before ? maximum(curve, inner, probe, s) : maximum(curve, s, probe, inner);
    }
    return maximum(curve, *before, s, *after);
}

// Whether the altitude may reach the threshold between two samples below it. Most maxima of the
// samples far below the threshold are ruled out by the bounds from both ends of the gaps beside
// them; most of the others by the bounds over the gaps' halves and quarters, for a few
// propagations (the maximum's refinement takes about ten).
bool mayRiseBetween(AltitudeCurve& curve, const Sample& s, const Sample& neighbour,
                    double threshold, int splits = 2) {
    if (!curve.mayReachBetween(s, neighbour, threshold))
        return false;
    if (splits == 0)
        return true;
    const Sample middle = curve.at(0.5 * (s.t + neighbour.t));
    if (!(middle.altitudeDeg <= threshold) || !(middle.altitudeDeg > kNoAltitude))
        return true;
    return mayRiseBetween(curve, s, middle, threshold, splits - 1) ||
           mayRiseBetween(curve, middle, neighbour, threshold, splits - 1);
}

struct Found {
    bool hasRise = false;
    Sample rise;
    bool hasSet = false;
    Sample set;
    // Until the pass is known to be wanted, the samples around its crossings.
    bool crossingsKnown = false;
    Sample riseBefore, riseAfter, setBefore, setAfter;
    // The highest sample, when the pass holds any, and its neighbours (none at the window's
    // edges).
    Sample best;
    bool hasBefore = false, hasAfter = false;
    Sample beforeBest, afterBest;
    std::size_t bestIndex = 0;
    bool peakKnown = false;
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
             std::vector<ScannedPass>& out) {
        RawSample next{raw, {bodies ? bodies[0] : Vec3(), bodies ? bodies[1] : Vec3()}};
        bool relevant = false;
        if (bodies && haveRaw) {
            const double lowest = threshold.lowest();
            relevant = lastRaw.sample.altitudeDeg > lowest || raw.altitudeDeg > lowest;
            if (relevant) {
                lastRaw.measure();
                next.measure();
                boundGap(curve, lastRaw, next, kMostSplits);
            }
        }
        if (threshold.masked() && haveRaw)
            throughGap(curve, clock, lastRaw.sample, raw, out);
        feed(curve, clock, raw, out);
        if (bodies && haveRaw && !relevant)
            nearest[0] = nearest[1] = kUnbounded;
        lastRaw = next;
        haveRaw = true;
    }

    // After the window's last sample.
    void finish(AltitudeCurve& curve, const WindowClock& clock, std::vector<ScannedPass>& out) {
        if (pending == 0)
            return;
        process(curve, clock, nullptr, out);
        if (open)
            emit(curve, clock, current, out); // still up at the window's end
        pending = 0;
    }

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
    static double turn(AltitudeCurve& curve, const Sample& s, double seconds) {
        const double reach = curve.speedBound() * seconds;
        const double range = length(s.enu);
        if (!(reach < range)) // also NaN
            return kUnbounded;
        return -std::log1p(-reach / range) + kBodyTurnRate * seconds;
    }

    // The separation from each body between two samples is at least the bound: before the
    // middle of the gap, the first sample's bound there, after it, the second's. Where that falls
    // short of what is sought, the gap is split at the middle, the body's direction there taken
    // on the chord between its ends (which strays from the body's path by at most the square of
    // the angle they span, over 8, for paths curved like the sky's circles).
    void boundGap(AltitudeCurve& curve, const RawSample& a, const RawSample& b, int splits) {
        const double half = 0.5 * (b.sample.t - a.sample.t);
        double bound[2];
        bool enough = true;
        for (int body = 0; body < 2; ++body) {
            bound[body] = std::min(a.separation[body] - turn(curve, a.sample, half),
                                   b.separation[body] - turn(curve, b.sample, half)) -
                          kBoundSlack;
            if (!std::isfinite(bound[body]))
                bound[body] = -kUnbounded;
            enough = enough && (!(sought[body] > 0) || bound[body] > sought[body]);
        }
        if (enough || splits == 0 || !(half > kShortestStep)) {
            nearest[0] = std::min(nearest[0], bound[0]);
            nearest[1] = std::min(nearest[1], bound[1]);
            return;
        }
        RawSample middle{curve.at(a.sample.t + half), {}};
        for (int body = 0; body < 2; ++body) {
            const Vec3& u = a.body[body];
            const Vec3& v = b.body[body];
            middle.body[body] = {0.5 * (u.x + v.x), 0.5 * (u.y + v.y), 0.5 * (u.z + v.z)};
        }
        middle.measure();
        for (int body = 0; body < 2; ++body) {
            const double spanned = angleBetween(a.body[body], b.body[body]);
            middle.separation[body] -= spanned * spanned;
        }
        boundGap(curve, a, middle, splits - 1);
        boundGap(curve, middle, b, splits - 1);
    }

    bool above(const Sample& s) const { return s.altitudeDeg > threshold(s); }

    bool clearOfAll() const {
        bool any = false;
        for (int body = 0; body < 2; ++body)
            if (sought[body] > 0) {
                if (!(nearest[body] > sought[body]))
                    return false;
                any = true;
            }
        return any;
    }

    // Behind a mask a pass may show only through a gap, or end and begin again behind a wall,
    // all between two samples. Where the satellite is hidden at either sample but stands above
    // the mask's lowest point at one of them, samples are added every degree of its path across
    // the sky (at most every kShortestStep). Where it stands lower at both, the altitude's maxima
    // between are refined as without a mask.
    void throughGap(AltitudeCurve& curve, const WindowClock& clock, const Sample& a,
                    const Sample& b, std::vector<ScannedPass>& out) {
        constexpr double kGapStepDeg = 1.0;
        const double dt = b.t - a.t;
        const double cosine = dot(a.enu, b.enu) / (length(a.enu) * length(b.enu));
        const double pathDeg = std::acos(std::clamp(cosine, -1.0, 1.0)) * kDegreesPerRadian;
        const bool hidden = a.altitudeDeg <= threshold(a) || b.altitudeDeg <= threshold(b);
        if (hidden && dt > kShortestStep && pathDeg > kGapStepDeg &&
            std::max(a.altitudeDeg, b.altitudeDeg) > threshold.lowest()) {
            const int n = int(std::ceil(std::min(dt / kShortestStep, pathDeg / kGapStepDeg)));
            for (int k = 1; k < n; ++k)
                feed(curve, clock, curve.at(a.t + dt * k / n), out);
        }
    }

    // Samples are looked at with the one after them known.
    void feed(AltitudeCurve& curve, const WindowClock& clock, const Sample& s,
              std::vector<ScannedPass>& out) {
        if (pending > 0)
            process(curve, clock, &s, out);
        before = here;
        here = s;
        ++pending;
    }

    // The sample `here`, the pending-th; `after` is none for the last.
    void process(AltitudeCurve& curve, const WindowClock& clock, const Sample* after,
                 std::vector<ScannedPass>& out) {
        const std::size_t i = pending - 1;
        const Sample& s = here;
        const Sample* previous = i > 0 ? &before : nullptr;
        if (open && current.bestIndex + 1 == i) {
            current.hasAfter = true;
            current.afterBest = s;
        }
        if (i == 0) {
            open = above(s);
            current = Found();
            current.best = s;
        }
        if (previous && above(*previous) != above(s)) {
            if (above(s)) {
                current = Found();
                current.hasRise = true;
                current.riseBefore = *previous;
                current.riseAfter = s;
                markBest(i, s);
                open = true;
            } else {
                current.hasSet = true;
                current.setBefore = *previous;
                current.setAfter = s;
                emit(curve, clock, current, out);
                open = false;
            }
        }
        if (open && s.altitudeDeg > current.best.altitudeDeg)
            markBest(i, s);
        // A maximum of the samples below the threshold: a short pass may hide between them.
        const bool higherThanBefore = !previous || s.altitudeDeg > previous->altitudeDeg;
        const bool notLowerThanAfter = !after || s.altitudeDeg >= after->altitudeDeg;
        const double reach =
            std::max(previous ? s.t - previous->t : 0.0, after ? after->t - s.t : 0.0);
        if (!above(s) && s.altitudeDeg > kNoAltitude && higherThanBefore && notLowerThanAfter &&
            (previous || after) && curve.mayReach(s, reach, threshold.lowest()) &&
            (!previous || !after || mayRiseBetween(curve, s, *previous, threshold.lowest()) ||
             mayRiseBetween(curve, s, *after, threshold.lowest()))) {
            const Sample peak = peakNear(curve, previous, s, after);
            if (above(peak)) {
                // The peak lies strictly between the samples around it, both below.
                Found hidden;
                hidden.peakKnown = hidden.crossingsKnown = true;
                hidden.peak = peak;
                hidden.hasRise = hidden.hasSet = true;
                hidden.rise = crossing(curve, peak.t < s.t ? *previous : s, peak, threshold);
                hidden.set = crossing(curve, peak, peak.t > s.t ? *after : s, threshold);
                hidden.bound[0] = hidden.bound[1] = -kUnbounded;
                emit(curve, clock, hidden, out);
            }
        }
    }

    void markBest(std::size_t i, const Sample& s) {
        current.bestIndex = i;
        current.best = s;
        current.hasBefore = i > 0;
        current.beforeBest = before;
        current.hasAfter = false;
    }

    void emit(AltitudeCurve& curve, const WindowClock& clock, Found& f,
              std::vector<ScannedPass>& out) {
        if (!f.peakKnown) {
            f.bound[0] = nearest[0];
            f.bound[1] = nearest[1];
            if (onlyNear && clearOfAll())
                return; // not wanted: not refined
        }
        if (!f.crossingsKnown) {
            if (f.hasRise)
                f.rise = crossing(curve, f.riseBefore, f.riseAfter, threshold);
            if (f.hasSet)
                f.set = crossing(curve, f.setBefore, f.setAfter, threshold);
        }
        if (!f.peakKnown) {
            f.peak = peakNear(curve, f.hasBefore ? &f.beforeBest : nullptr, f.best,
                              f.hasAfter ? &f.afterBest : nullptr);
        }
        // Behind the mask the satellite may climb on: the highest point seen is where it goes.
        if (threshold.masked()) {
            if (f.hasRise && f.peak.t < f.rise.t)
                f.peak = f.rise;
            if (f.hasSet && f.peak.t > f.set.t)
                f.peak = f.set;
        }
        const PassWindow& window = threshold.window;
        SatellitePass pass;
        pass.hasRise = f.hasRise;
        pass.rise = curve.point(f.rise);
        pass.culmination = curve.point(f.peak);
        pass.hasSet = f.hasSet;
        pass.set = curve.point(f.set);
        pass.startJd = f.hasRise ? pass.rise.jd : window.fromJd;
        pass.endJd = f.hasSet ? pass.set.jd : window.toJd;

        const double jd = pass.culmination.jd;
        const Vec3 sun = sunPosition(jd + kWorkingToTtDays);
        pass.sunAltitudeDeg = altitudeDegrees(sun, clock.at(jd).frame);
        pass.sunlit = isSunlit(f.peak.position, sun);
        pass.visible = pass.sunlit && pass.sunAltitudeDeg < kVisibleSunAltitudeDeg;
        out.push_back({pass, {std::max(0.0, f.bound[0]), std::max(0.0, f.bound[1])}});
    }

    Threshold threshold;
    bool haveRaw = false;
    RawSample lastRaw;
    double nearest[2] = {kUnbounded, kUnbounded};
    double sought[2] = {0.0, 0.0};
    bool onlyNear = false;
    std::size_t pending = 0; // the samples fed
    Sample before, here;
    bool open = false;
    Found current;
};

} // namespace

std::vector<SatellitePass> findPasses(CatalogueEntry& satellite, const TimeScales& scales,
                                      const Site& site, const PassWindow& window,
                                      std::size_t* propagations) {
    const double span = (window.toJd - window.fromJd) * kSecondsPerDay;
    if (!(span >= 0) || !std::isfinite(span))
        return {};
    const WindowClock clock(scales, site, window.fromJd, window.toJd);
    AltitudeCurve curve(satellite, clock, window.fromJd);
    PassScan scan(window);
    std::vector<ScannedPass> scanned;
    for (double t = 0;;) {
        const Sample s = curve.at(t);
        scan.add(curve, clock, s, nullptr, scanned);
        if (t >= span)
            break;
        t = std::min(span, t + curve.stepAfter(s));
    }
    scan.finish(curve, clock, scanned);
    std::vector<SatellitePass> passes;
    passes.reserve(scanned.size());
    for (const ScannedPass& p : scanned)
        passes.push_back(p.pass);
    if (propagations)
        *propagations += curve.propagations;
    return passes;
}

std::vector<PassPoint> passTrack(CatalogueEntry& satellite, const TimeScales& scales,
                                 const Site& site, const SatellitePass& pass, int count) {
    const WindowClock clock(scales, site, pass.startJd, pass.endJd);
    AltitudeCurve curve(satellite, clock, pass.startJd);
    const double span = (pass.endJd - pass.startJd) * kSecondsPerDay;
    const double culmination = (pass.culmination.jd - pass.startJd) * kSecondsPerDay;
    count = std::max(count, 2);
    std::vector<PassPoint> track;
    track.reserve(std::size_t(count) + 1);
    bool culminationDone = false;
    for (int k = 0; k < count; ++k) {
        const double t = span * k / (count - 1);
        if (!culminationDone && t >= culmination) {
            culminationDone = true;
            if (t > culmination)
                track.push_back(pass.culmination);
        }
        track.push_back(curve.point(curve.at(t)));
    }
    return track;
}

namespace {

// The catalogue search samples every set on one grid of instants, many sets per propagation
// call (orbit/sgp4_batch.h), and refines as findPasses does. A set's stride on the grid is the
// step findPasses takes at perigee, the shortest along the orbit, rounded down to a whole number
// of grid steps; sets of one stride are propagated together.
constexpr double kGridStep = kShortestStep;
// Sets per unit of work: the search's results do not depend on how the units are shared out.
constexpr std::size_t kShareSize = 256;
// The bodies' positions are interpolated between exact ones this far apart (days): a bound
// needs no more.
constexpr double kBodyStep = 600.0 / kSecondsPerDay;

std::uint64_t gridStride(const ElementSet& e) {
    double step = kTwoPi / e.no * 60.0 / kSamplesPerOrbit;
    if (e.ecco >= 0 && e.ecco < 1)
        step *= (1 - e.ecco) * (1 - e.ecco) / std::sqrt(1 - e.ecco * e.ecco);
    step = std::min(step, kLongestStep);
    if (!(step >= 2 * kGridStep)) // also NaN
        return 1;
    return std::uint64_t(step / kGridStep);
}

// The instants of one stretch of the grid, reduced, with the Sun's and the Moon's directions
// when asked for.
struct Stretch {
    std::vector<double> t; // seconds into the window
    std::vector<ObservationInstant> instants;
    std::vector<Vec3> bodies; // two per instant
    std::uint64_t firstStep = 0;
    bool last = false; // ends with the window's end, which every set samples
};

Vec3 bodyAt(bool sun, double jd) {
    const double k = std::floor(jd / kBodyStep);
    const double u = jd / kBodyStep - k;
    const auto exact = [sun](double at) {
        const double tt = at * kBodyStep + kWorkingToTtDays;
        return sun ? apparentSunPosition(tt) : moonPosition(tt);
    };
    const Vec3 a = exact(k), b = exact(k + 1);
    return {a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.z + (b.z - a.z) * u};
}

// A share of the catalogue, carried from stretch to stretch: its sets, grouped by stride and
// propagated together, and each set's scan and passes.
class Share {
public:
    Share(Catalogue& catalogue, std::size_t first, std::size_t last, const PassWindow& window,
          const CatalogueSearch& search)
        : first(first), n(last - first) {
        std::vector<std::uint64_t> strides(n);
        order.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            order[k] = first + k;
            strides[k] = gridStride(catalogue[first + k].elements);
        }
        std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
            return strides[x - first] < strides[y - first];
        });
        sets.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            sets[k] = catalogue[order[k]].elements;
            const std::uint64_t stride = strides[order[k] - first];
            if (groups.empty() || groups.back().stride != stride)
                groups.push_back({stride, k, k});
            groups.back().end = k + 1;
        }
        batch.assign(sets.data(), n);
        scans.reserve(n);
        for (std::size_t k = 0; k < n; ++k)
            scans.emplace_back(window, search.clearanceSought, search.onlyNear);
        passes.resize(n);
    }

    // Per thread: what one propagation call fills.
    struct Buffers {
        std::vector<double> rv;
        std::vector<int> errors;
        std::vector<double> east, north, up, elevation;
        std::vector<Vec3> positions;
    };

    void search(Catalogue& catalogue, const WindowClock& clock, const PassWindow& window,
                const Stretch& stretch, Buffers& b) {
        b.rv.resize(6 * n);
        b.errors.resize(n);
        b.east.resize(n);
        b.north.resize(n);
        b.up.resize(n);
        b.elevation.resize(n);
        b.positions.resize(n);
        const bool withBodies = !stretch.bodies.empty();
        const auto sampleAt = [&](std::size_t j, std::size_t from, std::size_t to) {
            const ObservationInstant& instant = stretch.instants[j];
            double* rv = b.rv.data();
            const Sgp4States at{
                rv + from,         rv + n + from,     rv + 2 * n + from,     rv + 3 * n + from,
                rv + 4 * n + from, rv + 5 * n + from, b.errors.data() + from};
            batch.propagateAt(instant.utcJd, from, to, at);
            for (std::size_t k = from; k < to; ++k) {
                b.positions[k] =
                    satellitePosition(sets[k], minutesSinceEpoch(sets[k], instant.utcJd),
                                      {rv[k], rv[n + k], rv[2 * n + k]}, b.errors[k]);
                const Vec3 enu = horizonVector(b.positions[k], instant.frame);
                b.east[k] = enu.x;
                b.north[k] = enu.y;
                b.up[k] = enu.z;
            }
            // altitudeOf to a few ulps, many at once.
            batchElevations(b.east.data() + from, b.north.data() + from, b.up.data() + from,
                            to - from, b.elevation.data() + from);
            for (std::size_t k = from; k < to; ++k) {
                Sample s;
                s.t = stretch.t[j];
                s.position = b.positions[k];
                s.enu = {b.east[k], b.north[k], b.up[k]};
                if (std::isfinite(b.elevation[k]))
                    s.altitudeDeg = b.elevation[k] * kDegreesPerRadian;
                AltitudeCurve curve(catalogue[order[k]], clock, window.fromJd);
                scans[k].add(curve, clock, s, withBodies ? &stretch.bodies[2 * j] : nullptr,
                             passes[k]);
            }
        };
        const std::size_t count = stretch.instants.size() - (stretch.last ? 1 : 0);
        for (std::size_t j = 0; j < count; ++j)
            for (const Group& g : groups)
                if ((stretch.firstStep + j) % g.stride == 0)
                    sampleAt(j, g.begin, g.end);
        if (!stretch.last)
            return;
        sampleAt(count, 0, n); // the window's end, as findPasses samples it
        for (std::size_t k = 0; k < n; ++k) {
            AltitudeCurve curve(catalogue[order[k]], clock, window.fromJd);
            scans[k].finish(curve, clock, passes[k]);
        }
    }

    // The passes found, by catalogue row, then in time; the share's memory freed.
    void collect(Catalogue& catalogue, const TimeScales& scales, const Site& site,
                 const CatalogueSearch& search, std::vector<CataloguePass>& out) {
        std::vector<std::size_t> slotOf(n);
        std::size_t total = 0;
        for (std::size_t k = 0; k < n; ++k) {
            slotOf[order[k] - first] = k;
            total += passes[k].size();
        }
        out.reserve(total);
        for (std::size_t i = first; i < first + n; ++i) {
            const std::size_t k = slotOf[i - first];
            for (const ScannedPass& p : passes[k]) {
                CataloguePass entry{i, p.pass, {}};
                if (search.trackPoints > 0)
                    entry.track =
                        passTrack(catalogue[i], scales, site, entry.pass, search.trackPoints);
                if (search.clearances) {
                    entry.sunClearance = p.clearance[0];
                    entry.moonClearance = p.clearance[1];
                }
                out.push_back(std::move(entry));
            }
            std::vector<ScannedPass>().swap(passes[k]);
        }
        *this = Share();
    }

private:
    Share() = default;

    struct Group {
        std::uint64_t stride;
        std::size_t begin, end; // slots
    };
    std::size_t first = 0, n = 0;
    std::vector<std::size_t> order; // catalogue rows by slot
    std::vector<Group> groups;
    std::vector<ElementSet> sets;
    Sgp4Batch batch;
    std::vector<PassScan> scans;
    std::vector<std::vector<ScannedPass>> passes;
};

// Puts v in the order `from` gives: v[k] becomes the old v[from[k]]. Moves, no second copy.
template <class T> void permute(std::vector<T>& v, std::vector<std::size_t> from) {
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (from[k] == k)
            continue;
        T held = std::move(v[k]);
        std::size_t at = k;
        while (from[at] != k) {
            const std::size_t source = from[at];
            v[at] = std::move(v[source]);
            from[at] = at;
            at = source;
        }
        v[at] = std::move(held);
        from[at] = at;
    }
}

} // namespace

unsigned passSearchThreads() {
    return std::max(1u, std::thread::hardware_concurrency());
}

std::vector<CataloguePass> findCataloguePasses(Catalogue& catalogue, const TimeScales& scales,
                                               const Site& site, const PassWindow& window,
                                               int trackPoints,
                                               const std::function<bool()>& carryOn,
                                               unsigned threads) {
    CatalogueSearch search;
    search.trackPoints = trackPoints;
    search.carryOn = carryOn;
    search.threads = threads;
    return findCataloguePasses(catalogue, scales, site, window, search);
}

std::vector<CataloguePass> findCataloguePasses(Catalogue& catalogue, const TimeScales& scales,
                                               const Site& site, const PassWindow& window,
                                               const CatalogueSearch& search) {
    std::vector<CataloguePass> all;
    const double span = (window.toJd - window.fromJd) * kSecondsPerDay;
    if (!(span >= 0) || !std::isfinite(span) || catalogue.empty())
        return all;
    const WindowClock clock(scales, site, window.fromJd, window.toJd);
    const auto jdAt = [&window](double t) {
        return window.fromJd + t / kSecondsPerDay;
    };
    const std::size_t count = (catalogue.size() + kShareSize - 1) / kShareSize;
    // The costliest shares first (the cost goes with the samples taken), so that the threads
    // end together rather than one finishing a long share alone.
    std::vector<double> cost(count, 0.0);
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        cost[i / kShareSize] += 1.0 / double(gridStride(catalogue[i].elements));
    std::vector<std::size_t> schedule(count);
    for (std::size_t c = 0; c < count; ++c)
        schedule[c] = c;
    std::stable_sort(schedule.begin(), schedule.end(),
                     [&cost](std::size_t x, std::size_t y) { return cost[x] > cost[y]; });
    std::vector<Share> shares;
    shares.reserve(count);
    for (std::size_t c = 0; c < count; ++c)
        shares.emplace_back(catalogue, c * kShareSize,
                            std::min(catalogue.size(), (c + 1) * kShareSize), window, search);
    std::vector<std::vector<CataloguePass>> found(count);

    unsigned threads = search.threads == 0 ? passSearchThreads() : search.threads;
    threads = unsigned(std::min<std::size_t>(threads, count));
    std::vector<Share::Buffers> buffers(threads);
    // The stretches' lengths in grid steps; the window's end closes the last.
    std::uint64_t steps = 0;
    while (double(steps) * kGridStep < span)
        ++steps;
    const double stretchSeconds = search.stretchSeconds > 0 ? search.stretchSeconds : span;
    bool stopped = false;
    Stretch stretch;
    for (std::uint64_t begin = 0; !stopped;) {
        // Every step whose instant lies before the stretch's end.
        std::uint64_t end = begin;
        const double until = double(begin) * kGridStep + stretchSeconds;
        while (end < steps && (end == begin || double(end) * kGridStep < until))
            ++end;
        stretch.firstStep = begin;
        stretch.last = end == steps;
        stretch.t.clear();
        stretch.instants.clear();
        stretch.bodies.clear();
        for (std::uint64_t j = begin; j < end; ++j)
            stretch.t.push_back(double(j) * kGridStep);
        if (stretch.last)
            stretch.t.push_back(span);
        for (const double t : stretch.t) {
            stretch.instants.push_back(clock.at(jdAt(t)));
            if (search.clearances)
                for (const bool sun : {true, false}) {
                    const Vec3 seen =
                        horizonVector(bodyAt(sun, jdAt(t)), stretch.instants.back().frame);
                    stretch.bodies.push_back(seen);
                }
        }

        std::atomic<std::size_t> next{0};
        std::atomic<bool> stop{false};
        // The calling thread works too, and alone asks carryOn.
        const auto work = [&](unsigned thread) {
            while (!stop) {
                if (thread == 0 && search.carryOn && !search.carryOn()) {
                    stop = true;
                    break;
                }
                const std::size_t slot = next++;
                if (slot >= count)
                    break;
                const std::size_t c = schedule[slot];
                shares[c].search(catalogue, clock, window, stretch, buffers[thread]);
                if (stretch.last)
                    shares[c].collect(catalogue, scales, site, search, found[c]);
            }
        };
        std::vector<std::thread> workers;
        try {
            for (unsigned k = 1; k < threads; ++k)
                workers.emplace_back(work, k);
        } catch (const std::exception&) {
            // Fewer threads: the others share the work.
        }
        work(0);
        for (std::thread& t : workers)
            t.join();
        stopped = stop;
        if (!stopped && search.progress)
            search.progress(double(end) / double(std::max<std::uint64_t>(steps, 1)));
        if (stretch.last)
            break;
        begin = end;
    }
    if (stopped)
        return all;

    // Gathered share by share (each share's memory freed as it goes), then put in order by
    // small keys, the passes themselves moved once: they are many and large.
    std::size_t total = 0;
    for (const std::vector<CataloguePass>& passes : found)
        total += passes.size();
    all.reserve(total);
    for (std::vector<CataloguePass>& passes : found) {
        all.insert(all.end(), std::make_move_iterator(passes.begin()),
                   std::make_move_iterator(passes.end()));
        std::vector<CataloguePass>().swap(passes);
    }
    struct Key {
        double startJd;
        std::int32_t satnum;
        std::size_t at; // the catalogue order breaks ties
    };
    std::vector<Key> keys(all.size());
    for (std::size_t k = 0; k < all.size(); ++k)
        keys[k] = {all[k].pass.startJd, catalogue[all[k].index].elements.satnum, k};
    std::sort(keys.begin(), keys.end(), [](const Key& x, const Key& y) {
        if (x.startJd != y.startJd)
            return x.startJd < y.startJd;
        if (x.satnum != y.satnum)
            return x.satnum < y.satnum;
        return x.at < y.at;
    });
    std::vector<std::size_t> from(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k)
        from[k] = keys[k].at;
    std::vector<Key>().swap(keys);
    permute(all, std::move(from));
    return all;
}
