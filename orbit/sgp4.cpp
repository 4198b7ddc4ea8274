#include "orbit/sgp4.h"

#include "orbit/deep_space.h"
#include "orbit/exact_math.h"
#include "orbit/gravity.h"
#include "orbit/kepler.h"
#include "orbit/sincos.h"

#include <cmath>
#include <limits>

using namespace orbit_detail;

namespace {

constexpr double x2o3 = 2.0 / 3.0;
constexpr double temp4 = 1.5e-12; // stands in for 1 + cos(i) at an inclination of 180 degrees

const GravityConstants& constantsFor(int selector, GravityConstants& unknown) {
    if (selector >= 0 && selector <= 2)
        return kGravitySets[selector];
    unknown = gravityConstants(selector); // reports the selector, yields NaN
    return unknown;
}

// Zeroes the model's working values, keeping what the parser set.
void clearWorkingValues(ElementSet& r) {
    ElementSet fresh;
    fresh.epochyr = r.epochyr;
    fresh.a = r.a;
    fresh.altp = r.altp;
    fresh.alta = r.alta;
    fresh.epochdays = r.epochdays;
    fresh.jdsatepoch = r.jdsatepoch;
    fresh.nddot = r.nddot;
    fresh.ndot = r.ndot;
    r = fresh;
    r.method = 'n';
}

// Epoch quantities of initialisation (published routine initl).
struct EpochQuantities {
    double ainv, ao, con42, cosio, cosio2, eccsq, omeosq, posq, rp, rteosq, sinio;
};

EpochQuantities epochQuantities(ElementSet& rec, const GravityConstants& g, double epoch) {
    EpochQuantities q;
    q.eccsq = rec.ecco * rec.ecco;
    q.omeosq = 1.0 - q.eccsq;
    q.rteosq = std::sqrt(q.omeosq);
    q.cosio = std::cos(rec.inclo);
    q.cosio2 = q.cosio * q.cosio;

    // Un-Kozai the mean motion: the TLE carries Kozai's, the model works with Brouwer's.
    const double ak = std::pow(g.xke / rec.no, x2o3);
    const double d1 = 0.75 * g.j2 * (3.0 * q.cosio2 - 1.0) / (q.rteosq * q.omeosq);
    double del = d1 / (ak * ak);
    const double adel = ak * (1.0 - del * del - del * (1.0 / 3.0 + 134.0 * del * del / 81.0));
    del = d1 / (adel * adel);
    rec.no = rec.no / (1.0 + del);

    q.ao = std::pow(g.xke / rec.no, x2o3);
    q.sinio = std::sin(rec.inclo);
    const double po = q.ao * q.omeosq;
    q.con42 = 1.0 - 5.0 * q.cosio2;
    rec.con41 = -q.con42 - q.cosio2 - q.cosio2;
    q.ainv = 1.0 / q.ao;
    q.posq = po * po;
    q.rp = q.ao * (1.0 - rec.ecco);
    rec.method = 'n';

    if (rec.operationmode == 'a') {
        // Sidereal time at epoch by the AFSPC expression, counted from 1970.
        const double ts70 = epoch - 7305.0;
        const double ds70 = std::floor(ts70 + 1.0e-8);
        const double tfrac = ts70 - ds70;
        constexpr double c1 = 1.72027916940703639e-2;
        constexpr double thgr70 = 1.7321343856509374;
        constexpr double fk5r = 5.07551419432269442e-15;
        const double c1p2p = c1 + kTwoPi;
        rec.gsto = std::fmod(thgr70 + c1 * ds70 + c1p2p * tfrac + ts70 * ts70 * fk5r, kTwoPi);
        if (rec.gsto < 0.0)
            rec.gsto = rec.gsto + kTwoPi;
    } else {
        rec.gsto = gmstFromJd(epoch + 2433281.5);
    }
    return q;
}

// Drag and secular-rate coefficients. Returns tsi and the density parameter sfour, which the
// higher-order drag terms need.
void dragAndSecularCoefficients(ElementSet& rec, const GravityConstants& g,
                                const EpochQuantities& q, double& tsi, double& sfour,
                                double& xpidot) {
    const double ss = 78.0 / g.radiusearthkm + 1.0;
    const double qzms2ttemp = (120.0 - 78.0) / g.radiusearthkm;
    const double qzms2t = qzms2ttemp * qzms2ttemp * qzms2ttemp * qzms2ttemp;

    rec.isimp = 0;
    if (q.rp < (220.0 / g.radiusearthkm + 1.0))
        rec.isimp = 1;
    sfour = ss;
    double qzms24 = qzms2t;
    const double perige = (q.rp - 1.0) * g.radiusearthkm;

    // Low perigees take a lower atmosphere density reference.
    if (perige < 156.0) {
        sfour = perige - 78.0;
        if (perige < 98.0)
            sfour = 20.0;
        const double qzms24temp = (120.0 - sfour) / g.radiusearthkm;
        qzms24 = qzms24temp * qzms24temp * qzms24temp * qzms24temp;
        sfour = sfour / g.radiusearthkm + 1.0;
    }
    const double pinvsq = 1.0 / q.posq;

    const double ao = q.ao;
    tsi = 1.0 / (ao - sfour);
    rec.eta = ao * rec.ecco * tsi;
    const double etasq = rec.eta * rec.eta;
    const double eeta = rec.ecco * rec.eta;
    const double psisq = std::fabs(1.0 - etasq);
    const double coef = qzms24 * std::pow(tsi, 4.0);
    const double coef1 = coef / std::pow(psisq, 3.5);
    const double cc2 =
        coef1 * rec.no *
        (ao * (1.0 + 1.5 * etasq + eeta * (4.0 + etasq)) +
         0.375 * g.j2 * tsi / psisq * rec.con41 * (8.0 + 3.0 * etasq * (8.0 + etasq)));
    rec.cc1 = rec.bstar * cc2;
    double cc3 = 0.0;
    if (rec.ecco > 1.0e-4)
        cc3 = -2.0 * coef * tsi * g.j3oj2 * rec.no * q.sinio / rec.ecco;
    rec.x1mth2 = 1.0 - q.cosio2;
    rec.cc4 = 2.0 * rec.no * coef1 * ao * q.omeosq *
              (rec.eta * (2.0 + 0.5 * etasq) + rec.ecco * (0.5 + 2.0 * etasq) -
               g.j2 * tsi / (ao * psisq) *
                   (-3.0 * rec.con41 * (1.0 - 2.0 * eeta + etasq * (1.5 - 0.5 * eeta)) +
                    0.75 * rec.x1mth2 * (2.0 * etasq - eeta * (1.0 + etasq)) *
                        std::cos(2.0 * rec.argpo)));
    rec.cc5 = 2.0 * coef1 * ao * q.omeosq * (1.0 + 2.75 * (etasq + eeta) + eeta * etasq);

    const double cosio = q.cosio;
    const double cosio2 = q.cosio2;
    const double cosio4 = cosio2 * cosio2;
    const double temp1 = 1.5 * g.j2 * pinvsq * rec.no;
    const double temp2 = 0.5 * temp1 * g.j2 * pinvsq;
    const double temp3 = -0.46875 * g.j4 * pinvsq * pinvsq * rec.no;
    rec.mdot = rec.no + 0.5 * temp1 * q.rteosq * rec.con41 +
               0.0625 * temp2 * q.rteosq * (13.0 - 78.0 * cosio2 + 137.0 * cosio4);
    rec.argpdot = -0.5 * temp1 * q.con42 +
                  0.0625 * temp2 * (7.0 - 114.0 * cosio2 + 395.0 * cosio4) +
                  temp3 * (3.0 - 36.0 * cosio2 + 49.0 * cosio4);
    const double xhdot1 = -temp1 * cosio;
    rec.nodedot =
        xhdot1 + (0.5 * temp2 * (4.0 - 19.0 * cosio2) + 2.0 * temp3 * (3.0 - 7.0 * cosio2)) * cosio;
    xpidot = rec.argpdot + rec.nodedot;
    rec.omgcof = rec.bstar * cc3 * std::cos(rec.argpo);
    rec.xmcof = 0.0;
    if (rec.ecco > 1.0e-4)
        rec.xmcof = -x2o3 * coef * rec.bstar / eeta;
    rec.nodecf = 3.5 * q.omeosq * xhdot1 * rec.cc1;
    rec.t2cof = 1.5 * rec.cc1;
    // 1 + cos(i) vanishes at an inclination of 180 degrees.
    if (std::fabs(cosio + 1.0) > 1.5e-12)
        rec.xlcof = -0.25 * g.j3oj2 * q.sinio * (3.0 + 5.0 * cosio) / (1.0 + cosio);
    else
        rec.xlcof = -0.25 * g.j3oj2 * q.sinio * (3.0 + 5.0 * cosio) / temp4;
    rec.aycof = -0.5 * g.j3oj2 * q.sinio;
    const double delmotemp = 1.0 + rec.eta * std::cos(rec.mo);
    rec.delmo = delmotemp * delmotemp * delmotemp;
    rec.sinmao = std::sin(rec.mo);
    rec.x7thm1 = 7.0 * cosio2 - 1.0;
}

void higherOrderDrag(ElementSet& rec, double ao, double tsi, double sfour) {
    const double cc1sq = rec.cc1 * rec.cc1;
    rec.d2 = 4.0 * ao * tsi * cc1sq;
    const double temp = rec.d2 * tsi * rec.cc1 / 3.0;
    rec.d3 = (17.0 * ao + sfour) * temp;
    rec.d4 = 0.5 * temp * ao * tsi * (221.0 * ao + 31.0 * sfour) * rec.cc1;
    rec.t3cof = rec.d2 + 2.0 * cc1sq;
    rec.t4cof = 0.25 * (3.0 * rec.d3 + rec.cc1 * (12.0 * rec.d2 + 10.0 * cc1sq));
    rec.t5cof = 0.2 * (3.0 * rec.d4 + 12.0 * rec.cc1 * rec.d3 + 6.0 * rec.d2 * rec.d2 +
                       15.0 * cc1sq * (2.0 * rec.d2 + cc1sq));
}

// Mean elements at rec.t after the secular effects of gravity, drag and, in deep space,
// Sun, Moon and resonance.
struct MeanElements {
    double em, argpm, inclm, mm, nodem, nm, am;
};

// Secular update; false with the error code set when the orbit has become impossible.
bool secularUpdate(ElementSet& rec, const GravityConstants& g, bool fixed_selector,
                   MeanElements& m) {
    const double t = rec.t;
    const double xmdf = rec.mo + rec.mdot * t;
    const double argpdf = rec.argpo + rec.argpdot * t;
    const double nodedf = rec.nodeo + rec.nodedot * t;
    double argpm = argpdf;
    double mm = xmdf;
    const double t2 = t * t;
    double nodem = nodedf + rec.nodecf * t2;
    double tempa = 1.0 - rec.cc1 * t;
    double tempe = rec.bstar * rec.cc4 * t;
    double templ = rec.t2cof * t2;

    if (rec.isimp != 1) {
        const double delomg = rec.omgcof * t;
        double sinxmdf, cosxmdf;
        sinCos(xmdf, sinxmdf, cosxmdf);
        const double delm = rec.xmcof * (powThree(1.0 + rec.eta * cosxmdf) - rec.delmo);
        const double temp = delomg + delm;
        mm = xmdf + temp;
        argpm = argpdf - temp;
        const double t3 = t2 * t;
        const double t4 = t3 * t;
        tempa = tempa - rec.d2 * t2 - rec.d3 * t3 - rec.d4 * t4;
        double sinmm, cosmm;
        sinCos(mm, sinmm, cosmm);
        tempe = tempe + rec.bstar * rec.cc5 * (sinmm - rec.sinmao);
        templ = templ + rec.t3cof * t3 + t4 * (rec.t4cof + t * rec.t5cof);
    }

    double nm = rec.no;
    double em = rec.ecco;
    double inclm = rec.inclo;
    if (rec.method == 'd')
        deepSpaceSecular(rec, em, argpm, inclm, mm, nodem, nm);

    if (!(nm > 0.0)) {
        rec.error = kSgp4MeanMotion;
        return false;
    }
    // Near-Earth orbits still have the epoch mean motion here, so initialisation already knows
    // (xke / nm)^(2/3).
    const double aofnm =
        (rec.method == 'n' && fixed_selector) ? rec.aofno : std::pow(g.xke / nm, x2o3);
    const double am = aofnm * tempa * tempa;
    nm = g.xke / powThreeHalves(am);
    em = em - tempe;

    if (!(em < 1.0 && em >= -0.001)) {
        rec.error = kSgp4MeanEccentricity;
        return false;
    }
    if (em < 1.0e-6)
        em = 1.0e-6;
    mm = mm + rec.no * templ;
    double xlm = mm + argpm + nodem;

    nodem = wrapTwoPi(nodem);
    argpm = wrapTwoPi(argpm);
    xlm = wrapTwoPi(xlm);
    mm = wrapTwoPi(xlm - argpm - nodem);

    m.em = em;
    m.argpm = argpm;
    m.inclm = inclm;
    m.mm = mm;
    m.nodem = nodem;
    m.nm = nm;
    m.am = am;
    return true;
}

// Elements after the lunar-solar periodics (deep space); near-Earth orbits keep the mean ones.
struct PeriodicElements {
    double ep, xincp, argpp, nodep, mp;
    double sinip, cosip;
};

bool lunarSolarPeriodics(ElementSet& rec, const GravityConstants& g, const MeanElements& m,
                         PeriodicElements& p) {
    p.ep = m.em;
    p.xincp = m.inclm;
    p.argpp = m.argpm;
    p.nodep = m.nodem;
    p.mp = m.mm;
    if (rec.method != 'd') {
        // Near-Earth inclination is constant.
        p.sinip = rec.sinio;
        p.cosip = rec.cosio;
        return true;
    }
    deepSpacePeriodics(rec, p.ep, p.xincp, p.nodep, p.argpp, p.mp);
    if (p.xincp < 0.0) {
        p.xincp = -p.xincp;
        p.nodep = p.nodep + kPi;
        p.argpp = p.argpp - kPi;
    }
    if (p.ep < 0.0 || p.ep > 1.0) {
        rec.error = kSgp4PerturbedEccentricity;
        return false;
    }
    // Long-period coefficients follow the perturbed inclination.
    sinCos(p.xincp, p.sinip, p.cosip);
    rec.aycof = -0.5 * g.j3oj2 * p.sinip;
    if (std::fabs(p.cosip + 1.0) > 1.5e-12)
        rec.xlcof = -0.25 * g.j3oj2 * p.sinip * (3.0 + 5.0 * p.cosip) / (1.0 + p.cosip);
    else
        rec.xlcof = -0.25 * g.j3oj2 * p.sinip * (3.0 + 5.0 * p.cosip) / temp4;
    return true;
}

// Long-period periodics, in the variables Kepler's equation is solved in.
struct LongPeriod {
    double axnl, aynl, xl;
};

LongPeriod longPeriodTerms(const ElementSet& rec, double am, const PeriodicElements& p) {
    double sinargpp, cosargpp;
    sinCos(p.argpp, sinargpp, cosargpp);
    LongPeriod lp;
    lp.axnl = p.ep * cosargpp;
    const double temp = 1.0 / (am * (1.0 - p.ep * p.ep));
    lp.aynl = p.ep * sinargpp + temp * rec.aycof;
    lp.xl = p.mp + p.argpp + p.nodep + temp * rec.xlcof * lp.axnl;
    return lp;
}

// Short-period periodics and the state vector: position (km) and velocity (km/s). Code 4
// writes nothing; code 6 (below the surface) writes the state.
bool shortPeriodState(ElementSet& rec, const GravityConstants& g, const MeanElements& m,
                      const PeriodicElements& p, const LongPeriod& lp, const KeplerSolution& k,
                      double r[3], double v[3]) {
    const double am = m.am;
    const double axnl = lp.axnl, aynl = lp.aynl;
    const double sineo1 = k.sineo1, coseo1 = k.coseo1;

    const double ecose = axnl * coseo1 + aynl * sineo1;
    const double esine = axnl * sineo1 - aynl * coseo1;
    const double el2 = axnl * axnl + aynl * aynl;
    const double pl = am * (1.0 - el2);
    if (pl < 0.0) {
        rec.error = kSgp4SemiLatusRectum;
        return false;
    }
    const double rl = am * (1.0 - ecose);
    const double rdotl = std::sqrt(am) * esine / rl;
    const double rvdotl = std::sqrt(pl) / rl;
    const double betal = std::sqrt(1.0 - el2);
    double temp = esine / (1.0 + betal);
    const double sinu = am / rl * (sineo1 - aynl - axnl * temp);
    const double cosu = am / rl * (coseo1 - axnl + aynl * temp);
    double su = std::atan2(sinu, cosu);
    const double sin2u = (cosu + cosu) * sinu;
    const double cos2u = 1.0 - 2.0 * sinu * sinu;
    temp = 1.0 / pl;
    const double temp1 = 0.5 * g.j2 * temp;
    const double temp2 = temp1 * temp;

    if (rec.method == 'd') {
        const double cosisq = p.cosip * p.cosip;
        rec.con41 = 3.0 * cosisq - 1.0;
        rec.x1mth2 = 1.0 - cosisq;
        rec.x7thm1 = 7.0 * cosisq - 1.0;
    }
    const double mrt =
        rl * (1.0 - 1.5 * temp2 * betal * rec.con41) + 0.5 * temp1 * rec.x1mth2 * cos2u;
    su = su - 0.25 * temp2 * rec.x7thm1 * sin2u;
    const double xnode = p.nodep + 1.5 * temp2 * p.cosip * sin2u;
    const double xinc = p.xincp + 1.5 * temp2 * p.cosip * p.sinip * cos2u;
    const double mvt = rdotl - m.nm * temp1 * rec.x1mth2 * sin2u / g.xke;
    const double rvdot = rvdotl + m.nm * temp1 * (rec.x1mth2 * cos2u + 1.5 * rec.con41) / g.xke;

    // Orientation vectors.
    double sinsu, cossu, snod, cnod, sini, cosi;
    sinCos(su, sinsu, cossu);
    sinCos(xnode, snod, cnod);
    sinCos(xinc, sini, cosi);
    const double xmx = -snod * cosi;
    const double xmy = cnod * cosi;
    const double ux = xmx * sinsu + cnod * cossu;
    const double uy = xmy * sinsu + snod * cossu;
    const double uz = sini * sinsu;
    const double vx = xmx * cossu - cnod * sinsu;
    const double vy = xmy * cossu - snod * sinsu;
    const double vz = sini * cossu;

    const double vkmpersec = g.radiusearthkm * g.xke / 60.0;
    r[0] = (mrt * ux) * g.radiusearthkm;
    r[1] = (mrt * uy) * g.radiusearthkm;
    r[2] = (mrt * uz) * g.radiusearthkm;
    v[0] = (mvt * ux + rvdot * vx) * vkmpersec;
    v[1] = (mvt * uy + rvdot * vy) * vkmpersec;
    v[2] = (mvt * uz + rvdot * vz) * vkmpersec;

    // Below the surface: decayed, though the state stands.
    if (!(mrt >= 1.0)) {
        rec.error = kSgp4Decayed;
        return false;
    }
    return true;
}

} // namespace

bool sgp4Init(int gravitySelector, char opsMode, std::int32_t satnum, double epoch, double bstar,
              double ecco, double argpo, double inclo, double mo, double no, double nodeo,
              ElementSet& satrec) {
    GravityConstants unknown;
    const GravityConstants& g = constantsFor(gravitySelector, unknown);

    clearWorkingValues(satrec);
    satrec.bstar = bstar;
    satrec.ecco = ecco;
    satrec.argpo = argpo;
    satrec.inclo = inclo;
    satrec.mo = mo;
    satrec.no = no;
    satrec.nodeo = nodeo;
    satrec.operationmode = opsMode;
    satrec.satnum = satnum;
    satrec.gravity = gravitySelector;

    satrec.init = 'y';
    satrec.t = 0.0;

    const EpochQuantities q = epochQuantities(satrec, g, epoch);
    satrec.error = 0;

    if (q.omeosq >= 0.0 || satrec.no >= 0.0) {
        double tsi = 0.0, sfour = 0.0, xpidot = 0.0;
        dragAndSecularCoefficients(satrec, g, q, tsi, sfour, xpidot);

        if (2.0 * kPi / satrec.no >= 225.0) {
            // Deep space: the Sun and the Moon, and resonance with the Earth's geopotential.
            satrec.method = 'd';
            satrec.isimp = 1;
            const DeepSpaceCommon c = deepSpaceCommon(satrec, epoch, satrec.ecco, satrec.argpo, 0.0,
                                                      satrec.inclo, satrec.nodeo, satrec.no);
            // The periodics at the epoch change nothing here: their epoch offsets are zero.
            deepSpaceInit(satrec, g, c, xpidot, q.eccsq);
        }
        if (satrec.isimp != 1)
            higherOrderDrag(satrec, q.ao, tsi, sfour);
    }

    satrec.sinio = q.sinio;
    satrec.cosio = q.cosio;
    satrec.aofno = q.ao;

    double r[3], v[3];
    sgp4Propagate(gravitySelector, satrec, 0.0, r, v);
    satrec.init = 'n';
    return true;
}

bool sgp4Propagate(int gravitySelector, ElementSet& satrec, double tsince, double r[3],
                   double v[3]) {
    GravityConstants unknown;
    const GravityConstants& g = constantsFor(gravitySelector, unknown);

    satrec.t = tsince;
    satrec.error = 0;

    MeanElements m;
    if (!secularUpdate(satrec, g, gravitySelector == satrec.gravity, m))
        return false;
    PeriodicElements p;
    if (!lunarSolarPeriodics(satrec, g, m, p))
        return false;
    const LongPeriod lp = longPeriodTerms(satrec, m.am, p);
    const KeplerSolution k = solveKepler(wrapTwoPi(lp.xl - p.nodep), lp.axnl, lp.aynl);
    return shortPeriodState(satrec, g, m, p, lp, k, r, v);
}

bool sgp4DragExhausted(const ElementSet& satrec, double t) {
    double tempa = 1.0 - satrec.cc1 * t;
    if (satrec.isimp != 1)
        tempa = tempa - satrec.d2 * t * t - satrec.d3 * t * t * t - satrec.d4 * t * t * t * t;
    return !(tempa > 0.0);
}

double sgp4ResonanceSteps(const ElementSet& satrec, double tsince) {
    return resonanceSteps(satrec, tsince);
}

double gmstFromJd(double jdut1) {
    const double tut1 = (jdut1 - 2451545.0) / 36525.0;
    double temp = -6.2e-6 * tut1 * tut1 * tut1 + 0.093104 * tut1 * tut1 +
                  (876600.0 * 3600 + 8640184.812866) * tut1 + 67310.54841; // seconds
    temp = std::fmod(temp * kRadiansPerDegree / 240.0, kTwoPi);            // 360/86400 = 1/240
    if (temp < 0.0)
        temp += kTwoPi;
    return temp;
}
