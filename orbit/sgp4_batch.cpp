// Compiled once per instruction set by Highway (foreach_target re-includes this file); the part
// under HWY_ONCE only once.
#include "orbit/sgp4_batch.h"

#include "orbit/gravity.h"
#include "orbit/sgp4.h"
#include "orbit/sgp4_batch_fields.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(ORBITRAK_SIMD)
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "orbit/sgp4_batch.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>

#include "orbit/sgp4_batch_state-inl.h"
#include "orbit/sgp4_deep_batch-inl.h"
#endif

#ifndef ORBITRAK_SGP4_BATCH_SHARED
#define ORBITRAK_SGP4_BATCH_SHARED
namespace orbit_batch {

inline void storeLane(const Block& b, std::size_t lane, const Sgp4States& out, std::size_t k) {
    out.rx[k] = b.row[0][lane];
    out.ry[k] = b.row[1][lane];
    out.rz[k] = b.row[2][lane];
    out.vx[k] = b.row[3][lane];
    out.vy[k] = b.row[4][lane];
    out.vz[k] = b.row[5][lane];
    out.error[k] = static_cast<int>(b.row[6][lane]);
}

inline void scalarInto(ElementSet& set, double tsince, const Sgp4States& out, std::size_t k) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    double r[3] = {nan, nan, nan}, v[3] = {nan, nan, nan};
    sgp4Propagate(1, set, tsince, r, v);
    out.rx[k] = r[0];
    out.ry[k] = r[1];
    out.rz[k] = r[2];
    out.vx[k] = v[0];
    out.vy[k] = v[1];
    out.vz[k] = v[2];
    out.error[k] = set.error;
}

} // namespace orbit_batch
#endif

#if defined(ORBITRAK_SIMD)

HWY_BEFORE_NAMESPACE();
namespace orbit_batch {
namespace HWY_NAMESPACE {

// The near-Earth secular terms of gravity and drag for one register of sets: field f of lane i
// at p[f * stride + i], time t.
HWY_INLINE Elements NearEarthElements(D d, const double* p, std::size_t stride, V t) {
    const auto f = [d, p, stride](Field field) {
        return hn::LoadU(d, p + field * stride);
    };
    const auto k = [d](double v) {
        return hn::Set(d, v);
    };
    constexpr GravityConstants g = kWgs72Constants;

    const V xmdf = f(kMo) + f(kMdot) * t;
    const V argpdf = f(kArgpo) + f(kArgpdot) * t;
    const V nodedf = f(kNodeo) + f(kNodedot) * t;
    const V t2 = t * t;
    V nodem = nodedf + f(kNodecf) * t2;
    V tempa = k(1.0) - f(kCc1) * t;
    V tempe = f(kBc4) * t;
    V templ = f(kT2cof) * t2;
    V mm = xmdf, argpm = argpdf;
    const M full = f(kFull) == k(1.0);
    if (!hn::AllFalse(d, full)) {
        const V delomg = f(kOmgcof) * t;
        V sinxmdf, cosxmdf;
        SinCos(d, xmdf, sinxmdf, cosxmdf);
        const V b = k(1.0) + f(kEta) * cosxmdf;
        const V delm = f(kXmcof) * (b * b * b - f(kDelmo));
        const V temp = delomg + delm;
        const V mmf = xmdf + temp;
        const V t3 = t2 * t;
        const V t4 = t3 * t;
        V sinmm, cosmm;
        SinCos(d, mmf, sinmm, cosmm);
        mm = hn::IfThenElse(full, mmf, mm);
        argpm = hn::IfThenElse(full, argpdf - temp, argpm);
        tempa = hn::IfThenElse(full, tempa - f(kD2) * t2 - f(kD3) * t3 - f(kD4) * t4, tempa);
        tempe = hn::IfThenElse(full, tempe + f(kBc5) * (sinmm - f(kSinmao)), tempe);
        templ =
            hn::IfThenElse(full, templ + f(kT3cof) * t3 + t4 * (f(kT4cof) + t * f(kT5cof)), templ);
    }
    const V no = f(kNo);
    const M badMotion = hn::Not(no > k(0.0));
    const V am = f(kAofno) * tempa * tempa;
    V em = f(kEcco) - tempe;
    const M badEccentricity = hn::Not(hn::And(em < k(1.0), em >= k(-0.001)));
    em = hn::IfThenElse(em < k(1.0e-6), k(1.0e-6), em);
    mm = mm + no * templ;
    V xlm = mm + argpm + nodem;
    nodem = WrapTwoPi(d, nodem);
    argpm = WrapTwoPi(d, argpm);
    xlm = WrapTwoPi(d, xlm);
    mm = WrapTwoPi(d, xlm - argpm - nodem);
    // Near-Earth inclination is constant. (Built whole: GCC gives an implicit constructor no
    // target attributes.)
    return Elements{
        am,         k(g.xke) / (am * hn::Sqrt(am)),
        em,         argpm,
        nodem,      mm,
        f(kSinio),  f(kCosio),
        f(kAycof),  f(kXlcof),
        f(kCon41),  f(kX1mth2),
        f(kX7thm1), hn::IfThenElse(badMotion, k(2.0), hn::IfThenElseZero(badEccentricity, k(1.0)))};
}

// Vector slots [first, last) of near-Earth sets at one UTC Julian date; slot s's result at
// index[s] - base.
// A whole register of sets that lie side by side in the results, stored a row at a time.
HWY_INLINE void StoreRegister(D d, const Block& b, const Sgp4States& out, std::size_t k) {
    double* rows[6] = {out.rx, out.ry, out.rz, out.vx, out.vy, out.vz};
    for (std::size_t r = 0; r < 6; ++r)
        hn::StoreU(hn::Load(d, b.row[r]), d, rows[r] + k);
    for (std::size_t i = 0; i < hn::Lanes(d); ++i)
        out.error[k + i] = static_cast<int>(b.row[6][i]);
}

void PropagateSlots(const double* soa, std::size_t stride, std::size_t first, std::size_t last,
                    double jd, const std::uint32_t* index, std::size_t base,
                    const Sgp4States& out) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    Block b;
    for (std::size_t s = first; s < last; s += n) {
        const V t =
            (hn::Set(d, jd) - hn::LoadU(d, soa + kJdEpoch * stride + s)) * hn::Set(d, 1440.0);
        StateOf(d, NearEarthElements(d, soa + s, stride, t), b);
        const std::size_t lanes = std::min(n, last - s);
        if (lanes == n && index[s + n - 1] - index[s] == n - 1) {
            StoreRegister(d, b, out, index[s] - base);
            continue;
        }
        for (std::size_t i = 0; i < lanes; ++i)
            storeLane(b, i, out, index[s + i] - base);
    }
}

// One register of deep-space sets (fields from p, stride apart) at t, lanes [0, lanes) of
// their integrator state at state[k * stateStride + i] for k = atime, xli, xni. Lanes from
// `lanes` on neither integrate nor touch that state.
template <int kRez>
HWY_INLINE void DeepBlock(D d, const double* p, std::size_t stride, V t, double* state,
                          std::size_t stateStride, std::size_t lanes, Block& out) {
    const auto f = [d, p, stride](int field) {
        return hn::LoadU(d, p + std::size_t(field) * stride);
    };
    if (kRez == 0) {
        Integrator none{t, t, t};
        StateOf(d, DeepSpaceElements<0>(d, f, t, none), out);
        return;
    }
    const std::size_t n = hn::Lanes(d);
    HWY_ALIGN double local[3][kMaxLanes] = {};
    for (std::size_t k = 0; k < 3; ++k)
        std::copy(state + k * stateStride, state + k * stateStride + lanes, local[k]);
    Integrator s{hn::Load(d, local[0]), hn::Load(d, local[1]), hn::Load(d, local[2])};
    if (lanes < n)
        t = hn::IfThenElseZero(hn::FirstN(d, lanes), t);
    StateOf(d, DeepSpaceElements<kRez>(d, f, t, s), out);
    hn::Store(s.atime, d, local[0]);
    hn::Store(s.xli, d, local[1]);
    hn::Store(s.xni, d, local[2]);
    for (std::size_t k = 0; k < 3; ++k)
        std::copy(local[k], local[k] + lanes, state + k * stateStride);
}

template <int kRez>
void DeepSlots(double* soa, std::size_t stride, std::size_t first, std::size_t last, double jd,
               const std::uint32_t* index, std::size_t base, const Sgp4States& out) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    Block b;
    for (std::size_t s = first; s < last; s += n) {
        const V t =
            (hn::Set(d, jd) - hn::LoadU(d, soa + kDJdEpoch * stride + s)) * hn::Set(d, 1440.0);
        const std::size_t lanes = std::min(n, last - s);
        DeepBlock<kRez>(d, soa + s, stride, t, soa + kDAtime * stride + s, stride, lanes, b);
        if (lanes == n && index[s + n - 1] - index[s] == n - 1) {
            StoreRegister(d, b, out, index[s] - base);
            continue;
        }
        for (std::size_t i = 0; i < lanes; ++i)
            storeLane(b, i, out, index[s + i] - base);
    }
}

// Deep-space slots [first, last) at one UTC Julian date, all of one resonance (rez).
void PropagateDeepSlots(int rez, double* soa, std::size_t stride, std::size_t first,
                        std::size_t last, double jd, const std::uint32_t* index, std::size_t base,
                        const Sgp4States& out) {
    if (rez == 1)
        DeepSlots<1>(soa, stride, first, last, jd, index, base, out);
    else if (rez == 2)
        DeepSlots<2>(soa, stride, first, last, jd, index, base, out);
    else
        DeepSlots<0>(soa, stride, first, last, jd, index, base, out);
}

// The instants of one call, a register at a time: n instants into t, tail lanes at 0.
HWY_INLINE V TimesAt(D d, const double* tsince, std::size_t j, std::size_t lanes) {
    HWY_ALIGN double tail[kMaxLanes] = {};
    if (lanes == hn::Lanes(d))
        return hn::LoadU(d, tsince + j);
    std::copy(tsince + j, tsince + j + lanes, tail);
    return hn::Load(d, tail);
}

// One set, its values repeated across kMaxLanes, at n instants.
void PropagateTimes(const double* repeated, const double* tsince, std::size_t count,
                    const Sgp4States& out) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    Block b;
    for (std::size_t j = 0; j < count; j += n) {
        const std::size_t lanes = std::min(n, count - j);
        StateOf(d, NearEarthElements(d, repeated, kMaxLanes, TimesAt(d, tsince, j, lanes)), b);
        for (std::size_t i = 0; i < lanes; ++i)
            storeLane(b, i, out, j + i);
    }
}

template <int kRez>
void DeepTimes(double* repeated, const double* tsince, std::size_t count, const Sgp4States& out) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    Block b;
    double* state = repeated + kDAtime * kMaxLanes;
    for (std::size_t j = 0; j < count; j += n) {
        const std::size_t lanes = std::min(n, count - j);
        DeepBlock<kRez>(d, repeated, kMaxLanes, TimesAt(d, tsince, j, lanes), state, kMaxLanes,
                        lanes, b);
        for (std::size_t i = 0; i < lanes; ++i)
            storeLane(b, i, out, j + i);
        // Every lane of the next register starts from the state the last instant left.
        for (std::size_t k = 0; k < 3; ++k)
            std::fill(state + k * kMaxLanes, state + (k + 1) * kMaxLanes,
                      state[k * kMaxLanes + lanes - 1]);
    }
}

// One deep-space set, its values repeated across kMaxLanes, at n instants; its integrator
// state (repeated too) ends as the last instant leaves it.
void PropagateDeepTimes(int rez, double* repeated, const double* tsince, std::size_t count,
                        const Sgp4States& out) {
    if (rez == 1)
        DeepTimes<1>(repeated, tsince, count, out);
    else if (rez == 2)
        DeepTimes<2>(repeated, tsince, count, out);
    else
        DeepTimes<0>(repeated, tsince, count, out);
}

// atan2(up, sqrt(east^2 + north^2)). Blocks with a zero, infinite or undefined value go lane by
// lane to the C library.
void Elevations(const double* east, const double* north, const double* up, std::size_t count,
                double* out) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    const auto k = [d](double v) {
        return hn::Set(d, v);
    };
    HWY_ALIGN double e[kMaxLanes], no[kMaxLanes], u[kMaxLanes], r[kMaxLanes];
    for (std::size_t j = 0; j < count; j += n) {
        const std::size_t lanes = std::min(n, count - j);
        std::fill(e, e + n, 0.0);
        std::fill(no, no + n, 0.0);
        std::fill(u, u + n, 1.0);
        std::copy(east + j, east + j + lanes, e);
        std::copy(north + j, north + j + lanes, no);
        std::copy(up + j, up + j + lanes, u);
        const V ve = hn::Load(d, e), vn = hn::Load(d, no), y = hn::Load(d, u);
        const V x = hn::Sqrt(ve * ve + vn * vn);
        const V a = hn::Abs(y);
        const V big = hn::Max(a, x), small = hn::Min(a, x);
        const M ordinary =
            hn::And(hn::And(big > k(0.0), big < k(HUGE_VAL)), hn::And(hn::Eq(x, x), hn::Eq(y, y)));
        if (HWY_UNLIKELY(!hn::AllTrue(d, ordinary))) {
            for (std::size_t i = 0; i < lanes; ++i)
                out[j + i] = std::atan2(u[i], std::sqrt(e[i] * e[i] + no[i] * no[i]));
            continue;
        }
        const V atanz = AtanUnit(d, small / big);
        // Above 45 degrees: pi/2 - atan(x / |y|), pi/2 in two parts.
        const V angle = hn::IfThenElse(
            a > x, (k(0x1.921fb54442d18p0) - atanz) + k(0x1.1a62633145c07p-54), atanz);
        hn::Store(hn::CopySign(angle, y), d, r);
        std::copy(r, r + lanes, out + j);
    }
}

const char* PathName() {
    return hwy::TargetName(HWY_TARGET);
}

} // namespace HWY_NAMESPACE
} // namespace orbit_batch
HWY_AFTER_NAMESPACE();

#endif // ORBITRAK_SIMD

#if !defined(ORBITRAK_SIMD) || HWY_ONCE

namespace orbit_batch {
#if defined(ORBITRAK_SIMD)
HWY_EXPORT(PropagateSlots);
HWY_EXPORT(PropagateDeepSlots);
HWY_EXPORT(PropagateTimes);
HWY_EXPORT(PropagateDeepTimes);
HWY_EXPORT(PathName);
HWY_EXPORT(Elevations);
#endif

// Deep-space sets take the lanes when their lunar-solar terms have no epoch offsets, as
// initialisation leaves them.
bool deepSpaceVectorises(const ElementSet& set) {
    return set.method == 'd' && set.irez >= 0 && set.irez <= 2 && set.peo == 0.0 &&
           set.pinco == 0.0 && set.plo == 0.0 && set.pgho == 0.0 && set.pho == 0.0;
}

} // namespace orbit_batch

using namespace orbit_batch;

bool sgp4BatchVectorises(const ElementSet& set) {
#if defined(ORBITRAK_SIMD)
    return set.gravity == 1 && (set.method == 'n' || deepSpaceVectorises(set));
#else
    (void)set;
    return false;
#endif
}

void Sgp4Batch::assign(const ElementSet* sets, std::size_t count) {
    count_ = count;
    for (Lanes& lanes : lanes_)
        lanes.index.clear();
    scalarIndex_.clear();
    scalarSets_.clear();
    // Near-Earth sets, and the deep-space ones by resonance, each kind in lanes of its own.
    for (std::size_t i = 0; i < count; ++i) {
        const ElementSet& set = sets[i];
        if (sgp4BatchVectorises(set)) {
            lanes_[set.method == 'n' ? 0 : 1 + set.irez].index.push_back(std::uint32_t(i));
        } else {
            scalarIndex_.push_back(static_cast<std::uint32_t>(i));
            scalarSets_.push_back(set);
        }
    }
    for (std::size_t kind = 0; kind < lanes_.size(); ++kind) {
        Lanes& lanes = lanes_[kind];
        // Room past the last slot for a whole register read from any slot.
        lanes.stride = lanes.index.size() + kMaxLanes;
        lanes.soa.assign(lanes.stride *
                             (kind == 0 ? std::size_t(kFieldCount) : std::size_t(kDeepFieldCount)),
                         0.0);
        for (std::size_t s = 0; s < lanes.index.size(); ++s) {
            if (kind == 0)
                fieldsOf(sets[lanes.index[s]], lanes.soa.data() + s, lanes.stride);
            else
                deepFieldsOf(sets[lanes.index[s]], lanes.soa.data() + s, lanes.stride);
        }
    }
}

std::size_t Sgp4Batch::vectorSets() const {
    std::size_t n = 0;
    for (const Lanes& lanes : lanes_)
        n += lanes.index.size();
    return n;
}

void Sgp4Batch::propagateAt(double jd, std::size_t first, std::size_t last, const Sgp4States& out) {
    last = std::min(last, count_);
    if (first >= last)
        return;
    const auto lower = [](const std::vector<std::uint32_t>& v, std::size_t i) {
        return std::size_t(std::lower_bound(v.begin(), v.end(), std::uint32_t(i)) - v.begin());
    };
#if defined(ORBITRAK_SIMD)
    for (std::size_t kind = 0; kind < lanes_.size(); ++kind) {
        Lanes& lanes = lanes_[kind];
        const std::size_t s0 = lower(lanes.index, first), s1 = lower(lanes.index, last);
        if (s0 >= s1)
            continue;
        if (kind == 0)
            HWY_DYNAMIC_DISPATCH(PropagateSlots)
        (lanes.soa.data(), lanes.stride, s0, s1, jd, lanes.index.data(), first, out);
        else HWY_DYNAMIC_DISPATCH(PropagateDeepSlots)(int(kind) - 1, lanes.soa.data(), lanes.stride,
                                                      s0, s1, jd, lanes.index.data(), first, out);
    }
#endif
    for (std::size_t j = lower(scalarIndex_, first), end = lower(scalarIndex_, last); j < end;
         ++j) {
        ElementSet& set = scalarSets_[j];
        scalarInto(set, (jd - set.jdsatepoch) * 1440.0, out, scalarIndex_[j] - first);
    }
}

void sgp4PropagateTimes(ElementSet& set, const double* tsince, std::size_t n,
                        const Sgp4States& out) {
#if defined(ORBITRAK_SIMD)
    if (sgp4BatchVectorises(set)) {
        const bool deep = set.method == 'd';
        const std::size_t fields = deep ? std::size_t(kDeepFieldCount) : std::size_t(kFieldCount);
        double repeated[kDeepFieldCount * kMaxLanes];
        if (deep)
            deepFieldsOf(set, repeated, kMaxLanes);
        else
            fieldsOf(set, repeated, kMaxLanes);
        for (std::size_t f = 0; f < fields; ++f)
            std::fill(repeated + f * kMaxLanes + 1, repeated + (f + 1) * kMaxLanes,
                      repeated[f * kMaxLanes]);
        if (!deep) {
            HWY_DYNAMIC_DISPATCH(PropagateTimes)(repeated, tsince, n, out);
            return;
        }
        HWY_DYNAMIC_DISPATCH(PropagateDeepTimes)(set.irez, repeated, tsince, n, out);
        set.atime = repeated[kDAtime * kMaxLanes];
        set.xli = repeated[kDXli * kMaxLanes];
        set.xni = repeated[kDXni * kMaxLanes];
        return;
    }
#endif
    for (std::size_t k = 0; k < n; ++k)
        scalarInto(set, tsince[k], out, k);
}

void batchElevations(const double* east, const double* north, const double* up, std::size_t n,
                     double* out) {
#if defined(ORBITRAK_SIMD)
    HWY_DYNAMIC_DISPATCH(Elevations)(east, north, up, n, out);
#else
    for (std::size_t i = 0; i < n; ++i)
        out[i] = std::atan2(up[i], std::sqrt(east[i] * east[i] + north[i] * north[i]));
#endif
}

std::vector<std::string> sgp4BatchPaths() {
#if defined(ORBITRAK_SIMD)
    std::vector<std::string> names;
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets())
        names.push_back(hwy::TargetName(target));
    return names;
#else
    return {"scalar"};
#endif
}

std::string sgp4BatchPath() {
#if defined(ORBITRAK_SIMD)
    return HWY_DYNAMIC_DISPATCH(PathName)();
#else
    return "scalar";
#endif
}

bool sgp4BatchForcePath(const std::string& name) {
#if defined(ORBITRAK_SIMD)
    hwy::SetSupportedTargetsForTest(0);
    if (name.empty())
        return true;
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets())
        if (name == hwy::TargetName(target)) {
            hwy::SetSupportedTargetsForTest(target);
            return true;
        }
    return false;
#else
    return name.empty() || name == "scalar";
#endif
}

#endif
