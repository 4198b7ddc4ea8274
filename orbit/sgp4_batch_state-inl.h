// The stages of batch propagation after the secular terms (and, in deep space, the
// lunar-solar periodics): long-period periodics, Kepler's equation, short-period periodics and
// the state vector, for near-Earth and deep-space sets alike. Included by
// orbit/sgp4_batch.cpp once per instruction set.

#if defined(ORBITRAK_ORBIT_SGP4_BATCH_STATE_INL_H) == defined(HWY_TARGET_TOGGLE)
#ifdef ORBITRAK_ORBIT_SGP4_BATCH_STATE_INL_H
#undef ORBITRAK_ORBIT_SGP4_BATCH_STATE_INL_H
#else
#define ORBITRAK_ORBIT_SGP4_BATCH_STATE_INL_H
#endif

#include "orbit/gravity.h"
#include "orbit/sgp4_simd-inl.h"

#include <limits>

HWY_BEFORE_NAMESPACE();
namespace orbit_batch {
namespace HWY_NAMESPACE {

// What the long-period, Kepler and short-period stages read: the elements after the secular
// terms (and, in deep space, the lunar-solar periodics), the coefficients that follow the
// inclination, and the error code so far (2, 1 or 3, else 0).
struct Elements {
    V am, nm, em, argp, node, mean;
    V sini, cosi, aycof, xlcof, con41, x1mth2, x7thm1;
    V code;
};

// Long-period periodics, Kepler's equation, short-period periodics and the state, for near-Earth
// and deep-space sets alike.
HWY_INLINE void StateOf(D d, const Elements& e, Block& out) {
    const auto k = [d](double v) {
        return hn::Set(d, v);
    };
    constexpr GravityConstants g = kWgs72Constants;
    const V am = e.am, nm = e.nm, em = e.em;

    // Long-period periodics.
    V sinargpp, cosargpp;
    SinCos(d, e.argp, sinargpp, cosargpp);
    const V axnl = em * cosargpp;
    V temp = k(1.0) / (am * (k(1.0) - em * em));
    const V aynl = em * sinargpp + temp * e.aycof;
    const V xl = e.mean + e.argp + e.node + temp * e.xlcof * axnl;

    // Kepler's equation, each lane stopping where the scalar loop stops.
    const V u = WrapTwoPi(d, xl - e.node);
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
    const V con41 = e.con41, x1mth2 = e.x1mth2, cosio = e.cosi, sinio = e.sini;
    const V mrt = rl * (k(1.0) - k(1.5) * temp2 * betal * con41) + k(0.5) * temp1 * x1mth2 * cos2u;
    const V xnode = e.node + k(1.5) * temp2 * cosio * sin2u;
    const V dinc = k(1.5) * temp2 * cosio * sinio * cos2u;
    const V mvt = rdotl - nm * temp1 * x1mth2 * sin2u / k(g.xke);
    const V rvdot = rvdotl + nm * temp1 * (x1mth2 * cos2u + k(1.5) * con41) / k(g.xke);

    // su = atan2(sinu, cosu) - delta; its sine and cosine by the angle difference, which spares
    // the arc tangent.
    const V delta = k(0.25) * temp2 * e.x7thm1 * sin2u;
    V sind, cosd;
    SinCosSmall(d, delta, sind, cosd);
    const V norm = hn::Sqrt(sinu * sinu + cosu * cosu);
    const M flat = norm == k(0.0);
    const V su0s = hn::IfThenElse(flat, k(0.0), sinu / norm);
    const V su0c = hn::IfThenElse(flat, k(1.0), cosu / norm);
    const V sinsu = su0s * cosd - su0c * sind;
    const V cossu = su0c * cosd + su0s * sind;

    // The inclination's the same way, from the inclination before the correction.
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
    const M early = e.code != k(0.0);
    V code = hn::IfThenElseZero(hn::Not(mrt >= k(1.0)), k(6.0));
    code = hn::IfThenElse(badLatus, k(4.0), code);
    code = hn::IfThenElse(early, e.code, code);
    const M none = hn::Or(early, badLatus);
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

} // namespace HWY_NAMESPACE
} // namespace orbit_batch
HWY_AFTER_NAMESPACE();

#endif
