#include "orbit/deep_space.h"

#include "orbit/exact_math.h"
#include "orbit/sincos.h"

#include <cmath>

namespace orbit_detail {

namespace {

// Solar and lunar mean motions (rad/min) and orbit eccentricities.
constexpr double zns = 1.19459e-5;
constexpr double zes = 0.01675;
constexpr double znl = 1.5835218e-4;
constexpr double zel = 0.05490;

// Earth rotation, rad/min.
constexpr double rptim = 4.37526908801129966e-3;

// Maximum time span of the resonance integration, minutes (about 190 years). Its 720-minute
// steps always start at the epoch, so a longer span would only stall the caller.
constexpr double kMaxResonanceSpan = 1.0e8;

// One body's (Sun's or Moon's) geometry terms of dscom.
struct BodyTerms {
    double s1, s2, s3, s4, s5, s6, s7;
    double z1, z2, z3, z11, z12, z13, z21, z22, z23, z31, z32, z33;
};

BodyTerms bodyTerms(double zcosg, double zsing, double zcosi, double zsini, double zcosh,
                    double zsinh, double cc, double xnoi, double cosim, double sinim, double cosomm,
                    double sinomm, double em, double emsq, double betasq, double rtemsq) {
    const double a1 = zcosg * zcosh + zsing * zcosi * zsinh;
    const double a3 = -zsing * zcosh + zcosg * zcosi * zsinh;
    const double a7 = -zcosg * zsinh + zsing * zcosi * zcosh;
    const double a8 = zsing * zsini;
    const double a9 = zsing * zsinh + zcosg * zcosi * zcosh;
    const double a10 = zcosg * zsini;
    const double a2 = cosim * a7 + sinim * a8;
    const double a4 = cosim * a9 + sinim * a10;
    const double a5 = -sinim * a7 + cosim * a8;
    const double a6 = -sinim * a9 + cosim * a10;

    const double x1 = a1 * cosomm + a2 * sinomm;
    const double x2 = a3 * cosomm + a4 * sinomm;
    const double x3 = -a1 * sinomm + a2 * cosomm;
    const double x4 = -a3 * sinomm + a4 * cosomm;
    const double x5 = a5 * sinomm;
    const double x6 = a6 * sinomm;
    const double x7 = a5 * cosomm;
    const double x8 = a6 * cosomm;

    BodyTerms b;
    b.z31 = 12.0 * x1 * x1 - 3.0 * x3 * x3;
    b.z32 = 24.0 * x1 * x2 - 6.0 * x3 * x4;
    b.z33 = 12.0 * x2 * x2 - 3.0 * x4 * x4;
    b.z1 = 3.0 * (a1 * a1 + a2 * a2) + b.z31 * emsq;
    b.z2 = 6.0 * (a1 * a3 + a2 * a4) + b.z32 * emsq;
    b.z3 = 3.0 * (a3 * a3 + a4 * a4) + b.z33 * emsq;
    b.z11 = -6.0 * a1 * a5 + emsq * (-24.0 * x1 * x7 - 6.0 * x3 * x5);
    b.z12 = -6.0 * (a1 * a6 + a3 * a5) +
            emsq * (-24.0 * (x2 * x7 + x1 * x8) - 6.0 * (x3 * x6 + x4 * x5));
    b.z13 = -6.0 * a3 * a6 + emsq * (-24.0 * x2 * x8 - 6.0 * x4 * x6);
    b.z21 = 6.0 * a2 * a5 + emsq * (24.0 * x1 * x5 - 6.0 * x3 * x7);
    b.z22 =
        6.0 * (a4 * a5 + a2 * a6) + emsq * (24.0 * (x2 * x5 + x1 * x6) - 6.0 * (x4 * x7 + x3 * x8));
    b.z23 = 6.0 * a4 * a6 + emsq * (24.0 * x2 * x6 - 6.0 * x4 * x8);
    b.z1 = b.z1 + b.z1 + betasq * b.z31;
    b.z2 = b.z2 + b.z2 + betasq * b.z32;
    b.z3 = b.z3 + b.z3 + betasq * b.z33;
    b.s3 = cc * xnoi;
    b.s2 = -0.5 * b.s3 / rtemsq;
    b.s4 = b.s3 * rtemsq;
    b.s1 = -15.0 * em * b.s4;
    b.s5 = x1 * x3 + x2 * x4;
    b.s6 = x2 * x3 + x1 * x4;
    b.s7 = x2 * x4 - x1 * x3;
    return b;
}

} // namespace

DeepSpaceCommon deepSpaceCommon(ElementSet& rec, double epoch, double ecco, double argpo, double tc,
                                double inclo, double nodeo, double no) {
    // Solar constants.
    constexpr double c1ss = 2.9864797e-6;
    constexpr double zsinis = 0.39785416;
    constexpr double zcosis = 0.91744867;
    constexpr double zcosgs = 0.1945905;
    constexpr double zsings = -0.98088458;
    // Lunar constant.
    constexpr double c1l = 4.7968065e-7;

    const double nm = no;
    const double em = ecco;
    const double snodm = std::sin(nodeo);
    const double cnodm = std::cos(nodeo);
    const double sinomm = std::sin(argpo);
    const double cosomm = std::cos(argpo);
    const double sinim = std::sin(inclo);
    const double cosim = std::cos(inclo);
    const double emsq = em * em;
    const double betasq = 1.0 - emsq;
    const double rtemsq = std::sqrt(betasq);

    rec.peo = 0.0;
    rec.pinco = 0.0;
    rec.plo = 0.0;
    rec.pgho = 0.0;
    rec.pho = 0.0;

    // The Moon's orbit at the epoch.
    const double day = epoch + 18261.5 + tc / 1440.0;
    const double xnodce = std::fmod(4.5236020 - 9.2422029e-4 * day, kTwoPi);
    const double stem = std::sin(xnodce);
    const double ctem = std::cos(xnodce);
    const double zcosil = 0.91375164 - 0.03568096 * ctem;
    const double zsinil = std::sqrt(1.0 - zcosil * zcosil);
    const double zsinhl = 0.089683511 * stem / zsinil;
    const double zcoshl = std::sqrt(1.0 - zsinhl * zsinhl);
    const double gam = 5.8351514 + 0.0019443680 * day;
    double zx = 0.39785416 * stem / zsinil;
    const double zy = zcoshl * ctem + 0.91744867 * zsinhl * stem;
    zx = std::atan2(zx, zy);
    zx = gam + zx - xnodce;
    const double zcosgl = std::cos(zx);
    const double zsingl = std::sin(zx);

    const double xnoi = 1.0 / nm;
    const BodyTerms sun = bodyTerms(zcosgs, zsings, zcosis, zsinis, cnodm, snodm, c1ss, xnoi, cosim,
                                    sinim, cosomm, sinomm, em, emsq, betasq, rtemsq);
    const BodyTerms moon =
        bodyTerms(zcosgl, zsingl, zcosil, zsinil, zcoshl * cnodm + zsinhl * snodm,
                  snodm * zcoshl - cnodm * zsinhl, c1l, xnoi, cosim, sinim, cosomm, sinomm, em,
                  emsq, betasq, rtemsq);

    rec.zmol = std::fmod(4.7199672 + 0.22997150 * day - gam, kTwoPi);
    rec.zmos = std::fmod(6.2565837 + 0.017201977 * day, kTwoPi);

    // Solar periodic coefficients.
    rec.se2 = 2.0 * sun.s1 * sun.s6;
    rec.se3 = 2.0 * sun.s1 * sun.s7;
    rec.si2 = 2.0 * sun.s2 * sun.z12;
    rec.si3 = 2.0 * sun.s2 * (sun.z13 - sun.z11);
    rec.sl2 = -2.0 * sun.s3 * sun.z2;
    rec.sl3 = -2.0 * sun.s3 * (sun.z3 - sun.z1);
    rec.sl4 = -2.0 * sun.s3 * (-21.0 - 9.0 * emsq) * zes;
    rec.sgh2 = 2.0 * sun.s4 * sun.z32;
    rec.sgh3 = 2.0 * sun.s4 * (sun.z33 - sun.z31);
    rec.sgh4 = -18.0 * sun.s4 * zes;
    rec.sh2 = -2.0 * sun.s2 * sun.z22;
    rec.sh3 = -2.0 * sun.s2 * (sun.z23 - sun.z21);

    // Lunar periodic coefficients.
    rec.ee2 = 2.0 * moon.s1 * moon.s6;
    rec.e3 = 2.0 * moon.s1 * moon.s7;
    rec.xi2 = 2.0 * moon.s2 * moon.z12;
    rec.xi3 = 2.0 * moon.s2 * (moon.z13 - moon.z11);
    rec.xl2 = -2.0 * moon.s3 * moon.z2;
    rec.xl3 = -2.0 * moon.s3 * (moon.z3 - moon.z1);
    rec.xl4 = -2.0 * moon.s3 * (-21.0 - 9.0 * emsq) * zel;
    rec.xgh2 = 2.0 * moon.s4 * moon.z32;
    rec.xgh3 = 2.0 * moon.s4 * (moon.z33 - moon.z31);
    rec.xgh4 = -18.0 * moon.s4 * zel;
    rec.xh2 = -2.0 * moon.s2 * moon.z22;
    rec.xh3 = -2.0 * moon.s2 * (moon.z23 - moon.z21);

    DeepSpaceCommon c;
    c.sinim = sinim;
    c.cosim = cosim;
    c.emsq = emsq;
    c.nm = nm;
    c.s1 = moon.s1, c.s2 = moon.s2, c.s3 = moon.s3, c.s4 = moon.s4, c.s5 = moon.s5;
    c.ss1 = sun.s1, c.ss2 = sun.s2, c.ss3 = sun.s3, c.ss4 = sun.s4, c.ss5 = sun.s5;
    c.z1 = moon.z1, c.z3 = moon.z3, c.z11 = moon.z11, c.z13 = moon.z13;
    c.z21 = moon.z21, c.z23 = moon.z23, c.z31 = moon.z31, c.z33 = moon.z33;
    c.sz1 = sun.z1, c.sz3 = sun.z3, c.sz11 = sun.z11, c.sz13 = sun.z13;
    c.sz21 = sun.z21, c.sz23 = sun.z23, c.sz31 = sun.z31, c.sz33 = sun.z33;
    return c;
}

namespace {

// Geopotential coefficients of the half-day resonance (eccentric 12-hour orbits).
void halfDayResonance(ElementSet& rec, double nm, double aonv, double sinim, double cosim,
                      double theta, double dmdt, double dnodt, double eccsq) {
    const double em = rec.ecco;
    const double emsq = eccsq;
    const double cosisq = cosim * cosim;
    const double eoc = em * emsq;
    const double g201 = -0.306 - (em - 0.64) * 0.440;

    double g211, g310, g322, g410, g422, g520;
    if (em <= 0.65) {
        g211 = 3.616 - 13.2470 * em + 16.2900 * emsq;
        g310 = -19.302 + 117.3900 * em - 228.4190 * emsq + 156.5910 * eoc;
        g322 = -18.9068 + 109.7927 * em - 214.6334 * emsq + 146.5816 * eoc;
        g410 = -41.122 + 242.6940 * em - 471.0940 * emsq + 313.9530 * eoc;
        g422 = -146.407 + 841.8800 * em - 1629.014 * emsq + 1083.4350 * eoc;
        g520 = -532.114 + 3017.977 * em - 5740.032 * emsq + 3708.2760 * eoc;
    } else {
        g211 = -72.099 + 331.819 * em - 508.738 * emsq + 266.724 * eoc;
        g310 = -346.844 + 1582.851 * em - 2415.925 * emsq + 1246.113 * eoc;
        g322 = -342.585 + 1554.908 * em - 2366.899 * emsq + 1215.972 * eoc;
        g410 = -1052.797 + 4758.686 * em - 7193.992 * emsq + 3651.957 * eoc;
        g422 = -3581.690 + 16178.110 * em - 24462.770 * emsq + 12422.520 * eoc;
        if (em > 0.715)
            g520 = -5149.66 + 29936.92 * em - 54087.36 * emsq + 31324.56 * eoc;
        else
            g520 = 1464.74 - 4664.75 * em + 3763.64 * emsq;
    }
    double g533, g521, g532;
    if (em < 0.7) {
        g533 = -919.22770 + 4988.6100 * em - 9064.7700 * emsq + 5542.21 * eoc;
        g521 = -822.71072 + 4568.6173 * em - 8491.4146 * emsq + 5337.524 * eoc;
        g532 = -853.66600 + 4690.2500 * em - 8624.7700 * emsq + 5341.4 * eoc;
    } else {
        g533 = -37995.780 + 161616.52 * em - 229838.20 * emsq + 109377.94 * eoc;
        g521 = -51752.104 + 218913.95 * em - 309468.16 * emsq + 146349.42 * eoc;
        g532 = -40023.880 + 170470.89 * em - 242699.48 * emsq + 115605.82 * eoc;
    }

    const double sini2 = sinim * sinim;
    const double f220 = 0.75 * (1.0 + 2.0 * cosim + cosisq);
    const double f221 = 1.5 * sini2;
    const double f321 = 1.875 * sinim * (1.0 - 2.0 * cosim - 3.0 * cosisq);
    const double f322 = -1.875 * sinim * (1.0 + 2.0 * cosim - 3.0 * cosisq);
    const double f441 = 35.0 * sini2 * f220;
    const double f442 = 39.3750 * sini2 * sini2;
    const double f522 = 9.84375 * sinim *
                        (sini2 * (1.0 - 2.0 * cosim - 5.0 * cosisq) +
                         0.33333333 * (-2.0 + 4.0 * cosim + 6.0 * cosisq));
    const double f523 = sinim * (4.92187512 * sini2 * (-2.0 - 4.0 * cosim + 10.0 * cosisq) +
                                 6.56250012 * (1.0 + 2.0 * cosim - 3.0 * cosisq));
    const double f542 =
        29.53125 * sinim * (2.0 - 8.0 * cosim + cosisq * (-12.0 + 8.0 * cosim + 10.0 * cosisq));
    const double f543 =
        29.53125 * sinim * (-2.0 - 8.0 * cosim + cosisq * (12.0 + 8.0 * cosim - 10.0 * cosisq));

    constexpr double root22 = 1.7891679e-6;
    constexpr double root32 = 3.7393792e-7;
    constexpr double root44 = 7.3636953e-9;
    constexpr double root52 = 1.1428639e-7;
    constexpr double root54 = 2.1765803e-9;

    const double xno2 = nm * nm;
    const double ainv2 = aonv * aonv;
    double temp1 = 3.0 * xno2 * ainv2;
    double temp = temp1 * root22;
    rec.d2201 = temp * f220 * g201;
    rec.d2211 = temp * f221 * g211;
    temp1 = temp1 * aonv;
    temp = temp1 * root32;
    rec.d3210 = temp * f321 * g310;
    rec.d3222 = temp * f322 * g322;
    temp1 = temp1 * aonv;
    temp = 2.0 * temp1 * root44;
    rec.d4410 = temp * f441 * g410;
    rec.d4422 = temp * f442 * g422;
    temp1 = temp1 * aonv;
    temp = temp1 * root52;
    rec.d5220 = temp * f522 * g520;
    rec.d5232 = temp * f523 * g532;
    temp = 2.0 * temp1 * root54;
    rec.d5421 = temp * f542 * g521;
    rec.d5433 = temp * f543 * g533;
    rec.xlamo = std::fmod(rec.mo + rec.nodeo + rec.nodeo - theta - theta, kTwoPi);
    rec.xfact = rec.mdot + dmdt + 2.0 * (rec.nodedot + dnodt - rptim) - rec.no;
}

// Coefficients of the one-day (synchronous) resonance.
void synchronousResonance(ElementSet& rec, double nm, double aonv, double sinim, double cosim,
                          double emsq, double theta, double xpidot) {
    constexpr double q22 = 1.7891679e-6;
    constexpr double q31 = 2.1460748e-6;
    constexpr double q33 = 2.2123015e-7;

    const double g200 = 1.0 + emsq * (-2.5 + 0.8125 * emsq);
    const double g310 = 1.0 + 2.0 * emsq;
    const double g300 = 1.0 + emsq * (-6.0 + 6.60937 * emsq);
    const double f220 = 0.75 * (1.0 + cosim) * (1.0 + cosim);
    const double f311 = 0.9375 * sinim * sinim * (1.0 + 3.0 * cosim) - 0.75 * (1.0 + cosim);
    double f330 = 1.0 + cosim;
    f330 = 1.875 * f330 * f330 * f330;
    rec.del1 = 3.0 * nm * nm * aonv * aonv;
    rec.del2 = 2.0 * rec.del1 * f220 * g200 * q22;
    rec.del3 = 3.0 * rec.del1 * f330 * g300 * q33 * aonv;
    rec.del1 = rec.del1 * f311 * g310 * q31 * aonv;
    rec.xlamo = std::fmod(rec.mo + rec.nodeo + rec.argpo - theta, kTwoPi);
    rec.xfact = rec.mdot + xpidot - rptim + rec.dmdt + rec.domdt + rec.dnodt - rec.no;
}

} // namespace

void deepSpaceInit(ElementSet& rec, const GravityConstants& g, const DeepSpaceCommon& c,
                   double xpidot, double eccsq) {
    constexpr double kNearPolar = 5.2359877e-2; // 3 degrees from the equator's plane
    const double nm = c.nm;
    const double em = rec.ecco;
    const double inclm = rec.inclo;
    const double sinim = c.sinim;
    const double cosim = c.cosim;
    const double emsq = c.emsq;

    rec.irez = 0;
    if (nm < 0.0052359877 && nm > 0.0034906585)
        rec.irez = 1;
    if (nm >= 8.26e-3 && nm <= 9.24e-3 && em >= 0.5)
        rec.irez = 2;

    // Solar secular rates.
    const double ses = c.ss1 * zns * c.ss5;
    const double sis = c.ss2 * zns * (c.sz11 + c.sz13);
    const double sls = -zns * c.ss3 * (c.sz1 + c.sz3 - 14.0 - 6.0 * emsq);
    const double sghs = c.ss4 * zns * (c.sz31 + c.sz33 - 6.0);
    double shs = -zns * c.ss2 * (c.sz21 + c.sz23);
    // Node rates are undefined for orbits in the equator's plane.
    if (inclm < kNearPolar || inclm > kPi - kNearPolar)
        shs = 0.0;
    if (sinim != 0.0)
        shs = shs / sinim;
    const double sgs = sghs - cosim * shs;

    // Lunar secular rates.
    rec.dedt = ses + c.s1 * znl * c.s5;
    rec.didt = sis + c.s2 * znl * (c.z11 + c.z13);
    rec.dmdt = sls - znl * c.s3 * (c.z1 + c.z3 - 14.0 - 6.0 * emsq);
    const double sghl = c.s4 * znl * (c.z31 + c.z33 - 6.0);
    double shll = -znl * c.s2 * (c.z21 + c.z23);
    if (inclm < kNearPolar || inclm > kPi - kNearPolar)
        shll = 0.0;
    rec.domdt = sgs + sghl;
    rec.dnodt = shs;
    if (sinim != 0.0) {
        rec.domdt = rec.domdt - cosim / sinim * shll;
        rec.dnodt = rec.dnodt + shll / sinim;
    }

    if (rec.irez == 0)
        return;

    // Resonance: Earth's orientation at the epoch and the integrator's start.
    const double theta = std::fmod(rec.gsto, kTwoPi);
    const double aonv = std::pow(nm / g.xke, 2.0 / 3.0);
    if (rec.irez == 2)
        halfDayResonance(rec, nm, aonv, sinim, cosim, theta, rec.dmdt, rec.dnodt, eccsq);
    else
        synchronousResonance(rec, nm, aonv, sinim, cosim, emsq, theta, xpidot);
    rec.xli = rec.xlamo;
    rec.xni = rec.no;
    rec.atime = 0.0;
}

namespace {

// Rates of the resonant mean longitude and mean motion at the integrator's current state.
struct ResonanceRates {
    double xndt, xnddt, xldot;
};

ResonanceRates resonanceRates(const ElementSet& rec) {
    constexpr double fasx2 = 0.13130908;
    constexpr double fasx4 = 2.8843198;
    constexpr double fasx6 = 0.37448087;
    constexpr double g22 = 5.7686396;
    constexpr double g32 = 0.95240898;
    constexpr double g44 = 1.8014998;
    constexpr double g52 = 1.0508330;
    constexpr double g54 = 4.4108898;

    const double xli = rec.xli;
    ResonanceRates r;
    if (rec.irez != 2) {
        double s1, c1, s2, c2, s3, c3;
        sinCos(xli - fasx2, s1, c1);
        sinCos(2.0 * (xli - fasx4), s2, c2);
        sinCos(3.0 * (xli - fasx6), s3, c3);
        r.xndt = rec.del1 * s1 + rec.del2 * s2 + rec.del3 * s3;
        r.xldot = rec.xni + rec.xfact;
        r.xnddt = rec.del1 * c1 + 2.0 * rec.del2 * c2 + 3.0 * rec.del3 * c3;
        r.xnddt = r.xnddt * r.xldot;
    } else {
        const double xomi = rec.argpo + rec.argpdot * rec.atime;
        const double x2omi = xomi + xomi;
        const double x2li = xli + xli;
        double s[10], c[10];
        sinCos(x2omi + xli - g22, s[0], c[0]);
        sinCos(xli - g22, s[1], c[1]);
        sinCos(xomi + xli - g32, s[2], c[2]);
        sinCos(-xomi + xli - g32, s[3], c[3]);
        sinCos(x2omi + x2li - g44, s[4], c[4]);
        sinCos(x2li - g44, s[5], c[5]);
        sinCos(xomi + xli - g52, s[6], c[6]);
        sinCos(-xomi + xli - g52, s[7], c[7]);
        sinCos(xomi + x2li - g54, s[8], c[8]);
        sinCos(-xomi + x2li - g54, s[9], c[9]);
        r.xndt = rec.d2201 * s[0] + rec.d2211 * s[1] + rec.d3210 * s[2] + rec.d3222 * s[3] +
                 rec.d4410 * s[4] + rec.d4422 * s[5] + rec.d5220 * s[6] + rec.d5232 * s[7] +
                 rec.d5421 * s[8] + rec.d5433 * s[9];
        r.xldot = rec.xni + rec.xfact;
        r.xnddt = rec.d2201 * c[0] + rec.d2211 * c[1] + rec.d3210 * c[2] + rec.d3222 * c[3] +
                  rec.d5220 * c[6] + rec.d5232 * c[7] +
                  2.0 * (rec.d4410 * c[4] + rec.d4422 * c[5] + rec.d5421 * c[8] + rec.d5433 * c[9]);
        r.xnddt = r.xnddt * r.xldot;
    }
    return r;
}

bool resonanceRestarts(const ElementSet& rec, double t) {
    return rec.atime == 0.0 || t * rec.atime <= 0.0 || std::fabs(t) < std::fabs(rec.atime);
}

} // namespace

double resonanceSteps(const ElementSet& rec, double t) {
    if (rec.method != 'd' || rec.irez == 0 || !(std::fabs(t) <= kMaxResonanceSpan))
        return 0.0;
    const double from = resonanceRestarts(rec, t) ? 0.0 : rec.atime;
    return std::floor(std::fabs(t - from) / 720.0);
}

void deepSpaceSecular(ElementSet& rec, double& em, double& argpm, double& inclm, double& mm,
                      double& nodem, double& nm) {
    constexpr double stepp = 720.0;
    constexpr double stepn = -720.0;
    constexpr double step2 = 259200.0;

    const double t = rec.t;
    em = em + rec.dedt * t;
    inclm = inclm + rec.didt * t;
    argpm = argpm + rec.domdt * t;
    nodem = nodem + rec.dnodt * t;
    mm = mm + rec.dmdt * t;

    if (rec.irez == 0)
        return;

    const double theta = wrapTwoPi(rec.gsto + t * rptim);
    if (!(std::fabs(t) <= kMaxResonanceSpan)) {
        // Beyond the integrator's reach (or not a number): no mean motion, reported as code 2.
        nm = std::nan("");
        return;
    }

    // Integrate from the epoch in whole steps towards t, restarting when t lies on the other
    // side of the epoch or behind the last state; the result is independent of earlier calls.
    if (resonanceRestarts(rec, t)) {
        rec.atime = 0.0;
        rec.xni = rec.no;
        rec.xli = rec.xlamo;
    }
    const double delt = t > 0.0 ? stepp : stepn;
    ResonanceRates rates = resonanceRates(rec);
    while (std::fabs(t - rec.atime) >= stepp) {
        rec.xli = rec.xli + rates.xldot * delt + rates.xndt * step2;
        rec.xni = rec.xni + rates.xndt * delt + rates.xnddt * step2;
        rec.atime = rec.atime + delt;
        rates = resonanceRates(rec);
    }
    const double ft = t - rec.atime;

    nm = rec.xni + rates.xndt * ft + rates.xnddt * ft * ft * 0.5;
    const double xl = rec.xli + rates.xldot * ft + rates.xndt * ft * ft * 0.5;
    if (rec.irez != 1)
        mm = xl - 2.0 * nodem + 2.0 * theta;
    else
        mm = xl - nodem - argpm + theta;
    const double dndt = nm - rec.no;
    nm = rec.no + dndt;
}

void deepSpacePeriodics(const ElementSet& rec, double& ep, double& inclp, double& nodep,
                        double& argpp, double& mp) {
    const double t = rec.t;

    // Sun.
    double zm = rec.zmos + zns * t;
    double sinzm, coszm, sinzf, coszf;
    sinCos(zm, sinzm, coszm);
    double zf = zm + 2.0 * zes * sinzm;
    sinCos(zf, sinzf, coszf);
    double f2 = 0.5 * sinzf * sinzf - 0.25;
    double f3 = -0.5 * sinzf * coszf;
    const double ses = rec.se2 * f2 + rec.se3 * f3;
    const double sis = rec.si2 * f2 + rec.si3 * f3;
    const double sls = rec.sl2 * f2 + rec.sl3 * f3 + rec.sl4 * sinzf;
    const double sghs = rec.sgh2 * f2 + rec.sgh3 * f3 + rec.sgh4 * sinzf;
    const double shs = rec.sh2 * f2 + rec.sh3 * f3;

    // Moon.
    zm = rec.zmol + znl * t;
    sinCos(zm, sinzm, coszm);
    zf = zm + 2.0 * zel * sinzm;
    sinCos(zf, sinzf, coszf);
    f2 = 0.5 * sinzf * sinzf - 0.25;
    f3 = -0.5 * sinzf * coszf;
    const double sel = rec.ee2 * f2 + rec.e3 * f3;
    const double sil = rec.xi2 * f2 + rec.xi3 * f3;
    const double sll = rec.xl2 * f2 + rec.xl3 * f3 + rec.xl4 * sinzf;
    const double sghl = rec.xgh2 * f2 + rec.xgh3 * f3 + rec.xgh4 * sinzf;
    const double shll = rec.xh2 * f2 + rec.xh3 * f3;

    double pe = ses + sel;
    double pinc = sis + sil;
    double pl = sls + sll;
    double pgh = sghs + sghl;
    double ph = shs + shll;

    pe = pe - rec.peo;
    pinc = pinc - rec.pinco;
    pl = pl - rec.plo;
    pgh = pgh - rec.pgho;
    ph = ph - rec.pho;
    inclp = inclp + pinc;
    ep = ep + pe;
    double sinip, cosip;
    sinCos(inclp, sinip, cosip);

    if (inclp >= 0.2) {
        // Direct form.
        ph = ph / sinip;
        pgh = pgh - cosip * ph;
        argpp = argpp + pgh;
        nodep = nodep + ph;
        mp = mp + pl;
        return;
    }

    // Lyddane's form for low inclinations, where the node is ill-defined.
    double sinop, cosop;
    sinCos(nodep, sinop, cosop);
    double alfdp = sinip * sinop;
    double betdp = sinip * cosop;
    const double dalf = ph * cosop + pinc * cosip * sinop;
    const double dbet = -ph * sinop + pinc * cosip * cosop;
    alfdp = alfdp + dalf;
    betdp = betdp + dbet;
    nodep = wrapTwoPi(nodep);
    // AFSPC compatibility: the node is used below without a trigonometric function ahead.
    if (nodep < 0.0 && rec.operationmode == 'a')
        nodep = nodep + kTwoPi;
    double xls = mp + argpp + cosip * nodep;
    const double dls = pl + pgh - pinc * nodep * sinip;
    xls = xls + dls;
    const double xnoh = nodep;
    nodep = std::atan2(alfdp, betdp);
    if (nodep < 0.0 && rec.operationmode == 'a')
        nodep = nodep + kTwoPi;
    if (std::fabs(xnoh - nodep) > kPi) {
        if (nodep < xnoh)
            nodep = nodep + kTwoPi;
        else
            nodep = nodep - kTwoPi;
    }
    mp = mp + pl;
    argpp = xls - mp - cosip * nodep;
}

} // namespace orbit_detail
