#pragma once

#include <cstdint>

// One SGP4/SDP4 element set: the elements as read from a TLE, the working values that
// initialisation derives from them, and the little state that propagation carries from one
// call to the next. A plain value: copy it freely, it owns nothing.
//
// The fields keep the names and the order of the published model's element record, so that a
// reader can hold this code next to the published formulas. Working values that initialisation
// does not set stay zero.
struct ElementSet {
    std::int32_t satnum = 0; // catalogue number (from line 2)
    int epochyr = 0;         // epoch year, two digits as read
    int error = 0;           // code of the last propagation: 0, or 1-4, 6
    char operationmode = 0;  // 'a' (AFSPC compatible) or 'i' (improved)
    char init = 0;           // 'y' while sgp4Init runs, 'n' afterwards
    char method = 0;         // 'n' near-Earth, 'd' deep space (SDP4)

    // Near-Earth working values.
    int isimp = 0; // 1: simplified drag (low perigee or deep space)
    double aycof = 0, con41 = 0, cc1 = 0, cc4 = 0, cc5 = 0, d2 = 0, d3 = 0, d4 = 0, delmo = 0,
           eta = 0, argpdot = 0, omgcof = 0, sinmao = 0, t = 0, t2cof = 0, t3cof = 0, t4cof = 0,
           t5cof = 0, x1mth2 = 0, x7thm1 = 0, mdot = 0, nodedot = 0, xlcof = 0, xmcof = 0,
           nodecf = 0;

    // Deep-space working values; atime, xli and xni are the resonance integrator's state.
    int irez = 0; // 0 none, 1 one-day (synchronous), 2 half-day resonance
    double d2201 = 0, d2211 = 0, d3210 = 0, d3222 = 0, d4410 = 0, d4422 = 0, d5220 = 0, d5232 = 0,
           d5421 = 0, d5433 = 0, dedt = 0, del1 = 0, del2 = 0, del3 = 0, didt = 0, dmdt = 0,
           dnodt = 0, domdt = 0, e3 = 0, ee2 = 0, peo = 0, pgho = 0, pho = 0, pinco = 0, plo = 0,
           se2 = 0, se3 = 0, sgh2 = 0, sgh3 = 0, sgh4 = 0, sh2 = 0, sh3 = 0, si2 = 0, si3 = 0,
           sl2 = 0, sl3 = 0, sl4 = 0, gsto = 0, xfact = 0, xgh2 = 0, xgh3 = 0, xgh4 = 0, xh2 = 0,
           xh3 = 0, xi2 = 0, xi3 = 0, xl2 = 0, xl3 = 0, xl4 = 0, xlamo = 0, zmol = 0, zmos = 0,
           atime = 0, xli = 0, xni = 0;

    // Elements. Units: radians, minutes, Earth radii.
    double a = 0;          // semi-major axis from the Kozai mean motion
    double altp = 0;       // perigee height a(1-e)-1
    double alta = 0;       // apogee height a(1+e)-1
    double epochdays = 0;  // epoch day of the year with fraction, as read
    double jdsatepoch = 0; // epoch, Julian date (UTC)
    double nddot = 0;      // second derivative of mean motion / 6, rad/min^3
    double ndot = 0;       // first derivative of mean motion / 2, rad/min^2
    double bstar = 0;      // drag term, 1/Earth radii
    double inclo = 0;      // inclination
    double nodeo = 0;      // right ascension of the ascending node
    double ecco = 0;       // eccentricity
    double argpo = 0;      // argument of perigee
    double mo = 0;         // mean anomaly
    double no = 0;         // mean motion, rad/min (Brouwer value after sgp4Init)

    // Values initialisation already knows and propagation would otherwise recompute on every
    // call. Near-Earth orbits keep inclination and mean motion fixed, so their sine, cosine
    // and the mean-motion part of the semi-major axis are taken once here.
    int gravity = 1;  // gravity selector the set was initialised with
    double sinio = 0; // sin(inclo)
    double cosio = 0; // cos(inclo)
    double aofno = 0; // (xke / no)^(2/3)
};
