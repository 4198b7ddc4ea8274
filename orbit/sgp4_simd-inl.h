// Vector forms of the propagator's elementary functions, for every instruction set Highway
// compiles orbit/sgp4_batch.cpp for (included there, once per target). Each lane's result
// depends on that lane's argument alone, whatever its neighbours hold: a lane outside a
// function's range goes to the scalar function, the others keep the vector result.

#if defined(ORBITRAK_ORBIT_SGP4_SIMD_INL_H) == defined(HWY_TARGET_TOGGLE)
#ifdef ORBITRAK_ORBIT_SGP4_SIMD_INL_H
#undef ORBITRAK_ORBIT_SGP4_SIMD_INL_H
#else
#define ORBITRAK_ORBIT_SGP4_SIMD_INL_H
#endif

#include "orbit/exact_math.h"
#include "orbit/sgp4_batch_fields.h"
#include "orbit/sincos.h"

#include <hwy/highway.h>

#include <cmath>
#include <initializer_list>

HWY_BEFORE_NAMESPACE();
namespace orbit_batch {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;
using D = hn::ScalableTag<double>;
using V = hn::Vec<D>;
using M = hn::Mask<D>;

static_assert(HWY_MAX_BYTES / sizeof(double) <= kMaxLanes, "register wider than the buffers");

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

HWY_INLINE V Con(D d, double v) {
    return hn::Set(d, v);
}

// Sine and cosine as orbit_detail::sinCos computes them, but reduced by quarter turns so that
// no table is read: x = k pi/2 + r (the same three-part constants, times 32), |r| <= pi/4,
// Taylor series to the first term below 2^-60 of the result. Lanes with an argument from 2^16
// on take the scalar function (the C library there).
HWY_INLINE void SinCos(D d, V x, V& s, V& c) {
    using namespace orbit_detail::sincos_table;
    const V kd = hn::Round(x * Con(d, kInvStep * (1.0 / 32)));
    const V t = x - kd * Con(d, kStep1 * 32); // exact
    const V c2 = Con(d, kStep2 * 32);
    const V rh = t - kd * c2;
    const V rl = ((t - rh) - kd * c2) - kd * Con(d, kStep3 * 32);
    const V r2 = rh * rh;
    // Horner's scheme with fused multiply-adds where the processor has them.
    const auto poly = [d, r2](std::initializer_list<double> c) {
        const double* top = c.end() - 1;
        V p = Con(d, *top);
        while (top != c.begin())
            p = hn::MulAdd(p, r2, Con(d, *--top));
        return p;
    };
    const V sp = poly({-1.0 / 6, 1.0 / 120, -1.0 / 5040, 1.0 / 362880, -1.0 / 39916800,
                       1.0 / 6227020800.0, -1.0 / 1307674368000.0, 1.0 / 355687428096000.0});
    const V cp = poly({-0.5, 1.0 / 24, -1.0 / 720, 1.0 / 40320, -1.0 / 3628800, 1.0 / 479001600,
                       -1.0 / 87178291200.0, 1.0 / 20922789888000.0, -1.0 / 6402373705728000.0});
    const V sinr = rh + (rl + rh * r2 * sp);
    const V cosr = Con(d, 1.0) + (r2 * cp - rh * rl);
    // Quadrant q = k mod 4: sin, cos = (s, c), (c, -s), (-s, -c), (-c, s) of r.
    const V q = kd - Con(d, 4.0) * hn::Floor(kd * Con(d, 0.25));
    const M odd = hn::Or(q == Con(d, 1.0), q == Con(d, 3.0));
    const V s0 = hn::IfThenElse(odd, cosr, sinr);
    const V c0 = hn::IfThenElse(odd, sinr, cosr);
    s = hn::IfThenElse(q >= Con(d, 2.0), hn::Neg(s0), s0);
    c = hn::IfThenElse(hn::Or(q == Con(d, 1.0), q == Con(d, 2.0)), hn::Neg(c0), c0);
    const M far = hn::Not(hn::Abs(x) < Con(d, 0x1p16)); // NaN too
    if (HWY_UNLIKELY(!hn::AllFalse(d, far))) {
        HWY_ALIGN double xs[kMaxLanes], ss[kMaxLanes], cs[kMaxLanes];
        hn::Store(x, d, xs);
        hn::Store(s, d, ss);
        hn::Store(c, d, cs);
        for (std::size_t i = 0; i < hn::Lanes(d); ++i)
            if (!(std::fabs(xs[i]) < 0x1p16))
                orbit_detail::sinCos(xs[i], ss[i], cs[i]);
        s = hn::Load(d, ss);
        c = hn::Load(d, cs);
    }
}

// Sine and cosine of angles below 2^-8, as short corrections are: Taylor series to the first
// term below 2^-70 of the result. Lanes with a larger angle take SinCos.
HWY_INLINE void SinCosSmall(D d, V x, V& s, V& c) {
    const V x2 = x * x;
    s = x + x * x2 * (Con(d, -1.0 / 6) + x2 * (Con(d, 1.0 / 120) + x2 * Con(d, -1.0 / 5040)));
    c = Con(d, 1.0) +
        x2 * (Con(d, -0.5) +
              x2 * (Con(d, 1.0 / 24) + x2 * (Con(d, -1.0 / 720) + x2 * Con(d, 1.0 / 40320))));
    const M small = hn::Abs(x) < Con(d, 0x1p-8);
    if (HWY_UNLIKELY(!hn::AllTrue(d, small))) {
        V sl, cl;
        SinCos(d, x, sl, cl);
        s = hn::IfThenElse(small, s, sl);
        c = hn::IfThenElse(small, c, cl);
    }
}

// fmod(x, 2 pi) up to rounding: x - n 2pi with n = trunc(x / 2pi), 2pi in three parts. Lanes
// with an argument from 2^19 on take the scalar function.
HWY_INLINE V WrapTwoPi(D d, V x) {
    using namespace orbit_detail::sincos_table;
    const V ax = hn::Abs(x);
    const V n = hn::Trunc(x * Con(d, 1.0 / (kStep1 * 128 + kStep2 * 128)));
    const V r =
        ((x - n * Con(d, kStep1 * 128)) - n * Con(d, kStep2 * 128)) - n * Con(d, kStep3 * 128);
    V w = hn::IfThenElse(ax < Con(d, 2.0 * kStep1 * 64), x, r);
    const M far = hn::Not(ax < Con(d, 0x1p19));
    if (HWY_UNLIKELY(!hn::AllFalse(d, far))) {
        HWY_ALIGN double xs[kMaxLanes], ws[kMaxLanes];
        hn::Store(x, d, xs);
        hn::Store(w, d, ws);
        for (std::size_t i = 0; i < hn::Lanes(d); ++i)
            if (!(std::fabs(xs[i]) < 0x1p19))
                ws[i] = orbit_detail::wrapTwoPi(xs[i]);
        w = hn::Load(d, ws);
    }
    return w;
}

// atan(z) for 0 <= z <= 1: atan(k/16) + atan(w), w = (z - k/16) / (1 + z k/16), |w| <= 1/32,
// Taylor series to w^11.
HWY_INLINE V AtanUnit(D d, V z) {
    const hn::RebindToSigned<D> di;
    const V kd = hn::Round(z * Con(d, 16.0));
    const V c = kd * Con(d, 1.0 / 16);
    const V w = (z - c) / (Con(d, 1.0) + z * c);
    const V w2 = w * w;
    V p = Con(d, -1.0 / 11);
    for (double coefficient : {1.0 / 9, -1.0 / 7, 1.0 / 5, -1.0 / 3})
        p = hn::MulAdd(p, w2, Con(d, coefficient));
    return hn::GatherIndex(d, kArcTangents, hn::ConvertTo(di, kd)) + (w + w * w2 * p);
}

// atan2(y, x) within a few ulps, signed zeros as the C library has them; NaN where either is
// not a finite number.
HWY_INLINE V Atan2(D d, V y, V x) {
    const V ay = hn::Abs(y), ax = hn::Abs(x);
    const V big = hn::Max(ay, ax), small = hn::Min(ay, ax);
    const M ordinary = hn::And(hn::And(big < Con(d, HUGE_VAL), hn::Eq(x, x)), hn::Eq(y, y));
    const V z = hn::IfThenElse(hn::And(ordinary, big > Con(d, 0.0)), small / big, Con(d, 0.0));
    const V atanz = AtanUnit(d, z);
    // Above 45 degrees: pi/2 - atan(|x| / |y|); left of the axis pi minus that; pi/2 and pi in
    // two parts each.
    V angle = hn::IfThenElse(
        ay > ax, (Con(d, 0x1.921fb54442d18p0) - atanz) + Con(d, 0x1.1a62633145c07p-54), atanz);
    angle = hn::IfThenElse(hn::CopySign(Con(d, 1.0), x) < Con(d, 0.0),
                           (Con(d, 0x1.921fb54442d18p1) - angle) + Con(d, 0x1.1a62633145c07p-53),
                           angle);
    return hn::IfThenElse(ordinary, hn::CopySign(angle, y), Con(d, NAN));
}

} // namespace HWY_NAMESPACE
} // namespace orbit_batch
HWY_AFTER_NAMESPACE();

#endif
