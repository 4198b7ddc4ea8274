#include "orbit/gravity.h"

#include <cstdio>
#include <limits>

GravityConstants gravityConstants(int selector) {
    if (selector >= 0 && selector <= 2)
        return orbit_detail::kGravitySets[selector];
    std::fprintf(stderr, "unknown gravity option (%d)\n", selector);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return GravityConstants{nan, nan, nan, nan, nan, nan, nan, nan};
}
