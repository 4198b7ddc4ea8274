#include "planning/pass_scan.h"

#include "astro/sun.h"

namespace pass_scan {

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
                    double threshold, int splits) {
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

void PassScan::add(AltitudeCurve& curve, const WindowClock& clock, const Sample& raw,
                   const Vec3* bodies, std::vector<ScannedPass>& out) {
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

void PassScan::finish(AltitudeCurve& curve, const WindowClock& clock,
                      std::vector<ScannedPass>& out) {
    if (pending == 0)
        return;
    process(curve, clock, nullptr, out);
    if (open) {
        Found last{current}; // still up at the window's end
        emit(curve, clock, last, out);
    }
    pending = 0;
}

double PassScan::turn(AltitudeCurve& curve, const Sample& s, double seconds) {
    const double reach = curve.speedBound() * seconds;
    const double range = length(s.enu);
    if (!(reach < range)) // also NaN
        return kUnbounded;
    return -std::log1p(-reach / range) + kBodyTurnRate * seconds;
}

void PassScan::boundGap(AltitudeCurve& curve, const RawSample& a, const RawSample& b, int splits) {
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

bool PassScan::clearOfAll() const {
    bool any = false;
    for (int body = 0; body < 2; ++body)
        if (sought[body] > 0) {
            if (!(nearest[body] > sought[body]))
                return false;
            any = true;
        }
    return any;
}

void PassScan::throughGap(AltitudeCurve& curve, const WindowClock& clock, const Sample& a,
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

void PassScan::feed(AltitudeCurve& curve, const WindowClock& clock, const Sample& s,
                    std::vector<ScannedPass>& out) {
    if (pending > 0)
        process(curve, clock, &s, out);
    before = here;
    here = s;
    ++pending;
}

void PassScan::process(AltitudeCurve& curve, const WindowClock& clock, const Sample* after,
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
        current = Rising();
        current.best = s;
    }
    if (previous && above(*previous) != above(s)) {
        if (above(s)) {
            current = Rising();
            current.hasRise = true;
            current.riseBefore = *previous;
            current.riseAfter = s;
            markBest(i, s);
            open = true;
        } else {
            Found ended{current};
            ended.hasSet = true;
            ended.setBefore = *previous;
            ended.setAfter = s;
            emit(curve, clock, ended, out);
            open = false;
        }
    }
    if (open && s.altitudeDeg > current.best.altitudeDeg)
        markBest(i, s);
    // A maximum of the samples below the threshold: a short pass may hide between them.
    const bool higherThanBefore = !previous || s.altitudeDeg > previous->altitudeDeg;
    const bool notLowerThanAfter = !after || s.altitudeDeg >= after->altitudeDeg;
    const double reach = std::max(previous ? s.t - previous->t : 0.0, after ? after->t - s.t : 0.0);
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

void PassScan::markBest(std::size_t i, const Sample& s) {
    current.bestIndex = i;
    current.best = s;
    current.hasBefore = i > 0;
    current.beforeBest = before;
    current.hasAfter = false;
}

void PassScan::emit(AltitudeCurve& curve, const WindowClock& clock, Found& f,
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

} // namespace pass_scan
