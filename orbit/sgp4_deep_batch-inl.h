// The deep-space part of batch propagation: SDP4's secular terms, the resonance integration of
// one-day and half-day orbits and the lunar-solar periodics (orbit/deep_space.cpp's dspace and
// dpper), in vector lanes. Included by orbit/sgp4_batch.cpp once per instruction set.

#if defined(ORBITRAK_ORBIT_SGP4_DEEP_BATCH_INL_H) == defined(HWY_TARGET_TOGGLE)
#ifdef ORBITRAK_ORBIT_SGP4_DEEP_BATCH_INL_H
#undef ORBITRAK_ORBIT_SGP4_DEEP_BATCH_INL_H
#else
#define ORBITRAK_ORBIT_SGP4_DEEP_BATCH_INL_H
#endif

#include "orbit/gravity.h"
#include "orbit/sgp4_batch_state-inl.h"
#include "orbit/sgp4_simd-inl.h"

HWY_BEFORE_NAMESPACE();
namespace orbit_batch {
namespace HWY_NAMESPACE {

// The resonance integrator's state, one lane per set.
struct Integrator {
    V atime, xli, xni;
};

// Rates of the resonant mean longitude and mean motion at the integrator's state: kRez 1 for
// one-day, 2 for half-day orbits.
template <int kRez, class F>
HWY_INLINE void ResonanceRates(D d, const F& f, const Integrator& state, V& xndt, V& xnddt,
                               V& xldot) {
    const V xli = state.xli;
    xldot = state.xni + f(kDXfact);
    if (kRez == 1) {
        V s1, c1, s2, c2, s3, c3;
        SinCos(d, xli - Con(d, 0.13130908), s1, c1);
        SinCos(d, Con(d, 2.0) * (xli - Con(d, 2.8843198)), s2, c2);
        SinCos(d, Con(d, 3.0) * (xli - Con(d, 0.37448087)), s3, c3);
        const V del1 = f(kDDel1), del2 = f(kDDel2), del3 = f(kDDel3);
        xndt = del1 * s1 + del2 * s2 + del3 * s3;
        xnddt = (del1 * c1 + Con(d, 2.0) * del2 * c2 + Con(d, 3.0) * del3 * c3) * xldot;
        return;
    }
    constexpr double g22 = 5.7686396, g32 = 0.95240898, g44 = 1.8014998, g52 = 1.0508330,
                     g54 = 4.4108898;
    const V xomi = f(kDArgpo) + f(kDArgpdot) * state.atime;
    const V x2omi = xomi + xomi;
    const V x2li = xli + xli;
    V s[10], c[10];
    SinCos(d, x2omi + xli - Con(d, g22), s[0], c[0]);
    SinCos(d, xli - Con(d, g22), s[1], c[1]);
    SinCos(d, xomi + xli - Con(d, g32), s[2], c[2]);
    SinCos(d, hn::Neg(xomi) + xli - Con(d, g32), s[3], c[3]);
    SinCos(d, x2omi + x2li - Con(d, g44), s[4], c[4]);
    SinCos(d, x2li - Con(d, g44), s[5], c[5]);
    SinCos(d, xomi + xli - Con(d, g52), s[6], c[6]);
    SinCos(d, hn::Neg(xomi) + xli - Con(d, g52), s[7], c[7]);
    SinCos(d, xomi + x2li - Con(d, g54), s[8], c[8]);
    SinCos(d, hn::Neg(xomi) + x2li - Con(d, g54), s[9], c[9]);
    const V d2201 = f(kDD2201), d2211 = f(kDD2211), d3210 = f(kDD3210), d3222 = f(kDD3222),
            d4410 = f(kDD4410), d4422 = f(kDD4422), d5220 = f(kDD5220), d5232 = f(kDD5232),
            d5421 = f(kDD5421), d5433 = f(kDD5433);
    xndt = d2201 * s[0] + d2211 * s[1] + d3210 * s[2] + d3222 * s[3] + d4410 * s[4] + d4422 * s[5] +
           d5220 * s[6] + d5232 * s[7] + d5421 * s[8] + d5433 * s[9];
    const V sum = d2201 * c[0] + d2211 * c[1] + d3210 * c[2] + d3222 * c[3] + d5220 * c[6] +
                  d5232 * c[7] +
                  Con(d, 2.0) * (d4410 * c[4] + d4422 * c[5] + d5421 * c[8] + d5433 * c[9]);
    xnddt = sum * xldot;
}

// (xke / nm)^(2/3) near the epoch mean motion no, where it is aofno: Newton's method for the
// cube root of (xke / nm)^2 from the first terms of its series in nm / no - 1.
HWY_INLINE V SemiMajorOfMotion(D d, V nm, V no, V aofno) {
    const V x = Con(d, kWgs72Constants.xke) / nm;
    const V cube = x * x;
    const V delta = nm / no - Con(d, 1.0);
    V y = aofno * (Con(d, 1.0) + delta * (Con(d, -2.0 / 3) + delta * Con(d, 5.0 / 9)));
    for (int i = 0; i < 3; ++i)
        y = y - (y * y * y - cube) / (Con(d, 3.0) * y * y);
    return y;
}

// One body's lunar-solar periodic terms (dpper): the Sun from kDZmos on, the Moon from kDZmol.
template <class F>
HWY_INLINE void BodyPeriodics(D d, const F& f, int first, double rate, double eccentricity, V t,
                              V& pe, V& pinc, V& pl, V& pgh, V& ph) {
    const auto c = [&f, first](int k) {
        return f(first + k);
    };
    const V zm = c(0) + Con(d, rate) * t;
    V sinzm, coszm, sinzf, coszf;
    SinCos(d, zm, sinzm, coszm);
    const V zf = zm + Con(d, 2.0 * eccentricity) * sinzm;
    SinCos(d, zf, sinzf, coszf);
    const V f2 = Con(d, 0.5) * sinzf * sinzf - Con(d, 0.25);
    const V f3 = Con(d, -0.5) * sinzf * coszf;
    pe = c(1) * f2 + c(2) * f3;
    pinc = c(3) * f2 + c(4) * f3;
    pl = c(5) * f2 + c(6) * f3 + c(7) * sinzf;
    pgh = c(8) * f2 + c(9) * f3 + c(10) * sinzf;
    ph = c(11) * f2 + c(12) * f3;
}

// Deep-space sets at t minutes from their epochs (kRez: 0 none, 1 one-day, 2 half-day
// resonance), their integrator state in s, brought to t as sgp4Propagate brings it: integrated
// from the epoch in 720-minute steps towards t, restarting when t lies on the other side of the
// epoch or behind the state, left alone beyond the integrator's reach.
template <int kRez, class F>
HWY_INLINE Elements DeepSpaceElements(D d, const F& f, V t, Integrator& s) {
    constexpr GravityConstants g = kWgs72Constants;
    constexpr double kPiHere = 3.14159265358979323846;
    const V twoPi = Con(d, 2.0 * kPiHere);
    const V no = f(kDNo);

    // Secular gravity and drag (always the simplified drag), then the lunar-solar rates.
    const V t2 = t * t;
    const V tempa = Con(d, 1.0) - f(kDCc1) * t;
    const V tempe = f(kDBc4) * t;
    const V templ = f(kDT2cof) * t2;
    V em = f(kDEcco) + f(kDDedt) * t;
    const V inclm = f(kDInclo) + f(kDDidt) * t;
    V argpm = (f(kDArgpo) + f(kDArgpdot) * t) + f(kDDomdt) * t;
    V nodem = ((f(kDNodeo) + f(kDNodedot) * t) + f(kDNodecf) * t2) + f(kDDnodt) * t;
    V mm = (f(kDMo) + f(kDMdot) * t) + f(kDDmdt) * t;
    V nm = no;
    V aofnm = f(kDAofno);

    if (kRez != 0) {
        constexpr double step = 720.0, step2 = 259200.0;
        const V theta = WrapTwoPi(d, f(kDGsto) + t * Con(d, 4.37526908801129966e-3));
        const M reach = hn::Abs(t) <= Con(d, 1.0e8);
        const M restart =
            hn::And(reach, hn::Or(hn::Or(s.atime == Con(d, 0.0), t * s.atime <= Con(d, 0.0)),
                                  hn::Abs(t) < hn::Abs(s.atime)));
        s.atime = hn::IfThenElse(restart, Con(d, 0.0), s.atime);
        s.xni = hn::IfThenElse(restart, no, s.xni);
        s.xli = hn::IfThenElse(restart, f(kDXlamo), s.xli);
        const V delt = hn::IfThenElse(t > Con(d, 0.0), Con(d, step), Con(d, -step));
        V xndt, xnddt, xldot;
        ResonanceRates<kRez>(d, f, s, xndt, xnddt, xldot);
        M active = hn::And(reach, hn::Abs(t - s.atime) >= Con(d, step));
        while (!hn::AllFalse(d, active)) {
            s.xli = hn::IfThenElse(active, s.xli + xldot * delt + xndt * Con(d, step2), s.xli);
            s.xni = hn::IfThenElse(active, s.xni + xndt * delt + xnddt * Con(d, step2), s.xni);
            s.atime = hn::IfThenElse(active, s.atime + delt, s.atime);
            ResonanceRates<kRez>(d, f, s, xndt, xnddt, xldot);
            active = hn::And(reach, hn::Abs(t - s.atime) >= Con(d, step));
        }
        const V ft = t - s.atime;
        const V nmi = s.xni + xndt * ft + xnddt * ft * ft * Con(d, 0.5);
        const V xl = s.xli + xldot * ft + xndt * ft * ft * Con(d, 0.5);
        mm =
            kRez != 1 ? xl - Con(d, 2.0) * nodem + Con(d, 2.0) * theta : xl - nodem - argpm + theta;
        // Beyond the integrator's reach (or not a number): no mean motion, code 2.
        nm = hn::IfThenElse(reach, no + (nmi - no), Con(d, NAN));
        aofnm = SemiMajorOfMotion(d, nm, no, aofnm);
    }

    const M badMotion = hn::Not(nm > Con(d, 0.0));
    const V am = aofnm * tempa * tempa;
    nm = Con(d, g.xke) / (am * hn::Sqrt(am));
    em = em - tempe;
    const M badEccentricity = hn::Not(hn::And(em < Con(d, 1.0), em >= Con(d, -0.001)));
    em = hn::IfThenElse(em < Con(d, 1.0e-6), Con(d, 1.0e-6), em);
    mm = mm + no * templ;
    V xlm = mm + argpm + nodem;
    nodem = WrapTwoPi(d, nodem);
    argpm = WrapTwoPi(d, argpm);
    xlm = WrapTwoPi(d, xlm);
    mm = WrapTwoPi(d, xlm - argpm - nodem);

    // Lunar-solar periodics.
    V pe, pinc, pl, pgh, ph, pe2, pinc2, pl2, pgh2, ph2;
    BodyPeriodics(d, f, kDZmos, 1.19459e-5, 0.01675, t, pe, pinc, pl, pgh, ph);
    BodyPeriodics(d, f, kDZmol, 1.5835218e-4, 0.05490, t, pe2, pinc2, pl2, pgh2, ph2);
    pe = pe + pe2;
    pinc = pinc + pinc2;
    pl = pl + pl2;
    pgh = pgh + pgh2;
    ph = ph + ph2;
    V inclp = inclm + pinc;
    const V ep = em + pe;
    V sinip, cosip;
    SinCos(d, inclp, sinip, cosip);
    const M direct = inclp >= Con(d, 0.2);
    const V phd = ph / sinip;
    V argpp = argpm + (pgh - cosip * phd);
    V nodep = nodem + phd;
    V mp = mm + pl;
    if (!hn::AllTrue(d, direct)) {
        // Lyddane's form for low inclinations, where the node is ill-defined.
        V sinop, cosop;
        SinCos(d, nodem, sinop, cosop);
        const V alfdp = sinip * sinop + (ph * cosop + pinc * cosip * sinop);
        const V betdp = sinip * cosop + (hn::Neg(ph) * sinop + pinc * cosip * cosop);
        const M afspc = f(kDAfspc) == Con(d, 1.0);
        V node = WrapTwoPi(d, nodem);
        node = hn::IfThenElse(hn::And(afspc, node < Con(d, 0.0)), node + twoPi, node);
        const V xls = (mm + argpm + cosip * node) + (pl + pgh - pinc * node * sinip);
        const V xnoh = node;
        node = Atan2(d, alfdp, betdp);
        node = hn::IfThenElse(hn::And(afspc, node < Con(d, 0.0)), node + twoPi, node);
        const M jump = hn::Abs(xnoh - node) > Con(d, kPiHere);
        node = hn::IfThenElse(jump, hn::IfThenElse(node < xnoh, node + twoPi, node - twoPi), node);
        nodep = hn::IfThenElse(direct, nodep, node);
        argpp = hn::IfThenElse(direct, argpp, xls - mp - cosip * node);
    }
    const M retrograde = inclp < Con(d, 0.0);
    inclp = hn::Abs(inclp);
    nodep = hn::IfThenElse(retrograde, nodep + Con(d, kPiHere), nodep);
    argpp = hn::IfThenElse(retrograde, argpp - Con(d, kPiHere), argpp);
    sinip = hn::IfThenElse(retrograde, hn::Neg(sinip), sinip);
    const M badPerturbed = hn::Or(ep<Con(d, 0.0), ep> Con(d, 1.0));

    // Long-period coefficients follow the perturbed inclination.
    const V onePlusCos = Con(d, 1.0) + cosip;
    const V denominator =
        hn::IfThenElse(hn::Abs(cosip + Con(d, 1.0)) > Con(d, 1.5e-12), onePlusCos, Con(d, 1.5e-12));
    const V cosisq = cosip * cosip;
    V code = hn::IfThenElseZero(badPerturbed, Con(d, 3.0));
    code = hn::IfThenElse(badEccentricity, Con(d, 1.0), code);
    code = hn::IfThenElse(badMotion, Con(d, 2.0), code);
    return Elements{am,
                    nm,
                    ep,
                    argpp,
                    nodep,
                    mp,
                    sinip,
                    cosip,
                    Con(d, -0.5 * g.j3oj2) * sinip,
                    Con(d, -0.25 * g.j3oj2) * sinip * (Con(d, 3.0) + Con(d, 5.0) * cosip) /
                        denominator,
                    Con(d, 3.0) * cosisq - Con(d, 1.0),
                    Con(d, 1.0) - cosisq,
                    Con(d, 7.0) * cosisq - Con(d, 1.0),
                    code};
}

} // namespace HWY_NAMESPACE
} // namespace orbit_batch
HWY_AFTER_NAMESPACE();

#endif
