#pragma once

#include "astro/time_units.h"
#include "orbit/element_set.h"

#include <cstdint>

// Error codes left in ElementSet::error by sgp4Propagate.
enum Sgp4Error {
    kSgp4Ok = 0,
    kSgp4MeanEccentricity = 1,      // mean eccentricity >= 1 or < -0.001 (or not a number)
    kSgp4MeanMotion = 2,            // mean motion <= 0 (or not a number)
    kSgp4PerturbedEccentricity = 3, // perturbed eccentricity < 0 or > 1 (deep space)
    kSgp4SemiLatusRectum = 4,       // semi-latus rectum < 0
    kSgp4Decayed = 6,               // radius below one Earth radius; position still written
};

// Initialises satrec from mean elements (radians, rad/min, epoch in days since 1950 January
// 0.0 UTC) and propagates it once to the epoch; the outcome of that shows in satrec.error.
// Always returns true.
bool sgp4Init(int gravitySelector, char opsMode, std::int32_t satnum, double epoch, double bstar,
              double ecco, double argpo, double inclo, double mo, double no, double nodeo,
              ElementSet& satrec);

// Propagates satrec to tsince minutes from its epoch: position (km) and velocity (km/s) in the
// TEME frame. Returns false with the code in satrec.error on failure; codes 1-4 write nothing
// to r and v, code 6 writes them. Allocates nothing.
bool sgp4Propagate(int gravitySelector, ElementSet& satrec, double tsince, double r[3],
                   double v[3]);

// How many 720-minute resonance steps propagating satrec to tsince would integrate: 0 for orbits
// without resonance. The integrator's state at an instant depends on that instant alone (its
// steps always start at the epoch), so a caller may bring sets to an instant early, on other
// threads, without changing any later result.
double sgp4ResonanceSteps(const ElementSet& satrec, double tsince);

// Whether the model's drag has used the orbit up by tsince: the secular factor of the semi-major
// axis, 1 - C1 t - D2 t^2 - D3 t^3 - D4 t^4, no longer positive. SGP4 squares it and goes on
// giving positions there, of an orbit that is no more, mostly without an error code.
bool sgp4DragExhausted(const ElementSet& satrec, double tsince);

// Greenwich mean sidereal time (IAU 1982) in radians, [0, 2 pi), of a UT1 Julian date.
double gmstFromJd(double jdut1);

// The model's time argument: minutes from the set's epoch to a UTC Julian date.
inline double minutesSinceEpoch(const ElementSet& set, double utcJd) {
    return (utcJd - set.jdsatepoch) * kMinutesPerDay;
}
