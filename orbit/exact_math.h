#pragma once

// Faster forms of three library calls the propagator makes on every call, with results equal to
// the library's bit for bit.

#include "astro/angles.h"
#include <cmath>
#include <cstdint>
#include <cstring>

namespace orbit_detail {

// fmod(x, 2 pi). Removing 2^k * 2pi from a value in [2^k * 2pi, 2^(k+1) * 2pi) is exact
// (Sterbenz), so stepping k down from the top leaves exactly the remainder fmod computes.
inline double wrapTwoPi(double x) {
    const double ax = std::fabs(x);
    if (ax < kTwoPi)
        return x;
    if (!(ax < 1024.0 * kTwoPi)) // large, infinite or NaN
        return std::fmod(x, kTwoPi);
    double step = kTwoPi;
    while (step * 2.0 <= ax)
        step *= 2.0;
    double r = ax;
    for (; step >= kTwoPi; step *= 0.5)
        if (r >= step)
            r -= step;
    return x < 0 ? -r : r;
}

namespace exact {

// a * b = hi + lo exactly (Dekker's product; no fused multiply-add needed).
inline void twoProduct(double a, double b, double& hi, double& lo) {
    constexpr double split = 134217729.0; // 2^27 + 1
    const double ca = split * a, cb = split * b;
    const double ah = ca - (ca - a), al = a - ah;
    const double bh = cb - (cb - b), bl = b - bh;
    hi = a * b;
    lo = ((ah * bh - hi) + ah * bl + al * bh) + al * bl;
}

inline std::uint64_t bits(double x) {
    std::uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

inline double fromBits(std::uint64_t u) {
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

} // namespace exact

// The double nearest to hi + tail (|tail| below one ulp of hi, the pair carrying about 100
// bits of an exact value), in `out`. The C library's pow is within 0.54 ulp of the exact power
// (0.51 for the small powers met here), so it returns that same double whenever the exact value
// lies more than 0.04 ulp from a rounding midpoint. False when it lies closer than 0.05 ulp
// (about one input in ten) or hi is a power of two (ulps differ on either side): the caller then
// lets the library decide.
inline bool roundClearOfMidpoint(double hi, double tail, double& out) {
    const double y = hi + tail;
    const double residual = (hi - y) + tail; // exact value minus y
    const std::uint64_t yb = exact::bits(y);
    if ((yb & 0x000FFFFFFFFFFFFFull) == 0)
        return false;
    const double ulp = exact::fromBits((yb & 0x7FF0000000000000ull) - (52ull << 52));
    const double distance = 0.5 * ulp - std::fabs(residual); // to the nearer midpoint
    if (distance < 0.05 * ulp)
        return false;
    out = y;
    return true;
}

// pow(x, 1.5): x * sqrt(x) worked out to about 100 bits and rounded once.
inline double powThreeHalves(double x) {
    if (!(x >= 0x1p-400 && x <= 0x1p400))
        return std::pow(x, 1.5);
    const double s = std::sqrt(x);
    double sq, sq_lo;
    exact::twoProduct(s, s, sq, sq_lo);
    const double r = (x - sq) - sq_lo; // x - s^2; x - sq is exact (Sterbenz)
    double p, p_lo;
    exact::twoProduct(x, s, p, p_lo);
    // x^1.5 = x (s + r / 2s) = p + p_lo + r s / 2 (x / s^2 = 1 to 2^-52, ample for a tail).
    double y;
    return roundClearOfMidpoint(p, p_lo + 0.5 * r * s, y) ? y : std::pow(x, 1.5);
}

// pow(x, 3): x^2 = s + s_lo and s x = p + p_lo exactly, so x^3 = p + p_lo + s_lo x, where only
// the tail p_lo + s_lo x, far below the last bit of p, carries rounding errors.
inline double powThree(double x) {
    const double ax = std::fabs(x);
    if (!(ax >= 0x1p-300 && ax <= 0x1p300))
        return std::pow(x, 3.0);
    double s, s_lo, p, p_lo;
    exact::twoProduct(x, x, s, s_lo);
    exact::twoProduct(s, x, p, p_lo);
    double y;
    return roundClearOfMidpoint(p, p_lo + s_lo * x, y) ? y : std::pow(x, 3.0);
}

} // namespace orbit_detail
