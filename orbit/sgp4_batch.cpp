// Compiled once per instruction set by Highway (foreach_target re-includes this file); the part
// under HWY_ONCE only once.
#include "orbit/sgp4_batch.h"

#include "orbit/exact_math.h"
#include "orbit/gravity.h"
#include "orbit/sgp4.h"
#include "orbit/sincos.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

#if defined(ORBITRAK_SIMD)
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "orbit/sgp4_batch.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
#endif

#ifndef ORBITRAK_SGP4_BATCH_SHARED
#define ORBITRAK_SGP4_BATCH_SHARED
namespace orbit_batch {

// Per-set values propagation reads, one array each. Products the scalar code forms first
// (bstar cc4, bstar cc5) are stored formed.
enum Field {
    kJdEpoch,
    kMo,
    kMdot,
    kArgpo,
    kArgpdot,
    kNodeo,
    kNodedot,
    kNodecf,
    kCc1,
    kBc4,
    kT2cof,
    kFull, // 1: the full drag terms (isimp 0), 0: simplified
    kOmgcof,
    kXmcof,
    kEta,
    kDelmo,
    kD2,
    kD3,
    kD4,
    kBc5,
    kSinmao,
    kT3cof,
    kT4cof,
    kT5cof,
    kNo,
    kEcco,
    kAofno,
    kAycof,
    kXlcof,
    kCon41,
    kX1mth2,
    kX7thm1,
    kSinio,
    kCosio,
    kFieldCount
};

// Lanes of the widest register any path uses, with room to spare: one set's values repeated
// across a register, and the stack buffers of one block.
constexpr std::size_t kMaxLanes = 16;

inline void fieldsOf(const ElementSet& s, double* f, std::size_t stride) {
    f[kJdEpoch * stride] = s.jdsatepoch;
    f[kMo * stride] = s.mo;
    f[kMdot * stride] = s.mdot;
    f[kArgpo * stride] = s.argpo;
    f[kArgpdot * stride] = s.argpdot;
    f[kNodeo * stride] = s.nodeo;
    f[kNodedot * stride] = s.nodedot;
    f[kNodecf * stride] = s.nodecf;
    f[kCc1 * stride] = s.cc1;
    f[kBc4 * stride] = s.bstar * s.cc4;
    f[kT2cof * stride] = s.t2cof;
    f[kFull * stride] = s.isimp != 1 ? 1.0 : 0.0;
    f[kOmgcof * stride] = s.omgcof;
    f[kXmcof * stride] = s.xmcof;
    f[kEta * stride] = s.eta;
    f[kDelmo * stride] = s.delmo;
    f[kD2 * stride] = s.d2;
    f[kD3 * stride] = s.d3;
    f[kD4 * stride] = s.d4;
    f[kBc5 * stride] = s.bstar * s.cc5;
    f[kSinmao * stride] = s.sinmao;
    f[kT3cof * stride] = s.t3cof;
    f[kT4cof * stride] = s.t4cof;
    f[kT5cof * stride] = s.t5cof;
    f[kNo * stride] = s.no;
    f[kEcco * stride] = s.ecco;
    f[kAofno * stride] = s.aofno;
    f[kAycof * stride] = s.aycof;
    f[kXlcof * stride] = s.xlcof;
    f[kCon41 * stride] = s.con41;
    f[kX1mth2 * stride] = s.x1mth2;
    f[kX7thm1 * stride] = s.x7thm1;
    f[kSinio * stride] = s.sinio;
    f[kCosio * stride] = s.cosio;
}

// atan(k / 16), k = 0 ... 16.
alignas(64) inline constexpr double kArcTangents[17] = {0x0.0p+0,
                                                        0x1.ff55bb72cfdeap-5,
                                                        0x1.fd5ba9aac2f6ep-4,
                                                        0x1.7b97b4bce5b02p-3,
                                                        0x1.f5b75f92c80ddp-3,
                                                        0x1.362773707ebccp-2,
                                                        0x1.6f61941e4def1p-2,
                                                        0x1.a64eec3cc23fdp-2,
                                                        0x1.dac670561bb4fp-2,
                                                        0x1.0657e94db30d0p-1,
                                                        0x1.1e00babdefeb4p-1,
                                                        0x1.345f01cce37bbp-1,
                                                        0x1.4978fa3269ee1p-1,
                                                        0x1.5d58987169b18p-1,
                                                        0x1.700a7c5784634p-1,
                                                        0x1.819d0b7158a4dp-1,
                                                        0x1.921fb54442d18p-1};

// One block's results, row per quantity: rx ry rz vx vy vz error.
struct Block {
    alignas(64) double row[7][kMaxLanes];
};

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

namespace hn = hwy::HWY_NAMESPACE;
using D = hn::ScalableTag<double>;
using V = hn::Vec<D>;
using M = hn::Mask<D>;

static_assert(HWY_MAX_BYTES / sizeof(double) <= kMaxLanes, "register wider than the buffers");

// Sine and cosine as orbit_detail::sinCos computes them, but reduced by quarter turns so that
// no table is read: x = k pi/2 + r (the same three-part constants, times 32), |r| <= pi/4,
// Taylor series to the first term below 2^-60 of the result. Blocks with an argument from 2^16
// on go lane by lane to the scalar function (the C library there).
HWY_INLINE void SinCos(D d, V x, V& s, V& c) {
    using namespace orbit_detail::sincos_table;
    if (HWY_UNLIKELY(!hn::AllFalse(d, hn::Abs(x) >= hn::Set(d, 0x1p16)))) {
        HWY_ALIGN double xs[kMaxLanes], ss[kMaxLanes], cs[kMaxLanes];
        hn::Store(x, d, xs);
        for (std::size_t i = 0; i < hn::Lanes(d); ++i)
            orbit_detail::sinCos(xs[i], ss[i], cs[i]);
        s = hn::Load(d, ss);
        c = hn::Load(d, cs);
        return;
    }
    const V kd = hn::Round(x * hn::Set(d, kInvStep * (1.0 / 32)));
    const V t = x - kd * hn::Set(d, kStep1 * 32); // exact
    const V c2 = hn::Set(d, kStep2 * 32);
    const V rh = t - kd * c2;
    const V rl = ((t - rh) - kd * c2) - kd * hn::Set(d, kStep3 * 32);
    const V r2 = rh * rh;
    const auto k = [d](double v) {
        return hn::Set(d, v);
    };
    // Horner's scheme with fused multiply-adds where the processor has them.
    const auto poly = [r2, &k](std::initializer_list<double> c) {
        const double* top = c.end() - 1;
        V p = k(*top);
        while (top != c.begin())
            p = hn::MulAdd(p, r2, k(*--top));
        return p;
    };
    const V sp = poly({-1.0 / 6, 1.0 / 120, -1.0 / 5040, 1.0 / 362880, -1.0 / 39916800,
                       1.0 / 6227020800.0, -1.0 / 1307674368000.0, 1.0 / 355687428096000.0});
    const V cp = poly({-0.5, 1.0 / 24, -1.0 / 720, 1.0 / 40320, -1.0 / 3628800, 1.0 / 479001600,
                       -1.0 / 87178291200.0, 1.0 / 20922789888000.0, -1.0 / 6402373705728000.0});
    const V sinr = rh + (rl + rh * r2 * sp);
    const V cosr = k(1.0) + (r2 * cp - rh * rl);
    // Quadrant q = k mod 4: sin, cos = (s, c), (c, -s), (-s, -c), (-c, s) of r.
    const V q = kd - k(4.0) * hn::Floor(kd * k(0.25));
    const M odd = hn::Or(q == k(1.0), q == k(3.0));
    const V s0 = hn::IfThenElse(odd, cosr, sinr);
    const V c0 = hn::IfThenElse(odd, sinr, cosr);
    s = hn::IfThenElse(q >= k(2.0), hn::Neg(s0), s0);
    c = hn::IfThenElse(hn::Or(q == k(1.0), q == k(2.0)), hn::Neg(c0), c0);
}

// Sine and cosine of angles below 2^-8, as short corrections are: Taylor series to the first
// term below 2^-70 of the result. Blocks with a larger angle take SinCos.
HWY_INLINE void SinCosSmall(D d, V x, V& s, V& c) {
    if (HWY_UNLIKELY(!hn::AllTrue(d, hn::Abs(x) < hn::Set(d, 0x1p-8)))) {
        SinCos(d, x, s, c);
        return;
    }
    const auto k = [d](double v) {
        return hn::Set(d, v);
    };
    const V x2 = x * x;
    s = x + x * x2 * (k(-1.0 / 6) + x2 * (k(1.0 / 120) + x2 * k(-1.0 / 5040)));
    c = k(1.0) + x2 * (k(-0.5) + x2 * (k(1.0 / 24) + x2 * (k(-1.0 / 720) + x2 * k(1.0 / 40320))));
}

// fmod(x, 2 pi) up to rounding: x - n 2pi with n = trunc(x / 2pi), 2pi in three parts. Blocks
// with an argument from 2^19 on go lane by lane to the scalar function.
HWY_INLINE V WrapTwoPi(D d, V x) {
    using namespace orbit_detail::sincos_table;
    const V ax = hn::Abs(x);
    if (HWY_UNLIKELY(!hn::AllFalse(d, ax >= hn::Set(d, 0x1p19)))) {
        HWY_ALIGN double xs[kMaxLanes];
        hn::Store(x, d, xs);
        for (std::size_t i = 0; i < hn::Lanes(d); ++i)
            xs[i] = orbit_detail::wrapTwoPi(xs[i]);
        return hn::Load(d, xs);
    }
    const V n = hn::Trunc(x * hn::Set(d, 1.0 / (kStep1 * 128 + kStep2 * 128)));
    const V r = ((x - n * hn::Set(d, kStep1 * 128)) - n * hn::Set(d, kStep2 * 128)) -
                n * hn::Set(d, kStep3 * 128);
    return hn::IfThenElse(ax < hn::Set(d, 2.0 * kStep1 * 64), x, r);
}

// One register of propagations: field f of lane i at p[f * stride + i], time t.
HWY_INLINE void PropagateBlock(D d, const double* p, std::size_t stride, V t, Block& out) {
    const auto f = [d, p, stride](Field field) {
        return hn::LoadU(d, p + field * stride);
    };
    const auto k = [d](double v) {
        return hn::Set(d, v);
    };
    constexpr GravityConstants g = kWgs72Constants;

    // Secular gravity and drag.
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
    const V nm = k(g.xke) / (am * hn::Sqrt(am));
    V em = f(kEcco) - tempe;
    const M badEccentricity = hn::Not(hn::And(em < k(1.0), em >= k(-0.001)));
    em = hn::IfThenElse(em < k(1.0e-6), k(1.0e-6), em);
    mm = mm + no * templ;
    V xlm = mm + argpm + nodem;
    nodem = WrapTwoPi(d, nodem);
    argpm = WrapTwoPi(d, argpm);
    xlm = WrapTwoPi(d, xlm);
    mm = WrapTwoPi(d, xlm - argpm - nodem);

    // Long-period periodics.
    V sinargpp, cosargpp;
    SinCos(d, argpm, sinargpp, cosargpp);
    const V axnl = em * cosargpp;
    V temp = k(1.0) / (am * (k(1.0) - em * em));
    const V aynl = em * sinargpp + temp * f(kAycof);
    const V xl = mm + argpm + nodem + temp * f(kXlcof) * axnl;

    // Kepler's equation, each lane stopping where the scalar loop stops.
    const V u = WrapTwoPi(d, xl - nodem);
    V eo1 = u, sineo1 = k(0.0), coseo1 = k(0.0);
    M active = hn::Eq(u, u); // NaN lanes would not iterate either
    for (int step = 0; step < 10 && !hn::AllFalse(d, active); ++step) {
        V s, c;
        SinCos(d, eo1, s, c);
        V tem5 = k(1.0) - c * axnl - s * aynl;
        tem5 = (u - aynl * c + axnl * s - eo1) / tem5;
        const V at5 = hn::Abs(tem5);
        tem5 = hn::IfThenElse(at5 >= k(0.95), hn::CopySign(k(0.95), tem5), tem5);
        sineo1 = hn::IfThenElse(active, s, sineo1);
        coseo1 = hn::IfThenElse(active, c, coseo1);
        eo1 = hn::IfThenElse(active, eo1 + tem5, eo1);
        active = hn::And(active, at5 >= k(1.0e-12));
    }

    // Short-period periodics.
    const V ecose = axnl * coseo1 + aynl * sineo1;
    const V esine = axnl * sineo1 - aynl * coseo1;
    const V el2 = axnl * axnl + aynl * aynl;
    const V pl = am * (k(1.0) - el2);
    const M badLatus = pl < k(0.0);
    const V rl = am * (k(1.0) - ecose);
    const V rdotl = hn::Sqrt(am) * esine / rl;
    const V rvdotl = hn::Sqrt(pl) / rl;
    const V betal = hn::Sqrt(k(1.0) - el2);
    temp = esine / (k(1.0) + betal);
    const V sinu = am / rl * (sineo1 - aynl - axnl * temp);
    const V cosu = am / rl * (coseo1 - axnl + aynl * temp);
    const V sin2u = (cosu + cosu) * sinu;
    const V cos2u = k(1.0) - k(2.0) * sinu * sinu;
    temp = k(1.0) / pl;
    const V temp1 = k(0.5 * g.j2) * temp;
    const V temp2 = temp1 * temp;
    const V con41 = f(kCon41), x1mth2 = f(kX1mth2), cosio = f(kCosio);
    const V mrt = rl * (k(1.0) - k(1.5) * temp2 * betal * con41) + k(0.5) * temp1 * x1mth2 * cos2u;
    const V xnode = nodem + k(1.5) * temp2 * cosio * sin2u;
    const V sinio = f(kSinio);
    const V dinc = k(1.5) * temp2 * cosio * sinio * cos2u;
    const V mvt = rdotl - nm * temp1 * x1mth2 * sin2u / k(g.xke);
    const V rvdot = rvdotl + nm * temp1 * (x1mth2 * cos2u + k(1.5) * con41) / k(g.xke);

    // su = atan2(sinu, cosu) - delta; its sine and cosine by the angle difference, which spares
    // the arc tangent.
    const V delta = k(0.25) * temp2 * f(kX7thm1) * sin2u;
    V sind, cosd;
    SinCosSmall(d, delta, sind, cosd);
    const V norm = hn::Sqrt(sinu * sinu + cosu * cosu);
    const M flat = norm == k(0.0);
    const V su0s = hn::IfThenElse(flat, k(0.0), sinu / norm);
    const V su0c = hn::IfThenElse(flat, k(1.0), cosu / norm);
    const V sinsu = su0s * cosd - su0c * sind;
    const V cossu = su0c * cosd + su0s * sind;

    // The inclination's the same way, from the epoch inclination's (fixed near the Earth).
    V sdinc, cdinc;
    SinCosSmall(d, dinc, sdinc, cdinc);
    const V sini = sinio * cdinc + cosio * sdinc;
    const V cosi = cosio * cdinc - sinio * sdinc;
    V snod, cnod;
    SinCos(d, xnode, snod, cnod);
    const V xmx = hn::Neg(snod) * cosi;
    const V xmy = cnod * cosi;
    const V ux = xmx * sinsu + cnod * cossu;
    const V uy = xmy * sinsu + snod * cossu;
    const V uz = sini * sinsu;
    const V vx = xmx * cossu - cnod * sinsu;
    const V vy = xmy * cossu - snod * sinsu;
    const V vz = sini * cossu;

    // Codes in the order the scalar code tests them; 1-4 leave no state.
    V code = hn::IfThenElseZero(hn::Not(mrt >= k(1.0)), k(6.0));
    code = hn::IfThenElse(badLatus, k(4.0), code);
    code = hn::IfThenElse(badEccentricity, k(1.0), code);
    code = hn::IfThenElse(badMotion, k(2.0), code);
    const M none = hn::Or(hn::Or(badMotion, badEccentricity), badLatus);
    const V nan = k(std::numeric_limits<double>::quiet_NaN());
    const V rk = k(g.radiusearthkm);
    const V vk = k(g.radiusearthkm * g.xke / 60.0);
    hn::Store(hn::IfThenElse(none, nan, (mrt * ux) * rk), d, out.row[0]);
    hn::Store(hn::IfThenElse(none, nan, (mrt * uy) * rk), d, out.row[1]);
    hn::Store(hn::IfThenElse(none, nan, (mrt * uz) * rk), d, out.row[2]);
    hn::Store(hn::IfThenElse(none, nan, (mvt * ux + rvdot * vx) * vk), d, out.row[3]);
    hn::Store(hn::IfThenElse(none, nan, (mvt * uy + rvdot * vy) * vk), d, out.row[4]);
    hn::Store(hn::IfThenElse(none, nan, (mvt * uz + rvdot * vz) * vk), d, out.row[5]);
    hn::Store(code, d, out.row[6]);
}

// Vector slots [first, last) at one UTC Julian date; slot s's result at index[s] - base.
void PropagateSlots(const double* soa, std::size_t stride, std::size_t first, std::size_t last,
                    double jd, const std::uint32_t* index, std::size_t base,
                    const Sgp4States& out) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    Block b;
    for (std::size_t s = first; s < last; s += n) {
        const V t =
            (hn::Set(d, jd) - hn::LoadU(d, soa + kJdEpoch * stride + s)) * hn::Set(d, 1440.0);
        PropagateBlock(d, soa + s, stride, t, b);
        const std::size_t lanes = std::min(n, last - s);
        for (std::size_t i = 0; i < lanes; ++i)
            storeLane(b, i, out, index[s + i] - base);
    }
}

// One set, its values repeated across kMaxLanes, at n instants.
void PropagateTimes(const double* repeated, const double* tsince, std::size_t count,
                    const Sgp4States& out) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    Block b;
    HWY_ALIGN double tail[kMaxLanes] = {};
    for (std::size_t j = 0; j < count; j += n) {
        const std::size_t lanes = std::min(n, count - j);
        V t;
        if (lanes == n) {
            t = hn::LoadU(d, tsince + j);
        } else {
            std::copy(tsince + j, tsince + count, tail);
            t = hn::Load(d, tail);
        }
        PropagateBlock(d, repeated, kMaxLanes, t, b);
        for (std::size_t i = 0; i < lanes; ++i)
            storeLane(b, i, out, j + i);
    }
}

// atan2(up, sqrt(east^2 + north^2)): atan(z) for z = min / max of the two magnitudes as
// atan(k/16) + atan(w), w = (z - k/16) / (1 + z k/16), |w| <= 1/32, Taylor series to w^11.
// Blocks with a zero, infinite or undefined value go lane by lane to the C library.
void Elevations(const double* east, const double* north, const double* up, std::size_t count,
                double* out) {
    const D d;
    const hn::RebindToSigned<D> di;
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
        const V z = small / big;
        const V kd = hn::Round(z * k(16.0));
        const V c = kd * k(1.0 / 16);
        const V w = (z - c) / (k(1.0) + z * c);
        const V w2 = w * w;
        V p = k(-1.0 / 11);
        for (double coefficient : {1.0 / 9, -1.0 / 7, 1.0 / 5, -1.0 / 3})
            p = hn::MulAdd(p, w2, k(coefficient));
        const V atanz = hn::GatherIndex(d, kArcTangents, hn::ConvertTo(di, kd)) + (w + w * w2 * p);
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
HWY_EXPORT(PropagateTimes);
HWY_EXPORT(PathName);
HWY_EXPORT(Elevations);
#endif
} // namespace orbit_batch

using namespace orbit_batch;

bool sgp4BatchVectorises(const ElementSet& set) {
#if defined(ORBITRAK_SIMD)
    return set.method == 'n' && set.gravity == 1;
#else
    (void)set;
    return false;
#endif
}

void Sgp4Batch::assign(const ElementSet* sets, std::size_t count) {
    count_ = count;
    slotToIndex_.clear();
    scalarIndex_.clear();
    scalarSets_.clear();
    for (std::size_t i = 0; i < count; ++i) {
        if (sgp4BatchVectorises(sets[i])) {
            slotToIndex_.push_back(static_cast<std::uint32_t>(i));
        } else {
            scalarIndex_.push_back(static_cast<std::uint32_t>(i));
            scalarSets_.push_back(sets[i]);
        }
    }
    // Room past the last slot for a whole register read from any slot.
    stride_ = slotToIndex_.size() + kMaxLanes;
    soa_.assign(stride_ * kFieldCount, 0.0);
    for (std::size_t s = 0; s < slotToIndex_.size(); ++s)
        fieldsOf(sets[slotToIndex_[s]], soa_.data() + s, stride_);
}

void Sgp4Batch::propagateAt(double jd, std::size_t first, std::size_t last, const Sgp4States& out) {
    last = std::min(last, count_);
    if (first >= last)
        return;
    const auto lower = [](const std::vector<std::uint32_t>& v, std::size_t i) {
        return std::size_t(std::lower_bound(v.begin(), v.end(), std::uint32_t(i)) - v.begin());
    };
#if defined(ORBITRAK_SIMD)
    const std::size_t s0 = lower(slotToIndex_, first), s1 = lower(slotToIndex_, last);
    if (s0 < s1)
        HWY_DYNAMIC_DISPATCH(PropagateSlots)
    (soa_.data(), stride_, s0, s1, jd, slotToIndex_.data(), first, out);
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
        double repeated[kFieldCount * kMaxLanes];
        fieldsOf(set, repeated, kMaxLanes);
        for (std::size_t f = 0; f < kFieldCount; ++f)
            std::fill(repeated + f * kMaxLanes + 1, repeated + (f + 1) * kMaxLanes,
                      repeated[f * kMaxLanes]);
        HWY_DYNAMIC_DISPATCH(PropagateTimes)(repeated, tsince, n, out);
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
