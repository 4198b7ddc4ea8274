#pragma once

#include "orbit/sincos.h"

#include <cmath>

namespace orbit_detail {

// Kepler's equation in Brouwer's long-period variables: finds the eccentric longitude eo1 with
// u = eo1 - axnl sin(eo1) + aynl cos(eo1), by Newton's method from eo1 = u. Each correction is
// clamped to 0.95 rad; it stops once a correction is below 1e-12 or after ten of them. The sine
// and cosine returned belong to the estimate the last correction started from, as the model
// uses them.
struct KeplerSolution {
    double sineo1, coseo1;
    int steps;
};

inline KeplerSolution solveKepler(double u, double axnl, double aynl) {
    double eo1 = u;
    double tem5 = 9999.9;
    double sineo1 = 0.0, coseo1 = 0.0;
    int steps = 0;
    while (std::fabs(tem5) >= 1.0e-12 && steps < 10) {
        sinCos(eo1, sineo1, coseo1);
        tem5 = 1.0 - coseo1 * axnl - sineo1 * aynl;
        tem5 = (u - aynl * coseo1 + axnl * sineo1 - eo1) / tem5;
        if (std::fabs(tem5) >= 0.95)
            tem5 = tem5 > 0.0 ? 0.95 : -0.95;
        eo1 = eo1 + tem5;
        ++steps;
    }
    return {sineo1, coseo1, steps};
}

} // namespace orbit_detail
