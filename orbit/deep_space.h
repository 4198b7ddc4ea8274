#pragma once

// Deep-space (SDP4) terms of the orbit model: lunar-solar perturbations and the geopotential
// resonance of one-day and half-day orbits. Used only by sgp4Init and sgp4Propagate.

#include "orbit/element_set.h"
#include "orbit/gravity.h"

namespace orbit_detail {

// Lunar-solar quantities at epoch that the resonance set-up needs besides the coefficients
// stored in the record.
struct DeepSpaceCommon {
    double sinim, cosim;            // of the inclination
    double emsq;                    // eccentricity squared
    double nm;                      // mean motion
    double s1, s2, s3, s4, s5;      // lunar
    double ss1, ss2, ss3, ss4, ss5; // solar
    double z1, z3, z11, z13, z21, z23, z31, z33;
    double sz1, sz3, sz11, sz13, sz21, sz23, sz31, sz33;
};

// Lunar and solar periodic coefficients at the epoch (published routine dscom). Writes e3,
// ee2, se2 ... sl4, xgh2 ... xl4, zmol, zmos and the epoch offsets peo ... pho (zero) into rec.
DeepSpaceCommon deepSpaceCommon(ElementSet& rec, double epoch, double ecco, double argpo, double tc,
                                double inclo, double nodeo, double no);

// Secular rates and resonance set-up (dsinit): dedt ... domdt, irez, the d-coefficients or
// del1-3, xfact, xlamo, and the integrator start state.
void deepSpaceInit(ElementSet& rec, const GravityConstants& g, const DeepSpaceCommon& c,
                   double xpidot, double eccsq);

// Lunar-solar secular drift and resonance integration to rec.t (dspace). Updates the mean
// elements in place, and the integrator state in rec.
void deepSpaceSecular(ElementSet& rec, double& em, double& argpm, double& inclm, double& mm,
                      double& nodem, double& nm);

// The 720-minute resonance steps that integrating to t would take from the record's present
// state (from the epoch when the integrator restarts); 0 without resonance or beyond its reach.
double resonanceSteps(const ElementSet& rec, double t);

// Lunar-solar periodics at rec.t added to the mean elements (dpper after initialisation).
void deepSpacePeriodics(const ElementSet& rec, double& ep, double& inclp, double& nodep,
                        double& argpp, double& mp);

} // namespace orbit_detail
