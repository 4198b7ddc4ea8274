#include "planning/passes.h"

#include "astro/angles.h"
#include "astro/earth.h"
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

    std::size_t propagations = 0;

private:
    // The satellite's speed (at perigee, with a margin for the perturbations) plus the site's.
    double speedBound() const {
        const ElementSet& e = satellite.elements;
        const double a = e.a * kModelEarthRadius;
        const double perigeeSpeed = std::sqrt(kEarthMu * (1 + e.ecco) / (a * (1 - e.ecco)));
        return 1.05 * perigeeSpeed + kSiteSpeed;
    }

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

// The highest point near sample j, which stands at least as high as its neighbours. At an edge
// of the window the highest point may be the edge itself.
Sample peakNear(AltitudeCurve& curve, const std::vector<Sample>& samples, std::size_t j) {
    const std::size_t last = samples.size() - 1;
    if (last == 0)
        return samples[0];
    if (j == 0 || j == last) {
        const Sample& edge = samples[j];
        const Sample& inner = samples[j == 0 ? 1 : last - 1];
        const Sample probe = curve.at(edge.t + (j == 0 ? kEdgeProbe : -kEdgeProbe));
        if (probe.altitudeDeg <= edge.altitudeDeg)
            return edge; // falling away from the edge
        return j == 0 ? maximum(curve, edge, probe, inner) : maximum(curve, inner, probe, edge);
    }
    return maximum(curve, samples[j - 1], samples[j], samples[j + 1]);
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
    std::size_t best = 0; // the highest sample, when the pass holds any
    bool peakKnown = false;
    Sample peak;
};

// Behind a mask a pass may show only through a gap, or end and begin again behind a wall, all
// between two samples. Where the satellite is hidden at either sample but stands above the
// mask's lowest point at one of them, samples are added every degree of its path across the sky
// (at most every kShortestStep). Where it stands lower at both, the altitude's maxima between are
// refined as without a mask.
std::vector<Sample> throughGaps(AltitudeCurve& curve, const Threshold& threshold,
                                const std::vector<Sample>& samples) {
    constexpr double kGapStepDeg = 1.0;
    std::vector<Sample> dense;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i > 0) {
            const Sample& a = samples[i - 1];
            const Sample& b = samples[i];
            const double dt = b.t - a.t;
            const double cosine = dot(a.enu, b.enu) / (length(a.enu) * length(b.enu));
            const double pathDeg = std::acos(std::clamp(cosine, -1.0, 1.0)) * kDegreesPerRadian;
            const bool hidden = a.altitudeDeg <= threshold(a) || b.altitudeDeg <= threshold(b);
            if (hidden && dt > kShortestStep && pathDeg > kGapStepDeg &&
                std::max(a.altitudeDeg, b.altitudeDeg) > threshold.lowest()) {
                const int n = int(std::ceil(std::min(dt / kShortestStep, pathDeg / kGapStepDeg)));
                for (int k = 1; k < n; ++k)
                    dense.push_back(curve.at(a.t + dt * k / n));
            }
        }
        dense.push_back(samples[i]);
    }
    return dense;
}

// The passes the samples show, each refined from the samples around its crossings and peak.
std::vector<SatellitePass> passesFromSamples(AltitudeCurve& curve, const WindowClock& clock,
                                             const PassWindow& window,
                                             const std::vector<Sample>& sampled) {
    std::vector<SatellitePass> passes;
    const Threshold threshold{window};
    const std::vector<Sample> dense =
        threshold.masked() ? throughGaps(curve, threshold, sampled) : std::vector<Sample>();
    const std::vector<Sample>& samples = threshold.masked() ? dense : sampled;
    const auto above = [&threshold](const Sample& s) {
        return s.altitudeDeg > threshold(s);
    };
    const std::size_t n = samples.size();

    std::vector<Found> found;
    Found current;
    bool open = above(samples[0]);
    for (std::size_t i = 0; i < n; ++i) {
        const Sample& s = samples[i];
        if (i > 0 && above(samples[i - 1]) != above(s)) {
            const Sample x = crossing(curve, samples[i - 1], s, threshold);
            if (above(s)) {
                current = Found();
                current.hasRise = true;
                current.rise = x;
                current.best = i;
                open = true;
            } else {
                current.hasSet = true;
                current.set = x;
                found.push_back(current);
                open = false;
            }
        }
        if (open && s.altitudeDeg > samples[current.best].altitudeDeg)
            current.best = i;
        // A maximum of the samples below the threshold: a short pass may hide between them.
        const bool higherThanBefore = i == 0 || s.altitudeDeg > samples[i - 1].altitudeDeg;
        const bool notLowerThanAfter = i == n - 1 || s.altitudeDeg >= samples[i + 1].altitudeDeg;
        const double reach = std::max(i > 0 ? s.t - samples[i - 1].t : 0.0,
                                      i < n - 1 ? samples[i + 1].t - s.t : 0.0);
        if (!above(s) && s.altitudeDeg > kNoAltitude && higherThanBefore && notLowerThanAfter &&
            n > 1 && curve.mayReach(s, reach, threshold.lowest()) &&
            (i == 0 || i == n - 1 || mayRiseBetween(curve, s, samples[i - 1], threshold.lowest()) ||
             mayRiseBetween(curve, s, samples[i + 1], threshold.lowest()))) {
            const Sample peak = peakNear(curve, samples, i);
            if (above(peak)) {
                // The peak lies strictly between the samples around it, both below.
                Found hidden;
                hidden.peakKnown = true;
                hidden.peak = peak;
                hidden.hasRise = hidden.hasSet = true;
                hidden.rise = crossing(curve, peak.t < s.t ? samples[i - 1] : s, peak, threshold);
                hidden.set = crossing(curve, peak, peak.t > s.t ? samples[i + 1] : s, threshold);
                found.push_back(hidden);
            }
        }
    }
    if (open)
        found.push_back(current); // still up at the window's end

    for (Found& f : found) {
        if (!f.peakKnown)
            f.peak = peakNear(curve, samples, f.best);
        // Behind the mask the satellite may climb on: the highest point seen is where it goes.
        if (threshold.masked()) {
            if (f.hasRise && f.peak.t < f.rise.t)
                f.peak = f.rise;
            if (f.hasSet && f.peak.t > f.set.t)
                f.peak = f.set;
        }
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
        passes.push_back(pass);
    }
    return passes;
}

} // namespace

std::vector<SatellitePass> findPasses(CatalogueEntry& satellite, const TimeScales& scales,
                                      const Site& site, const PassWindow& window,
                                      std::size_t* propagations) {
    const double span = (window.toJd - window.fromJd) * kSecondsPerDay;
    if (!(span >= 0) || !std::isfinite(span))
        return {};
    const WindowClock clock(scales, site, window.fromJd, window.toJd);
    AltitudeCurve curve(satellite, clock, window.fromJd);
    std::vector<Sample> samples;
    for (double t = 0;;) {
        samples.push_back(curve.at(t));
        if (t >= span)
            break;
        t = std::min(span, t + curve.stepAfter(samples.back()));
    }
    std::vector<SatellitePass> passes = passesFromSamples(curve, clock, window, samples);
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
constexpr std::size_t kChunk = 256;

std::uint64_t gridStride(const ElementSet& e) {
    double step = kTwoPi / e.no * 60.0 / kSamplesPerOrbit;
    if (e.ecco >= 0 && e.ecco < 1)
        step *= (1 - e.ecco) * (1 - e.ecco) / std::sqrt(1 - e.ecco * e.ecco);
    step = std::min(step, kLongestStep);
    if (!(step >= 2 * kGridStep)) // also NaN
        return 1;
    return std::uint64_t(step / kGridStep);
}

// The passes of catalogue sets [first, last), in catalogue order.
// `grid` holds the grid's instants reduced, then the window's end.
void searchChunk(Catalogue& catalogue, std::size_t first, std::size_t last,
                 const WindowClock& clock, const std::vector<ObservationInstant>& grid,
                 const TimeScales& scales, const Site& site, const PassWindow& window,
                 int trackPoints, std::vector<CataloguePass>& out,
                 std::vector<std::vector<Sample>>& samples) {
    const double span = (window.toJd - window.fromJd) * kSecondsPerDay;
    const std::size_t n = last - first;
    std::vector<std::size_t> order(n);
    std::vector<std::uint64_t> strides(n);
    for (std::size_t k = 0; k < n; ++k) {
        order[k] = first + k;
        strides[k] = gridStride(catalogue[first + k].elements);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        return strides[x - first] < strides[y - first];
    });
    struct Group {
        std::uint64_t stride;
        std::size_t begin, end; // slots
    };
    std::vector<Group> groups;
    std::vector<ElementSet> sets(n);
    for (std::size_t k = 0; k < n; ++k) {
        sets[k] = catalogue[order[k]].elements;
        const std::uint64_t stride = strides[order[k] - first];
        if (groups.empty() || groups.back().stride != stride)
            groups.push_back({stride, k, k});
        groups.back().end = k + 1;
    }
    Sgp4Batch batch;
    batch.assign(sets.data(), n);
    std::vector<double> rv(6 * n);
    std::vector<int> errors(n);
    std::vector<double> east(n), north(n), up(n), elevation(n);
    std::vector<Vec3> positions(n);
    const Sgp4States states{rv.data(),         rv.data() + n,     rv.data() + 2 * n,
                            rv.data() + 3 * n, rv.data() + 4 * n, rv.data() + 5 * n,
                            errors.data()};
    // The buffers of the thread's earlier shares, memory already in place.
    if (samples.size() < n)
        samples.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        samples[k].clear();
        samples[k].reserve(std::size_t(span / (kGridStep * double(strides[order[k] - first]))) + 2);
    }

    // Slots [from, to) at t seconds into the window.
    const auto sampleAt = [&](double t, const ObservationInstant& instant, std::size_t from,
                              std::size_t to) {
        const Sgp4States at{states.rx + from,   states.ry + from, states.rz + from,
                            states.vx + from,   states.vy + from, states.vz + from,
                            states.error + from};
        batch.propagateAt(instant.utcJd, from, to, at);
        for (std::size_t k = from; k < to; ++k) {
            positions[k] =
                satellitePosition(sets[k], minutesSinceEpoch(sets[k], instant.utcJd),
                                  {states.rx[k], states.ry[k], states.rz[k]}, states.error[k]);
            const Vec3 enu = horizonVector(positions[k], instant.frame);
            east[k] = enu.x;
            north[k] = enu.y;
            up[k] = enu.z;
        }
        // altitudeOf to a few ulps, many at once.
        batchElevations(east.data() + from, north.data() + from, up.data() + from, to - from,
                        elevation.data() + from);
        for (std::size_t k = from; k < to; ++k) {
            Sample s;
            s.t = t;
            s.position = positions[k];
            s.enu = {east[k], north[k], up[k]};
            if (std::isfinite(elevation[k]))
                s.altitudeDeg = elevation[k] * kDegreesPerRadian;
            samples[k].push_back(s);
        }
    };
    const std::size_t steps = grid.size() - 1;
    for (std::size_t j = 0; j < steps; ++j) {
        const double t = double(j) * kGridStep;
        for (const Group& g : groups)
            if (j % g.stride == 0)
                sampleAt(t, grid[j], g.begin, g.end);
    }
    sampleAt(span, grid[steps], 0, n); // the window's end, as findPasses samples it

    std::vector<std::size_t> slotOf(n);
    for (std::size_t k = 0; k < n; ++k)
        slotOf[order[k] - first] = k;
    for (std::size_t i = first; i < last; ++i) {
        CatalogueEntry& satellite = catalogue[i];
        AltitudeCurve curve(satellite, clock, window.fromJd);
        for (const SatellitePass& pass :
             passesFromSamples(curve, clock, window, samples[slotOf[i - first]])) {
            CataloguePass entry{i, pass, {}};
            if (trackPoints > 0)
                entry.track = passTrack(satellite, scales, site, pass, trackPoints);
            out.push_back(std::move(entry));
        }
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
    std::vector<CataloguePass> all;
    const double span = (window.toJd - window.fromJd) * kSecondsPerDay;
    if (!(span >= 0) || !std::isfinite(span) || catalogue.empty())
        return all;
    const WindowClock clock(scales, site, window.fromJd, window.toJd);
    // Every share samples at these instants: reduced once, not once a share.
    std::vector<ObservationInstant> grid;
    const auto jdAt = [&window](double t) {
        return window.fromJd + t / kSecondsPerDay;
    };
    for (std::uint64_t j = 0; double(j) * kGridStep < span; ++j)
        grid.push_back(clock.at(jdAt(double(j) * kGridStep)));
    grid.push_back(clock.at(jdAt(span)));
    const std::size_t chunks = (catalogue.size() + kChunk - 1) / kChunk;
    // The costliest shares first (the cost goes with the samples taken), so that the threads
    // end together rather than one finishing a long share alone.
    std::vector<double> cost(chunks, 0.0);
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        cost[i / kChunk] += 1.0 / double(gridStride(catalogue[i].elements));
    std::vector<std::size_t> schedule(chunks);
    for (std::size_t c = 0; c < chunks; ++c)
        schedule[c] = c;
    std::stable_sort(schedule.begin(), schedule.end(),
                     [&cost](std::size_t x, std::size_t y) { return cost[x] > cost[y]; });
    std::vector<std::vector<CataloguePass>> found(chunks);
    std::vector<char> done(chunks, 0);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    // The calling thread works too, and alone asks carryOn.
    const auto work = [&](bool caller) {
        std::vector<std::vector<Sample>> samples;
        while (!stop) {
            if (caller && carryOn && !carryOn()) {
                stop = true;
                break;
            }
            const std::size_t slot = next++;
            if (slot >= chunks)
                break;
            const std::size_t c = schedule[slot];
            const std::size_t first = c * kChunk;
            searchChunk(catalogue, first, std::min(catalogue.size(), first + kChunk), clock, grid,
                        scales, site, window, trackPoints, found[c], samples);
            done[c] = 1;
        }
    };
    if (threads == 0)
        threads = passSearchThreads();
    std::vector<std::thread> workers;
    try {
        for (unsigned k = 1; k < std::min<std::size_t>(threads, chunks); ++k)
            workers.emplace_back(work, false);
    } catch (const std::exception&) {
        // Fewer threads: the others share the work.
    }
    work(true);
    for (std::thread& t : workers)
        t.join();

    // Sorted by small keys, the passes themselves moved once: they are many and large.
    struct Key {
        double startJd;
        std::int32_t satnum;
        std::size_t chunk, k; // the catalogue order breaks ties
    };
    std::vector<Key> keys;
    for (std::size_t c = 0; c < chunks; ++c)
        if (done[c])
            for (std::size_t k = 0; k < found[c].size(); ++k)
                keys.push_back(
                    {found[c][k].pass.startJd, catalogue[found[c][k].index].elements.satnum, c, k});
    std::sort(keys.begin(), keys.end(), [](const Key& x, const Key& y) {
        if (x.startJd != y.startJd)
            return x.startJd < y.startJd;
        if (x.satnum != y.satnum)
            return x.satnum < y.satnum;
        return x.chunk != y.chunk ? x.chunk < y.chunk : x.k < y.k;
    });
    all.reserve(keys.size());
    for (const Key& key : keys)
        all.push_back(std::move(found[key.chunk][key.k]));
    return all;
}
